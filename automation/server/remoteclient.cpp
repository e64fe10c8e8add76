#include "automation/server/remoteclient.h"

#include "automation/server/automationexception.h"
#include "automation/server/devicefunctions.h"
#include "automation/server/errorcodes.h"
#include "automation/server/logging.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QPointer>
#include <QString>
#include <QTcpSocket>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/types.h>
#endif
#include <vector>

// The start and end of every message: off unless switched on with the rule
// "vuk.automation.messages.debug=true", since writing two lines per
// message would cost more than running it.
Q_LOGGING_CATEGORY(lcRemoteMessages, "vuk.automation.messages", QtInfoMsg)

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

namespace {

// Set on the parser thread while it drains the message queue.
thread_local bool onParserThread = false;

// A turn of a spin loop: the core goes to any other thread that waits for
// one, so that on a loaded machine a spinning thread does not keep the
// thread it waits for (or the clients) from running.
inline void cpuRelax()
{
    std::this_thread::yield();
}

using SteadyClock = std::chrono::steady_clock;

// How long each side spins for the other before it sleeps (the parser
// thread) or goes back to its event loop (the GUI thread). A message's
// action and the next message's parse take a few microseconds, far less
// than a thread's wake-up through the system; the GUI thread spins only for
// a parser thread that runs, which hands over within them.
constexpr auto kParserSpin = std::chrono::microseconds(30);
constexpr auto kGuiSpin = std::chrono::microseconds(10);
// The longest the GUI thread serves messages before it lets its other
// events (sockets, timers, the window) in again.
constexpr auto kGuiServeSlice = std::chrono::milliseconds(4);

} // namespace

// The messages of every connection, in the order they were handed over, run
// one after another by one task on the parser thread pool. The task keeps
// going while messages wait, so a busy server does not wake a pool thread
// per message.
//
// The GUI thread side is one posted call, serve(), which runs the actions
// the messages hand over and hands the finished messages back to their
// connections. While the parser thread has messages it stays in serve() and
// watches for the next action or finished message, so a busy server costs
// neither thread a wake-up through the system per message. It goes back to
// its event loop, to read the sockets and serve the window, when the parser
// thread runs out of messages, when nothing comes from it for a while, and
// after a time slice.
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

    // An existing queue, or null; for the parser thread, which only uses it
    // while it runs a message, after the GUI thread has made it.
    static MessageQueue *existing() { return instance_.load(std::memory_order_acquire); }

    // GUI thread.
    void submit(RemoteClientBase *client, ParserChunk *chunk)
    {
        bool start = false;
        {
            std::unique_lock<std::mutex> lock(mutex);
            waiting.push_back(Job{client, chunk});
            start = !draining;
            draining = true;
            // Nothing for this thread yet: what the parser thread hands over
            // brings it back (a pool thread takes longer to wake than a
            // spin lasts).
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
        while (runningClient == client) {
            lock.unlock();
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            lock.lock();
        }
        dropJobs(finished, client);
    }

    // Parser thread: runs the action on the GUI thread and returns once it
    // has run, or once it is known that it never will (root gone).
    void runOnGuiThread(QObject *root, const std::function<void()> &action)
    {
        Call call;
        call.action = &action;
        call.root = root;
        {
            std::unique_lock<std::mutex> lock(mutex);
            pendingCall = &call;
            wakeLocked();
        }
        // The GUI thread usually serves the call within microseconds; sleep
        // only when it does not.
        const auto spinUntil = SteadyClock::now() + kParserSpin;
        for (int spins = 0; !call.done.load(std::memory_order_acquire); ++spins) {
            if ((spins & 7) == 7 && SteadyClock::now() > spinUntil) {
                parserSleeping.store(true, std::memory_order_seq_cst);
                std::unique_lock<std::mutex> lock(mutex);
                callDone.wait(lock, [&call] { return call.done.load(std::memory_order_seq_cst); });
                parserSleeping.store(false, std::memory_order_relaxed);
                break;
            }
            cpuRelax();
        }
    }

private:
    MessageQueue() { instance_.store(this, std::memory_order_release); }

    struct Job
    {
        RemoteClientBase *client;
        ParserChunk *chunk;
    };

    // An action handed to the GUI thread by the parser thread, which waits
    // for it.
    struct Call
    {
        const std::function<void()> *action = nullptr;
        // Made on the parser thread, read on the GUI thread (the object's).
        QPointer<QObject> root;
        std::atomic<bool> done{false};
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

    // Something for the GUI thread arrived (mutex held): a serving GUI
    // thread sees it, otherwise serve() is posted unless it is already.
    void wakeLocked()
    {
        activity.fetch_add(1, std::memory_order_release);
        if (guiServing || servePosted)
            return;
        servePosted = true;
        QMetaObject::invokeMethod(
            this, [this] { serve(); }, Qt::QueuedConnection);
    }

    // Parser thread: runs messages until none waits.
    void drain()
    {
        onParserThread = true;
        {
            std::unique_lock<std::mutex> lock(mutex);
            parserRunning = true;
        }
        Job job{};
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                if (job.client) {
                    runningClient = nullptr;
                    finished.push_back(job);
                    wakeLocked();
                }
                if (waiting.empty()) {
                    draining = false;
                    parserRunning = false;
                    onParserThread = false;
                    return;
                }
                job = waiting.front();
                waiting.pop_front();
                runningClient = job.client;
            }
            job.client->executeChunk(job.chunk, DeviceFunctions::Thread::Parser);
        }
    }

    // GUI thread: runs the action the parser thread waits for and releases
    // it. False when the parser thread had gone to sleep and needs the
    // system to wake it.
    bool runCall(Call *call)
    {
        // A root destroyed before its action could run never runs it.
        if (call->root)
            (*call->action)();
        // Only a parser thread that has given up spinning needs the lock and
        // a wake-up; the two sequentially consistent flags make sure one of
        // the two threads sees the other's. The call is the parser thread's
        // and may be gone once done is set.
        call->done.store(true, std::memory_order_seq_cst);
        if (parserSleeping.load(std::memory_order_seq_cst)) {
            std::unique_lock<std::mutex> lock(mutex);
            callDone.notify_all();
            return false;
        }
        return true;
    }

    // GUI thread: hands finished messages back to their connections.
    static void deliver(const std::vector<Job> &jobs)
    {
        for (const Job &job : jobs) {
            if (job.client->destroying)
                delete job.chunk;
            else
                job.client->onParserThreadFinished(job.chunk);
        }
    }

    // GUI thread (posted call).
    void serve()
    {
        {
            std::unique_lock<std::mutex> lock(mutex);
            servePosted = false;
            guiServing = true;
        }
        const auto sliceEnd = SteadyClock::now() + kGuiServeSlice;
        std::vector<Job> jobs;
        // The parser thread runs (its task has started and it does not
        // sleep on a call), so what it hands over next comes within
        // microseconds, without a wake-up from the system.
        bool parserAwake = true;
        for (;;) {
            const unsigned seen = activity.load(std::memory_order_acquire);
            // The finished messages before the action: a reply that is done
            // never waits for another connection's action, which may wait in
            // a local event loop for minutes. Nothing finishes during the
            // action, since the one parser thread waits for it; and a
            // connection that goes meanwhile has no message left here.
            Call *call = nullptr;
            {
                std::unique_lock<std::mutex> lock(mutex);
                jobs.swap(finished);
                call = std::exchange(pendingCall, nullptr);
                if (!call && jobs.empty() && !runningClient && waiting.empty()) {
                    // The parser thread is idle: back to the event loop.
                    guiServing = false;
                    return;
                }
                // A task just handed to the pool has yet to be woken.
                if (!parserRunning)
                    parserAwake = false;
            }
            const bool delivered = !jobs.empty();
            deliver(jobs);
            jobs.clear();
            if (call) {
                parserAwake = runCall(call);
            } else if (!delivered && activity.load(std::memory_order_acquire) == seen) {
                // Watch for the parser thread's next action or finished
                // message, unless it has to be woken by the system first
                // (started by the pool, or asleep on its call): that takes
                // longer than the spin, and what it hands over then posts
                // serve().
                const auto spinUntil = SteadyClock::now() + kGuiSpin;
                for (int spins = 0; parserAwake && activity.load(std::memory_order_acquire) == seen; ++spins) {
                    if ((spins & 7) == 7 && SteadyClock::now() > spinUntil)
                        break;
                    cpuRelax();
                }
                if (activity.load(std::memory_order_acquire) == seen) {
                    std::unique_lock<std::mutex> lock(mutex);
                    if (!pendingCall && finished.empty()) {
                        guiServing = false;
                        return;
                    }
                }
            }
            if (SteadyClock::now() > sliceEnd) {
                // Let the event loop read the sockets, then go on.
                std::unique_lock<std::mutex> lock(mutex);
                guiServing = false;
                if (pendingCall || !finished.empty() || runningClient || !waiting.empty())
                    wakeLocked();
                return;
            }
        }
    }

    static std::atomic<MessageQueue *> instance_;

    // A standard mutex: the thread checker sees its hand-overs.
    std::mutex mutex;
    // Wakes the parser thread sleeping on its call.
    std::condition_variable callDone;
    // Guarded by mutex.
    std::deque<Job> waiting;
    std::vector<Job> finished;
    RemoteClientBase *runningClient = nullptr;
    Call *pendingCall = nullptr;
    bool draining = false;
    // The parser thread's task has started and not yet ended.
    bool parserRunning = false;
    bool servePosted = false;
    // The GUI thread is in serve() and looks for what arrives before it
    // leaves.
    bool guiServing = false;
    // The parser thread has stopped spinning for its call and waits on
    // callDone.
    std::atomic<bool> parserSleeping{false};
    // Counts what the parser thread hands to the GUI thread, for the GUI
    // thread's spin.
    std::atomic<unsigned> activity{0};
};

std::atomic<MessageQueue *> MessageQueue::instance_{nullptr};

bool runOnServerThread(QObject *root, const std::function<void()> &action)
{
    if (!onParserThread || !root)
        return false;
    MessageQueue *queue = MessageQueue::existing();
    if (!queue || root->thread() != queue->thread())
        return false;
    queue->runOnGuiThread(root, action);
    return true;
}

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
    const auto sliceEnd = SteadyClock::now() + kGuiServeSlice;
    for (;;) {
        ParserChunk *chunk = takeNextChunk();
        if (!chunk) {
            if (disconnecting && !interruptedSent) {
                interruptedSent = true;
                emit interrupted();
            }
            return;
        }
        running = true;
        if (!runsAtOnce(*chunk)) {
            MessageQueue::instance().submit(this, chunk);
            return;
        }
        // Answered here and now, whatever runs on the parser thread.
        executeChunk(chunk, DeviceFunctions::Thread::Gui);
        finishChunk(chunk);
        if (SteadyClock::now() > sliceEnd) {
            // A client with many lines queued lets the other connections
            // and the window in between.
            QMetaObject::invokeMethod(
                this, [this] { startNextCommand(); }, Qt::QueuedConnection);
            return;
        }
    }
}

bool RemoteClientBase::runsAtOnce(const ParserChunk &chunk)
{
    // A line refused before parsing only queues its code.
    if (chunk.error)
        return true;
    DeviceFunctions functions(nullptr, this, table, DeviceFunctions::Thread::Gui);
    return functions.runsAtOnce(chunk.message);
}

ParserChunk *RemoteClientBase::executeChunk(ParserChunk *chunk, DeviceFunctions::Thread thread)
{
    if (chunk->error) {
        // Refused before parsing (a line too long).
        logCommandError(chunk->code);
        return chunk;
    }
    qCDebug(lcRemoteMessages) << "CMD started" << chunk->message;
    DeviceFunctions functions(&chunk->reply, this, table, thread);
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

void RemoteClientBase::finishChunk(ParserChunk *chunk)
{
    // The code is queued before the reply is written: writing may start the
    // next message (on bytesWritten), whose error query must see it. The
    // connection counts as running until the reply is out, so that such a
    // start waits for the caller's.
    if (chunk->error)
        errors.push(chunk->code);
    writeAnswer(chunk);
    delete chunk;
    running = false;
}

void RemoteClientBase::onParserThreadFinished(ParserChunk *chunk)
{
    finishChunk(chunk);
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
