// Saving and recalling a user setup: the analyser writes or loads its state
// file, and the program appends or reads its own sections in that file.

#include "app/mainqmlbackend.h"

#include "algorithms/messages.h"
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
#include <QSaveFile>
#include <QThread>

#include <algorithm>
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

// Why a setup file cannot be saved at path before anything is tried; nothing
// when it can be tried.
// A line break would end the analyser's command early and ';' would start
// another: the analyser is never handed such a name.
bool analyserCannotTake(const QString &path)
{
    return path.contains(QLatin1Char(';')) || path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'));
}

std::optional<QString> refusedStatePath(const QString &path)
{
    if (analyserCannotTake(path))
        return QCoreApplication::translate("MainQmlBackend",
                                           "Cannot save setup: the file name contains a line break or ';', "
                                           "which VNA cannot take: %1")
            .arg(path);
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        return QCoreApplication::translate("MainQmlBackend", "Cannot save setup: the folder does not exist: %1")
            .arg(folder.absoluteFilePath());
    if (!folder.isWritable())
        return QCoreApplication::translate("MainQmlBackend", "Cannot save setup: the folder is not writable: %1")
            .arg(folder.absoluteFilePath());
    if (target.exists() && !target.isFile())
        return QCoreApplication::translate("MainQmlBackend", "Cannot save setup: %1 is not a regular file").arg(path);
    return std::nullopt;
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
    // or a folder nobody can write to ends here with its real cause.
    if (const auto refused = refusedStatePath(path)) {
        fail(*refused);
        return;
    }

    const std::optional<VNADevice::SaveType> saveType = readSaveType(vnaDevice);
    if (!saveType) {
        fail(tr("Cannot read the type of saving state file from VNA"));
        return;
    }

    // The analyser writes a fresh file beside the target, the program appends
    // its sections there, and only the complete file replaces the target: a
    // failure on the way leaves an earlier setup file as it was.
    const QFileInfo target(path);
    // Named after this process, so that no file of the user's is touched.
    const QString part = target.absoluteDir().filePath(
        QStringLiteral(".%1.%2.part").arg(target.fileName()).arg(QCoreApplication::applicationPid()));
    struct RemovePart
    {
        QString path;
        ~RemovePart() { QFile::remove(path); }
    } removePart{part};
    if (QFileInfo::exists(part) && !QFile::remove(part)) {
        fail(tr("Cannot save setup: cannot remove the old temporary file %1").arg(part));
        return;
    }
    vnaDevice->setStateFileSaveType(VNADevice::SaveType::CSTate);
    vnaDevice->saveStateFile(part);
    vnaDevice->setStateFileSaveType(*saveType);
    // The proxy runs its requests in order: once this answer is in, the
    // analyser has written the file and has its save type back.
    std::optional<VNADevice::SaveType> typeAfter = readSaveType(vnaDevice);
    if (typeAfter != saveType) {
        // The link dropped on the way: reconnect and put the save type back.
        std::optional<StateRestoreResult> putBack;
        Checker checker;
        vnaDevice->pushRestoreState(StateRestore{QString(), saveType, {}},
                                    WaitCompletion<std::optional<StateRestoreResult>>(checker, putBack));
        checker.wait();
        typeAfter = readSaveType(vnaDevice);
    }
    if (typeAfter != saveType) {
        // The link dropped on the way: the user must know the analyser's
        // save type is not what it was.
        fail(tr("Cannot save setup: the link to VNA was lost; its state-file save type may be left changed "
                "(it was %1)")
                 .arg(enumKey(*saveType)));
        return;
    }
    const qint64 analyserPart = QFileInfo(part).size();
    if (!QFileInfo(part).isFile() || analyserPart <= 0) {
        fail(tr("Cannot save setup: VNA did not write its state to %1 (is the disk full?)").arg(part));
        return;
    }

    VnaStateIO io(part);
    if (!io.open(QIODevice::WriteOnly | QIODevice::Append)) {
        fail(tr("Cannot save setup to %1: %2").arg(part, io.errorString()));
        return;
    }

    StateSections::Settings settings;
    settings.setupCount = static_cast<uint>(setupCount);
    settings.correctionMethod = fixtureSetups->getCorrectionMethod();
    settings.lowPassCheck = setupVnaTable->lowPassCheck();
    settings.z0ConversionType = fixtureSetups->getZ0ConversionType();
    settings.userZ0 = fixtureSetups->getUserZ0();
    StateSections::write(io, settings);
    std::vector<StateSections::Setup> setups;
    for (int n = 0; n < setupCount; ++n) {
        setups.push_back(StateSections::snapshot(*fixtureSetups->setup(n)));
        StateSections::write(io, n, setups.back());
        progress.setValue(n + 1);
    }
    const StateSections::Info info = StateSections::infoOf(setups);
    StateSections::write(io, info);
    if (!io.flush()) {
        fail(tr("Cannot save setup to %1: %2").arg(part, io.errorString()));
        return;
    }

    // What is in the file is what goes to the target: the analyser's part
    // and every section of the program, ending with the last one.
    QFile written(part);
    if (!written.open(QIODevice::ReadOnly)) {
        fail(tr("Cannot save setup: cannot read back %1: %2").arg(part, written.errorString()));
        return;
    }
    const QByteArray content = written.readAll();
    written.close();
    if (content.size() <= analyserPart || !content.contains("[" + StateSections::settingsSection().toUtf8() + "]")
        || !content.endsWith(StateSections::text(info).toUtf8())) {
        fail(tr("Cannot save setup: %1 does not hold what was written (is the disk full?)").arg(part));
        return;
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size() || !out.commit()) {
        fail(tr("Cannot save setup to %1: %2").arg(path, out.errorString()));
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
    progress->setRange(0, 10 * setupCount);
    for (int n = 0; n < setupCount; ++n) {
        const StateSections::Setup &values = n < static_cast<int>(recalled.size()) ? recalled[size_t(n)] : defaults;
        StateSections::apply(*fixtureSetups->setup(n), values, *progress);
        progress->setValue(10 * (n + 1));
        QThread::sleep(1);
    }

    progress->finish();
    emit message(tr("Recall setup was performed: ") + filePath);
}
