// The restart the settings page asks for ("Restart now" after a scale
// change), as the program does it, and the demo script around it: the copy
// takes the program's place, keeps its terminal and its analyser, and a
// Ctrl+C ends everything. The program is the restart stand-in (built from
// the program's own start-up pieces, see restartstandin.cpp), which records
// what each run sees in standin.log of its scratch working folder.

#include "analyser-sim/analysersim.h"
#include "tests/support/eventloop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace {

using TestSupport::waitUntil;

// One line of standin.log, split at blanks.
struct Record
{
    QByteArray kind;
    QList<QByteArray> fields;
};

class RestartTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void TearDown() override
    {
        if (process.state() != QProcess::NotRunning) {
            // The whole group: a script and what it started.
            ::kill(-pid_t(process.processId()), SIGKILL);
            process.kill();
            process.waitForFinished(5000);
        }
    }

    QList<Record> records() const
    {
        QFile file(dir.filePath(QStringLiteral("standin.log")));
        QList<Record> list;
        if (!file.open(QIODevice::ReadOnly))
            return list;
        for (const QByteArray &line : file.readAll().split('\n')) {
            QList<QByteArray> fields = line.split(' ');
            if (line.isEmpty())
                continue;
            list.append(Record{fields.takeFirst(), fields});
        }
        return list;
    }

    int count(const QByteArray &kind) const
    {
        int n = 0;
        for (const Record &record : records())
            n += record.kind == kind;
        return n;
    }

    Record nth(const QByteArray &kind, int index) const
    {
        for (const Record &record : records())
            if (record.kind == kind && index-- == 0)
                return record;
        return {};
    }

    // Waits until standin.log holds n records of the kind; fails early when
    // the process ends first.
    ::testing::AssertionResult waitFor(const QByteArray &kind, int n, int timeoutMs = 30000)
    {
        QElapsedTimer timer;
        timer.start();
        while (count(kind) < n) {
            if (process.state() == QProcess::NotRunning || timer.elapsed() > timeoutMs)
                return ::testing::AssertionFailure()
                       << "waited for " << n << " \"" << kind.toStdString() << "\" records in standin.log; "
                       << (process.state() == QProcess::NotRunning ? "the process ended" : "timed out") << " after "
                       << timer.elapsed() << " ms with " << count(kind) << "; output: "
                       << QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError())
                              .toStdString();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
        return ::testing::AssertionSuccess();
    }

    // What the settings page does: a new scale, then "Restart now".
    void pressRestartNow(const QByteArray &request)
    {
        QFile file(dir.filePath(QStringLiteral("restart-now.tmp")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(request);
        file.close();
        ASSERT_TRUE(file.rename(dir.filePath(QStringLiteral("restart-now"))));
    }

    void pointSettingsAt(quint16 analyserPort)
    {
        QDir(dir.path()).mkpath(QStringLiteral("settings"));
        QSettings file(dir.filePath(QStringLiteral("settings/settings")), QSettings::IniFormat);
        file.setValue(QStringLiteral("Network/ipAddress"), QStringLiteral("127.0.0.1"));
        file.setValue(QStringLiteral("Network/port"), uint(analyserPort));
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("QT_SCALE_FACTOR"));
        return env;
    }

    QTemporaryDir dir;
    QProcess process;
};

// True when something accepts a connection on 127.0.0.1:port and answers
// the analyser's identity query.
bool analyserAnswers(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(2000))
        return false;
    socket.write("*IDN?\n");
    QByteArray reply;
    while (!reply.contains('\n') && socket.waitForReadyRead(2000))
        reply += socket.readAll();
    return reply.contains('\n') && reply.size() > 1;
}

bool listening(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    return socket.waitForConnected(1000);
}

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

TEST_F(RestartTest, TheCopyTakesTheProgramsPlaceWithItsArgumentsAndTheNewScale)
{
    AnalyserSim::Simulator sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    pointSettingsAt(sim.port());
    process.setProgram(QStringLiteral(VUK_RESTART_STANDIN));
    process.setArguments({QStringLiteral("-r")});
    process.setWorkingDirectory(dir.path());
    process.setProcessEnvironment(environment());
    process.start();
    ASSERT_TRUE(process.waitForStarted(10000));
    ASSERT_TRUE(waitFor("ready", 1));

    pressRestartNow("1.25");
    ASSERT_TRUE(waitFor("start", 2));
    ASSERT_TRUE(waitFor("ready", 2));

    // The same process, still running: nothing outside it saw an end.
    const QByteArray pid = QByteArray::number(process.processId());
    EXPECT_EQ(process.state(), QProcess::Running);
    EXPECT_EQ(nth("start", 0).fields.value(0), pid);
    EXPECT_EQ(nth("start", 1).fields.value(0), pid);
    EXPECT_EQ(nth("ready", 1).fields.value(0), pid);
    // The first run had no scale; the copy applies the one just chosen,
    // which this run saved before the copy started.
    EXPECT_EQ(nth("start", 0).fields.value(2), QByteArray("-"));
    EXPECT_EQ(nth("start", 1).fields.value(2), QByteArray("1.25"));
    // The copy gets this run's full argument list, program path first.
    const QByteArray program = QFileInfo(QStringLiteral(VUK_RESTART_STANDIN)).canonicalFilePath().toUtf8();
    const QList<QByteArray> arguments = nth("start", 1).fields.mid(3);
    ASSERT_EQ(arguments.size(), 3) << nth("start", 1).fields.join(' ').toStdString();
    EXPECT_EQ(QFileInfo(QString::fromUtf8(arguments[0])).canonicalFilePath().toUtf8(), program);
    EXPECT_EQ(QFileInfo(QString::fromUtf8(arguments[1])).canonicalFilePath().toUtf8(), program);
    EXPECT_EQ(arguments[2], QByteArray("-r"));

    process.terminate();
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(count("start"), 2);
}

// A Ctrl+C that arrives while the program restarts (its loop has ended,
// the copy has not started) ends it: no copy starts behind the user's back.
TEST_F(RestartTest, ATerminationSignalDuringTheRestartEndsTheProgram)
{
    AnalyserSim::Simulator sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    pointSettingsAt(sim.port());
    process.setProgram(QStringLiteral(VUK_RESTART_STANDIN));
    process.setWorkingDirectory(dir.path());
    process.setProcessEnvironment(environment());
    process.start();
    ASSERT_TRUE(process.waitForStarted(10000));
    ASSERT_TRUE(waitFor("ready", 1));

    pressRestartNow("1.5 interrupt");
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(count("start"), 1);
    // The choice is kept for the next start.
    QSettings file(dir.filePath(QStringLiteral("settings/settings")), QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("Display/scalingFactor")).toString(), QStringLiteral("1.5"));
}

// scripts/run in a scratch copy of the tree whose build folder holds the
// stand-in as the program and the real simulated analyser: the analyser
// lives on through "Restart now", the copy connects to it, and a Ctrl+C in
// the script's terminal (SIGINT to its process group) ends both.
TEST_F(RestartTest, TheRunScriptKeepsItsAnalyserAcrossARestartAndCtrlCEndsBoth)
{
    const QDir root(dir.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("scripts")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("build/program")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("build/tools/analyser-sim")));
    const QString script = root.filePath(QStringLiteral("scripts/run"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VUK_SOURCE_DIR "/scripts/run"), script));
    ASSERT_TRUE(QFile::link(QStringLiteral(VUK_RESTART_STANDIN), root.filePath(QStringLiteral("build/program/vuk"))));
    ASSERT_TRUE(QFile::link(QStringLiteral(VUK_ANALYSER_SIM),
                            root.filePath(QStringLiteral("build/tools/analyser-sim/analyser-sim"))));

    const quint16 simPort = freePort();
    ASSERT_NE(simPort, 0);
    ASSERT_FALSE(listening(simPort));
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("SKIP_BUILD"), QStringLiteral("1"));
    env.insert(QStringLiteral("BUILD_DIR"), root.filePath(QStringLiteral("build")));
    env.insert(QStringLiteral("SIM_PORT"), QString::number(simPort));
    // A short sweep grid keeps the simulator's start quick.
    env.insert(QStringLiteral("SIM_SWEEP"), QStringLiteral("10e6,2e9,200"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    // A session of its own, as a terminal gives its foreground job: the
    // script's process group is what Ctrl+C signals.
    process.setProgram(QStringLiteral("setsid"));
    process.setArguments({QStringLiteral("bash"), script});
    process.start();
    ASSERT_TRUE(process.waitForStarted(10000));
    const pid_t group = pid_t(process.processId());

    ASSERT_TRUE(waitFor("ready", 1));
    EXPECT_TRUE(analyserAnswers(simPort));
    EXPECT_EQ(nth("start", 0).fields.value(1), QByteArray::number(group));

    pressRestartNow("1.25");
    ASSERT_TRUE(waitFor("start", 2));
    // The restarted copy reaches the analyser, which still answers.
    ASSERT_TRUE(waitFor("ready", 2));
    EXPECT_TRUE(analyserAnswers(simPort));
    EXPECT_EQ(process.state(), QProcess::Running);
    EXPECT_EQ(nth("start", 1).fields.value(1), QByteArray::number(group)) << "the copy left the terminal's group";
    EXPECT_EQ(nth("start", 1).fields.value(2), QByteArray("1.25"));

    // Ctrl+C.
    ASSERT_EQ(::kill(-group, SIGINT), 0);
    ASSERT_TRUE(process.waitForFinished(30000)) << "the script did not end after Ctrl+C";
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("run: simulated analyser on 127.0.0.1:%1").arg(simPort)))
        << output.toStdString();
    EXPECT_TRUE(waitUntil(
        "the simulated analyser to stop", [&] { return !listening(simPort); }, 10000));
    // The program is gone with the script: no process is left in the group.
    EXPECT_TRUE(waitUntil(
        "the script's process group to empty", [&] { return ::kill(-group, 0) != 0 && errno == ESRCH; }, 10000));
    EXPECT_EQ(count("start"), 2);
}

} // namespace
