// The remote-control server end to end: real TCP clients on an ephemeral
// loopback port against a listener whose command table drives a fake
// backend on this (the GUI) thread.

#include "automation/server/automationexception.h"
#include "automation/server/commandhelpers.h"
#include "automation/server/commandtable.h"
#include "automation/server/devicefunctions.h"
#include "automation/server/errorcodes.h"
#include "automation/server/remoteclient.h"
#include "automation/server/remotecontrol.h"
#include "automation/server/scpihandler.h"

#include "../support/logcapture.h"
#include "replyline.h"

#include <QEventLoop>
#include <QLoggingCategory>
#include <QPointer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace Korvel::Automation;

namespace {

constexpr int kGuardMs = 10000;

class FakeBackend : public QObject
{
public:
    int value = 0;
    QByteArray echo;
    // What the actions did, in order (GUI thread only).
    QStringList log;
    // Run once inside the next slow action's local event loop.
    std::function<void()> duringSlow;
    std::atomic<bool> poolSlowStarted{false};
    // Holds the parser thread while the test floods (see gate()).
    QSemaphore gate;
    std::atomic<bool> gateEntered{false};
    std::atomic<int> counted{0};
    std::atomic<int> bigAnswers{0};
    // The local event loop of the slow action running now (GUI thread).
    QEventLoop *slowLoop = nullptr;
};

void opc(FakeBackend *root, DeviceFunctions *f)
{
    checkRoot(root);
    f->sendAnswer(QByteArray("1"));
}
void errorQuery(FakeBackend *, DeviceFunctions *f)
{
    f->sendAnswer(errorQueryAnswer(f->takeError()));
}
void valueSet(FakeBackend *root, int value)
{
    runOnObjectThread(root, [=] {
        root->value = value;
        root->log << QStringLiteral("value %1").arg(value);
    });
}
void valueGet(FakeBackend *root, DeviceFunctions *f)
{
    f->sendAnswer(runQueryOnObjectThread(root, [=] { return QString::number(root->value); }));
}
// Waits in a local event loop on the GUI thread, as a measurement does.
void slow(FakeBackend *root, int ms)
{
    runOnObjectThread(root, [=] {
        root->log << QStringLiteral("slow begin");
        QEventLoop loop;
        root->slowLoop = &loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        if (root->duringSlow)
            QTimer::singleShot(0, &loop, [root] { std::exchange(root->duringSlow, nullptr)(); });
        loop.exec();
        root->slowLoop = nullptr;
        root->log << QStringLiteral("slow end");
    });
}
// Busy on the parser thread before its action.
void poolSlow(FakeBackend *root, int ms)
{
    root->poolSlowStarted = true;
    QThread::msleep(static_cast<unsigned long>(ms));
    runOnObjectThread(root, [=] { root->log << QStringLiteral("pool slow end"); });
}
// Blocks the parser thread, not this one, until the test opens the gate (or
// the guard time has passed).
void gate(FakeBackend *root)
{
    root->gateEntered = true;
    root->gate.tryAcquire(1, kGuardMs);
}
// Cheap work on the parser thread only.
void count(FakeBackend *root)
{
    ++root->counted;
}
// A long answer.
void big(FakeBackend *root, DeviceFunctions *f, int bytes)
{
    ++root->bigAnswers;
    f->sendAnswer(QByteArray(bytes, 'x'));
}
void fail(FakeBackend *root, int code)
{
    runOnObjectThread(root, [=] { throw AutomationException(code); });
}
void crash(FakeBackend *)
{
    throw std::runtime_error("unexpected");
}
void empty(FakeBackend *, DeviceFunctions *f)
{
    f->sendAnswer(QString());
}
void echoSet(FakeBackend *root, QByteArray text)
{
    runOnObjectThread(root, [=] { root->echo = text; });
}
void echoGet(FakeBackend *root, DeviceFunctions *f)
{
    f->sendAnswer(runQueryOnObjectThread(root, [=] { return QString::fromUtf8(root->echo); }));
}
// Registered to run at once: the value, and the thread that parsed it.
void now(FakeBackend *root, DeviceFunctions *f)
{
    const bool onGui = QThread::currentThread() == root->thread();
    const QString value = runQueryOnObjectThread(root, [=] { return QString::number(root->value); });
    f->sendAnswer(value + (onGui ? "@gui" : "@pool"));
}
void threads(FakeBackend *root, DeviceFunctions *f)
{
    const bool onPool = QThread::currentThread() != root->thread();
    const bool onGui =
        runQueryOnObjectThread(root, [=] { return QThread::currentThread() == root->thread() ? "1" : "0"; })
        == QLatin1String("1");
    f->sendAnswer(QStringLiteral("%1,%2").arg(onPool ? "pool" : "gui", onGui ? "gui" : "pool"));
}

// A client over a real socket; every wait serves this thread's events, where
// the server runs too.
class Client
{
public:
    explicit Client(quint16 port)
    {
        bool failed = false;
        QObject::connect(&socket, &QAbstractSocket::errorOccurred, [&] { failed = true; });
        socket.connectToHost(QHostAddress::LocalHost, port);
        (void)QTest::qWaitFor([&] { return failed || socket.state() == QAbstractSocket::ConnectedState; }, kGuardMs);
        QObject::disconnect(&socket, &QAbstractSocket::errorOccurred, nullptr, nullptr);
        connected = socket.state() == QAbstractSocket::ConnectedState;
    }

    void send(const QByteArray &bytes)
    {
        socket.write(bytes);
        socket.flush();
    }

    // The next reply line without its line feed; empty on time-out.
    QByteArray line(int ms = kGuardMs) { return readReplyLine(socket, ms); }

    // Nothing more arrives within ms.
    bool silentFor(int ms)
    {
        QTest::qWait(ms);
        return socket.bytesAvailable() == 0;
    }

    bool waitDisconnected()
    {
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, kGuardMs);
    }

    QTcpSocket socket;
    bool connected = false;
};

class RemoteServer : public ::testing::Test
{
protected:
    RemoteServer()
    {
        using ScpiHandlerCreator::makeHandler;
        add("*OPC?", makeHandler<&opc>(&backend), CommandTable::Runs::AtOnce);
        add("VUK:SYSTem:ERRor?", makeHandler<&errorQuery>(&backend), CommandTable::Runs::AtOnce);
        add("VUK:TEST:VALue", makeHandler<&valueSet>(&backend));
        add("VUK:TEST:VALue?", makeHandler<&valueGet>(&backend));
        add("VUK:TEST:SLOW", makeHandler<&slow>(&backend));
        add("VUK:TEST:POOLslow", makeHandler<&poolSlow>(&backend));
        add("VUK:TEST:FAIL", makeHandler<&fail>(&backend));
        add("VUK:TEST:CRASh", makeHandler<&crash>(&backend));
        add("VUK:TEST:EMPTy?", makeHandler<&empty>(&backend));
        add("VUK:TEST:ECHO", makeHandler<&echoSet>(&backend));
        add("VUK:TEST:ECHO?", makeHandler<&echoGet>(&backend));
        add("VUK:TEST:THReads?", makeHandler<&threads>(&backend));
        add("VUK:TEST:GATE", makeHandler<&gate>(&backend));
        add("VUK:TEST:COUNt", makeHandler<&count>(&backend));
        add("VUK:TEST:BIG?", makeHandler<&big>(&backend));
        add("VUK:TEST:NOW?", makeHandler<&now>(&backend), CommandTable::Runs::AtOnce);
        server = std::make_unique<SocketRemoteControl>(nullptr, 0, &table);
    }

    void SetUp() override
    {
        ASSERT_TRUE(server->isListening());
        ASSERT_NE(server->serverPort(), 0);
    }

    void add(const char *pattern, std::unique_ptr<ScpiHandlerBase> handler,
             CommandTable::Runs runs = CommandTable::Runs::InTurn)
    {
        table.registerCommand(pattern, std::move(handler), runs);
    }

    std::unique_ptr<Client> connect()
    {
        auto client = std::make_unique<Client>(server->serverPort());
        EXPECT_TRUE(client->connected);
        return client;
    }

    int clientCount() const { return server->findChildren<RemoteClientBase *>().size(); }

    // The server's side of the only connection.
    SocketRemoteClient *serverSide() const
    {
        const auto clients = server->findChildren<SocketRemoteClient *>();
        return clients.size() == 1 ? clients.first() : nullptr;
    }

    // The server's side of the connections, in the order they were accepted.
    QList<SocketRemoteClient *> serverSides() const { return server->findChildren<SocketRemoteClient *>(); }

    // A new client, once the server has accepted it (so that serverSides()
    // lists the connections in the order they were made).
    std::unique_ptr<Client> connectAccepted()
    {
        const int before = clientCount();
        auto client = connect();
        EXPECT_TRUE(QTest::qWaitFor([&] { return clientCount() == before + 1; }, kGuardMs));
        return client;
    }

    bool waitForLog(const QString &entry)
    {
        return QTest::qWaitFor([&] { return backend.log.contains(entry); }, kGuardMs);
    }

    CommandTable table;
    FakeBackend backend;
    std::unique_ptr<SocketRemoteControl> server;
};

} // namespace

TEST_F(RemoteServer, AnswersTheQueriesOfAMessageOnOneLine)
{
    auto client = connect();
    client->send("*OPC?;*OPC?\n");
    EXPECT_EQ(client->line(), QByteArray("1;1"));
    // A setter and its query in one message: the query sees the new value.
    client->send("VUK:TEST:VAL 9;VAL?\n");
    EXPECT_EQ(client->line(), QByteArray("9"));
    // A message whose only answer is empty sends no line at all.
    client->send("VUK:TEST:EMPT?\n*OPC?\n");
    EXPECT_EQ(client->line(), QByteArray("1"));
    // Messages that answer nothing.
    client->send("\n\n  \r\n;;;\nVUK:TEST:VAL 4\n*OPC?\n");
    EXPECT_EQ(client->line(), QByteArray("1"));
    EXPECT_TRUE(client->silentFor(50));
    // Parsed on the parser thread, acted on the GUI thread.
    client->send("VUK:TEST:THR?\n");
    EXPECT_EQ(client->line(), QByteArray("pool,gui"));
}

TEST_F(RemoteServer, LinesAreCutAtLineFeedsWhateverTheReads)
{
    auto client = connect();
    // Two lines in one write run in order.
    client->send("VUK:TEST:VAL 5\nVUK:TEST:VAL?\n");
    EXPECT_EQ(client->line(), QByteArray("5"));
    // A line split over two writes runs once its line feed arrives.
    client->send("VUK:TEST:VA");
    EXPECT_TRUE(client->silentFor(50));
    client->send("L?\r\n");
    EXPECT_EQ(client->line(), QByteArray("5"));
    // A character split between two reads arrives whole.
    const QByteArray text = QStringLiteral("Zürich €").toUtf8();
    const QByteArray line = "VUK:TEST:ECHO '" + text + "'\n";
    const int cut = line.indexOf("\xe2\x82\xac") + 1;
    client->send(line.left(cut));
    QTest::qWait(50);
    client->send(line.mid(cut) + "VUK:TEST:ECHO?\n");
    EXPECT_EQ(client->line(), text);
    EXPECT_EQ(backend.echo, text);
}

TEST_F(RemoteServer, ErrorsAreQueuedNotAnswered)
{
    LogCapture log;
    // The start and end of each message are logged only on request.
    QLoggingCategory::setFilterRules(QStringLiteral("vuk.automation.messages.debug=true"));
    auto client = connect();
    client->send("VUK:BOGUS\n");
    client->send("VUK:TEST:VAL abc\n");
    client->send("*OPC?;VUK:TEST:FAIL 263;*OPC?\n");
    // The error query after a failure in the same message never runs.
    client->send("VUK:TEST:CRAS;VUK:SYST:ERR?\n");
    client->send("VUK:SYST:ERR?;ERR?;ERR?;ERR?;ERR?\n");
    // Only the answer gathered before the failing command.
    EXPECT_EQ(client->line(), QByteArray("1"));
    EXPECT_EQ(client->line(), QByteArray("-110, Command header error;-104, Data type error;-263, Step not measured;"
                                         "-200, Execution error;0, No error"));
    EXPECT_TRUE(client->silentFor(50));
    EXPECT_TRUE(log.contains("CMD error 263 Step not measured"));
    EXPECT_TRUE(log.contains("CMD started"));
    QLoggingCategory::setFilterRules(QString());
}

TEST_F(RemoteServer, EveryConnectionHasItsOwnErrorQueue)
{
    auto first = connect();
    auto second = connect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clientCount() == 2; }, kGuardMs));
    first->send("VUK:BOGUS\nVUK:TEST:FAIL 221\n");
    second->send("VUK:TEST:FAIL 286\n*OPC?\n");
    EXPECT_EQ(second->line(), QByteArray("1"));
    first->send("*OPC?\n");
    EXPECT_EQ(first->line(), QByteArray("1"));
    second->send("VUK:SYST:ERR?;ERR?\n");
    first->send("VUK:SYST:ERR?;ERR?;ERR?\n");
    EXPECT_EQ(second->line(), QByteArray("-286, Delete error;0, No error"));
    EXPECT_EQ(first->line(), QByteArray("-110, Command header error;-221, Invalid port index;0, No error"));
}

// Messages of different connections run one at a time: a slow one holds the
// next connection's message until it is over, while this thread keeps
// serving its events, accepting connections and reading lines.
TEST_F(RemoteServer, ASlowMessageHoldsOthersButNotTheServer)
{
    auto slowClient = connect();
    auto other = connect();
    std::unique_ptr<Client> late;
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);

    bool checked = false;
    backend.duringSlow = [&] {
        const int ticksBefore = ticks;
        other->send("VUK:TEST:VAL 3;VAL?\n");
        late = connect();
        EXPECT_TRUE(QTest::qWaitFor([&] { return clientCount() == 3; }, kGuardMs));
        // The other message waits for the slow one.
        EXPECT_TRUE(other->silentFor(100));
        EXPECT_FALSE(backend.log.contains("value 3"));
        EXPECT_GT(ticks, ticksBefore);
        EXPECT_FALSE(backend.log.contains("slow end")) << "the slow action ended before the checks";
        checked = true;
    };
    slowClient->send("VUK:TEST:SLOW 400\n*OPC?\n");
    EXPECT_EQ(other->line(), QByteArray("3"));
    EXPECT_EQ(slowClient->line(), QByteArray("1"));
    EXPECT_TRUE(checked);
    EXPECT_EQ(backend.log, (QStringList{"slow begin", "slow end", "value 3"}));
    late->send("*OPC?\n");
    EXPECT_EQ(late->line(), QByteArray("1"));
}

// A message made only of commands that run at once is answered on the GUI
// thread as soon as it is its connection's next, while the parser thread is
// held and while another connection's action waits in a local event loop;
// a message that also acts, and every later message of a connection whose
// earlier one still runs, wait their turn.
TEST_F(RemoteServer, QueriesThatRunAtOnceAnswerWhileOtherMessagesRun)
{
    backend.value = 5;
    auto holding = connectAccepted();
    auto asking = connectAccepted();

    // The parser thread is held.
    holding->send("VUK:TEST:GATE\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return backend.gateEntered.load(); }, kGuardMs));
    asking->send("VUK:TEST:NOW?;NOW?;*OPC?\n");
    EXPECT_EQ(asking->line(), QByteArray("5@gui;5@gui;1")) << "no answer while the parser thread is held";
    backend.gate.release();
    holding->send("*OPC?\n");
    EXPECT_EQ(holding->line(), QByteArray("1"));

    // Another connection's action waits in a local event loop.
    bool checked = false;
    backend.duringSlow = [&] {
        holding->send("VUK:TEST:NOW?\n");
        asking->send("VUK:BOGUS\nVUK:TEST:NOW?;:VUK:TEST:VAL 6\n");
        asking->send("VUK:TEST:NOW?;:VUK:SYST:ERR?\n");
        // Behind the message that acts, the last one waits too.
        EXPECT_TRUE(asking->silentFor(100)) << "a message ran before its connection's earlier one";
        EXPECT_TRUE(holding->silentFor(0)) << "a query ran before its connection's slow action ended";
        EXPECT_FALSE(backend.log.contains("value 6"));
        EXPECT_FALSE(backend.log.contains("slow end"));
        checked = true;
        backend.slowLoop->quit();
    };
    holding->send("VUK:TEST:SLOW 60000\n");
    // The mixed message ran in turn, on the parser thread.
    EXPECT_EQ(asking->line(), QByteArray("5@pool"));
    EXPECT_EQ(asking->line(), QByteArray("6@gui;-110, Command header error"));
    EXPECT_EQ(holding->line().right(4), QByteArray("@gui"));
    EXPECT_TRUE(checked);
    EXPECT_EQ(backend.log, (QStringList{"slow begin", "slow end", "value 6"}));

    // While the slow action waits, the other connection's queries answer.
    backend.duringSlow = [&] {
        asking->send("VUK:TEST:NOW?\n");
        EXPECT_EQ(asking->line(), QByteArray("6@gui")) << "no answer while another connection's action waits";
        EXPECT_EQ(backend.log.last(), QStringLiteral("slow begin"));
        backend.slowLoop->quit();
    };
    holding->send("VUK:TEST:SLOW 60000;:*OPC?\n");
    EXPECT_EQ(holding->line(), QByteArray("1"));
    EXPECT_EQ(backend.log.last(), QStringLiteral("slow end"));
}

// A message finished on the parser thread just before another connection's
// action began: its reply leaves at once, not when the action (which waits
// in a local event loop) ends.
TEST_F(RemoteServer, AFinishedReplyLeavesWhileAnotherConnectionsActionWaits)
{
    auto holding = connectAccepted();
    auto finishing = connectAccepted();
    auto acting = connectAccepted();
    const QList<SocketRemoteClient *> sides = serverSides();
    ASSERT_EQ(sides.size(), 3);

    // Both messages wait behind the held parser thread, the finishing one
    // first; it runs on the parser thread alone.
    holding->send("VUK:TEST:GATE\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return backend.gateEntered.load(); }, kGuardMs));
    finishing->send("VUK:TEST:BIG? 3\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return sides[1]->isRunning(); }, kGuardMs));
    acting->send("VUK:TEST:SLOW 60000\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return sides[2]->isRunning(); }, kGuardMs));

    QByteArray replyDuringAction;
    backend.duringSlow = [&] {
        replyDuringAction = finishing->line();
        backend.slowLoop->quit();
    };
    // While this thread serves nothing, the parser thread finishes the
    // first message and hands over the action of the second: both wait for
    // this thread at once.
    backend.gate.release();
    QThread::msleep(200);
    acting->send("*OPC?\n");
    EXPECT_EQ(acting->line(), QByteArray("1"));
    EXPECT_EQ(replyDuringAction, QByteArray("xxx")) << "the finished reply was held until the action ended";
    EXPECT_EQ(backend.log, (QStringList{"slow begin", "slow end"}));
}

// A connection that closes while a message runs: the message finishes, the
// lines already received still run, then the client and its socket go.
TEST_F(RemoteServer, DisconnectingMidCommandRunsTheReceivedLines)
{
    auto client = connect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clientCount() == 1; }, kGuardMs));
    // The disconnection is seen inside the slow action's local event loop.
    backend.duringSlow = [&] {
        client->socket.abort();
        QTest::qWait(50);
    };
    client->send("VUK:TEST:SLOW 200\nVUK:TEST:VAL 7\nVUK:TEST:VAL?\nVUK:TEST:VAL 8\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return clientCount() == 0; }, kGuardMs));
    EXPECT_EQ(backend.log, (QStringList{"slow begin", "slow end", "value 7", "value 8"}));

    // The server goes on with new connections.
    auto next = connect();
    next->send("VUK:TEST:VAL?\n");
    EXPECT_EQ(next->line(), QByteArray("8"));
    next->socket.disconnectFromHost();
    EXPECT_TRUE(QTest::qWaitFor([&] { return clientCount() == 0; }, kGuardMs));
}

// The settings switch turned off while a command's action waits (a click
// served inside the action's local event loop).
TEST_F(RemoteServer, DisablingDuringAnActionDoesNotWaitForIt)
{
    auto client = connect();
    bool returned = false;
    backend.duringSlow = [&] {
        server->setEnabled(false);
        returned = true;
        EXPECT_FALSE(backend.log.contains("slow end"));
    };
    client->send("VUK:TEST:SLOW 200\nVUK:TEST:VAL 2\n");
    EXPECT_TRUE(client->waitDisconnected());
    EXPECT_TRUE(QTest::qWaitFor([&] { return clientCount() == 0; }, kGuardMs));
    EXPECT_TRUE(returned);
    EXPECT_EQ(backend.log, (QStringList{"slow begin", "slow end", "value 2"}));
    EXPECT_FALSE(server->isListening());
}

TEST_F(RemoteServer, OverlongLinesAreDroppedWith115)
{
    auto client = connect();
    const int limit = SocketRemoteClient::maxLineLength;
    // One byte too long, sent in pieces, then a line of exactly the limit.
    const QByteArray tooLong(limit + 1, 'A');
    for (int at = 0; at < tooLong.size(); at += 4096)
        client->send(tooLong.mid(at, 4096));
    // A line without its line feed is held up to the limit, not beyond.
    client->send(QByteArray(4 * limit, 'A'));
    QTest::qWait(100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverSide() != nullptr; }, kGuardMs));
    EXPECT_LE(serverSide()->tailBytes(), limit);
    client->send("\n" + QByteArray(limit, 'B') + "\n*OPC?\n");
    EXPECT_EQ(client->line(), QByteArray("1"));
    client->send("VUK:SYST:ERR?;ERR?;ERR?\n");
    EXPECT_EQ(client->line(), QByteArray("-115, Input buffer is full;-110, Command header error;0, No error"));
}

// Serves this thread's events without pausing (unlike QTest::qWaitFor,
// which sleeps between passes and so slows a server that needs many passes)
// until the condition holds; false after ms.
bool serveUntil(const std::function<bool()> &condition, int ms)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    check.start(1);
    bool timedOut = false;
    QTimer::singleShot(ms, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    loop.exec();
    return !timedOut || condition();
}

// What the server holds for a connection, at its largest while it was
// watched: sampled at every pass of this thread's event loop.
struct Holdings
{
    int lines = 0;
    qint64 lineBytes = 0;
    qint64 tail = 0;
    qint64 unread = 0;
    qint64 unsent = 0;

    void sample(const SocketRemoteClient *c)
    {
        if (!c)
            return;
        lines = std::max(lines, c->queuedLineCount());
        lineBytes = std::max(lineBytes, c->queuedLineBytes());
        tail = std::max(tail, c->tailBytes());
        unread = std::max(unread, c->unreadSocketBytes());
        unsent = std::max(unsent, c->unsentReplyBytes());
    }
};

namespace {

// A blocking loopback client for a thread of its own; -1 when it cannot
// connect. Every read gives up after the guard time.
int connectBlocking(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval limit{kGuardMs / 1000, 0};
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

// Many clients at once, each with a window of messages in flight, on threads
// of their own: the parser thread always has work while the GUI thread runs
// the actions and sends the replies. Every reply comes back to its own
// connection, in order, and answers its own message; the GUI thread's other
// events keep running meanwhile.
TEST_F(RemoteServer, BusyClientsGetTheirOwnRepliesInOrder)
{
    constexpr int clients = 16;
    constexpr int messages = 400;
    constexpr int window = 32;
    const quint16 port = server->serverPort();
    std::atomic<int> finished{0};
    std::vector<std::string> failures(clients);
    auto run = [&](int c) {
        std::string &failure = failures[static_cast<std::size_t>(c)];
        const int fd = connectBlocking(port);
        if (fd < 0) {
            failure = "cannot connect";
            ++finished;
            return;
        }
        // Two hops to the GUI thread and one answer on the parser thread.
        auto message = [c](int i) {
            return "VUK:TEST:ECHO 'c" + std::to_string(c) + "-" + std::to_string(i) + "';ECHO?;*OPC?\n";
        };
        int sent = 0;
        std::string pending;
        char buffer[4096];
        for (int i = 0; i < messages && failure.empty(); ++i) {
            while (sent < messages && sent < i + window) {
                const std::string text = message(sent++);
                if (::send(fd, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size()))
                    failure = "send failed";
            }
            std::size_t end;
            while (failure.empty() && (end = pending.find('\n')) == std::string::npos) {
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0)
                    failure = "no reply to message " + std::to_string(i);
                else
                    pending.append(buffer, static_cast<std::size_t>(got));
            }
            if (!failure.empty())
                break;
            const std::string reply = pending.substr(0, end);
            pending.erase(0, end + 1);
            const std::string expected = "c" + std::to_string(c) + "-" + std::to_string(i) + ";1";
            if (reply != expected)
                failure = "reply \"" + reply + "\" where \"" + expected + "\" was due";
        }
        ::close(fd);
        ++finished;
    };

    int ticksWhileBusy = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (finished.load() < clients)
            ++ticksWhileBusy;
    });
    timer.start(1);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back(run, c);
    const bool allFinished = serveUntil([&] { return finished.load() == clients; }, 6 * kGuardMs);
    for (std::thread &thread : threads)
        thread.join();
    ASSERT_TRUE(allFinished) << "the clients did not finish";
    for (int c = 0; c < clients; ++c)
        EXPECT_EQ(failures[static_cast<std::size_t>(c)], "") << "client " << c;
    EXPECT_GT(ticksWhileBusy, 0);
    EXPECT_TRUE(serveUntil([&] { return clientCount() == 0; }, kGuardMs));
}

// A client writing far more than the server takes while the parser thread
// is busy: the server holds its bounds and the rest stays with the client;
// once it goes, only what the server held still runs.
TEST_F(RemoteServer, AFloodingClientIsHeldAtTheInputBounds)
{
    auto client = connect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverSide() != nullptr; }, kGuardMs));
    QPointer<SocketRemoteClient> side = serverSide();
    client->send("VUK:TEST:GATE\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return backend.gateEntered.load(); }, kGuardMs));

    Holdings peak;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { peak.sample(side); });
    sampler.start(0);
    // 32 MB of short lines, more than the system's socket buffers take.
    const QByteArray line = "VUK:TEST:COUN\n";
    const int lineCount = 32 * 1024 * 1024 / line.size();
    client->socket.write(line.repeated(lineCount));
    ASSERT_TRUE(serveUntil([&] { return side->isInputFull(); }, kGuardMs)) << "the queue never filled";
    // Give the client every chance to push more.
    QTest::qWait(200);
    EXPECT_GT(client->socket.bytesToWrite(), 0) << "the server took everything";
    EXPECT_LE(peak.lines, SocketRemoteClient::maxQueuedLines);
    EXPECT_LE(peak.lineBytes, SocketRemoteClient::maxQueuedBytes);
    EXPECT_LE(peak.unread, SocketRemoteClient::socketReadBufferSize);
    EXPECT_EQ(backend.counted.load(), 0);

    // The client's connection is reset: what the systems still buffered is
    // dropped, and only what the server held runs.
    const linger reset{1, 0};
    ASSERT_EQ(
        ::setsockopt(static_cast<int>(client->socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset),
        0);
    client->socket.abort();
    backend.gate.release();
    ASSERT_TRUE(serveUntil([&] { return clientCount() == 0; }, kGuardMs))
        << "the connection stayed; " << backend.counted.load() << " held lines had run, "
        << (side ? side->isInputFull() : false) << " input full";
    sampler.stop();
    EXPECT_GT(backend.counted.load(), 0);
    // Held: the queue, the socket's buffer and the system's receive buffer,
    // which is set to the socket's size and which Linux doubles.
    EXPECT_LE(backend.counted.load(),
              SocketRemoteClient::maxQueuedLines + 3 * SocketRemoteClient::socketReadBufferSize / line.size() + 1);
    EXPECT_LE(peak.lines, SocketRemoteClient::maxQueuedLines);
}

// A client that sends queries and never reads the replies: once its unsent
// replies pass the bound no further message of it runs and its input stops
// at the bounds; when it reads again, its messages go on.
TEST_F(RemoteServer, AClientThatNeverReadsStopsItsMessages)
{
    auto client = connect();
    // The client's own socket takes little, so the replies pile up at the
    // server instead.
    client->socket.setReadBufferSize(4096);
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverSide() != nullptr; }, kGuardMs));
    QPointer<SocketRemoteClient> side = serverSide();
    Holdings peak;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { peak.sample(side); });
    sampler.start(0);

    constexpr int replyBytes = 32 * 1024;
    constexpr int queries = 2000; // 64 MB of replies
    client->socket.write(QByteArray("VUK:TEST:BIG? 32768\n").repeated(queries));
    ASSERT_TRUE(serveUntil([&] { return side->unsentReplyBytes() >= SocketRemoteClient::maxUnsentReply; }, kGuardMs))
        << "the replies never piled up";
    const int answered = backend.bigAnswers.load();
    QTest::qWait(200);
    EXPECT_EQ(backend.bigAnswers.load(), answered) << "messages still ran";
    EXPECT_LT(answered, queries);
    EXPECT_LE(peak.unsent, SocketRemoteClient::maxUnsentReply + replyBytes + 1);
    EXPECT_LE(peak.lines, SocketRemoteClient::maxQueuedLines);
    EXPECT_LE(peak.lineBytes, SocketRemoteClient::maxQueuedBytes);
    EXPECT_LE(peak.unread, SocketRemoteClient::socketReadBufferSize);

    // Reading again lets the messages go on, in order, up to the last.
    client->socket.setReadBufferSize(0);
    qint64 received = 0;
    ASSERT_TRUE(serveUntil(
        [&] {
            received += client->socket.skip(client->socket.bytesAvailable());
            return received == qint64(queries) * (replyBytes + 1);
        },
        4 * kGuardMs))
        << "received " << received;
    EXPECT_EQ(backend.bigAnswers.load(), queries);
    EXPECT_LE(peak.unsent, SocketRemoteClient::maxUnsentReply + replyBytes + 1);
}

// One message cannot build an unbounded reply: past the bound it ends with
// 404, keeping the answers before; a single long answer is still whole.
TEST_F(RemoteServer, TheReplyOfOneMessageIsBounded)
{
    auto client = connect();
    const int half = DeviceFunctions::maxReplyLength / 2;
    client->send("VUK:TEST:BIG? " + QByteArray::number(half) + ";BIG? " + QByteArray::number(half) + "\n");
    EXPECT_EQ(client->line(), QByteArray(half, 'x'));
    client->send("VUK:TEST:BIG? " + QByteArray::number(3 * half) + "\nVUK:SYST:ERR?;ERR?\n");
    EXPECT_EQ(client->line(), QByteArray(3 * half, 'x'));
    EXPECT_EQ(client->line(), QByteArray("-404, Query truncated;0, No error"));
}

TEST_F(RemoteServer, DisablingClosesConnectionsAndStopsListening)
{
    auto client = connect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clientCount() == 1; }, kGuardMs));
    const quint16 port = server->serverPort();
    QSignalSpy enabledSpy(server.get(), &RemoteControl::enabledChanged);

    server->setEnabled(false);
    EXPECT_EQ(enabledSpy.count(), 1);
    EXPECT_FALSE(server->isListening());
    EXPECT_TRUE(client->waitDisconnected());
    EXPECT_TRUE(QTest::qWaitFor([&] { return clientCount() == 0; }, kGuardMs));
    Client refused(port);
    EXPECT_FALSE(refused.connected);

    server->setEnabled(false);
    EXPECT_EQ(enabledSpy.count(), 1);
    server->setEnabled(true);
    EXPECT_EQ(enabledSpy.count(), 2);
    ASSERT_TRUE(server->isListening());
    auto again = connect();
    again->send("*OPC?\n");
    EXPECT_EQ(again->line(), QByteArray("1"));
}

TEST_F(RemoteServer, AChangedPortClosesConnectionsAndListensThere)
{
    auto client = connect();
    QSignalSpy portSpy(server.get(), &RemoteControl::portChanged);
    QSignalSpy listenSpy(server.get(), &RemoteControl::listen);
    QSignalSpy accepted(server.get(), &RemoteControl::stateDescription);

    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 newPort = probe.serverPort();
    probe.close();

    server->setPort(newPort);
    EXPECT_EQ(portSpy.count(), 1);
    EXPECT_EQ(listenSpy.count(), 1);
    EXPECT_EQ(server->getPort(), newPort);
    EXPECT_EQ(server->serverPort(), newPort);
    EXPECT_TRUE(client->waitDisconnected());
    server->setPort(newPort);
    EXPECT_EQ(portSpy.count(), 1);

    Client moved(newPort);
    ASSERT_TRUE(moved.connected);
    moved.send("*OPC?\n");
    EXPECT_EQ(moved.line(), QByteArray("1"));
    ASSERT_GE(accepted.count(), 1);
    EXPECT_EQ(accepted.last().at(0).toString(), QStringLiteral("Accepted connection"));
}

TEST_F(RemoteServer, ListenFailuresAreReportedAndLeaveItEnabled)
{
    LogCapture log;
    // The port is taken by the first listener.
    SocketRemoteControl second(nullptr, server->serverPort(), &table);
    EXPECT_TRUE(second.isEnabled());
    EXPECT_FALSE(second.isListening());
    EXPECT_EQ(second.getStatus(), second.getListenError());

    // A port outside 16 bits is refused rather than wrapped.
    QSignalSpy errors(server.get(), &RemoteControl::error);
    QSignalSpy changes(server.get(), &RemoteControl::listeningChanged);
    auto client = connect();
    server->setPort(65536 + server->serverPort());
    ASSERT_EQ(errors.count(), 1);
    const QString invalid =
        QStringLiteral("Remote control cannot listen: invalid port number %1").arg(server->getPort());
    EXPECT_EQ(errors.at(0).at(0).toString(), invalid);
    EXPECT_EQ(server->getStatus(), invalid);
    EXPECT_EQ(server->property("status").toString(), invalid);
    EXPECT_FALSE(server->property("listening").toBool());
    EXPECT_EQ(changes.count(), 1);
    EXPECT_TRUE(server->isEnabled());
    EXPECT_FALSE(server->isListening());
    EXPECT_TRUE(client->waitDisconnected());
    server->setPort(-1);
    EXPECT_EQ(errors.count(), 2);
    EXPECT_FALSE(server->isListening());
    EXPECT_TRUE(log.contains("invalid port number -1"));

    // Switched off, the failure is no longer shown; back on a free port it
    // listens again.
    server->setEnabled(false);
    EXPECT_EQ(server->getStatus(), QStringLiteral("Off"));
    EXPECT_TRUE(server->getListenError().isEmpty());
    server->setPort(0);
    server->setEnabled(true);
    ASSERT_TRUE(server->isListening());
    EXPECT_TRUE(server->property("listening").toBool());
    EXPECT_EQ(server->getStatus(), QStringLiteral("Listening on 127.0.0.1:%1").arg(server->serverPort()));
    EXPECT_TRUE(server->getListenError().isEmpty());
}

// Another program holds the port: the failure names the port and the
// system's reason, and the status keeps it until the next attempt.
TEST_F(RemoteServer, ATakenPortIsReportedWithItsReason)
{
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    SocketRemoteControl other(nullptr, 0, &table);
    EXPECT_TRUE(other.isListening());
    QSignalSpy errors(&other, &RemoteControl::error);
    QSignalSpy changes(&other, &RemoteControl::listeningChanged);
    other.setPort(holder.serverPort());
    ASSERT_EQ(errors.count(), 1);
    const QString text = errors.at(0).at(0).toString();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Remote control cannot listen on port %1: ").arg(holder.serverPort())))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("already in use"))) << text.toStdString();
    EXPECT_FALSE(other.isListening());
    EXPECT_EQ(other.getStatus(), text);
    EXPECT_EQ(other.getListenError(), text);
    EXPECT_EQ(changes.count(), 1);

    // Freed, the next attempt listens there.
    const quint16 freed = holder.serverPort();
    holder.close();
    other.setEnabled(false);
    other.setEnabled(true);
    EXPECT_TRUE(other.isListening());
    EXPECT_EQ(other.serverPort(), freed);
    EXPECT_TRUE(other.getListenError().isEmpty());
}

// Shutdown while a message runs: the listener's destruction waits for it,
// serving the action's call meanwhile.
TEST_F(RemoteServer, DestroyingTheListenerWhileAMessageRuns)
{
    auto client = connect();
    client->send("VUK:TEST:POOL 200\nVUK:TEST:VAL 1\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return backend.poolSlowStarted.load(); }, kGuardMs));
    server.reset();
    EXPECT_TRUE(backend.log.contains("pool slow end"));
    EXPECT_TRUE(client->waitDisconnected());
}
