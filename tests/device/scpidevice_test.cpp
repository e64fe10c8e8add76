// ScpiDevice against a small line-based peer running on the test's own
// thread: the device's local event loops serve the peer while they wait.
#include "device/scpidevice.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr int shortConnectTimeoutMs = 150;

// Accepts any number of connections and hands every received line, with the
// index of its connection, to `onLine`.
class FakePeer : public QObject
{
public:
    struct Line
    {
        int connection;
        QByteArray text;
    };

    FakePeer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                const int id = static_cast<int>(connections.size());
                connections.push_back(socket);
                connect(socket, &QIODevice::readyRead, this, [this, socket, id] {
                    while (socket->canReadLine()) {
                        const QByteArray text = socket->readLine();
                        lines.push_back({id, text});
                        if (onLine)
                            onLine(socket, text);
                    }
                });
            }
        });
    }

    quint16 port() const { return server.serverPort(); }

    // Writes `bytes` after `delayMs` if the connection is still open then.
    static void replyLater(QTcpSocket *socket, QByteArray bytes, int delayMs)
    {
        QPointer<QTcpSocket> guard(socket);
        QTimer::singleShot(delayMs, [guard, bytes] {
            if (guard && guard->state() == QAbstractSocket::ConnectedState)
                guard->write(bytes);
        });
    }

    QTcpServer server;
    std::vector<QPointer<QTcpSocket>> connections;
    std::vector<Line> lines;
    std::function<void(QTcpSocket *, const QByteArray &)> onLine;
};

// A port on which nothing listens (taken from a server that is then closed).
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

QString host()
{
    return QStringLiteral("127.0.0.1");
}

} // namespace

TEST(ScpiDeviceConnect, SamePeerAgainKeepsTheConnectionUntouched)
{
    FakePeer peer;
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    ASSERT_TRUE(device.connectToHost(host(), peer.port()));
    EXPECT_TRUE(device.isConnected());

    QSignalSpy states(&device, &ScpiDevice::stateChanged);
    EXPECT_TRUE(device.connectToHost(host(), peer.port()));
    QTest::qWait(20);
    EXPECT_EQ(states.count(), 0);
    EXPECT_EQ(peer.connections.size(), 1u);
    EXPECT_TRUE(peer.lines.empty());
}

TEST(ScpiDeviceConnect, NewPortDropsTheOldConnectionThenConnectsOnTheNextCall)
{
    FakePeer first;
    FakePeer second;
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    ASSERT_TRUE(device.connectToHost(host(), first.port()));

    EXPECT_FALSE(device.connectToHost(host(), second.port()));
    EXPECT_FALSE(device.isConnected());
    EXPECT_TRUE(second.connections.empty());

    EXPECT_TRUE(device.connectToHost(host(), second.port()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return second.connections.size() == 1; }, 2000));
    QTest::qWait(20);
    ASSERT_EQ(first.connections.size(), 1u);
    EXPECT_TRUE(first.connections[0].isNull() || first.connections[0]->state() != QAbstractSocket::ConnectedState);
}

TEST(ScpiDeviceConnect, HostNamesAndRefusedPortsFailAfterTheTimeout)
{
    FakePeer peer;
    struct Case
    {
        QString host;
        quint16 port;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("localhost"), peer.port()}, // names are never resolved
        {QStringLiteral("not an address"), peer.port()},
        {host(), closedPort()},
    };
    for (const Case &c : cases) {
        ScpiDevice device(nullptr, shortConnectTimeoutMs);
        QSignalSpy errors(&device, &ScpiDevice::error);
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(device.connectToHost(c.host, c.port)) << c.host.toStdString();
        EXPECT_GE(clock.elapsed(), shortConnectTimeoutMs - 10) << c.host.toStdString();
        EXPECT_EQ(device.state(), QAbstractSocket::UnconnectedState);
        EXPECT_EQ(errors.count(), 0);
    }
    EXPECT_TRUE(peer.connections.empty());
}

TEST(ScpiDeviceConnect, HostNameCostsTheDefaultThreeSecondWait)
{
    FakePeer peer;
    ScpiDevice device;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(device.connectToHost(QStringLiteral("localhost"), peer.port()));
    EXPECT_GE(clock.elapsed(), 2990);
    EXPECT_LT(clock.elapsed(), 6000);
}

TEST(ScpiDeviceConnect, ApplicationProxyIsNeverUsed)
{
    FakePeer peer;
    const QNetworkProxy previous = QNetworkProxy::applicationProxy();
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::Socks5Proxy, QStringLiteral("127.0.0.1"), closedPort()));
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    const bool connected = device.connectToHost(host(), peer.port());
    QNetworkProxy::setApplicationProxy(previous);
    EXPECT_TRUE(connected);
    EXPECT_TRUE(QTest::qWaitFor([&] { return peer.connections.size() == 1; }, 2000));
}

// A command that cannot go out is never lost silently: the caller gets false
// and the error names the command.
TEST(ScpiDeviceSend, NotConnectedIsReported)
{
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    QSignalSpy errors(&device, &ScpiDevice::error);
    EXPECT_FALSE(device.send(QStringLiteral("*RST\n")));
    EXPECT_FALSE(device.query(QStringLiteral("*IDN?\n"), 100).has_value());
    EXPECT_FALSE(device.query(QStringLiteral("*OPC?\n")).has_value());
    ASSERT_EQ(errors.count(), 3);
    EXPECT_EQ(errors.at(0).at(0).toString(), scpiExchangeErrorText + QStringLiteral(" *RST\n"));
    EXPECT_EQ(errors.at(2).at(0).toString(), scpiExchangeErrorText + QStringLiteral(" *OPC?\n"));
}

TEST(ScpiDeviceSend, CommandGoesOutExactlyAsPassed)
{
    FakePeer peer;
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    ASSERT_TRUE(device.connectToHost(host(), peer.port()));
    EXPECT_TRUE(device.send(QStringLiteral("SENSe1:SWEep:POINts 201\n")));
    EXPECT_TRUE(device.send(QStringLiteral("OUTPut 1\n")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer.lines.size() == 2; }, 2000));
    EXPECT_EQ(peer.lines[0].text, QByteArray("SENSe1:SWEep:POINts 201\n"));
    EXPECT_EQ(peer.lines[1].text, QByteArray("OUTPut 1\n"));
}

TEST(ScpiDeviceQuery, ReplyLinesAreSimplified)
{
    struct Case
    {
        QByteArray reply;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"  1 \n", QStringLiteral("1")},
        {"\n", QString()}, // present but empty
        {"a \t  b\r\n", QStringLiteral("a b")},
        {"1,2, 3\n", QStringLiteral("1,2, 3")},
        {"\xc3\xa9t\xc3\xa9\n", QStringLiteral("\u00e9t\u00e9")}, // UTF-8
    };
    FakePeer peer;
    size_t next = 0;
    peer.onLine = [&](QTcpSocket *socket, const QByteArray &) { socket->write(cases[next++].reply); };
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    ASSERT_TRUE(device.connectToHost(host(), peer.port()));
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto reply = device.query(QStringLiteral("Q%1?\n").arg(i), 2000);
        ASSERT_TRUE(reply.has_value()) << i;
        EXPECT_EQ(*reply, cases[i].expected) << i;
        EXPECT_EQ(peer.lines[i].text, QStringLiteral("Q%1?\n").arg(i).toLatin1());
    }
    EXPECT_EQ(peer.connections.size(), 1u);
}

TEST(ScpiDeviceQuery, ReplyArrivingInPiecesIsJoined)
{
    FakePeer peer;
    peer.onLine = [](QTcpSocket *socket, const QByteArray &) {
        socket->write("1.5e9,");
        socket->flush();
        FakePeer::replyLater(socket, "2.5e9", 40);
        FakePeer::replyLater(socket, "\n", 80);
    };
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    ASSERT_TRUE(device.connectToHost(host(), peer.port()));
    const auto reply = device.query(QStringLiteral("SENSe1:FREQuency:DATA?\n"), 2000);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(*reply, QStringLiteral("1.5e9,2.5e9"));
}

TEST(ScpiDeviceQuery, BytesReceivedBeforeTheQueryDoNotAnswerIt)
{
    FakePeer peer;
    peer.onLine = [](QTcpSocket *socket, const QByteArray &) { FakePeer::replyLater(socket, "fresh\n", 30); };
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    ASSERT_TRUE(device.connectToHost(host(), peer.port()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer.connections.size() == 1; }, 2000));
    peer.connections[0]->write("stale\nstale too\n");
    QTest::qWait(100);
    const auto reply = device.query(QStringLiteral("*IDN?\n"), 2000);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(*reply, QStringLiteral("fresh"));
}

TEST(ScpiDeviceQuery, TimeOutGivesAnEmptyResultWithoutError)
{
    FakePeer peer; // never answers
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    ASSERT_TRUE(device.connectToHost(host(), peer.port()));
    QSignalSpy errors(&device, &ScpiDevice::error);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(device.query(QStringLiteral("SYST:READy?\n"), 200).has_value());
    EXPECT_GE(clock.elapsed(), 190);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(errors.count(), 0);
    // Given up while connected: a fresh connection to the same peer.
    EXPECT_TRUE(device.isConnected());
    EXPECT_TRUE(QTest::qWaitFor([&] { return peer.connections.size() == 2; }, 2000));
    EXPECT_TRUE(device.connectToHost(host(), peer.port()));
}

TEST(ScpiDeviceQuery, LateReplyAfterATimeOutNeverAnswersTheNextQuery)
{
    FakePeer peer;
    peer.onLine = [](QTcpSocket *socket, const QByteArray &line) {
        if (line == "SLOW?\n")
            FakePeer::replyLater(socket, "late\n", 300);
        else
            FakePeer::replyLater(socket, "next\n", 500);
    };
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    ASSERT_TRUE(device.connectToHost(host(), peer.port()));
    EXPECT_FALSE(device.query(QStringLiteral("SLOW?\n"), 100).has_value());
    const auto reply = device.query(QStringLiteral("NEXT?\n"), 3000);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(*reply, QStringLiteral("next"));
    ASSERT_EQ(peer.lines.size(), 2u);
    EXPECT_NE(peer.lines[0].connection, peer.lines[1].connection);
}

TEST(ScpiDeviceQuery, InterruptEndsAnUntimedQueryAndIsClearedAfterwards)
{
    FakePeer peer;
    peer.onLine = [](QTcpSocket *socket, const QByteArray &line) {
        if (line == "*OPC?\n")
            FakePeer::replyLater(socket, "1\n", 400); // arrives after the interrupt
        else
            socket->write("answer\n");
    };
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    ASSERT_TRUE(device.connectToHost(host(), peer.port()));
    QSignalSpy errors(&device, &ScpiDevice::error);

    QTimer::singleShot(50, &device, &ScpiDevice::interrupt);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(device.query(QStringLiteral("*OPC?\n")).has_value());
    EXPECT_LT(clock.elapsed(), 350);

    const auto reply = device.query(QStringLiteral("NEXT?\n"), 2000);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(*reply, QStringLiteral("answer"));
    QTest::qWait(450); // the abandoned "1" would have arrived by now
    const auto again = device.query(QStringLiteral("AGAIN?\n"), 2000);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(*again, QStringLiteral("answer"));
    EXPECT_EQ(errors.count(), 0);
}

TEST(ScpiDeviceQuery, InterruptBetweenQueriesDoesNotCancelTheNextOne)
{
    FakePeer peer;
    peer.onLine = [](QTcpSocket *socket, const QByteArray &) { FakePeer::replyLater(socket, "1\n", 30); };
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    ASSERT_TRUE(device.connectToHost(host(), peer.port()));
    device.interrupt();
    const auto reply = device.query(QStringLiteral("*OPC?\n"));
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(*reply, QStringLiteral("1"));
}

TEST(ScpiDeviceQuery, QueuedInterruptFromAnotherThreadReachesAWaitingQuery)
{
    FakePeer peer; // never answers
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    ASSERT_TRUE(device.connectToHost(host(), peer.port()));
    std::thread other([&device] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        QMetaObject::invokeMethod(&device, "interrupt", Qt::QueuedConnection);
    });
    QElapsedTimer clock;
    clock.start();
    const auto reply = device.query(QStringLiteral("*OPC?\n"));
    other.join();
    EXPECT_FALSE(reply.has_value());
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST(ScpiDeviceQuery, DroppedConnectionEndsTheWait)
{
    FakePeer peer;
    peer.onLine = [](QTcpSocket *socket, const QByteArray &) { socket->disconnectFromHost(); };
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    ASSERT_TRUE(device.connectToHost(host(), peer.port()));
    QSignalSpy errors(&device, &ScpiDevice::error);
    QSignalSpy dropped(&device, &ScpiDevice::disconnected);
    EXPECT_FALSE(device.query(QStringLiteral("*OPC?\n")).has_value());
    EXPECT_FALSE(device.isConnected());
    EXPECT_EQ(dropped.count(), 1);
    EXPECT_EQ(errors.count(), 0);
    // The device does not reconnect on its own; its owner does.
    EXPECT_EQ(peer.connections.size(), 1u);
    EXPECT_TRUE(device.connectToHost(host(), peer.port()));
}

TEST(ScpiDeviceQuery, ReplyWrittenJustBeforeTheCloseStillAnswers)
{
    FakePeer peer;
    peer.onLine = [](QTcpSocket *socket, const QByteArray &) {
        socket->write("bye\n");
        socket->disconnectFromHost();
    };
    ScpiDevice device(nullptr, shortConnectTimeoutMs);
    ASSERT_TRUE(device.connectToHost(host(), peer.port()));
    const auto reply = device.query(QStringLiteral("BYE?\n"), 2000);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(*reply, QStringLiteral("bye"));
}
