#include "automation/remoteclient.h"

#include "automation/automationexception.h"
#include "automation/devicefunctions.h"
#include "automation/errorcodes.h"
#include "automation/logging.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QString>
#include <QTcpSocket>
#include <QThreadPool>

#include <algorithm>
#include <mutex>
#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/types.h>
#endif
#include <vector>

// The start and end of every message: off unless switched on with the rule
// "korvel.automation.messages.debug=true", since writing two lines per
// message would cost more than running it.
Q_LOGGING_CATEGORY(lcRemoteMessages, "korvel.automation.messages", QtInfoMsg)

namespace Korvel {
namespace Automation {

namespace {

constexpr int kInputBufferFull = 115;
constexpr int kExecutionError = 200;

bool isAscii(const QByteArray &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

QThreadPool *parserThreadPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(1);
        return p;
    }();
    return pool;
}

// The messages of every connection, in the order they were handed over, run
// one after another by one task on the parser thread pool. The task keeps
// going while messages wait, so a busy server does not wake a pool thread
// per message, and the finished messages go back to the GUI thread in
// batches: one posted call delivers every message finished since the last.
class MessageQueue : public QObject
{
public:
    // Lives in the thread of its first caller, the GUI thread, for the rest
    // of the process, like the parser thread pool.
    static MessageQueue &instance()
    {
        static auto *queue = new MessageQueue;
        return *queue;
    }

    // GUI thread.
    void submit(RemoteClientBase *client, ParserChunk *chunk)
    {
        bool start = false;
        {
            std::unique_lock<std::mutex> lock(mutex);
            waiting.push_back(Job{client, chunk});
            start = !draining;
            draining = true;
        }
        if (start)
            parserThreadPool()->start([this] { drain(); });
    }

    // GUI thread, from the client's destructor: drops the client's waiting
    // message, waits (serving events, which the running message's action may
    // need) for its running one, and drops its finished one.
    void withdraw(RemoteClientBase *client)
    {
        std::unique_lock<std::mutex> lock(mutex);
        dropJobs(waiting, client);
        while (current == client) {
            lock.unlock();
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            lock.lock();
        }
        dropJobs(finished, client);
    }

private:
    struct Job
    {
        RemoteClientBase *client;
        ParserChunk *chunk;
    };

    template<typename Container>
    static void dropJobs(Container &jobs, RemoteClientBase *client)
    {
        for (auto it = jobs.begin(); it != jobs.end();) {
            if (it->client == client) {
                delete it->chunk;
                it = jobs.erase(it);
            } else {
                ++it;
            }
        }
    }

    // Parser thread: runs messages until none waits.
    void drain()
    {
        for (;;) {
            Job job{};
            {
                std::unique_lock<std::mutex> lock(mutex);
                if (waiting.empty()) {
                    draining = false;
                    return;
                }
                job = waiting.front();
                waiting.pop_front();
                current = job.client;
            }
            job.client->executeChunk(job.chunk);
            bool post = false;
            {
                std::unique_lock<std::mutex> lock(mutex);
                current = nullptr;
                finished.push_back(job);
                post = !deliveryPosted;
                deliveryPosted = true;
            }
            if (post)
                QMetaObject::invokeMethod(
                    this, [this] { deliver(); }, Qt::QueuedConnection);
        }
    }

    // GUI thread: hands every finished message back to its connection.
    void deliver()
    {
        std::vector<Job> batch;
        {
            std::unique_lock<std::mutex> lock(mutex);
            batch.swap(finished);
            deliveryPosted = false;
        }
        for (const Job &job : batch) {
            if (job.client->destroying)
                delete job.chunk;
            else
                job.client->onParserThreadFinished(job.chunk);
        }
    }

    // A standard mutex: the thread checker sees its hand-overs.
    std::mutex mutex;
    // Guarded by mutex.
    std::deque<Job> waiting;
    std::vector<Job> finished;
    RemoteClientBase *current = nullptr;
    bool draining = false;
    bool deliveryPosted = false;
};

RemoteClientBase::RemoteClientBase(QIODevice *device, QObject *parent, const CommandTable *table)
    : QObject(parent),
      device(device),
      table(table)
{}

RemoteClientBase::~RemoteClientBase()
{
    // Nothing may reach the derived part, which is gone already.
    destroying = true;
    if (device)
        disconnect(device.data(), nullptr, this, nullptr);
    if (running)
        MessageQueue::instance().withdraw(this);
}

void RemoteClientBase::startNextCommand()
{
    if (running || destroying)
        return;
    ParserChunk *chunk = takeNextChunk();
    if (!chunk) {
        if (disconnecting && !interruptedSent) {
            interruptedSent = true;
            emit interrupted();
        }
        return;
    }
    running = true;
    MessageQueue::instance().submit(this, chunk);
}

ParserChunk *RemoteClientBase::executeChunk(ParserChunk *chunk)
{
    if (chunk->error) {
        // Refused before parsing (a line too long).
        logCommandError(chunk->code);
        return chunk;
    }
    qCDebug(lcRemoteMessages) << "CMD started" << chunk->message;
    DeviceFunctions functions(&chunk->reply, this, table);
    try {
        functions.ParseMessage(chunk->message);
        qCDebug(lcRemoteMessages) << "CMD finished" << chunk->message;
    } catch (const AutomationException &e) {
        chunk->error = true;
        chunk->code = e.code;
        logCommandError(e.code);
    } catch (const std::exception &e) {
        qCWarning(lcAutomation) << "CMD failed by an unexpected exception:" << e.what();
        chunk->error = true;
        chunk->code = kExecutionError;
        logCommandError(kExecutionError);
    } catch (...) {
        qCWarning(lcAutomation) << "CMD failed by an unexpected exception";
        chunk->error = true;
        chunk->code = kExecutionError;
        logCommandError(kExecutionError);
    }
    return chunk;
}

int RemoteClientBase::takeError()
{
    return errors.takeError();
}

void RemoteClientBase::interrupt()
{
    if (disconnecting)
        return;
    disconnecting = true;
    // Takes what the device still holds, then runs what is queued; the
    // message running now finishes first and starts the next one itself.
    onReadyRead();
    startNextCommand();
}

void RemoteClientBase::onParserThreadFinished(ParserChunk *chunk)
{
    running = false;
    // The code is queued before the reply is written: writing may start the
    // next message (on bytesWritten), whose error query must see it.
    if (chunk->error)
        errors.push(chunk->code);
    writeAnswer(chunk);
    delete chunk;
    startNextCommand();
}

SocketRemoteClient::SocketRemoteClient(QTcpSocket *socket, QObject *parent, const CommandTable *table)
    : RemoteClientBase(socket, parent, table),
      socket(socket)
{
    if (socket) {
        socket->setReadBufferSize(socketReadBufferSize);
        // The system's buffer too, so that what a peer can still have queued
        // when it closes stays small.
        socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, socketReadBufferSize);
        connect(socket, &QIODevice::readyRead, this, &SocketRemoteClient::onReadyRead);
        // Replies held back by unsent bytes go on once the socket has sent.
        connect(socket, &QIODevice::bytesWritten, this, [this] { startNextCommand(); });
    }
}

qint64 SocketRemoteClient::unreadSocketBytes() const
{
    return socket ? socket->bytesAvailable() : 0;
}

qint64 SocketRemoteClient::unsentReplyBytes() const
{
    return socket ? socket->bytesToWrite() : 0;
}

bool SocketRemoteClient::isInputFull() const
{
    return static_cast<int>(lines.size()) >= maxQueuedLines || queuedBytes >= maxQueuedBytes;
}

void SocketRemoteClient::appendLine(QByteArray text)
{
    if (text.isEmpty())
        return;
    queuedBytes += text.size();
    lines.push_back(Line{std::move(text), false});
}

void SocketRemoteClient::pullInput()
{
    if (!device || !device->isOpen() || !device->isReadable())
        return;
    // One line (or a piece of one) per read, so that the queue stops exactly
    // at its bounds and the rest stays in the socket.
    char piece[16 * 1024 + 1];
    while (!isInputFull()) {
        const qint64 got = device->readLine(piece, sizeof piece);
        if (got <= 0)
            break;
        const bool complete = piece[got - 1] == '\n';
        const qint64 length = complete ? got - 1 : got;
        if (!discarding) {
            if (buffer.size() + length > maxLineLength) {
                qCWarning(lcAutomation) << "Remote-control line longer than" << maxLineLength << "bytes dropped";
                lines.push_back(Line{QByteArray(), true});
                buffer.clear();
                discarding = true;
            } else {
                buffer.append(piece, static_cast<int>(length));
            }
        }
        if (!complete)
            continue;
        if (discarding)
            discarding = false;
        else
            appendLine(std::exchange(buffer, QByteArray()));
    }
}

void SocketRemoteClient::onReadyRead()
{
    pullInput();
    startNextCommand();
}

ParserChunk *SocketRemoteClient::takeNextChunk()
{
    // Back-pressure on a peer that does not read its replies: nothing more
    // runs until the socket has sent enough.
    if (socket && socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() >= maxUnsentReply)
        return nullptr;
    pullInput();
    if (lines.empty())
        return nullptr;
    Line line = std::move(lines.front());
    lines.pop_front();
    queuedBytes -= line.text.size();
    auto *chunk = new ParserChunk;
    if (line.tooLong) {
        chunk->error = true;
        chunk->code = kInputBufferFull;
    } else if (isAscii(line.text)) {
        chunk->message = std::move(line.text);
    } else {
        // Invalid UTF-8 reads as replacement characters, as for any text.
        chunk->message = QString::fromUtf8(line.text).toUtf8();
    }
    return chunk;
}

void SocketRemoteClient::writeAnswer(ParserChunk *chunk)
{
    if (chunk->reply.isEmpty())
        return;
    // Answers to a connection that has closed are lost.
    if (socket && socket->state() == QAbstractSocket::ConnectedState) {
        chunk->reply.append('\n');
        qint64 sent = 0;
#ifdef Q_OS_UNIX
        // With nothing queued in the socket the reply goes straight to the
        // system. Writing through the socket would switch its write
        // notification on and off again for every reply, and each switch
        // wakes the event loop for one more pass over every descriptor.
        if (socket->bytesToWrite() == 0) {
            const ssize_t n = ::send(static_cast<int>(socket->socketDescriptor()), chunk->reply.constData(),
                                     static_cast<size_t>(chunk->reply.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
            // On any failure the socket's own write reports it.
            sent = n > 0 ? n : 0;
        }
#endif
        if (sent < chunk->reply.size()) {
            socket->write(chunk->reply.constData() + sent, chunk->reply.size() - sent);
            socket->flush();
        }
    }
    chunk->reply.clear();
}

} // namespace Automation
} // namespace Korvel
