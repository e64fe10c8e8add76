#include "device/devicestatebackup.h"

#include "device/checker.h"
#include "device/syncedvnadevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <map>
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

// Backups whose reload did not reach the analyser, by state file path: the
// next backup into that folder reloads them first, so a damaged state is
// never saved as if it were the user's.
std::map<QString, StateRestore> &pendingRestores()
{
    static std::map<QString, StateRestore> pending;
    return pending;
}

std::optional<StateRestore> takePending(const QString &path)
{
    std::lock_guard<std::mutex> lock(registryMutex());
    auto &pending = pendingRestores();
    const auto it = pending.find(path);
    if (it == pending.end())
        return std::nullopt;
    StateRestore request = it->second;
    pending.erase(it);
    return request;
}

void keepPending(const StateRestore &request)
{
    std::lock_guard<std::mutex> lock(registryMutex());
    pendingRestores()[request.stateFile] = request;
}

template<typename T>
T waitForTask(const std::function<void(std::function<void(T)>)> &push)
{
    T result{};
    Checker checker;
    push(WaitCompletion<T>(checker, result));
    checker.wait();
    return result;
}

std::optional<StateRestoreResult> runRestore(SyncedVnaDevice *device, const StateRestore &request)
{
    return waitForTask<std::optional<StateRestoreResult>>(
        [&](auto done) { device->pushRestoreState(request, std::move(done)); });
}

QString differingText(const QStringList &differing)
{
    return DeviceStateBackup::tr("These analyser settings differ from before the measurement: %1")
        .arg(differing.join(QStringLiteral("; ")));
}

// A written backup file: there and not empty.
bool written(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

} // namespace

DeviceStateBackup::DeviceStateBackup(SyncedVnaDevice *device, QString directory)
    : device(device),
      directory(std::move(directory))
{}

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

QString DeviceStateBackup::putBack(bool reload)
{
    StateRestore request{reload ? m_stateFile : QString(), m_savedType, m_before};
    const auto result = runRestore(device, request);
    const bool confirmed = result && result->reached && result->differing.isEmpty();
    // The backup goes only once the state it holds is confirmed back.
    if (confirmed && reload)
        device->memoryDeleteState(m_stateFile);
    // The cache follows what the analyser holds now.
    device->callAndWait(&SyncedVnaDevice::pushSync);
    if (!result || !result->reached) {
        if (reload) {
            keepPending(request);
            return tr("The analyser could not be reached to restore its state; the state is kept in %1 and "
                      "is restored before the next measurement")
                .arg(m_stateFile);
        }
        return tr("The analyser could not be reached to put back its state-file save type");
    }
    if (!confirmed)
        return differingText(result->differing);
    return QString();
}

// The file names in the "tmp" folder, claimed for this backup: two
// backups in one folder would overwrite each other's files.
bool DeviceStateBackup::claimFiles()
{
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
    return true;
}

bool DeviceStateBackup::restorePending()
{
    // A backup an earlier measurement could not reload goes back first.
    if (const auto pending = takePending(m_stateFile)) {
        const auto result = runRestore(device, *pending);
        device->callAndWait(&SyncedVnaDevice::pushSync);
        if (!result || !result->reached) {
            keepPending(*pending);
            return fail(tr("The analyser state saved before an earlier measurement could not be restored yet "
                           "(the analyser cannot be reached); it is kept in %1")
                            .arg(m_stateFile));
        }
        if (!result->differing.isEmpty())
            return fail(tr("The analyser state saved before an earlier measurement was restored. ")
                        + differingText(result->differing));
    }
    return true;
}

bool DeviceStateBackup::readSettingsBefore()
{
    // The save type and the settings as they are, to be put back and
    // compared afterwards. Without them nothing could be confirmed, so
    // nothing is changed.
    m_savedType = waitForTask<std::optional<VNADevice::SaveType>>(
        [this](auto done) { device->pushReadStateFileSaveType(std::move(done)); });
    if (!m_savedType)
        return fail(tr("Cannot read the type of saving state file from VNA; the analyser was not changed"));
    const auto before = waitForTask<std::optional<VNADevice::Settings>>(
        [this](auto done) { device->pushReadSettings(std::move(done)); });
    if (!before)
        return fail(tr("Cannot read the analyser settings; the analyser was not changed"));
    m_before = *before;
    return true;
}

bool DeviceStateBackup::storeFiles()
{
    // Store state and calibration, then make sure both files are there
    // and hold something before anything is preset: an empty calibration
    // loaded after the preset would leave the sweep uncorrected.
    // The analyser's errors from here on are the store's.
    device->pushReadErrors({});
    device->setStateFileSaveType(VNADevice::SaveType::CSTate);
    device->saveStateFile(m_stateFile);
    device->saveCalibrationFile(m_calibrationFile);
    const bool savedInTime = device->callAndWait(&SyncedVnaDevice::pushSync);
    for (const QString &path : {m_stateFile, m_calibrationFile}) {
        if (savedInTime && written(path))
            continue;
        // The poll after the store failed: the analyser went away, is not
        // ready or did not answer in time; otherwise it says itself why the
        // file is missing, if it can.
        QString text;
        if (!savedInTime && !device->isConnected())
            text = tr("The analyser state was not saved to %1: the link to the analyser was lost").arg(path);
        else if (!savedInTime && device->isReady() == false)
            text = tr("The analyser state was not saved to %1: the analyser is not ready").arg(path);
        else if (const auto reported = waitForTask<std::optional<QStringList>>(
                     [this](auto done) { device->pushReadErrors(std::move(done)); });
                 reported && !reported->isEmpty())
            text = tr("The analyser state was not saved to %1: the analyser reports %2")
                       .arg(path, reported->join(QStringLiteral("; ")));
        else if (!savedInTime)
            text = tr("The analyser state was not saved to %1: the analyser did not answer in time after the save")
                       .arg(path);
        else
            text = tr("The analyser state was not saved to %1 (the file is missing or empty: is the disk full "
                      "or the folder not writable?)")
                       .arg(path);
        const QString putBackText = putBack(false);
        if (!putBackText.isEmpty())
            text += QStringLiteral(". ") + putBackText;
        return fail(text);
    }
    return true;
}

bool DeviceStateBackup::presetAnalyser()
{
    // Preset. From here on every failure reloads the saved state.
    device->preset();
    if (!device->callAndWait(&SyncedVnaDevice::pushSync)) {
        QString text = tr("The analyser is not ready after the preset; its state was reloaded");
        const QString putBackText = putBack(true);
        if (!putBackText.isEmpty())
            text += QStringLiteral(". ") + putBackText;
        return fail(text);
    }
    return true;
}

bool DeviceStateBackup::save()
{
    error.clear();
    if (claimed)
        return fail(tr("The analyser state is already saved"));
    if (!claimFiles() || !restorePending() || !readSettingsBefore())
        return false;

    // Old files must go first: a stale file would pass for the new one.
    for (const QString &path : {m_stateFile, m_calibrationFile}) {
        if (QFileInfo::exists(path) && !QFile::remove(path))
            return fail(tr("Cannot remove the old analyser state file: %1").arg(path));
    }

    // The user's sweep settings as they stand now: polled afresh, since
    // the user may have changed them on the analyser since the last poll.
    // Without the sweep range the analyser could not be put back after
    // the preset.
    if (!device->callAndWait(&SyncedVnaDevice::pushSync)) {
        if (!device->isConnected())
            return fail(
                tr("The analyser state was not saved to %1: the link to the analyser was lost").arg(m_stateFile));
        if (device->isReady() == false)
            return fail(tr("The analyser state was not saved to %1: the analyser is not ready").arg(m_stateFile));
        return fail(tr("Cannot read the analyser sweep settings; the analyser state was not saved"));
    }
    const auto sweepType = device->sweepType();
    const auto start = device->startFreq();
    const auto stop = device->stopFreq();
    const auto points = device->pointsCount();
    const auto ifBandwidth = device->ifBandwidth();
    const auto power = device->outputPower();
    if (!start || !stop || !points)
        return fail(tr("Cannot read the analyser sweep settings; the analyser state was not saved"));

    if (!storeFiles() || !presetAnalyser())
        return false;

    // Put back the settings that were present. The setters compare with
    // the cache on the worker, after the earlier setters, so the stop
    // frequency is tested against the start frequency just re-applied.
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
    error = putBack(true);
    // Held until the reload has run: a new backup would remove the file.
    release();
    return error.isEmpty();
}
