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

uint uintValue(const std::optional<QString> &text, uint fallback)
{
    if (!text)
        return fallback;
    bool ok = false;
    const uint value = text->toUInt(&ok);
    return ok ? value : fallback;
}

int intValue(const std::optional<QString> &text, int fallback)
{
    if (!text)
        return fallback;
    bool ok = false;
    const int value = text->toInt(&ok);
    return ok ? value : fallback;
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

void readPorts(VnaStateIO &io, const QString &section, const QString &stem, VNAFixtureConnection *connection)
{
    const int count = connection->attachedPorts().size();
    for (int i = 0; i < count; ++i)
        connection->setAttachedVnaPort(static_cast<size_t>(i),
                                       uintValue(io.value(section, stem + QString::number(i)), 0));
}

} // namespace

void MainQmlBackend::saveState(QString filePath)
{
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

    const uint required = uintValue(io.value(setupsInfoSection, QStringLiteral("MinimumRequiredPortCount")), 0);
    const uint ports = vnaDevice->portsCount().value_or(0);
    if (ports < required) {
        progress->cancel();
        emit error(Algorithms::Messages::notEnoughPorts);
        return;
    }

    vnaDevice->loadStateFile(filePath);

    const int count = intValue(io.value(settingsSection, QStringLiteral("SetupCount")), 0);
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

    const int setupCount = fixtureSetups->getCount();
    progress->setRange(0, 10 * setupCount);
    for (int n = 0; n < setupCount; ++n) {
        VukAlgorithmsSetup *setup = fixtureSetups->setup(n);
        const QString section = setupSectionStem + QString::number(n);
        auto key = [&](const char *name) { return io.value(section, QString::fromLatin1(name)); };

        setup->setLeftFixtureEnabled(boolValue(key("FixtureAEnabled")));
        progress->step();
        setup->leftFixtureConn()->fixture()->setPortsCount(uintValue(key("FixtureAPortsCount"), 1));
        progress->step();
        setup->setRightFixtureEnabled(boolValue(key("FixtureBEnabled")));
        progress->step();
        setup->rightFixtureConn()->fixture()->setPortsCount(uintValue(key("FixtureBPortsCount"), 1));
        progress->step();
        setup->setAbThruConnectionEnabled(boolValue(key("ABEnabled")));
        progress->step();
        setup->setAaConnectionEnabled(boolValue(key("AAuxEnabled")));
        progress->step();
        setup->setBbConnectionEnabled(boolValue(key("BAuxEnabled")));
        progress->step();
        setup->setAbDutConnectionEnabled(boolValue(key("DutEnabled")));
        progress->step();
        readPorts(io, section, QStringLiteral("FixtureAPort"), setup->leftFixtureConn());
        readPorts(io, section, QStringLiteral("FixtureBPort"), setup->rightFixtureConn());
        progress->step();
        readPorts(io, section, QStringLiteral("FixtureAAuxPort"), setup->leftFixtureAuxConn());
        readPorts(io, section, QStringLiteral("FixtureBAuxPort"), setup->rightFixtureAuxConn());
        progress->setValue(10 * (n + 1));
        QThread::sleep(1);
    }

    progress->finish();
    emit message(QStringLiteral("Recall setup was performed: ") + filePath);
}
