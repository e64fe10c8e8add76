// Saving and recalling a user setup: the analyser writes or loads its state
// file, and the program appends or reads its own sections in that file.

#include "app/mainqmlbackend.h"

#include "algorithms/messages.h"
#include "app/setupvnatable.h"
#include "app/vnastateio.h"
#include "device/checker.h"
#include "measurement/fixturesetups.h"
#include "measurement/measureenums.h"
#include "measurement/vnafixtureconnection.h"
#include "measurement/vukalgorithmssetup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>

#include <algorithm>
#include <optional>

namespace {

const QString settingsSection = QStringLiteral("VUK\\Settings");
const QString setupSectionStem = QStringLiteral("VUK\\Settings\\FixtureSetup");
const QString setupsInfoSection = QStringLiteral("VUK\\SetupsInfo");

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// "false" is false; "true", anything else and a missing value are true.
bool boolValue(const std::optional<QString> &text)
{
    return !(text && *text == QLatin1String("false"));
}

template<typename Enum>
QString enumKey(Enum value)
{
    const char *key = QMetaEnum::fromType<Enum>().valueToKey(static_cast<int>(value));
    return key ? QString::fromLatin1(key) : QStringLiteral("---");
}

template<typename Enum>
Enum enumValue(const std::optional<QString> &text, Enum fallback)
{
    if (!text)
        return fallback;
    bool ok = false;
    const int value = QMetaEnum::fromType<Enum>().keyToValue(text->toLatin1().constData(), &ok);
    return ok ? static_cast<Enum>(value) : fallback;
}

double doubleValue(const std::optional<QString> &text, double fallback)
{
    if (!text)
        return fallback;
    bool ok = false;
    const double value = text->toDouble(&ok);
    return ok ? value : fallback;
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

// Writes the entries of one port list under key stem + index; keeps the
// largest index written.
void writePorts(VnaStateIO &io, const QString &stem, const VNAFixtureConnection *connection, uint &largest)
{
    const auto &ports = connection->attachedPorts();
    for (int i = 0; i < ports.size(); ++i) {
        const uint port = ports.at(i);
        io.writeValue(stem + QString::number(i), QString::number(port));
        largest = std::max(largest, port);
    }
}

// Reads the recalled values and remembers the first one no file the program
// writes can hold, so that a corrupt or hand-edited file is refused before
// anything is changed instead of allocating or looping without bound.
class CheckedReader
{
public:
    explicit CheckedReader(VnaStateIO &io) : io(io) {}

    // A whole number from 0 to limit; fallback when the key is missing or not
    // a number. Anything else (negative, too large) marks the file invalid.
    uint number(const QString &section, const QString &key, uint fallback, uint limit)
    {
        const std::optional<QString> text = io.value(section, key);
        if (!text)
            return fallback;
        bool ok = false;
        const qlonglong value = text->toLongLong(&ok);
        if (ok && value >= 0 && value <= static_cast<qlonglong>(limit))
            return static_cast<uint>(value);
        // A signed whole number too long for toLongLong is out of range too.
        if (ok || wholeNumber.match(*text).hasMatch())
            markInvalid(section, key, *text);
        return fallback;
    }

    bool flag(const QString &section, const QString &key) { return boolValue(io.value(section, key)); }

    // The first invalid value: its section, key and text.
    struct Invalid
    {
        QString section;
        QString key;
        QString text;
    };
    bool failed() const { return invalid.has_value(); }
    const Invalid &firstInvalid() const { return *invalid; }

private:
    void markInvalid(const QString &section, const QString &key, const QString &text)
    {
        if (!invalid)
            invalid = Invalid{section, key, text};
    }

    static const QRegularExpression wholeNumber;
    VnaStateIO &io;
    std::optional<Invalid> invalid;
};

const QRegularExpression CheckedReader::wholeNumber(QStringLiteral("^\\s*[+-]?\\d+\\s*$"));

// No analyser has more ports than this, so no valid file holds more set-ups,
// more ports per fixture or a higher port index.
constexpr uint portsLimit = VNADevice::maxPortsCount;

// One set-up's recalled values, in the order they are applied.
struct RecalledSetup
{
    bool leftEnabled = true;
    uint leftPorts = 1;
    bool rightEnabled = true;
    uint rightPorts = 1;
    bool abThru = true;
    bool aa = true;
    bool bb = true;
    bool abDut = true;
    std::vector<uint> left, right, leftAux, rightAux;
};

std::vector<uint> readPorts(CheckedReader &reader, const QString &section, const QString &stem, uint count)
{
    std::vector<uint> ports;
    ports.reserve(count);
    for (uint i = 0; i < count && !reader.failed(); ++i)
        ports.push_back(reader.number(section, stem + QString::number(i), 0, portsLimit - 1));
    return ports;
}

// Reads section VUK\Settings\FixtureSetup<n>; the port lists hold as many
// entries as the fixture port count read, which is the size the lists take
// when that count is applied (an auxiliary side has its main side's count).
RecalledSetup readSetup(CheckedReader &reader, const QString &section)
{
    RecalledSetup setup;
    setup.leftEnabled = reader.flag(section, QStringLiteral("FixtureAEnabled"));
    setup.leftPorts = reader.number(section, QStringLiteral("FixtureAPortsCount"), 1, portsLimit);
    setup.rightEnabled = reader.flag(section, QStringLiteral("FixtureBEnabled"));
    setup.rightPorts = reader.number(section, QStringLiteral("FixtureBPortsCount"), 1, portsLimit);
    setup.abThru = reader.flag(section, QStringLiteral("ABEnabled"));
    setup.aa = reader.flag(section, QStringLiteral("AAuxEnabled"));
    setup.bb = reader.flag(section, QStringLiteral("BAuxEnabled"));
    setup.abDut = reader.flag(section, QStringLiteral("DutEnabled"));
    if (reader.failed())
        return setup;
    setup.left = readPorts(reader, section, QStringLiteral("FixtureAPort"), setup.leftPorts);
    setup.right = readPorts(reader, section, QStringLiteral("FixtureBPort"), setup.rightPorts);
    setup.leftAux = readPorts(reader, section, QStringLiteral("FixtureAAuxPort"), setup.leftPorts);
    setup.rightAux = readPorts(reader, section, QStringLiteral("FixtureBAuxPort"), setup.rightPorts);
    return setup;
}

// Overwrites every current entry of the connection's list; entries the file
// does not hold become 0.
void applyPorts(VNAFixtureConnection *connection, const std::vector<uint> &ports)
{
    const int count = connection->attachedPorts().size();
    for (int i = 0; i < count; ++i) {
        const size_t index = static_cast<size_t>(i);
        connection->setAttachedVnaPort(index, index < ports.size() ? ports[index] : 0u);
    }
}

// Why a setup file cannot be saved at path before anything is tried; nothing
// when it can be tried.
std::optional<QString> refusedStatePath(const QString &path)
{
    if (path.contains(QLatin1Char(';')) || path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r')))
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
    vnaDevice->setStateFileSaveType(VNADevice::CSTate);
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

    io.writeSection(settingsSection);
    io.writeValue(QStringLiteral("SetupCount"), QString::number(setupCount));
    io.writeValue(QStringLiteral("MeasureMethod"), enumKey(fixtureSetups->getCorrectionMethod()));
    io.writeValue(QStringLiteral("LowPassCheck"), boolText(setupVnaTable->lowPassCheck()));
    io.writeValue(QStringLiteral("Z0ConversionType"), enumKey(fixtureSetups->getZ0ConversionType()));
    io.writeValue(QStringLiteral("UserZ0"), QString::number(fixtureSetups->getUserZ0(), 'g', 6));
    io.writeEmptyLine();

    uint largestPort = 0;
    uint largestFixture = 0;
    for (int n = 0; n < setupCount; ++n) {
        const VukAlgorithmsSetup *setup = fixtureSetups->setup(n);
        const uint aPorts = setup->leftFixtureConn()->fixture()->portsCount();
        const uint bPorts = setup->rightFixtureConn()->fixture()->portsCount();
        io.writeSection(setupSectionStem + QString::number(n));
        io.writeValue(QStringLiteral("FixtureAEnabled"), boolText(setup->leftFixtureEnabled()));
        io.writeValue(QStringLiteral("FixtureAPortsCount"), QString::number(aPorts));
        io.writeValue(QStringLiteral("FixtureBEnabled"), boolText(setup->rightFixtureEnabled()));
        io.writeValue(QStringLiteral("FixtureBPortsCount"), QString::number(bPorts));
        io.writeValue(QStringLiteral("ABEnabled"), boolText(setup->abThruConnectionEnabled()));
        io.writeValue(QStringLiteral("AAuxEnabled"), boolText(setup->aaConnectionEnabled()));
        io.writeValue(QStringLiteral("BAuxEnabled"), boolText(setup->bbConnectionEnabled()));
        io.writeValue(QStringLiteral("DutEnabled"), boolText(setup->abDutConnectionEnabled()));
        writePorts(io, QStringLiteral("FixtureAPort"), setup->leftFixtureConn(), largestPort);
        writePorts(io, QStringLiteral("FixtureBPort"), setup->rightFixtureConn(), largestPort);
        writePorts(io, QStringLiteral("FixtureAAuxPort"), setup->leftFixtureAuxConn(), largestPort);
        writePorts(io, QStringLiteral("FixtureBAuxPort"), setup->rightFixtureAuxConn(), largestPort);
        io.writeEmptyLine();
        largestFixture = std::max({largestFixture, aPorts, bPorts});
        progress.setValue(n + 1);
    }

    io.writeSection(setupsInfoSection);
    io.writeValue(QStringLiteral("MinimumRequiredPortCount"),
                  QString::number(std::max(largestPort + 1, largestFixture)));
    io.writeEmptyLine();
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
    if (content.size() <= analyserPart || !content.contains("[" + settingsSection.toUtf8() + "]")
        || !content.endsWith("[" + setupsInfoSection.toUtf8() + "]\nMinimumRequiredPortCount="
                             + QByteArray::number(std::max(largestPort + 1, largestFixture)) + "\n\n")) {
        fail(tr("Cannot save setup: %1 does not hold what was written (is the disk full?)").arg(part));
        return;
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size() || !out.commit()) {
        fail(tr("Cannot save setup to %1: %2").arg(path, out.errorString()));
        return;
    }

    progress.finish();
    emit message(QStringLiteral("Save setup was performed: ") + path);
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
    // A file the program did not save (any other text file, or the
    // analyser's own state alone) would reset the set-ups to defaults.
    if (!io.value(settingsSection, QStringLiteral("SetupCount"))) {
        progress->cancel();
        emit error(Algorithms::Messages::cannotRecallStateFile + filePath + QStringLiteral(". ")
                   + tr("The file holds no setup sections"));
        return;
    }

    // Everything is read and checked before the analyser or a set-up is touched.
    CheckedReader reader(io);
    auto refuseInvalid = [&] {
        const CheckedReader::Invalid &invalid = reader.firstInvalid();
        // A corrupt value may be any length; the start of it says enough.
        const int shown = 24;
        const QString text =
            invalid.text.size() > shown ? invalid.text.left(shown) + QStringLiteral("...") : invalid.text;
        progress->cancel();
        emit error(Algorithms::Messages::cannotRecallStateFile + filePath + QStringLiteral(". ")
                   + tr("Invalid value %1=%2 in section [%3]").arg(invalid.key, text, invalid.section));
    };

    const uint required = reader.number(setupsInfoSection, QStringLiteral("MinimumRequiredPortCount"), 0, portsLimit);
    if (reader.failed()) {
        refuseInvalid();
        return;
    }
    const uint ports = vnaDevice->portsCount().value_or(0);
    if (ports < required) {
        progress->cancel();
        emit error(Algorithms::Messages::notEnoughPorts);
        return;
    }

    const int count = static_cast<int>(reader.number(settingsSection, QStringLiteral("SetupCount"), 0, portsLimit));
    // The set-ups beyond count read their sections too (normally absent).
    const int recalledCount = std::max(count, fixtureSetups->getCount());
    std::vector<RecalledSetup> recalled;
    recalled.reserve(static_cast<size_t>(recalledCount));
    for (int n = 0; n < recalledCount && !reader.failed(); ++n)
        recalled.push_back(readSetup(reader, setupSectionStem + QString::number(n)));
    if (reader.failed()) {
        refuseInvalid();
        return;
    }

    vnaDevice->loadStateFile(filePath);

    fixtureSetups->setCorrectionMethod(enumValue(io.value(settingsSection, QStringLiteral("MeasureMethod")),
                                                 MeasureEnums::CorrectionMethod::TIME_GATING));
    setupVnaTable->setLowPassCheck(boolValue(io.value(settingsSection, QStringLiteral("LowPassCheck"))));
    fixtureSetups->setZ0ConversionType(
        enumValue(io.value(settingsSection, QStringLiteral("Z0ConversionType")), MeasureEnums::Z0Conversion::System));
    fixtureSetups->setUserZ0(doubleValue(io.value(settingsSection, QStringLiteral("UserZ0")), 0.0));

    for (int i = 0; i < count; ++i) {
        if (i == fixtureSetups->getCount())
            fixtureSetups->addSetup();
    }

    const RecalledSetup defaults;
    const int setupCount = fixtureSetups->getCount();
    progress->setRange(0, 10 * setupCount);
    for (int n = 0; n < setupCount; ++n) {
        VukAlgorithmsSetup *setup = fixtureSetups->setup(n);
        const RecalledSetup &values = n < static_cast<int>(recalled.size()) ? recalled[size_t(n)] : defaults;

        setup->setLeftFixtureEnabled(values.leftEnabled);
        progress->step();
        setup->leftFixtureConn()->fixture()->setPortsCount(values.leftPorts);
        progress->step();
        setup->setRightFixtureEnabled(values.rightEnabled);
        progress->step();
        setup->rightFixtureConn()->fixture()->setPortsCount(values.rightPorts);
        progress->step();
        setup->setAbThruConnectionEnabled(values.abThru);
        progress->step();
        setup->setAaConnectionEnabled(values.aa);
        progress->step();
        setup->setBbConnectionEnabled(values.bb);
        progress->step();
        setup->setAbDutConnectionEnabled(values.abDut);
        progress->step();
        applyPorts(setup->leftFixtureConn(), values.left);
        applyPorts(setup->rightFixtureConn(), values.right);
        progress->step();
        applyPorts(setup->leftFixtureAuxConn(), values.leftAux);
        applyPorts(setup->rightFixtureAuxConn(), values.rightAux);
        progress->setValue(10 * (n + 1));
        QThread::sleep(1);
    }

    progress->finish();
    emit message(QStringLiteral("Recall setup was performed: ") + filePath);
}
