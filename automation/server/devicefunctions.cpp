#include "automation/server/devicefunctions.h"

#include "automation/server/automationexception.h"
#include "automation/server/commandtable.h"
#include "automation/server/logging.h"
#include "automation/server/remoteclient.h"

#include <QDebug>

#include <algorithm>
#include <cstring>
#include <utility>

namespace Korvel {
namespace Automation {

namespace {

constexpr int kNoCommand = 199;
constexpr int kDataTypeError = 104;
constexpr int kHeaderError = 110;
constexpr int kQueryTruncated = 404;

bool isBlankOrControl(unsigned char c)
{
    return c >= 1 && c <= 32;
}

bool isLower(char c)
{
    return c >= 'a' && c <= 'z';
}

bool isAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char toLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Resets a handler when the command leaves, normally or by an exception.
struct ResetOnExit
{
    ScpiHandlerBase *handler;
    ~ResetOnExit() { handler->reset(); }
};

} // namespace

DeviceFunctions::DeviceFunctions(QByteArray *reply, RemoteClientBase *client, const CommandTable *table, Thread thread)
    : reply(reply),
      client(client),
      table(table ? table : &commandTable()),
      thread(thread)
{}

namespace {

// The message the thread is running, for queueCode.
thread_local DeviceFunctions *runningMessage = nullptr;

} // namespace

void DeviceFunctions::queueCode(int code)
{
    if (runningMessage && runningMessage->client)
        runningMessage->client->queueCode(code);
}

ScpiHandlerBase *DeviceFunctions::handlerAt(std::size_t k) const
{
    return thread == Thread::Gui ? table->guiHandler(k) : table->handler(k);
}

template<typename Visit>
int DeviceFunctions::forEachCommand(const QByteArray &message, Visit &&visit)
{
    headerPrefix.clear();
    const char *cursor = message.constData();
    const char *end = cursor + qstrnlen(cursor, static_cast<uint>(message.size()));
    for (bool first = true;; first = false) {
        int index = -1;
        missingHandler = false;
        const int code = nextCommand(cursor, end, first, index);
        if (code != 0)
            return code;
        if (!visit(static_cast<std::size_t>(index)))
            return 0;
    }
}

bool DeviceFunctions::runsAtOnce(const QByteArray &message)
{
    bool atOnce = true;
    forEachCommand(message, [this, &atOnce](std::size_t k) {
        if (missingHandler) {
            atOnce = false;
            return false;
        }
        handlerAt(k)->reset();
        atOnce = table->runsAtOnce(k);
        return atOnce;
    });
    // A command without a handler here goes elsewhere. No command left, or
    // one that does not parse: the message ends there, having run only what
    // came before.
    return atOnce && !missingHandler;
}

void DeviceFunctions::ParseMessage(const QByteArray &message)
{
    struct Running
    {
        DeviceFunctions *previous;
        ~Running() { runningMessage = previous; }
    } running{std::exchange(runningMessage, this)};
    const int code = forEachCommand(message, [this](std::size_t k) {
        ScpiHandlerBase *handler = handlerAt(k);
        ResetOnExit resetOnExit{handler};
        handler->setDeviceFunctions(this);
        handler->invoke();
        return true;
    });
    if (code != kNoCommand)
        throw AutomationException(code);
}

int DeviceFunctions::nextCommand(const char *&cursor, const char *end, bool first, int &index)
{
    while (cursor != end && (isBlankOrControl(static_cast<unsigned char>(*cursor)) || *cursor == ';'))
        ++cursor;
    const char *start = cursor;
    char quote = 0;
    for (; cursor != end; ++cursor) {
        const char c = *cursor;
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            break;
        }
    }
    if (cursor == start)
        return kNoCommand;
    return findCommand(start, static_cast<int>(cursor - start), first, index);
}

int DeviceFunctions::findCommand(const char *command, int length, bool first, int &index)
{
    bool absolute = first;
    if (length > 0 && command[0] == ':') {
        ++command;
        --length;
        absolute = true;
    }
    if (absolute)
        headerPrefix.clear();

    // The header run: bytes from "!" upward (128 to 255 included).
    int runBegin = 0;
    while (runBegin < length && isBlankOrControl(static_cast<unsigned char>(command[runBegin])))
        ++runBegin;
    int runEnd = runBegin;
    while (runEnd<length &&static_cast<unsigned char>(command[runEnd])> 32)
        ++runEnd;
    const QByteArray ownHeader(command + runBegin, runEnd - runBegin);
    const char *parametersBegin = command + runEnd;
    const char *parametersEnd = command + length;

    const bool common = ownHeader.startsWith('*');
    const QByteArray header = headerPrefix + ownHeader;
    // Common commands ignore the retained path.
    const int start = common ? headerPrefix.size() : 0;

    int best = kHeaderError;
    for (std::size_t k = 0; k < CommandTable::maxCommands && !table->pattern(k).isEmpty(); ++k) {
        ScpiHandlerBase *handler = handlerAt(k);
        if (!handler) {
            // Only the GUI thread lacks handlers (one that cannot be copied):
            // its messages then go to the parser thread.
            missingHandler = true;
            return kHeaderError;
        }
        int code = kHeaderError;
        // A handler given nothing is still as reset left it; most patterns
        // fail on the header before that, and need no reset.
        bool touched = false;
        try {
            code = matchHeaderPattern(static_cast<int>(k), header, start, touched);
            if (code == 0) {
                touched = true;
                if (!handler->parseParameters(parametersBegin, parametersEnd))
                    code = kDataTypeError;
            }
        } catch (const std::exception &e) {
            qCDebug(lcAutomation) << "Exception while matching" << table->pattern(k) << e.what();
            code = kHeaderError;
        } catch (...) {
            qCDebug(lcAutomation) << "Exception while matching" << table->pattern(k);
            code = kHeaderError;
        }
        if (code == 0) {
            if ((absolute || headerPrefix.isEmpty()) && !common) {
                const int colon = ownHeader.lastIndexOf(':');
                headerPrefix = colon < 0 ? QByteArray() : ownHeader.left(colon + 1);
            }
            index = static_cast<int>(k);
            return 0;
        }
        if (touched)
            handler->reset();
        best = std::min(best, code);
    }
    return best;
}

int DeviceFunctions::matchHeaderPattern(int k, const QByteArray &header, int start, bool &touched)
{
    const QByteArray &pattern = table->pattern(static_cast<std::size_t>(k));
    ScpiHandlerBase *handler = handlerAt(static_cast<std::size_t>(k));
    const int headerLength = header.size();
    const int patternLength = pattern.size();

    int position = start;
    bool lowercase = false;
    bool bracket = false;
    int saved = 0;

    auto headerAt = [&](int i) { return i < headerLength ? header.at(i) : '\0'; };

    for (int i = 0; i < patternLength; ++i) {
        const char p = pattern.at(i);
        if (p == '[') {
            saved = position;
            bracket = true;
            continue;
        }
        if (p == ']') {
            bracket = false;
            continue;
        }
        if (p == '#') {
            int runEnd = position;
            while (runEnd < headerLength && isAlnum(header.at(runEnd)))
                ++runEnd;
            touched = true;
            if (!handler->addSuffix(header.constData() + position, header.constData() + runEnd))
                return kHeaderError;
            position = runEnd;
            continue;
        }
        if (p == ':')
            lowercase = false;
        const char c = headerAt(position);
        if (c != '\0' && toLower(p) == toLower(c)) {
            ++position;
            if (isLower(p))
                lowercase = true;
            continue;
        }
        if (isLower(p) && !lowercase) {
            // The header stops before this long-form tail: skip the rest of it.
            while (i + 1 < patternLength && isLower(pattern.at(i + 1)))
                ++i;
            continue;
        }
        if (!bracket)
            return kHeaderError;
        // The optional part does not match: go on after it from where it began.
        position = saved;
        bracket = false;
        while (i < patternLength && pattern.at(i) != ']')
            ++i;
    }
    return position == headerLength ? 0 : kHeaderError;
}

int DeviceFunctions::takeError()
{
    return client ? client->takeError() : 0;
}

void DeviceFunctions::sendAnswer(const QByteArray &message)
{
    if (!reply)
        return;
    if (!reply->isEmpty() && reply->size() + 1 + message.size() > maxReplyLength)
        throw AutomationException(kQueryTruncated);
    if (!reply->isEmpty())
        reply->append(';');
    reply->append(message);
}

void DeviceFunctions::sendAnswer(const QString &message)
{
    sendAnswer(message.toUtf8());
}

} // namespace Automation
} // namespace Korvel
