#include "proxytestsupport.h"

#include "device/devicestatebackup.h"
#include "device/syncedvnadevice.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <map>
#include <ostream>
#include <string>

namespace {

using namespace ProxyTest;
using AnalyserSim::Fault;
using AnalyserSim::FaultKind;

class Backup : public ::testing::Test
{
protected:
    // Short polls, but query time-outs that a loaded machine does not hit
    // by accident: every failure in these tests is an injected one.
    static VnaTiming backupTiming()
    {
        VnaTiming timing = fastTiming();
        timing.queryTimeoutMs = 1000;
        timing.connectTimeoutMs = 1000;
        return timing;
    }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
        makeProxy(backupTiming());
    }

    void makeProxy(const VnaTiming &timing)
    {
        proxy = std::make_unique<SyncedVnaDevice>(nullptr, timing);
        proxy->setPort(sim.port());
    }

    // The user's own settings on channel 1, calibrated, then polled.
    void userSetup()
    {
        for (const char *command : {"SENS1:FREQ:STAR 1e9", "SENS1:FREQ:STOP 3e9", "SENS1:SWE:POIN 401",
                                    "SENS1:BWID 1000", "SOUR1:POW -5", "SENS1:SWE:TYPE LOG"})
            sim.execute(QString::fromLatin1(command));
        ASSERT_TRUE(sim.calibrate(1, QStringLiteral("SOLT2"), {1, 2}));
        ASSERT_TRUE(syncNow(*proxy));
        ASSERT_TRUE(syncNow(*proxy));
        sim.clearLog();
    }

    void addFault(FaultKind kind, const QString &header, int count = -1, int delayMs = 150)
    {
        Fault fault;
        fault.kind = kind;
        fault.header = header;
        fault.count = count;
        fault.delayMs = delayMs; // below the query time-out
        ASSERT_TRUE(sim.addFault(fault)) << header.toStdString();
    }

    QString stateFile() const { return QDir(dir.path()).filePath("tmp/saveState"); }
    QString calFile() const { return QDir(dir.path()).filePath("tmp/calFile"); }

    void expectUserSweep(const char *when)
    {
        const auto channel = sim.channel(1);
        EXPECT_EQ(channel.sweepType, "LOG") << when;
        EXPECT_EQ(channel.start, 1e9) << when;
        EXPECT_EQ(channel.stop, 3e9) << when;
        EXPECT_EQ(channel.points, 401u) << when;
        EXPECT_EQ(channel.ifBandwidth, 1000.0) << when;
        EXPECT_EQ(channel.power, -5.0) << when;
        ASSERT_TRUE(channel.calibration) << when;
        EXPECT_EQ(channel.calibration->type, "SOLT2") << when;
    }

    QTemporaryDir dir;
    AnalyserSim::Simulator sim;
    std::unique_ptr<SyncedVnaDevice> proxy;
};

// The command log shows save, preset, re-applied sweep settings and
// calibration, and on restore the reload, the deletion and the save type.
TEST_F(Backup, SavesPresetsReappliesAndRestoresInOrder)
{
    userSetup();
    DeviceStateBackup backup(proxy.get(), dir.path());
    ASSERT_TRUE(backup.save()) << backup.errorString().toStdString();
    EXPECT_EQ(backup.stateFile(), stateFile());
    EXPECT_EQ(backup.savedType(), VNADevice::SaveType::STATe);
    syncNow(*proxy); // the analyser has taken every command before it

    QFileInfo file(stateFile());
    EXPECT_TRUE(file.exists());
    EXPECT_GT(file.size(), 0);
    expectUserSweep("after save");

    auto log = logTexts(sim);
    const int readType = indexOf(log, "MMEMory:STORe:STYPe?");
    const int setType = indexOf(log, "MMEMory:STORe:STYPe CSTate");
    const int saveState = indexOf(log, "MMEMory:STORe:STATe " + stateFile());
    const int saveCal = indexOf(log, "MMEMory:STORe:CHANnel1:CALibration " + calFile());
    const int preset = indexOf(log, "SYSTem:PRESet");
    const int pollAfterPreset = indexOf(log, "SYST:READy?", preset);
    const int sweepType = indexOf(log, "SENSe1:SWEep:TYPE LOG");
    const int start = indexOf(log, "SENSe1:FREQuency:STARt 1000000000");
    const int stop = indexOf(log, "SENSe1:FREQuency:STOP 3000000000");
    const int points = indexOf(log, "SENSe1:SWEep:POINts 401");
    const int bandwidth = indexOf(log, "SENSe1:BWIDth:RESolution 1000");
    const int power = indexOf(log, "SOURce1:POWer:LEVel:IMMediate:AMPLitude -5");
    const int loadCal = indexOf(log, "MMEMory:LOAD:CHANnel1:CALibration " + calFile());
    const std::vector<int> order = {readType, setType, saveState, saveCal,   preset, pollAfterPreset, sweepType,
                                    start,    stop,    points,    bandwidth, power,  loadCal};
    for (size_t i = 0; i < order.size(); ++i) {
        ASSERT_GE(order[i], 0) << "step " << i;
        if (i > 0) {
            EXPECT_LT(order[i - 1], order[i]) << "step " << i;
        }
    }

    // The measurement changes the analyser; restore brings the user's back.
    const auto measured = waitFor<SyncedVnaDevice::MeasureResult>([&](auto done) {
        proxy->pushMeasure({{1, 0}, {0, 1}}, done);
    });
    ASSERT_TRUE(measured);
    EXPECT_EQ(sim.channel(1).traces.size(), 2u);
    EXPECT_FALSE(sim.channel(1).continuous);

    sim.clearLog();
    EXPECT_TRUE(backup.restore()) << backup.errorString().toStdString();
    log = logTexts(sim);
    // Reload, save type, read back, and only then the backup goes.
    const int load = indexOf(log, "MMEMory:LOAD " + stateFile());
    const int restoreType = indexOf(log, "MMEMory:STORe:STYPe STATe");
    const int readBack = indexOf(log, "CALCulate1:PARameter:COUNt?", restoreType);
    const int remove = indexOf(log, "MMEMory:DELete " + stateFile());
    ASSERT_GE(load, 0);
    EXPECT_LT(load, restoreType);
    EXPECT_LT(restoreType, readBack);
    EXPECT_LT(readBack, remove);

    expectUserSweep("after restore");
    EXPECT_EQ(sim.channel(1).traces.size(), 1u);
    EXPECT_TRUE(sim.channel(1).continuous);
    EXPECT_EQ(sim.state().saveType, "STATe");
    EXPECT_FALSE(QFileInfo::exists(stateFile()));
    EXPECT_EQ(proxy->startFreq(), 1e9);
}

TEST_F(Backup, WorksWithTheDefaultTiming)
{
    makeProxy(VnaTiming{});
    userSetup();
    DeviceStateBackup backup(proxy.get(), dir.path());
    ASSERT_TRUE(backup.save()) << backup.errorString().toStdString();
    EXPECT_TRUE(backup.restore());
    expectUserSweep("after restore");
}

// The user changes the sweep on the analyser itself and measures before the
// next poll: the measurement runs on the new sweep and the new sweep is what
// the analyser keeps, not the one the cache last saw.
TEST_F(Backup, ASweepChangedSinceTheLastPollIsTheOneMeasuredAndKept)
{
    userSetup();
    for (const char *command : {"SENS1:FREQ:STAR 2e9", "SENS1:FREQ:STOP 5e9", "SENS1:SWE:POIN 191"})
        sim.execute(QString::fromLatin1(command));
    DeviceStateBackup backup(proxy.get(), dir.path());
    ASSERT_TRUE(backup.save()) << backup.errorString().toStdString();
    ASSERT_TRUE(syncNow(*proxy)); // the re-applied settings have gone out
    EXPECT_EQ(sim.channel(1).start, 2e9) << "measured on";
    EXPECT_EQ(sim.channel(1).stop, 5e9) << "measured on";
    EXPECT_EQ(sim.channel(1).points, 191u) << "measured on";
    ASSERT_TRUE(backup.restore()) << backup.errorString().toStdString();
    EXPECT_EQ(sim.channel(1).start, 2e9) << "after restore";
    EXPECT_EQ(sim.channel(1).stop, 5e9) << "after restore";
    EXPECT_EQ(sim.channel(1).points, 191u) << "after restore";
}

// Settings the cache does not hold are not re-applied (no zeros are sent).
TEST_F(Backup, ReappliesOnlySettingsThatWerePresent)
{
    addFault(FaultKind::Garbage, QStringLiteral("SENS:BWID?"));
    addFault(FaultKind::Garbage, QStringLiteral("SENS:SWE:TYPE?"));
    userSetup();
    ASSERT_FALSE(proxy->ifBandwidth());
    ASSERT_FALSE(proxy->sweepType());

    DeviceStateBackup backup(proxy.get(), dir.path());
    ASSERT_TRUE(backup.save()) << backup.errorString().toStdString();
    syncNow(*proxy); // the analyser has taken every command before it
    const auto log = logTexts(sim);
    EXPECT_EQ(countStartingWith(log, "SENSe1:BWIDth:RESolution "), 0);
    EXPECT_EQ(countStartingWith(log, "SENSe1:SWEep:TYPE "), 0);
    EXPECT_EQ(countOf(log, "SENSe1:FREQuency:STARt 1000000000"), 1);
    EXPECT_TRUE(backup.restore());
}

struct MissingSetting
{
    const char *name;
    QString header;
};

class BackupMissingSweep : public Backup, public ::testing::WithParamInterface<MissingSetting>
{};

// Without start, stop or points the analyser could not be put back: nothing
// is saved and nothing is preset.
TEST_P(BackupMissingSweep, FailsBeforeThePreset)
{
    addFault(FaultKind::Garbage, GetParam().header);
    userSetup();
    DeviceStateBackup backup(proxy.get(), dir.path());
    EXPECT_FALSE(backup.save());
    EXPECT_FALSE(backup.errorString().isEmpty());
    syncNow(*proxy); // the analyser has taken every command before it
    const auto log = logTexts(sim);
    EXPECT_EQ(countOf(log, "SYSTem:PRESet"), 0);
    EXPECT_EQ(countOf(log, "MMEMory:STORe:STYPe CSTate"), 0);
    EXPECT_EQ(sim.state().saveType, "STATe");
    expectUserSweep("after the refused save");
}

INSTANTIATE_TEST_SUITE_P(Settings, BackupMissingSweep,
                         ::testing::Values(MissingSetting{"start", "SENS:FREQ:STAR?"},
                                           MissingSetting{"stop", "SENS:FREQ:STOP?"},
                                           MissingSetting{"points", "SENS:SWE:POIN?"}),
                         [](const auto &info) { return std::string(info.param.name); });

// A stale file from an earlier run must not pass for the new one.
TEST_F(Backup, RemovesTheOldFileFirst)
{
    userSetup();
    ASSERT_TRUE(QDir(dir.path()).mkpath("tmp"));
    {
        QFile stale(stateFile());
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("stale state\n");
    }
    DeviceStateBackup backup(proxy.get(), dir.path());
    ASSERT_TRUE(backup.save()) << backup.errorString().toStdString();
    QFile written(stateFile());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_FALSE(written.readAll().contains("stale state"));
    EXPECT_TRUE(backup.restore());
}

TEST_F(Backup, AnOldFileThatCannotBeRemovedStopsTheSave)
{
    userSetup();
    // A directory in place of the file cannot be removed as a file.
    ASSERT_TRUE(QDir(dir.path()).mkpath("tmp/saveState/blocked"));
    DeviceStateBackup backup(proxy.get(), dir.path());
    EXPECT_FALSE(backup.save());
    EXPECT_TRUE(backup.errorString().contains(stateFile())) << backup.errorString().toStdString();
    syncNow(*proxy); // the analyser has taken every command before it
    EXPECT_EQ(countOf(logTexts(sim), "SYSTem:PRESet"), 0);
}

// The analyser never wrote the file (here: the path cannot be sent to it):
// the step fails with an error and nothing is preset.
TEST_F(Backup, AStateFileThatWasNotWrittenStopsTheSave)
{
    QTemporaryDir unsafe(QDir(dir.path()).filePath("with;semicolon-XXXXXX"));
    ASSERT_TRUE(unsafe.isValid());
    userSetup();
    DeviceStateBackup backup(proxy.get(), unsafe.path());
    EXPECT_FALSE(backup.save());
    EXPECT_FALSE(backup.errorString().isEmpty());
    syncNow(*proxy); // the analyser has taken every command before it
    const auto log = logTexts(sim);
    EXPECT_EQ(countOf(log, "SYSTem:PRESet"), 0);
    // The save type it changed is put back.
    EXPECT_EQ(sim.state().saveType, "STATe");
    expectUserSweep("after the failed save");
}

// A store that did not leave its files says why: the analyser is not ready,
// or what the analyser reports, and nothing is preset.
TEST_F(Backup, AStoreThatFailsNamesItsCause)
{
    {
        SCOPED_TRACE("the analyser writes an empty file and says why");
        userSetup();
        addFault(FaultKind::WriteFail, QStringLiteral("MMEM:STOR:STAT"), 1);
        DeviceStateBackup backup(proxy.get(), dir.path());
        EXPECT_FALSE(backup.save());
        EXPECT_TRUE(backup.errorString().startsWith(
            QStringLiteral("The analyser state was not saved to %1: the analyser reports -257, File name error; no "
                           "space left on device")
                .arg(stateFile())))
            << backup.errorString().toStdString();
        EXPECT_EQ(countOf(logTexts(sim), "SYSTem:PRESet"), 0);
    }
    {
        SCOPED_TRACE("the analyser is not ready");
        userSetup();
        sim.setReady(false);
        DeviceStateBackup backup(proxy.get(), dir.path());
        EXPECT_FALSE(backup.save());
        EXPECT_TRUE(backup.errorString().startsWith(
            QStringLiteral("The analyser state was not saved to %1: the analyser is not ready").arg(stateFile())))
            << backup.errorString().toStdString();
        EXPECT_FALSE(backup.errorString().contains(QStringLiteral("disk"))) << backup.errorString().toStdString();
        EXPECT_EQ(countOf(logTexts(sim), "SYSTem:PRESet"), 0);
        sim.setReady(true);
    }
    {
        SCOPED_TRACE("the analyser answers the poll after the store too late");
        userSetup();
        // The second poll of the save is the one after the store.
        Fault latePoll;
        latePoll.kind = FaultKind::Delay;
        latePoll.header = QStringLiteral("SYST:READy?");
        latePoll.skip = 1;
        latePoll.delayMs = 2000;
        ASSERT_TRUE(sim.addFault(latePoll));
        DeviceStateBackup backup(proxy.get(), dir.path());
        EXPECT_FALSE(backup.save());
        EXPECT_TRUE(backup.errorString().startsWith(
            QStringLiteral("The analyser state was not saved to %1: the analyser did not answer in time after the save")
                .arg(stateFile())))
            << backup.errorString().toStdString();
        EXPECT_FALSE(backup.errorString().contains(QStringLiteral("disk"))) << backup.errorString().toStdString();
        EXPECT_EQ(countOf(logTexts(sim), "SYSTem:PRESet"), 0);
    }
}

// Once the preset went out, a failure still reloads the saved state.
TEST_F(Backup, AFailureAfterThePresetReloadsTheSavedState)
{
    userSetup();
    // The poll that checks the saved file (the second of the save, after the
    // one that reads the sweep afresh) is slowed down; meanwhile the
    // analyser is made unready by a task queued right behind that poll, so
    // the poll after the preset fails.
    Fault slowPoll;
    slowPoll.kind = FaultKind::Delay;
    slowPoll.header = QStringLiteral("SYST:READy?");
    slowPoll.skip = 1;
    slowPoll.delayMs = 150;
    ASSERT_TRUE(sim.addFault(slowPoll));
    bool queued = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (queued || countOf(logTexts(sim), "SYST:READy?") < 2)
            return;
        queued = true;
        proxy->workerThread()->push([this] { sim.setReady(false); });
    });
    watcher.start(1);

    DeviceStateBackup backup(proxy.get(), dir.path());
    EXPECT_FALSE(backup.save());
    watcher.stop();
    ASSERT_TRUE(queued);
    EXPECT_FALSE(backup.errorString().isEmpty());
    syncNow(*proxy); // the analyser has taken every command before it

    const auto log = logTexts(sim);
    const int preset = indexOf(log, "SYSTem:PRESet");
    const int load = indexOf(log, "MMEMory:LOAD " + stateFile(), preset);
    ASSERT_GE(preset, 0);
    EXPECT_GT(load, preset);
    EXPECT_GT(indexOf(log, "MMEMory:DELete " + stateFile(), load), load);
    EXPECT_EQ(countStartingWith(log, "SENSe1:FREQuency:STARt "), 0);
    expectUserSweep("after the reload");
    EXPECT_EQ(sim.state().saveType, "STATe");

    // The failed backup holds nothing: a new one may start.
    sim.setReady(true);
    ASSERT_TRUE(syncNow(*proxy));
    DeviceStateBackup next(proxy.get(), dir.path());
    EXPECT_TRUE(next.save()) << next.errorString().toStdString();
    EXPECT_TRUE(next.restore());
}

// A cancel that comes late, while the state is being reloaded, stops no
// reload: no abort goes out and the user's state comes back.
TEST_F(Backup, ACancelDuringTheReloadLeavesItAlone)
{
    userSetup();
    DeviceStateBackup backup(proxy.get(), dir.path());
    ASSERT_TRUE(backup.save()) << backup.errorString().toStdString();
    syncNow(*proxy);
    // The reload's completion query answers late; the cancel lands in it.
    addFault(FaultKind::Delay, QStringLiteral("*OPC?"), 1, 600);
    sim.clearLog();
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        if (!sim.waitForCommand(QStringLiteral("*OPC?"), 0))
            return;
        canceller.stop();
        proxy->interrupt();
    });
    canceller.start(5);
    EXPECT_TRUE(backup.restore()) << backup.errorString().toStdString();
    EXPECT_FALSE(canceller.isActive()) << "the reload's completion query never came";
    const bool aborted = sim.waitForLog(
        [](const std::vector<AnalyserSim::LogEntry> &log) {
            return std::any_of(log.begin(), log.end(),
                               [](const AnalyserSim::LogEntry &e) { return e.text.startsWith("ABOR"); });
        },
        0);
    EXPECT_FALSE(aborted) << "the cancel aborted the reload";
    expectUserSweep("after the cancelled reload");
}

TEST_F(Backup, ASecondBackupWhileOneIsActiveIsRefused)
{
    userSetup();
    DeviceStateBackup first(proxy.get(), dir.path());
    ASSERT_TRUE(first.save());
    syncNow(*proxy); // its re-apply commands are through
    sim.clearLog();
    {
        DeviceStateBackup second(proxy.get(), dir.path());
        EXPECT_FALSE(second.save());
        EXPECT_FALSE(second.errorString().isEmpty());
        syncNow(*proxy); // the analyser has taken every command before it
        const auto log = logTexts(sim);
        EXPECT_EQ(countStartingWith(log, "MMEM"), 0);
        EXPECT_EQ(countOf(log, "SYSTem:PRESet"), 0);
    }
    // The refused one did not release the first one's claim.
    DeviceStateBackup third(proxy.get(), dir.path());
    EXPECT_FALSE(third.save());

    EXPECT_TRUE(first.restore());
    DeviceStateBackup fourth(proxy.get(), dir.path());
    EXPECT_TRUE(fourth.save()) << fourth.errorString().toStdString();
    EXPECT_TRUE(fourth.restore());
}

// Without the save type it could not be put back: nothing is changed.
TEST_F(Backup, AFailedSaveTypeQueryStopsTheSaveBeforeAnyChange)
{
    addFault(FaultKind::Drop, QStringLiteral("MMEM:STOR:STYP?"), 1);
    userSetup();
    DeviceStateBackup backup(proxy.get(), dir.path());
    EXPECT_FALSE(backup.save());
    EXPECT_TRUE(backup.errorString().contains("type of saving state file")) << backup.errorString().toStdString();
    syncNow(*proxy); // the analyser has taken every command before it
    const auto log = logTexts(sim);
    EXPECT_EQ(countStartingWith(log, "MMEMory:STORe:STYPe "), 0);
    EXPECT_EQ(countOf(log, "SYSTem:PRESet"), 0);
    EXPECT_EQ(sim.state().saveType, "STATe");
}

TEST_F(Backup, RestoreWithoutASaveIsAnError)
{
    userSetup();
    DeviceStateBackup backup(proxy.get(), dir.path());
    EXPECT_FALSE(backup.restore());
    EXPECT_FALSE(backup.errorString().isEmpty());
    syncNow(*proxy); // the analyser has taken every command before it
    EXPECT_EQ(countStartingWith(logTexts(sim), "MMEM"), 0);
}

// The restore runs on the thread of the measurement job, which waits there
// for the analyser worker.
TEST_F(Backup, RestoreFromAWorkerThread)
{
    userSetup();
    DeviceStateBackup backup(proxy.get(), dir.path());
    ASSERT_TRUE(backup.save());
    WorkerThread stepWorker;
    const bool restored =
        waitFor<bool>([&](auto done) { stepWorker.push([&backup, done] { done(backup.restore()); }); });
    EXPECT_TRUE(restored);
    expectUserSweep("after restore");
}

// ---------------------------------------------------------------- link faults

// What the user had set on the analyser, as the simulator holds it.
struct AnalyserSettings
{
    explicit AnalyserSettings(const AnalyserSim::Simulator &sim)
    {
        const auto state = sim.state();
        const auto ch = sim.channel(1);
        values = {
            {"save type", state.saveType},
            {"trigger source", state.triggerSource},
            {"sweep type", ch.sweepType},
            {"start", QString::number(ch.start)},
            {"stop", QString::number(ch.stop)},
            {"points", QString::number(ch.points)},
            {"IF bandwidth", QString::number(ch.ifBandwidth)},
            {"power", QString::number(ch.power)},
            {"continuous", QString::number(ch.continuous)},
            {"layout", QString::number(ch.layout)},
            {"traces", QString::number(ch.traces.size())},
            {"calibration", ch.calibration ? ch.calibration->type : QStringLiteral("none")},
            {"fixture simulator", QString::number(ch.fixtureSimulator)},
            {"de-embedding", QString::number(ch.deembedding)},
        };
        for (size_t t = 0; t < ch.traces.size(); ++t)
            values.emplace("trace " + std::to_string(t + 1), ch.traces[t].parameter);
    }
    std::map<std::string, QString> values;
};

std::ostream &operator<<(std::ostream &out, const AnalyserSettings &settings)
{
    for (const auto &[name, value] : settings.values)
        out << name << "=" << value.toStdString() << " ";
    return out;
}

bool operator==(const AnalyserSettings &a, const AnalyserSettings &b)
{
    return a.values == b.values;
}

bool operator!=(const AnalyserSettings &a, const AnalyserSettings &b)
{
    return !(a == b);
}

class BackupLinkFault : public Backup
{
protected:
    void SetUp() override
    {
        Backup::SetUp();
        if (HasFatalFailure())
            return;
        makeProxy(faultTiming());
        // Settings a measurement changes, so their return is seen.
        sim.execute(QStringLiteral("DISP:WIND1:SPL 3"));
        sim.execute(QStringLiteral("MMEM:STOR:STYP CDSTate"));
        userSetup();
    }

    static VnaTiming faultTiming()
    {
        VnaTiming timing = backupTiming();
        timing.sweepWaitFloorMs = 400;
        timing.sweepMargin = 4.0;
        timing.restoreRetryMs = 2000;
        return timing;
    }

    // The cause the measurement gives goes to failure (written on the
    // proxy's worker before the result releases the wait).
    SyncedVnaDevice::MeasureResult measure()
    {
        failure.clear();
        return waitFor<SyncedVnaDevice::MeasureResult>([&](auto done) {
            proxy->pushMeasure({{1, 0}, {0, 1}}, done, [this](QString text) { failure = std::move(text); });
        });
    }

    QString failure;
};

struct MeasureFault
{
    const char *name;
    FaultKind kind;
    QString header;
    bool measures; // the measurement still succeeds
    QString cause; // what the failed measurement tells the user
};

const QString linkLostText = QStringLiteral("The link to the analyser was lost during the measurement");
// The fault timing's floor: the simulator's sweep of 100 ms times 4 is no more.
const QString sweepTimeOutText = QStringLiteral("The analyser did not complete the sweep within 0.4 s");

class BackupMeasureFault : public BackupLinkFault, public ::testing::WithParamInterface<MeasureFault>
{};

// A fault during the measurement: the measurement fails (or not), and the
// restore brings back every setting, also over a link that dropped.
TEST_P(BackupMeasureFault, EndsWithTheUserSettings)
{
    const AnalyserSettings before(sim);
    DeviceStateBackup backup(proxy.get(), dir.path());
    ASSERT_TRUE(backup.save()) << backup.errorString().toStdString();

    addFault(GetParam().kind, GetParam().header, 1, 2000);
    QElapsedTimer clock;
    clock.start();
    const auto measured = measure();
    EXPECT_EQ(bool(measured), GetParam().measures);
    EXPECT_LT(clock.elapsed(), 5000) << "the measurement was not bounded";
    EXPECT_EQ(failure, GetParam().cause);

    EXPECT_TRUE(backup.restore()) << backup.errorString().toStdString();
    EXPECT_EQ(AnalyserSettings(sim), before);
    EXPECT_FALSE(QFileInfo::exists(stateFile()));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BackupMeasureFault,
    ::testing::Values(
        MeasureFault{"CloseOnOpc", FaultKind::Close, QStringLiteral("*OPC?"), false, linkLostText},
        MeasureFault{"CloseOnTraceRead", FaultKind::Close, QStringLiteral("CALC:TRAC:DATA:SDAT?"), false, linkLostText},
        MeasureFault{"LostOpcReply", FaultKind::Drop, QStringLiteral("*OPC?"), false, sweepTimeOutText},
        MeasureFault{"LateOpcReply", FaultKind::Delay, QStringLiteral("*OPC?"), false, sweepTimeOutText},
        // A reply that is not the completion, on a link still up: only
        // the caller's own text.
        MeasureFault{"GarbageOnOpc", FaultKind::Garbage, QStringLiteral("*OPC?"), false, QString()},
        MeasureFault{"GarbageTrace", FaultKind::Garbage, QStringLiteral("CALC:TRAC:DATA:SDAT?"), false, QString()},
        MeasureFault{"DropDuringRestore", FaultKind::Disconnect, QStringLiteral("MMEM:LOAD"), true, QString()}),
    [](const auto &info) { return std::string(info.param.name); });

// A sweep that never completes ends after the bound with its text, and the
// sweep is aborted; a slow one that does complete is measured.
TEST_F(BackupLinkFault, TheSweepWaitFollowsTheSweepTime)
{
    QSignalSpy errors(proxy.get(), &SyncedVnaDevice::error);
    sim.setSweepTime(100);
    sim.setOpcStalled(true);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(measure());
    const qint64 stalled = clock.elapsed();
    EXPECT_GE(stalled, 400);
    EXPECT_LT(stalled, 3000);
    EXPECT_TRUE(sim.waitForCommand(QStringLiteral("ABORt"), 2000));
    QCoreApplication::processEvents();
    ASSERT_FALSE(errors.isEmpty());
    EXPECT_TRUE(errors.last().at(0).toString().contains("did not complete the sweep"));
    sim.setOpcStalled(false);

    // Far longer than the floor, but within the margin of the reported time.
    sim.setSweepTime(1200);
    clock.restart();
    const auto slow = measure();
    EXPECT_TRUE(slow);
    EXPECT_GE(clock.elapsed(), 1000); // the simulator's timer may end a little early
}

struct SaveFault
{
    const char *name;
    FaultKind kind;
    QString header;
};

class BackupSaveFault : public BackupLinkFault, public ::testing::WithParamInterface<SaveFault>
{};

// A fault while the state is being saved: the step fails before the preset
// and the analyser ends as it was (its save type put back).
TEST_P(BackupSaveFault, FailsBeforeThePresetAndPutsBackTheSaveType)
{
    const AnalyserSettings before(sim);
    addFault(GetParam().kind, GetParam().header, 1, 2000);
    DeviceStateBackup backup(proxy.get(), dir.path());
    EXPECT_FALSE(backup.save());
    EXPECT_FALSE(backup.errorString().isEmpty());
    syncNow(*proxy);
    EXPECT_EQ(countOf(logTexts(sim), "SYSTem:PRESet"), 0);
    EXPECT_EQ(AnalyserSettings(sim), before);

    // Nothing is held: the next backup works.
    DeviceStateBackup next(proxy.get(), dir.path());
    EXPECT_TRUE(next.save()) << next.errorString().toStdString();
    EXPECT_TRUE(next.restore()) << next.errorString().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BackupSaveFault,
    ::testing::Values(
        SaveFault{"DiskFullForTheCalibration", FaultKind::WriteFail, QStringLiteral("MMEM:STOR:CHAN:CAL")},
        SaveFault{"DiskFullForTheState", FaultKind::WriteFail, QStringLiteral("MMEM:STOR:STAT")},
        SaveFault{"DropOnTheStateSave", FaultKind::Disconnect, QStringLiteral("MMEM:STOR:STAT")},
        SaveFault{"DropOnTheCalibrationSave", FaultKind::Disconnect, QStringLiteral("MMEM:STOR:CHAN:CAL")},
        SaveFault{"LateSaveTypeReply", FaultKind::Delay, QStringLiteral("MMEM:STOR:STYP?")},
        SaveFault{"GarbageSettings", FaultKind::Garbage, QStringLiteral("CALC:PAR:COUN?")}),
    [](const auto &info) { return std::string(info.param.name); });

// A reload that brings back other values: the user is told which.
TEST_F(BackupLinkFault, ARestoreThatDiffersNamesTheSettings)
{
    DeviceStateBackup backup(proxy.get(), dir.path());
    ASSERT_TRUE(backup.save()) << backup.errorString().toStdString();
    {
        QFile file(stateFile());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray text = file.readAll();
        file.close();
        ASSERT_TRUE(text.contains("Points=401"));
        text.replace("Points=401", "Points=11");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    EXPECT_FALSE(backup.restore());
    const QString error = backup.errorString();
    EXPECT_TRUE(error.contains("points: 11 (401 before)")) << error.toStdString();
    EXPECT_FALSE(error.contains("start frequency")) << error.toStdString();
}

// The analyser is gone for longer than the retries: the user is told, the
// backup is kept, and the next backup reloads it first once it is back.
TEST_F(BackupLinkFault, AnUnreachableAnalyserKeepsTheBackupForTheNextRun)
{
    const AnalyserSettings before(sim);
    const quint16 port = sim.port();
    DeviceStateBackup backup(proxy.get(), dir.path());
    ASSERT_TRUE(backup.save()) << backup.errorString().toStdString();
    EXPECT_TRUE(measure());

    sim.stop();
    EXPECT_FALSE(backup.restore());
    EXPECT_TRUE(backup.errorString().contains(stateFile())) << backup.errorString().toStdString();
    EXPECT_TRUE(QFileInfo::exists(stateFile()));

    ASSERT_TRUE(sim.start(QStringLiteral("127.0.0.1"), port)) << sim.errorString().toStdString();
    ASSERT_TRUE(syncNow(*proxy));
    EXPECT_NE(AnalyserSettings(sim), before); // still the measurement's
    sim.clearLog();
    DeviceStateBackup next(proxy.get(), dir.path());
    ASSERT_TRUE(next.save()) << next.errorString().toStdString();
    const auto log = logTexts(sim);
    EXPECT_LT(indexOf(log, "MMEMory:LOAD " + stateFile()), indexOf(log, "MMEMory:STORe:STATe " + stateFile()));
    EXPECT_TRUE(next.restore()) << next.errorString().toStdString();
    EXPECT_EQ(AnalyserSettings(sim), before);
}

} // namespace
