// A program killed (SIGKILL) at any moment of its saves leaves every file it
// saved either as an earlier save left it or as the new save writes it,
// never cut short; the staging files it may leave are removed by the next
// start, and nothing else is touched.
//
// The program is a child process (app_save_child) that saves every kind
// over and over into one folder; it is killed after a random delay, many
// times, each at another moment of its saves.

#include "analyser-sim/analysersim.h"
#include "app/mainqmlbackend.h"
#include "app/settings.h"
#include "device/stagedfile.h"
#include "tests/app/savescene.h"
#include "tests/support/analysertiming.h"
#include "tests/support/eventloop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <csignal>
#include <map>
#include <memory>
#include <string>

namespace {

using namespace SaveTests;

// The name of the file a saved file is a copy of: raw data go to numbered
// names, one more each round.
QString roundName(const QString &name)
{
    static const QRegularExpression numbered(QStringLiteral("\\(\\d+\\)(\\.s\\dp)$"));
    return QString(name).replace(numbered, QStringLiteral("\\1"));
}

bool isStaging(const QString &name)
{
    return name.startsWith(QLatin1Char('.')) && name.endsWith(QStringLiteral(".part"));
}

// Waits for a line of the child's output that starts with prefix; the rest
// of that line, or nothing when the child ended or the time ran out.
std::optional<QString> waitForLine(QProcess &child, const QString &prefix, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        while (child.canReadLine()) {
            const QString line = QString::fromUtf8(child.readLine()).trimmed();
            if (line.startsWith(prefix))
                return line.mid(prefix.size()).trimmed();
        }
        if (child.state() == QProcess::NotRunning)
            return std::nullopt;
        child.waitForReadyRead(50);
    }
    return std::nullopt;
}

TEST(SaveKill, AKillAtAnyMomentLeavesTheOldFilesOrTheNewOnes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The settings file of the program started here goes to the scratch
    // folder.
    const QString previousDir = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const auto back = qScopeGuard([&] { QDir::setCurrent(previousDir); });
    AnalyserSim::Options options;
    options.portCount = 4;
    AnalyserSim::Simulator sim(options);
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    sim.execute(QStringLiteral("SENS1:SWE:POIN 60"));
    sim.execute(QStringLiteral("SENS1:FREQ:STAR 100000000"));
    sim.execute(QStringLiteral("SENS1:FREQ:STOP 6000000000"));
    sim.setScene(AnalyserSim::Scene::twoXThru(1, 2));

    const QString work = dir.filePath(QStringLiteral("work"));
    const QString out = dir.filePath(QStringLiteral("out"));
    const QString tmp = QDir(work).filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkpath(out));
    const QString base = QDir(out).filePath(QStringLiteral("run"));
    const auto startChild = [&](QProcess &child, int rounds) {
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QStringLiteral(VUK_SAVE_CHILD), {work, base, QString::number(sim.port()), QString::number(rounds)});
        return child.waitForStarted(10000);
    };

    // One whole round first: what every later round writes again.
    qint64 roundMs = 0;
    {
        QProcess child;
        ASSERT_TRUE(startChild(child, 1));
        const auto round = waitForLine(child, QStringLiteral("round "), 60000);
        ASSERT_TRUE(round.has_value()) << child.readAllStandardError().toStdString();
        roundMs = round->toLongLong();
        ASSERT_TRUE(child.waitForFinished(20000));
        ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
    }
    std::map<QString, QByteArray> expected;
    for (const auto &[name, bytes] : folderFiles(out))
        expected[name] = withoutDate(bytes);
    ASSERT_GE(expected.size(), 8u) << "every kind of save wrote its files";
    for (const auto &entry : expected)
        ASSERT_FALSE(isStaging(entry.first)) << entry.first.toStdString();

    // Every file in the folder is a whole copy of what its save writes;
    // staging files are counted.
    const auto check = [&](const char *when) {
        int staging = 0;
        for (const auto &[name, bytes] : folderFiles(out)) {
            SCOPED_TRACE(std::string(when) + ": " + name.toStdString());
            if (isStaging(name)) {
                ++staging;
                continue;
            }
            const auto reference = expected.find(roundName(name));
            if (reference == expected.end()) {
                ADD_FAILURE() << "a file no save writes";
                continue;
            }
            EXPECT_EQ(withoutDate(bytes), reference->second) << "cut short: " << bytes.size() << " bytes";
        }
        return staging;
    };

    const quint32 seed = QRandomGenerator::global()->generate();
    SCOPED_TRACE("seed " + std::to_string(seed));
    QRandomGenerator random(seed);
    constexpr int Kills = 24;
    int leftStaging = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill + 1));
        QProcess child;
        ASSERT_TRUE(startChild(child, 0));
        ASSERT_TRUE(waitForLine(child, QStringLiteral("measured"), 60000).has_value())
            << child.readAllStandardError().toStdString();
        // Anywhere in a round, the first save's start to the last one's end.
        const auto delay = static_cast<unsigned long>(random.bounded(quint32(roundMs + roundMs / 4 + 1)));
        QThread::msleep(delay);
        ASSERT_EQ(::kill(static_cast<pid_t>(child.processId()), SIGKILL), 0);
        ASSERT_TRUE(child.waitForFinished(10000));
        // What the analyser was still asked to do it has done once the
        // dead program's links are closed.
        ASSERT_TRUE(sim.waitForConnections(0, 10000));

        const int staging = check("after the kill");
        leftStaging += staging > 0;

        // The next start removes what the killed run left, and only that.
        {
            ::Settings settings;
            settings.ipAddress = QStringLiteral("127.0.0.1");
            settings.port = uint(sim.port());
            BackendOptions backendOptions;
            backendOptions.remoteControlPort = 0;
            backendOptions.vnaTiming = TestSupport::shortAnalyserTiming(1000);
            backendOptions.temporaryFolder = tmp;
            MainQmlBackend started(&settings, nullptr, backendOptions);
            TestSupport::flush();
        }
        TestSupport::flush();
        EXPECT_EQ(check("after the next start"), 0) << "a staging file outlived the next start";
        EXPECT_TRUE(QDir(tmp).entryList({QStringLiteral("staging-*.list")}, QDir::Files).isEmpty());
        ASSERT_TRUE(sim.waitForConnections(0, 10000));
    }
    std::printf("%d of %d kills left a staging file behind (removed at the next start)\n", leftStaging, Kills);
}

} // namespace
