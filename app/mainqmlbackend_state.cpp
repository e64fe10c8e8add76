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

#include <QFileInfo>
#include <QMetaEnum>
#include <QRegularExpression>
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

template <typename Enum>
QString enumKey(Enum value)
{
    const char *key = QMetaEnum::fromType<Enum>().valueToKey(static_cast<int>(value));
    return key ? QString::fromLatin1(key) : QStringLiteral("---");
}

template <typename Enum>
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

} // namespace

void MainQmlBackend::saveState(QString filePath)
{
    const auto ticket = admitAction();
    if (!ticket)
        return;
    TaskProgress progress;
    progressManager.add(&progress, tr("Save setup"));
    progress.start();
    const int setupCount = fixtureSetups->getCount();
    progress.setRange(0, setupCount);

    const std::optional<VNADevice::SaveType> saveType = readSaveType(vnaDevice);
    if (!saveType) {
        progress.cancel();
        emit error(tr("Cannot read the type of saving state file from VNA"));
        return;
    }
    vnaDevice->setStateFileSaveType(VNADevice::CSTate);
    const QString path = filePath.endsWith(QLatin1String(".sta")) ? filePath : filePath + QStringLiteral(".sta");
    vnaDevice->saveStateFile(path);
    vnaDevice->setStateFileSaveType(*saveType);
    // The proxy runs its requests in order: once this answer is in, the
    // analyser has written the file.
    readSaveType(vnaDevice);

    // Appending to a file the analyser did not write would leave a setup
    // without the analyser's state and still report success.
    VnaStateIO io(path);
    if (!QFileInfo::exists(path) || !io.open(QIODevice::WriteOnly | QIODevice::Append)) {
        progress.cancel();
        emit error(tr("Cannot read state file: ") + path);
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
        progress.cancel();
        emit error(tr("Cannot read state file: ") + path);
        return;
    }

    progress.finish();
    emit message(QStringLiteral("Save setup was performed: ") + path);
}

void MainQmlBackend::loadState(QString filePath)
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
    VnaStateIO io(filePath);
    if (!io.open(QIODevice::ReadOnly)) {
        progress->cancel();
        emit error(Algorithms::Messages::cannotRecallStateFile + filePath);
        return;
    }

    // Everything is read and checked before the analyser or a set-up is touched.
    CheckedReader reader(io);
    auto refuseInvalid = [&] {
        const CheckedReader::Invalid &invalid = reader.firstInvalid();
        // A corrupt value may be any length; the start of it says enough.
        const int shown = 24;
        const QString text = invalid.text.size() > shown ? invalid.text.left(shown) + QStringLiteral("...")
                                                         : invalid.text;
        progress->cancel();
        emit error(Algorithms::Messages::cannotRecallStateFile + filePath + QStringLiteral(". ")
                   + tr("Invalid value %1=%2 in section [%3]").arg(invalid.key, text, invalid.section));
    };

    const uint required =
        reader.number(setupsInfoSection, QStringLiteral("MinimumRequiredPortCount"), 0, portsLimit);
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
    fixtureSetups->setZ0ConversionType(enumValue(io.value(settingsSection, QStringLiteral("Z0ConversionType")),
                                                 MeasureEnums::Z0Conversion::System));
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
