// The commands that read and set the analyser's sweep through the analyser
// proxy, choose the analyser's network address, and the program-level
// queries (operation complete, readiness, error queue).

#include "automation/commands/commandsfunctions.h"

#include "automation/server/errorcodes.h"

#include <limits>
#include <optional>

namespace Korvel {
namespace Automation {
namespace Commands {

namespace {

template<typename T>
T required(const std::optional<T> &value, Code code)
{
    if (!value)
        fail(code);
    return *value;
}

// A setter: the value goes to the analyser, and the command ends only once
// the proxy has polled the analyser behind it, so a later query sees it.
template<typename Set>
void setOnAnalyser(MainQmlBackend *root, Set &&set)
{
    // Not while a measurement runs: its sweep would change under it.
    actWhenIdle(root, [root, set = std::forward<Set>(set)] {
        set(deviceOf(root));
        waitForDeviceQueue(root);
    });
}

template<typename Read>
void answerCachedDouble(MainQmlBackend *root, DeviceFunctions *functions, Read read, Code code)
{
    answer(root, functions, [root, read, code] { return formatDouble(required(read(deviceOf(root)), code)); });
}

} // namespace

void operationComplete(MainQmlBackend *root, DeviceFunctions *functions)
{
    // Every earlier command of the connection has finished by now.
    checkRoot(root);
    functions->sendAnswer(QByteArray("1"));
}

void systemReady(MainQmlBackend *root, DeviceFunctions *functions)
{
    checkRoot(root);
    functions->sendAnswer(
        runQueryOnObjectThread(root, [root] { return formatFlag(deviceOf(root).isReady().value_or(false)); }));
}

void errorQuery(MainQmlBackend *, DeviceFunctions *functions)
{
    functions->sendAnswer(errorQueryAnswer(functions->takeError()));
}

void setBandwidth(MainQmlBackend *root, double hertz)
{
    setOnAnalyser(root, [hertz](SyncedVnaDevice &device) { device.setIfBandwidth(hertz); });
}

void bandwidth(MainQmlBackend *root, DeviceFunctions *functions)
{
    answerCachedDouble(
        root, functions, [](const SyncedVnaDevice &device) { return device.ifBandwidth(); }, Code::InvalidBandwidth);
}

void calibrationType(MainQmlBackend *root, DeviceFunctions *functions)
{
    answer(root, functions, [root] {
        const auto type = deviceOf(root).calibrationType();
        QString keyword = type ? calibrationTypeKeyword(*type) : QString();
        if (keyword.isEmpty())
            fail(Code::InvalidCalibrationType);
        return keyword;
    });
}

void setStartFrequency(MainQmlBackend *root, double hertz)
{
    setOnAnalyser(root, [hertz](SyncedVnaDevice &device) { device.setStartFreq(hertz); });
}

void startFrequency(MainQmlBackend *root, DeviceFunctions *functions)
{
    answerCachedDouble(
        root, functions, [](const SyncedVnaDevice &device) { return device.startFreq(); }, Code::InvalidFrequency);
}

void frequencyStep(MainQmlBackend *root, DeviceFunctions *functions)
{
    answerCachedDouble(
        root, functions, [](const SyncedVnaDevice &device) { return device.stepFreq(); }, Code::InvalidFrequencyStep);
}

void setStopFrequency(MainQmlBackend *root, double hertz)
{
    setOnAnalyser(root, [hertz](SyncedVnaDevice &device) { device.setStopFreq(hertz); });
}

void stopFrequency(MainQmlBackend *root, DeviceFunctions *functions)
{
    answerCachedDouble(
        root, functions, [](const SyncedVnaDevice &device) { return device.stopFreq(); }, Code::InvalidFrequency);
}

void setOutputPower(MainQmlBackend *root, double dbm)
{
    setOnAnalyser(root, [dbm](SyncedVnaDevice &device) { device.setOutputPower(dbm); });
}

void outputPower(MainQmlBackend *root, DeviceFunctions *functions)
{
    answerCachedDouble(
        root, functions, [](const SyncedVnaDevice &device) { return device.outputPower(); }, Code::InvalidOutputPower);
}

void analyserPreset(MainQmlBackend *root)
{
    setOnAnalyser(root, [](SyncedVnaDevice &device) { device.preset(); });
}

void setPointsCount(MainQmlBackend *root, int count)
{
    setOnAnalyser(root, [count](SyncedVnaDevice &device) {
        // A negative count would reach the analyser as four billion points;
        // any other count is the analyser's to accept or bring into range.
        if (count < 0)
            fail(Code::InvalidPointsNumber);
        device.setPointsCount(static_cast<uint>(count));
    });
}

void pointsCount(MainQmlBackend *root, DeviceFunctions *functions)
{
    answer(root, functions,
           [root] { return formatInt(required(deviceOf(root).pointsCount(), Code::InvalidPointsNumber)); });
}

void sweepType(MainQmlBackend *root, DeviceFunctions *functions)
{
    answer(root, functions, [root] {
        const std::optional<SweepType> type = deviceOf(root).sweepType();
        QString keyword = type ? sweepTypeKeyword(*type) : QString();
        if (keyword.isEmpty())
            fail(Code::InvalidSweepType);
        return keyword;
    });
}

// The address commands need no ready analyser: they are how a client
// points the program at one. The proxy connects at its next poll.

void defaultAnalyserAddress(MainQmlBackend *root)
{
    checkRoot(root);
    runOnObjectThread(root, [root] {
        SyncedVnaDevice &device = deviceOf(root);
        device.setAddress(QStringLiteral("127.0.0.1"));
        device.setPort(5025);
    });
}

void setAnalyserAddress(MainQmlBackend *root, const QByteArray &address)
{
    checkRoot(root);
    runOnObjectThread(root, [root, address] { deviceOf(root).setAddress(QString::fromUtf8(address)); });
}

void analyserAddress(MainQmlBackend *root, DeviceFunctions *functions)
{
    checkRoot(root);
    functions->sendAnswer(runQueryOnObjectThread(root, [root] { return deviceOf(root).address(); }));
}

void setAnalyserPort(MainQmlBackend *root, int port)
{
    checkRoot(root);
    // Taken modulo 65536 the value would name some other port, and port 0
    // is none a connection can reach.
    if (port < 1 || port > std::numeric_limits<quint16>::max())
        fail(Code::DataOutOfRange);
    runOnObjectThread(root, [root, port] { deviceOf(root).setPort(static_cast<quint16>(port)); });
}

void analyserPort(MainQmlBackend *root, DeviceFunctions *functions)
{
    checkRoot(root);
    functions->sendAnswer(runQueryOnObjectThread(root, [root] { return formatInt(deviceOf(root).port()); }));
}

QString sweepTypeKeyword(SweepType type)
{
    switch (type) {
    case SweepType::Linear:
        return QStringLiteral("LIN");
    case SweepType::Logarithmic:
        return QStringLiteral("LOG");
    case SweepType::Segment:
        return QStringLiteral("SEGM");
    case SweepType::Power:
        return QStringLiteral("POW");
    }
    return QString();
}

QString calibrationTypeKeyword(VNADevice::CalibrationType type)
{
    using Type = VNADevice::CalibrationType;
    switch (type) {
    case Type::CorrectionOff:
        return QStringLiteral("OFF");
    case Type::NoCalibration:
        return QStringLiteral("NONE");
    case Type::RespOpen:
        return QStringLiteral("RESPO");
    case Type::RespShort:
        return QStringLiteral("RESPS");
    case Type::RespThru:
        return QStringLiteral("RESPT");
    case Type::Solt1:
        return QStringLiteral("SOLT1");
    case Type::Solt2:
        return QStringLiteral("SOLT2");
    case Type::Solt3:
        return QStringLiteral("SOLT3");
    case Type::Solt4:
        return QStringLiteral("SOLT4");
    case Type::OnePath:
        return QStringLiteral("1PATH");
    }
    return QString();
}

} // namespace Commands
} // namespace Automation
} // namespace Korvel
