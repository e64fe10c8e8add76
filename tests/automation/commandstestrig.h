#pragma once
// The program's command set end to end: a backend whose analyser proxy talks
// to the in-process simulated analyser, the command table built over that
// backend, a listener on an ephemeral loopback port serving the table, and a
// client on a real socket. Everything but the simulator and the parser
// thread runs on the test's own (the GUI) thread; every wait serves its
// events.
//
// The proxy's periodic poll is set an hour apart, so the only polls are the
// rig's own (sync) and the ones the commands queue themselves: a value that
// reached the cache without sync() was read back by a command's own poll.

#include "analyser-sim/analysersim.h"
#include "app/mainqmlbackend.h"
#include "automation/commands/commands.h"
#include "automation/server/commandtable.h"
#include "automation/server/remotecontrol.h"
#include "device/syncedvnadevice.h"
#include "measurement/fixturesetups.h"
#include "measurement/step.h"
#include "measurement/vukalgorithmssetup.h"
#include "replyline.h"
#include "tests/support/eventloop.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QHostAddress>
#include <QList>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace CommandsTest {

constexpr int kGuardMs = 20000;

inline VnaTiming rigTiming()
{
    VnaTiming timing;
    timing.queryTimeoutMs = 2000;
    timing.connectTimeoutMs = 500;
    timing.pollIntervalMs = 3600 * 1000;
    // An analyser that went away during a measurement is given a second to
    // take its state back.
    timing.restoreRetryMs = 1000;
    return timing;
}

// A client of the listener over a real socket.
class Client
{
public:
    explicit Client(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        connected = socket.waitForConnected(kGuardMs);
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }

    void send(const QByteArray &line)
    {
        socket.write(line + '\n');
        socket.flush();
    }

    // The next reply line without its line feed; empty (and a failure) on
    // time-out.
    QByteArray line(int ms = kGuardMs) { return readReplyLine(socket, ms); }

    // The reply of one message.
    QByteArray ask(const QByteArray &message)
    {
        send(message);
        return line();
    }

    // Sends a message that answers nothing and waits until it has run: the
    // connection runs its lines in order, so the operation-complete query
    // of the next line answers only after it.
    void run(const QByteArray &message)
    {
        send(message);
        EXPECT_EQ(ask("*OPC?"), QByteArray("1")) << "after " << message.toStdString();
    }

    // The oldest queued error as the error query answers it.
    QByteArray error() { return ask("VUK:SYST:ERR?"); }

    // Sends each command as a message of its own, then reads the error
    // queue in one message: the code each command queued, in order, when
    // each queued exactly one. The last entry is the empty queue's answer.
    QList<QByteArray> errorsOf(const std::vector<QByteArray> &commands)
    {
        for (const QByteArray &command : commands)
            send(command);
        QByteArray query = "VUK:SYST:ERR?";
        for (std::size_t i = 0; i < commands.size(); ++i)
            query += ";ERR?";
        return ask(query).split(';');
    }

    // Nothing more arrives within ms.
    bool silentFor(int ms)
    {
        QTest::qWait(ms);
        return socket.bytesAvailable() == 0;
    }

    QTcpSocket socket;
    bool connected = false;
};

// "-<code>, <text>" as the error query answers a queued code.
inline QByteArray errorAnswer(int code, const char *text)
{
    return QByteArray("-") + QByteArray::number(code) + ", " + text;
}

class Rig
{
public:
    explicit Rig(AnalyserSim::Options options = quickOptions())
        : sim(std::move(options)),
          table(std::make_unique<Korvel::Automation::CommandTable>())
    {
        Step::setStateBackupDirectory(files.path());
        simStarted = sim.start();
        BackendOptions backendOptions;
        backendOptions.remoteControlPort = 0;
        backendOptions.vnaTiming = rigTiming();
        backend = std::make_unique<MainQmlBackend>(nullptr, nullptr, backendOptions);
        device()->setPort(sim.port());
        registered = Korvel::Automation::registerRemoteCommands(backend.get(), *table);
        server = std::make_unique<Korvel::Automation::SocketRemoteControl>(nullptr, 0, table.get());
        client = std::make_unique<Client>(server->serverPort());
    }

    ~Rig()
    {
        client.reset();
        server.reset();
        backend.reset();
        TestSupport::flush();
        Step::setStateBackupDirectory(QString());
    }

    // Two ports more than the default, and quick sweeps.
    static AnalyserSim::Options quickOptions()
    {
        AnalyserSim::Options options;
        options.portCount = 4;
        options.sweepTimeMs = 5;
        return options;
    }

    // Everything in place and the analyser polled (twice, so the port
    // impedances of every reported port are cached).
    bool ready() { return simStarted && registered && client->connected && sync() && sync(); }

    // One poll of the analyser; true when it answered.
    bool sync()
    {
        const bool ok = device()->callAndWait(&SyncedVnaDevice::pushSync);
        QCoreApplication::processEvents();
        return ok;
    }

    // A harmonic grid on the analyser: f = step, 2 step, ..., points * step.
    void setHarmonicGrid(double step, unsigned points)
    {
        sim.execute(QStringLiteral("SENS1:SWE:POIN %1").arg(points));
        sim.execute(QStringLiteral("SENS1:FREQ:STAR %1").arg(step, 0, 'g', 17));
        sim.execute(QStringLiteral("SENS1:FREQ:STOP %1").arg(step * points, 0, 'g', 17));
    }

    // The lines the analyser received, in order.
    QStringList analyserLog() const
    {
        QStringList lines;
        for (const auto &entry : sim.log())
            lines << entry.text;
        return lines;
    }

    SyncedVnaDevice *device() const { return backend->getVnaDevice(); }
    FixtureSetups *setups() const { return backend->getFixtureSetups(); }
    VukAlgorithmsSetup *setup() const { return backend->getFixtureSetups()->setup(0); }
    Step *step(int i) const { return setup()->steps().at(i).get(); }

    QTemporaryDir files;
    AnalyserSim::Simulator sim;
    std::unique_ptr<MainQmlBackend> backend;
    std::unique_ptr<Korvel::Automation::CommandTable> table;
    std::unique_ptr<Korvel::Automation::SocketRemoteControl> server;
    std::unique_ptr<Client> client;
    bool simStarted = false;
    bool registered = false;
};

} // namespace CommandsTest
