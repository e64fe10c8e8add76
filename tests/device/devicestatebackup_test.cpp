#include "proxytestsupport.h"

#include "device/devicestatebackup.h"
#include "device/syncedvnadevice.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

namespace {

using namespace ProxyTest;
using AnalyserSim::Fault;
using AnalyserSim::FaultKind;

class Backup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
        makeProxy(fastTiming());
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
        fault.delayMs = delayMs;  // below the query time-out
        ASSERT_TRUE(sim.addFault(fault)) << header.toStdString();
    }

    QString stateFile() const
    {
        return QDir(dir.path()).filePath("tmp/saveState");
    }
    QString calFile() const
    {
        return QDir(dir.path()).filePath("tmp/calFile");
    }

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
    EXPECT_EQ(backup.savedType(), VNADevice::STATe);
    syncNow(*proxy);  // the analyser has taken every command before it

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
    const std::vector<int> order = {readType, setType, saveState, saveCal, preset, pollAfterPreset, sweepType,
                                    start,    stop,    points,    bandwidth, power, loadCal};
    for (size_t i = 0; i < order.size(); ++i) {
        ASSERT_GE(order[i], 0) << "step " << i;
        if (i > 0) {
            EXPECT_LT(order[i - 1], order[i]) << "step " << i;
        }
    }

    // The measurement changes the analyser; restore brings the user's back.
    const auto measured = waitFor<SyncedVnaDevice::MeasureResult>(
        [&](auto done) { proxy->pushMeasure({{1, 0}, {0, 1}}, done); });
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
    syncNow(*proxy);  // the analyser has taken every command before it
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
{
};

// Without start, stop or points the analyser could not be put back: nothing
// is saved and nothing is preset.
TEST_P(BackupMissingSweep, FailsBeforeThePreset)
{
    addFault(FaultKind::Garbage, GetParam().header);
    userSetup();
    DeviceStateBackup backup(proxy.get(), dir.path());
    EXPECT_FALSE(backup.save());
    EXPECT_FALSE(backup.errorString().isEmpty());
    syncNow(*proxy);  // the analyser has taken every command before it
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
    syncNow(*proxy);  // the analyser has taken every command before it
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
    syncNow(*proxy);  // the analyser has taken every command before it
    const auto log = logTexts(sim);
    EXPECT_EQ(countOf(log, "SYSTem:PRESet"), 0);
    // The save type it changed is put back.
    EXPECT_EQ(sim.state().saveType, "STATe");
    expectUserSweep("after the failed save");
}

// Once the preset went out, a failure still reloads the saved state.
TEST_F(Backup, AFailureAfterThePresetReloadsTheSavedState)
{
    userSetup();
    // The poll that checks the saved file is slowed down; meanwhile the
    // analyser is made unready by a task queued right behind that poll, so
    // the poll after the preset fails.
    addFault(FaultKind::Delay, QStringLiteral("SYST:READy?"), 1);
    bool queued = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (queued || countOf(logTexts(sim), "SYST:READy?") == 0)
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
    syncNow(*proxy);  // the analyser has taken every command before it

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

TEST_F(Backup, ASecondBackupWhileOneIsActiveIsRefused)
{
    userSetup();
    DeviceStateBackup first(proxy.get(), dir.path());
    ASSERT_TRUE(first.save());
    syncNow(*proxy);  // its re-apply commands are through
    sim.clearLog();
    {
        DeviceStateBackup second(proxy.get(), dir.path());
        EXPECT_FALSE(second.save());
        EXPECT_FALSE(second.errorString().isEmpty());
        syncNow(*proxy);  // the analyser has taken every command before it
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
    syncNow(*proxy);  // the analyser has taken every command before it
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
    syncNow(*proxy);  // the analyser has taken every command before it
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
    const bool restored = waitFor<bool>([&](auto done) {
        stepWorker.push([&backup, done] { done(backup.restore()); });
    });
    EXPECT_TRUE(restored);
    expectUserSweep("after restore");
}

} // namespace
