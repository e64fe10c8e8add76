#include "device/devicestatebackup.h"

#include "device/checker.h"
#include "device/syncedvnadevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <mutex>
#include <set>

namespace {

// The file names are fixed, so two backups in one directory would overwrite
// each other: a state file path is held by at most one backup at a time.
std::mutex &registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::set<QString> &activeStateFiles()
{
    static std::set<QString> files;
    return files;
}

bool claimStateFile(const QString &path)
{
    std::lock_guard<std::mutex> lock(registryMutex());
    return activeStateFiles().insert(path).second;
}

void releaseStateFile(const QString &path)
{
    std::lock_guard<std::mutex> lock(registryMutex());
    activeStateFiles().erase(path);
}

QString tr(const char *text)
{
    return QCoreApplication::translate("DeviceStateBackup", text);
}

} // namespace

DeviceStateBackup::DeviceStateBackup(SyncedVnaDevice *device, QString directory)
    : device(device), directory(std::move(directory))
{
}

DeviceStateBackup::~DeviceStateBackup()
{
    release();
}

bool DeviceStateBackup::fail(const QString &text)
{
    error = text;
    release();
    return false;
}

void DeviceStateBackup::release()
{
    if (claimed)
        releaseStateFile(m_stateFile);
    claimed = false;
}

void DeviceStateBackup::pushStateReload()
{
    device->loadStateFile(m_stateFile);
    device->memoryDeleteState(m_stateFile);
    if (m_savedType)
        device->setStateFileSaveType(*m_savedType);
}

bool DeviceStateBackup::save()
{
    error.clear();
    if (claimed)
        return fail(tr("The analyser state is already saved"));

    const QString base = directory.isEmpty() ? QCoreApplication::applicationDirPath() : directory;
    QDir tmp(base);
    if (!tmp.mkpath(QStringLiteral("tmp")) || !tmp.cd(QStringLiteral("tmp"))) {
        error = tr("Cannot create the folder for the analyser state: %1").arg(QDir(base).filePath("tmp"));
        return false;
    }
    m_stateFile = tmp.filePath(QStringLiteral("saveState"));
    m_calibrationFile = tmp.filePath(QStringLiteral("calFile"));
    if (!claimStateFile(m_stateFile)) {
        error = tr("Another measurement has saved the analyser state; finish it first");
        return false;
    }
    claimed = true;

    // 1. The save type, to be put back afterwards.
    {
        std::optional<VNADevice::SaveType> type;
        Checker checker;
        device->pushReadStateFileSaveType(WaitCompletion<std::optional<VNADevice::SaveType>>(checker, type));
        checker.wait();
        m_savedType = type;
    }

    // 2. Old files must go first: a stale file would pass for the new one.
    for (const QString &path : {m_stateFile, m_calibrationFile}) {
        if (QFileInfo::exists(path) && !QFile::remove(path))
            return fail(tr("Cannot remove the old analyser state file: %1").arg(path));
    }

    // 3. The user's sweep settings as they stand now. Without the sweep range
    //    the analyser could not be put back after the preset.
    const auto sweepType = device->sweepType();
    const auto start = device->startFreq();
    const auto stop = device->stopFreq();
    const auto points = device->pointsCount();
    const auto ifBandwidth = device->ifBandwidth();
    const auto power = device->outputPower();
    if (!start || !stop || !points)
        return fail(tr("Cannot read the analyser sweep settings; the analyser state was not saved"));

    // 4. Store state and calibration, then make sure the file is there before
    //    anything is preset.
    device->setStateFileSaveType(VNADevice::CSTate);
    device->saveStateFile(m_stateFile);
    device->saveCalibrationFile(m_calibrationFile);
    const bool savedInTime = device->callAndWait(&SyncedVnaDevice::pushSync);
    const QFileInfo written(m_stateFile);
    if (!savedInTime || !written.exists() || written.size() <= 0) {
        if (m_savedType)
            device->setStateFileSaveType(*m_savedType);
        return fail(tr("The analyser state was not saved to %1").arg(m_stateFile));
    }

    // 5. Preset. From here on every failure reloads the saved state.
    device->preset();
    if (!device->callAndWait(&SyncedVnaDevice::pushSync)) {
        pushStateReload();
        return fail(tr("The analyser is not ready after the preset; its state was reloaded"));
    }

    // 6. Put back the settings that were present. The setters compare with
    //    the cache on the worker, after the earlier setters, so the stop
    //    frequency is tested against the start frequency just re-applied.
    if (sweepType)
        device->setSweepType(*sweepType);
    device->setStartFreq(*start);
    device->setStopFreq(*stop);
    device->setPointsCount(*points);
    if (ifBandwidth)
        device->setIfBandwidth(*ifBandwidth);
    if (power)
        device->setOutputPower(*power);
    device->loadCalibrationFile(m_calibrationFile);

    saved = true;
    return true;
}

bool DeviceStateBackup::restore()
{
    error.clear();
    if (!saved) {
        error = tr("There is no saved analyser state to restore");
        return false;
    }
    saved = false;
    pushStateReload();
    const bool result = device->callAndWait(&SyncedVnaDevice::pushSync);
    // Held until the reload has run: a new backup would remove the file.
    release();
    if (!result)
        error = tr("The analyser is not ready after its state was restored");
    return result;
}
