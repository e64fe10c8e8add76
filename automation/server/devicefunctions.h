#pragma once
// The context of one received message while it is parsed and run: it cuts the
// message into commands, completes each header with the path retained from
// the previous command, picks the handler by matching the command table's
// patterns, runs it, and collects the answers of the queries into the reply.
//
// The table's handlers hold the values parsed for the command being run, so
// only one message may be parsed at a time with one set of them: the server
// runs its messages on one shared parser thread for that reason, and on the
// GUI thread, with the table's copies of the handlers, the messages that
// are answered at once (see CommandTable::Runs).

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstddef>

namespace Korvel {
namespace Automation {

class CommandTable;
class RemoteClientBase;
class ScpiHandlerBase;

class DeviceFunctions : public QObject
{
    Q_OBJECT
public:
    // The longest reply of one message; its first answer may be longer.
    static constexpr int maxReplyLength = 1 << 20;

    // Which of the table's handlers a message is parsed with: the parser
    // thread's, or the GUI thread's copies.
    enum class Thread { Parser, Gui };

    // reply: where the answers go (not owned); client: the connection the
    // message came from (may be null); table: the commands (the program's
    // table when null).
    DeviceFunctions(QByteArray *reply, RemoteClientBase *client, const CommandTable *table = nullptr,
                    Thread thread = Thread::Parser);

    // Whether the message can be answered at once (GUI thread): every
    // command it holds up to its end, or up to the first one that does not
    // parse (which ends it), is registered to run at once and has a GUI
    // handler. Parses without running anything.
    bool runsAtOnce(const QByteArray &message);

    // Runs every command of the message in order. Throws AutomationException
    // with the code of the first failure; the commands before it have run and
    // their answers stay in the reply.
    void ParseMessage(const QByteArray &message);

    // Removes and returns the oldest code of the connection's error queue; 0
    // when it is empty or there is no connection.
    int takeError();

    // Appends a code to the error queue of the connection whose message the
    // calling thread is running, without ending that message: how a command
    // that succeeded tells something a client must learn (a later error
    // query of the same message already sees it). Nothing when the thread
    // runs no message or the message has no connection.
    static void queueCode(int code);

    // The part of the last absolute header up to and including its last ":".
    const QByteArray &retainedPath() const { return headerPrefix; }

    QByteArray *reply;
    RemoteClientBase *client;

public slots:
    // Appends one answer to the reply, preceded by ";" when the reply is not
    // empty. Text is sent as UTF-8, the encoding the messages arrive in. An
    // answer that would take a reply already holding answers past
    // maxReplyLength bytes throws 404 "Query truncated" instead, which ends
    // the message: the reply of one message stays bounded whatever it asks.
    void sendAnswer(const QByteArray &message);
    void sendAnswer(const QString &message);

private:
    // Cuts off the next command at the cursor: 0 with the handler index, 199
    // when no command is left, or the command's error code.
    int nextCommand(const char *&cursor, const char *end, bool first, int &index);
    // Walks the commands of a message in order, calling visit(index) for
    // each until it returns false; a NUL ends the message, as it would end
    // a C string of it. Returns what ended the walk: 0 when visit did, 199
    // at the end, or the error code of a command that does not parse.
    template<typename Visit>
    int forEachCommand(const QByteArray &message, Visit &&visit);
    // Completes the header, searches the patterns and parses the parameters:
    // 0 with the index, 104 or 110.
    int findCommand(const char *command, int length, bool first, int &index);
    // Matches pattern k against the header from position start: 0 or 110.
    // touched is set once a suffix has been handed to the handler.
    int matchHeaderPattern(int k, const QByteArray &header, int start, bool &touched);
    // Handler k of this message's thread.
    ScpiHandlerBase *handlerAt(std::size_t k) const;

    const CommandTable *table;
    Thread thread;
    QByteArray headerPrefix;
    // The search met a pattern without a handler for this thread.
    bool missingHandler = false;
};

} // namespace Automation
} // namespace Korvel
