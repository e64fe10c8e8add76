// Saving and recalling a user setup: the analyser writes or loads its state
// file, and the program appends or reads its own sections in that file.

#include "app/mainqmlbackend.h"

#include "algorithms/messages.h"
#include "app/rawdatafiles.h"
#include "app/setupvnatable.h"
#include "app/statesections.h"
#include "app/vnastateio.h"
#include "device/checker.h"
#include "measurement/fixturesetups.h"
#include "measurement/measureenums.h"
#include "measurement/vukalgorithmssetup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaEnum>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <optional>

namespace {

// The enum's key name, "---" for a value without one.
template<typename Enum>
QString enumKey(Enum value)
{
    const char *key = QMetaEnum::fromType<Enum>().valueToKey(static_cast<int>(value));
    return key ? QString::fromLatin1(key) : QStringLiteral("---");
}

// Reads the analyser's save type, waiting in a local event loop.
std::optional<VNADevice::SaveType> readSaveType(SyncedVnaDevice *device)
{
    std::optional<VNADevice::SaveType> result;
    Checker checker;
    device->pushReadStateFileSaveType(WaitCompletion<std::optional<VNADevice::SaveType>>(checker, result));
    checker.wait();
    return result;
}

// A line break would end the analyser's command early and ';' would start
// another: the analyser is never handed such a name.
bool analyserCannotTake(const QString &path)
{
    return path.contains(QLatin1Char(';')) || path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'));
}

QString cannotSave(const QString &cause)
{
    return QCoreApplication::translate("MainQmlBackend", "Cannot save setup. %1").arg(cause);
}

// The analyser writes its state into the staging file, its save type put
// back afterwards; the text that says why it failed, empty when the file
// holds the state.
QString storeAnalyserState(SyncedVnaDevice *device, const StagedFile &file, const QString &path,
                           VNADevice::SaveType saveType)
{
    // The analyser's errors from here on are this save's.
    device->pushReadErrors([](const std::optional<QStringList> &) {});
    device->setStateFileSaveType(VNADevice::SaveType::CSTate);
    device->saveStateFile(file.stagingPath());
    device->setStateFileSaveType(saveType);
    // The proxy runs its requests in order: once this answer is in, the
    // analyser has written the file and has its save type back.
    std::optional<VNADevice::SaveType> typeAfter = readSaveType(device);
    const bool linkLost = typeAfter != saveType;
    if (linkLost) {
        // The link dropped on the way: reconnect and put the save type back.
        std::optional<StateRestoreResult> putBack;
        Checker checker;
        device->pushRestoreState(StateRestore{QString(), saveType, {}},
                                 WaitCompletion<std::optional<StateRestoreResult>>(checker, putBack));
        checker.wait();
        typeAfter = readSaveType(device);
    }
    if (typeAfter != saveType) {
        // The user must know the analyser's save type is not what it was.
        return cannotSave(
            MainQmlBackend::tr("The link to VNA was lost; its state-file save type may be left changed (it was %1)")
                .arg(enumKey(saveType)));
    }
    if (linkLost) {
        return cannotSave(
            MainQmlBackend::tr("The link to VNA was lost while VNA saved its state; its save type was put back"));
    }
    std::optional<QStringList> analyserErrors;
    {
        Checker checker;
        device->pushReadErrors(WaitCompletion<std::optional<QStringList>>(checker, analyserErrors));
        checker.wait();
    }
    if (analyserErrors && !analyserErrors->isEmpty()) {
        return cannotSave(MainQmlBackend::tr("VNA could not write its state for %1: %2")
                              .arg(path, analyserErrors->join(QStringLiteral("; "))));
    }
    if (!(QFileInfo(file.stagingPath()).size() > 0)) {
        return cannotSave(MainQmlBackend::tr("VNA did not write its state for %1").arg(path));
    }

    return QString();
}

} // namespace

void MainQmlBackend::saveState(const QString &filePath)
{
    const auto ticket = admitAction();
    if (!ticket)
        return;
    TaskProgress progress;
    progressManager.add(&progress, tr("Save setup"));
    progress.start();
    const int setupCount = fixtureSetups->getCount();
    progress.setRange(0, setupCount);
    auto fail = [&](const QString &text) {
        progress.cancel();
        emit error(text);
    };

    const QString path = filePath.endsWith(QLatin1String(".sta")) ? filePath : filePath + QStringLiteral(".sta");
    // Checked before the analyser is asked anything: a name it would refuse
    // or one no file can take ends here with its real cause.
    if (analyserCannotTake(path)) {
        fail(cannotSave(tr("The file name contains a line break or ';', which VNA cannot take: %1").arg(path)));
        return;
    }
    if (QFileInfo(path).isDir()) {
        fail(cannotSave(fileFailureCause({FileFailure::Stage::Place, EISDIR, path})));
        return;
    }
    // A connected analyser that is not ready takes no commands (one that is
    // not connected fails at the save type below, without a wait here).
    if (vnaDevice->isConnected() && !vnaDevice->callAndWait(&SyncedVnaDevice::pushSync) && vnaDevice->isConnected()
        && vnaDevice->isReady() == false) {
        fail(cannotSave(tr("VNA is not ready")));
        return;
    }

    const std::optional<VNADevice::SaveType> saveType = readSaveType(vnaDevice);
    if (!saveType) {
        fail(tr("Cannot read the type of saving state file from VNA"));
        return;
    }

    // The analyser writes its state into a staging file beside the target,
    // the program appends its sections there, and only the complete file,
    // read back as written, replaces the target: a failure on the way
    // leaves an earlier setup file as it was. Making the staging file first
    // tells whether the folder takes files at all.
    StagedFile file(path, &stagingArea);
    if (!file.create()) {
        fail(cannotSave(fileFailureCause(file.failure())));
        return;
    }
    if (const QString failure = storeAnalyserState(vnaDevice, file, path, *saveType); !failure.isEmpty()) {
        fail(failure);
        return;
    }

    StateSections::Settings settings;
    settings.setupCount = static_cast<uint>(setupCount);
    settings.correctionMethod = fixtureSetups->getCorrectionMethod();
    settings.lowPassCheck = setupVnaTable->lowPassCheck();
    settings.z0ConversionType = fixtureSetups->getZ0ConversionType();
    settings.userZ0 = fixtureSetups->getUserZ0();
    QString sections = StateSections::text(settings);
    std::vector<StateSections::Setup> setups;
    for (int n = 0; n < setupCount; ++n) {
        setups.push_back(StateSections::snapshot(*fixtureSetups->setup(n)));
        sections += StateSections::text(n, setups.back());
        progress.setValue(n + 1);
    }
    sections += StateSections::text(StateSections::infoOf(setups));
    // What the analyser wrote is read back with the sections: the file put
    // in place is exactly what both wrote.
    if (!file.append(sections.toUtf8()) || !file.commit()) {
        fail(cannotSave(fileFailureCause(file.failure())));
        return;
    }

    progress.finish();
    emit message(tr("Save setup was performed: ") + path);
}

void MainQmlBackend::loadState(const QString &filePath)
{
    const auto ticket = admitAction();
    if (!ticket)
        return;
    auto *progress = new TaskProgress;
    progressManager.add(progress, tr("Recall setup"));
    progress->start();
    recallState(filePath, progress);
}

// The checked contents of a setup file put in place: the analyser loads its
// state, the settings and every set-up take theirs (set-ups the file lacks
// take the defaults).
void MainQmlBackend::applyRecalledState(const QString &filePath, const StateSections::Settings &settings,
                                        const std::vector<StateSections::Setup> &recalled, TaskProgress &progress)
{
    const int count = static_cast<int>(settings.setupCount);
    vnaDevice->loadStateFile(filePath);

    fixtureSetups->setCorrectionMethod(settings.correctionMethod);
    setupVnaTable->setLowPassCheck(settings.lowPassCheck);
    fixtureSetups->setZ0ConversionType(settings.z0ConversionType);
    fixtureSetups->setUserZ0(settings.userZ0);

    for (int i = 0; i < count; ++i) {
        if (i == fixtureSetups->getCount())
            fixtureSetups->addSetup();
    }

    const StateSections::Setup defaults;
    const int setupCount = fixtureSetups->getCount();
    progress.setRange(0, 10 * setupCount);
    for (int n = 0; n < setupCount; ++n) {
        const StateSections::Setup &values = n < static_cast<int>(recalled.size()) ? recalled[size_t(n)] : defaults;
        StateSections::apply(*fixtureSetups->setup(n), values, progress);
        progress.setValue(10 * (n + 1));
        QThread::sleep(1);
    }
}

void MainQmlBackend::recallState(const QString &filePath, TaskProgress *progress)
{
    // The record goes on every path out of here.
    struct Release
    {
        TaskProgress *progress;
        ~Release() { progress->deleteLater(); }
    } release{progress};

    progress->setValue(0, tr("Open file"));
    // Only a regular file: opening a FIFO or a device would block the GUI
    // and every remote client.
    VnaStateIO io(filePath);
    if (!QFileInfo(filePath).isFile() || !io.open(QIODevice::ReadOnly)) {
        progress->cancel();
        emit error(Algorithms::Messages::cannotRecallStateFile + filePath);
        return;
    }
    // The analyser would never load its part: the set-ups alone would come
    // back under a message that the whole setup was recalled.
    if (analyserCannotTake(filePath)) {
        progress->cancel();
        emit error(Algorithms::Messages::cannotRecallStateFile + filePath + QStringLiteral(". ")
                   + tr("The file name contains a line break or ';', which VNA cannot take"));
        return;
    }
    // A file the program did not save (any other text file, or the
    // analyser's own state alone) would reset the set-ups to defaults.
    StateSections::Reader reader(io);
    if (!StateSections::hasSettings(reader)) {
        progress->cancel();
        emit error(Algorithms::Messages::cannotRecallStateFile + filePath + QStringLiteral(". ")
                   + tr("The file holds no setup sections"));
        return;
    }

    // Everything is read and checked before the analyser or a set-up is touched.
    auto refuseInvalid = [&] {
        const StateSections::Reader::Invalid &invalid = reader.firstInvalid();
        // A corrupt value may be any length; the start of it says enough.
        const int shown = 24;
        const QString text =
            invalid.text.size() > shown ? invalid.text.left(shown) + QStringLiteral("...") : invalid.text;
        progress->cancel();
        emit error(Algorithms::Messages::cannotRecallStateFile + filePath + QStringLiteral(". ")
                   + tr("Invalid value %1=%2 in section [%3]").arg(invalid.key, text, invalid.section));
    };

    const StateSections::Info info = StateSections::readInfo(reader);
    if (reader.failed()) {
        refuseInvalid();
        return;
    }
    const uint ports = vnaDevice->portsCount().value_or(0);
    if (ports < info.minimumRequiredPortCount) {
        progress->cancel();
        emit error(Algorithms::Messages::notEnoughPorts);
        return;
    }

    const StateSections::Settings settings = StateSections::readSettings(reader);
    const int count = static_cast<int>(settings.setupCount);
    // The set-ups beyond count read their sections too (normally absent).
    const int recalledCount = std::max(count, fixtureSetups->getCount());
    std::vector<StateSections::Setup> recalled;
    recalled.reserve(static_cast<size_t>(recalledCount));
    for (int n = 0; n < recalledCount && !reader.failed(); ++n)
        recalled.push_back(StateSections::readSetup(reader, n));
    if (reader.failed()) {
        refuseInvalid();
        return;
    }

    applyRecalledState(filePath, settings, recalled, *progress);

    progress->finish();
    emit message(tr("Recall setup was performed: ") + filePath);
}
