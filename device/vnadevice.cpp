#include "device/vnadevice.h"

#include "device/logging.h"

#include <QDebug>
#include <QMap>
#include <QStringList>

#include <cmath>

const QString vnaUnsafePathErrorText =
    QObject::tr("The file path contains a line break or ';' and cannot be sent to VNA:");

namespace {

const QMap<QString, VNADevice::SaveType> &saveTypeKeywords()
{
    using Save = VNADevice::SaveType;
    static const QMap<QString, Save> map{
        {QStringLiteral("STATe"), Save::STATe},     {QStringLiteral("CSTate"), Save::CSTate},
        {QStringLiteral("DSTate"), Save::DSTate},   {QStringLiteral("CDSTate"), Save::CDSTate},
        {QStringLiteral("CMSTate"), Save::CMSTate},
    };
    return map;
}

const QMap<QString, SweepType> &sweepTypeKeywords()
{
    static const QMap<QString, SweepType> map{
        {QStringLiteral("LIN"), SweepType::Linear},
        {QStringLiteral("LOG"), SweepType::Logarithmic},
        {QStringLiteral("SEGM"), SweepType::Segment},
        {QStringLiteral("POW"), SweepType::Power},
    };
    return map;
}

const QMap<QString, VNADevice::GraphicFormat> &graphicFormatKeywords()
{
    using Format = VNADevice::GraphicFormat;
    static const QMap<QString, Format> map{
        {QStringLiteral("MLOGarithmic"), Format::MLOGarithmic},
        {QStringLiteral("PHASe"), Format::PHASe},
        {QStringLiteral("GDELay"), Format::GDELay},
        {QStringLiteral("SLINear"), Format::SLINear},
        {QStringLiteral("SLOGarithmic"), Format::SLOGarithmic},
        {QStringLiteral("SCOMplex"), Format::SCOMplex},
        {QStringLiteral("SMITh"), Format::SMITh},
        {QStringLiteral("SADMittance"), Format::SADMittance},
        {QStringLiteral("PLINear"), Format::PLINear},
        {QStringLiteral("PLOGarithmic"), Format::PLOGarithmic},
        {QStringLiteral("POLar"), Format::POLar},
        {QStringLiteral("MLINear"), Format::MLINear},
        {QStringLiteral("SWR"), Format::SWR},
        {QStringLiteral("REAL"), Format::REAL},
        {QStringLiteral("IMAGinary"), Format::IMAGinary},
        {QStringLiteral("UPHase"), Format::UPHase},
    };
    return map;
}

// Receiver measurements; %0 is the 1-based receiver number.
const QMap<QString, VNADevice::TypeOfParameter> &parameterPrefixes()
{
    using Parameter = VNADevice::TypeOfParameter;
    static const QMap<QString, Parameter> map{
        {QStringLiteral("T%0"), Parameter::TReceiver},
        {QStringLiteral("R%0"), Parameter::RReceiver},
        {QStringLiteral("V%0"), Parameter::VReceiver},
    };
    return map;
}

// The correction types of the type query (correction off is told by the
// status query instead).
const QMap<QString, VNADevice::CalibrationType> &calibrationTypeKeywords()
{
    using Type = VNADevice::CalibrationType;
    static const QMap<QString, Type> map{
        {QStringLiteral("NONE"), Type::NoCalibration}, {QStringLiteral("RESPO"), Type::RespOpen},
        {QStringLiteral("RESPS"), Type::RespShort},    {QStringLiteral("RESPT"), Type::RespThru},
        {QStringLiteral("SOLT1"), Type::Solt1},        {QStringLiteral("SOLT2"), Type::Solt2},
        {QStringLiteral("SOLT3"), Type::Solt3},        {QStringLiteral("SOLT4"), Type::Solt4},
        {QStringLiteral("1PATH"), Type::OnePath},
    };
    return map;
}

// The keyword of a value; empty (with a debug line) when the value has none,
// so that a caller error never sends some other keyword.
template<typename Value>
std::optional<QString> keywordOf(const QMap<QString, Value> &map, Value value, const char *what)
{
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it.value() == value)
            return it.key();
    }
    qCDebug(lcDevice) << "No analyser keyword for" << what << static_cast<int>(value) << "- nothing sent";
    return std::nullopt;
}

// The value of a keyword; empty for a keyword the map does not hold.
template<typename Value>
std::optional<Value> valueOf(const QMap<QString, Value> &map, const QString &keyword)
{
    const auto it = map.constFind(keyword);
    if (it == map.cend())
        return std::nullopt;
    return it.value();
}

// simplified(), every blank removed, split at ",": an empty reply is one
// empty item.
QStringList replyList(const QString &reply)
{
    return reply.simplified().remove(QLatin1Char(' ')).split(QLatin1Char(','));
}

std::optional<uint> toUInt(const QString &text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<double> toDouble(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<std::vector<double>> toDoubles(const QStringList &items)
{
    std::vector<double> values;
    values.reserve(static_cast<size_t>(items.size()));
    for (const QString &item : items) {
        const auto value = toDouble(item);
        if (!value)
            return std::nullopt;
        values.push_back(*value);
    }
    return values;
}

// A 1-based number from the analyser as a 0-based index; 0 has no index.
std::optional<uint> toIndex(const std::optional<QString> &reply)
{
    if (!reply)
        return std::nullopt;
    const auto value = toUInt(*reply);
    if (!value || *value == 0)
        return std::nullopt;
    return *value - 1;
}

QString number(double value)
{
    return QString::number(value, 'g', 10);
}

QString boolText(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

VNADevice::VNADevice(qint64 queryTimeoutMs, int connectTimeoutMs, QObject *parent)
    : QObject(parent),
      m_commands(new ScpiDevice(this, connectTimeoutMs)),
      m_abort(new ScpiDevice(this, connectTimeoutMs)),
      m_queryTimeoutMs(queryTimeoutMs)
{
    qRegisterMetaType<VnaInfo>("VnaInfo");
    qRegisterMetaType<SweepType>("SweepType");
    qRegisterMetaType<QAbstractSocket::SocketState>();
    for (ScpiDevice *connection : {m_commands, m_abort}) {
        connect(connection, &ScpiDevice::error, this, &VNADevice::error);
        connect(connection, &ScpiDevice::stateChanged, this, &VNADevice::stateChanged);
        connect(connection, &ScpiDevice::disconnected, this, &VNADevice::disconnected);
    }
}

bool VNADevice::connectToHost(const QString &host, quint16 port)
{
    if (!m_commands->connectToHost(host, port)) {
        // The command connection was dropped or could not be made: the abort
        // connection goes too, so that both reach the next peer on one call.
        if (m_abort->isConnected())
            m_abort->disconnectFromHost();
        return false;
    }
    return m_abort->connectToHost(host, port);
}

void VNADevice::disconnect()
{
    m_commands->disconnectFromHost();
    m_abort->disconnectFromHost();
}

bool VNADevice::isConnected() const
{
    return m_commands->isConnected();
}

QAbstractSocket::SocketState VNADevice::state() const
{
    return m_commands->state();
}

void VNADevice::interrupt()
{
    m_commands->interrupt();
    m_abort->send(QStringLiteral("ABORt\n"));
}

std::optional<QString> VNADevice::ask(const QString &command)
{
    return m_commands->query(command, m_queryTimeoutMs);
}

// ---- queries ---------------------------------------------------------------

std::optional<uint> VNADevice::activeChannel()
{
    return toIndex(ask(QStringLiteral("SERVice:CHANnel:ACTive?\n")));
}

std::optional<std::vector<double>> VNADevice::calibratedPorts(uint channel)
{
    const auto reply = ask(QStringLiteral("SENSe%0:CORRection:TYPE?\n").arg(channel + 1));
    if (!reply)
        return std::nullopt;
    const QStringList items = replyList(*reply);
    auto ports = toDoubles(items.mid(1));
    if (!ports)
        return std::nullopt;
    for (double &port : *ports) {
        // Ports are 1-based on the wire: anything below 1 is not a port.
        if (!std::isfinite(port) || port < 1.0)
            return std::nullopt;
        port -= 1.0;
    }
    return ports;
}

std::optional<QString> VNADevice::correctionStatus(uint channel)
{
    return ask(QStringLiteral("CALCulate%0:CORRection:STATus?\n").arg(channel + 1));
}

std::optional<VNADevice::CalibrationType> VNADevice::calibrationType(uint channel)
{
    const auto status = correctionStatus(channel);
    if (!status)
        return std::nullopt;
    if (*status == QLatin1String("NONE"))
        return CalibrationType::CorrectionOff;
    const auto type = ask(QStringLiteral("SENSe%0:CORRection:TYPE?\n").arg(channel + 1));
    if (!type)
        return std::nullopt;
    return valueOf(calibrationTypeKeywords(), replyList(*type).first());
}

std::optional<std::vector<double>> VNADevice::frequencies(uint channel)
{
    const auto reply = ask(QStringLiteral("SENSe%0:FREQuency:DATA?\n").arg(channel + 1));
    if (!reply)
        return std::nullopt;
    return toDoubles(replyList(*reply));
}

std::optional<double> VNADevice::ifBandwidth(uint channel)
{
    const auto reply = ask(QStringLiteral("SENSe%0:BWIDth:RESolution?\n").arg(channel + 1));
    return reply ? toDouble(*reply) : std::nullopt;
}

std::optional<double> VNADevice::impedance(uint port)
{
    const auto reply = ask(QStringLiteral("SENSe:CORRection:PORT%0:IMPedance?\n").arg(port + 1));
    return reply ? toDouble(*reply) : std::nullopt;
}

std::optional<double> VNADevice::maxFrequency()
{
    const auto reply = ask(QStringLiteral("SERVice:SWEep:FREQuency:MAXimum?\n"));
    return reply ? toDouble(*reply) : std::nullopt;
}

std::optional<double> VNADevice::outputPower(uint channel)
{
    const auto reply = ask(QStringLiteral("SOURce%0:POWer:LEVel:IMMediate:AMPLitude?\n").arg(channel + 1));
    return reply ? toDouble(*reply) : std::nullopt;
}

std::optional<uint> VNADevice::pointsCount(uint channel)
{
    const auto reply = ask(QStringLiteral("SENSe%0:SWEep:POINts?\n").arg(channel + 1));
    return reply ? toUInt(*reply) : std::nullopt;
}

std::optional<uint> VNADevice::portsCount()
{
    const auto reply = ask(QStringLiteral("SERVice:PORT:COUNt?\n"));
    if (!reply)
        return std::nullopt;
    const auto count = toUInt(*reply);
    // Every port is polled one by one: a garbage count must not become
    // thousands of queries.
    if (!count || *count > maxPortsCount)
        return std::nullopt;
    return count;
}

std::optional<std::vector<std::complex<double>>> VNADevice::sData(uint trace, uint channel)
{
    const auto reply = ask(QStringLiteral("CALCulate%0:TRACe%1:DATA:SDATa?\n").arg(channel + 1).arg(trace + 1));
    if (!reply)
        return std::nullopt;
    const QStringList items = replyList(*reply);
    if (items.isEmpty() || items.size() % 2 != 0)
        return std::nullopt;
    const auto numbers = toDoubles(items);
    if (!numbers)
        return std::nullopt;
    std::vector<std::complex<double>> values;
    values.reserve(numbers->size() / 2);
    for (size_t i = 0; i + 1 < numbers->size(); i += 2)
        values.emplace_back((*numbers)[i], (*numbers)[i + 1]);
    return values;
}

std::optional<double> VNADevice::startFreq(uint channel)
{
    const auto reply = ask(QStringLiteral("SENSe%0:FREQuency:STARt?\n").arg(channel + 1));
    return reply ? toDouble(*reply) : std::nullopt;
}

std::optional<VNADevice::SaveType> VNADevice::stateFileSaveType()
{
    const auto reply = ask(QStringLiteral("MMEMory:STORe:STYPe?\n"));
    if (!reply)
        return std::nullopt;
    // An unknown keyword is not some save type: restoring with a guessed
    // type would lose what the analyser actually stores.
    return valueOf(saveTypeKeywords(), *reply);
}

std::optional<double> VNADevice::stopFreq(uint channel)
{
    const auto reply = ask(QStringLiteral("SENSe%0:FREQuency:STOP?\n").arg(channel + 1));
    return reply ? toDouble(*reply) : std::nullopt;
}

std::optional<SweepType> VNADevice::sweepType(uint channel)
{
    const auto reply = ask(QStringLiteral("SENSe%0:SWEep:TYPE?\n").arg(channel + 1));
    if (!reply)
        return std::nullopt;
    return valueOf(sweepTypeKeywords(), *reply);
}

std::optional<VnaInfo> VNADevice::identify()
{
    const auto reply = ask(QStringLiteral("*IDN?\n"));
    if (!reply)
        return std::nullopt;
    const QStringList items = replyList(*reply);
    if (items.size() != 4)
        return std::nullopt;
    return VnaInfo(items.at(1), items.at(2), items.at(3));
}

std::optional<bool> VNADevice::isExtrapolated(uint channel)
{
    const auto status = correctionStatus(channel);
    if (!status)
        return std::nullopt;
    return *status == QLatin1String("C!") || *status == QLatin1String("RC!");
}

std::optional<bool> VNADevice::isInterpolated(uint channel)
{
    const auto status = correctionStatus(channel);
    if (!status)
        return std::nullopt;
    return *status == QLatin1String("C?") || *status == QLatin1String("RC?");
}

std::optional<bool> VNADevice::isReady()
{
    const auto reply = ask(QStringLiteral("SYST:READy?\n"));
    if (!reply)
        return std::nullopt;
    if (*reply == QLatin1String("1"))
        return true;
    if (*reply == QLatin1String("0"))
        return false;
    return std::nullopt;
}

bool VNADevice::waitOperationComplete(std::optional<qint64> timeoutMs)
{
    const QString command = QStringLiteral("*OPC?\n");
    const auto reply = timeoutMs ? m_commands->query(command, *timeoutMs) : m_commands->query(command);
    return reply && *reply == QLatin1String("1");
}

std::optional<double> VNADevice::sweepTime(uint channel)
{
    const auto reply = ask(QStringLiteral("SENSe%0:SWEep:TIME?\n").arg(channel + 1));
    const auto seconds = reply ? toDouble(*reply) : std::nullopt;
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0.0)
        return std::nullopt;
    return seconds;
}

std::optional<VNADevice::Settings> VNADevice::readSettings()
{
    Settings settings;
    auto read = [&](const QString &name, const QString &command) {
        const auto reply = ask(command);
        if (reply)
            settings.emplace_back(name, *reply);
        return reply.has_value();
    };
    if (!read(QStringLiteral("save type"), QStringLiteral("MMEMory:STORe:STYPe?\n"))
        || !read(QStringLiteral("active channel"), QStringLiteral("SERVice:CHANnel:ACTive?\n"))
        || !read(QStringLiteral("trigger source"), QStringLiteral("TRIGger:SOURce?\n")))
        return std::nullopt;
    const auto channel = toIndex(std::optional<QString>(settings[1].second));
    if (!channel)
        return std::nullopt;
    const QString ch = QString::number(*channel + 1);
    const std::pair<const char *, const char *> channelSettings[] = {
        {"sweep type", "SENSe%0:SWEep:TYPE?\n"},
        {"start frequency", "SENSe%0:FREQuency:STARt?\n"},
        {"stop frequency", "SENSe%0:FREQuency:STOP?\n"},
        {"points", "SENSe%0:SWEep:POINts?\n"},
        {"IF bandwidth", "SENSe%0:BWIDth:RESolution?\n"},
        {"output power", "SOURce%0:POWer:LEVel:IMMediate:AMPLitude?\n"},
        {"continuous sweep", "INITiate%0:CONTinuous?\n"},
        {"layout", "DISPlay:WINDow%0:SPLit?\n"},
        {"correction status", "CALCulate%0:CORRection:STATus?\n"},
        {"calibration", "SENSe%0:CORRection:TYPE?\n"},
        {"fixture simulator", "CALCulate%0:FSIMulator:STATe?\n"},
        {"de-embedding", "CALCulate%0:FSIMulator:SENDed:DEEMbed:STATe?\n"},
        {"trace count", "CALCulate%0:PARameter:COUNt?\n"},
    };
    for (const auto &[name, command] : channelSettings) {
        if (!read(QString::fromLatin1(name), QString::fromLatin1(command).arg(ch)))
            return std::nullopt;
    }
    bool ok = false;
    const uint traces = settings.back().second.toUInt(&ok);
    // No analyser defines more traces per channel than it has port pairs.
    if (!ok || traces > maxPortsCount)
        return std::nullopt;
    for (uint t = 1; t <= traces; ++t) {
        if (!read(QStringLiteral("trace %1 parameter").arg(t),
                  QStringLiteral("CALCulate%0:PARameter%1:DEFine?\n").arg(ch).arg(t)))
            return std::nullopt;
    }
    return settings;
}

namespace {

std::optional<bool> toFlag(const std::optional<QString> &reply)
{
    if (reply == QLatin1String("1"))
        return true;
    if (reply == QLatin1String("0"))
        return false;
    return std::nullopt;
}

QString withoutQuotes(const QString &text)
{
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')))
        return text.mid(1, text.size() - 2);
    return text;
}

} // namespace

std::optional<bool> VNADevice::fixtureSimulationState(uint channel)
{
    return toFlag(ask(QStringLiteral("CALCulate%0:FSIMulator:STATe?\n").arg(channel + 1)));
}

std::optional<bool> VNADevice::deembeddingState(uint channel)
{
    return toFlag(ask(QStringLiteral("CALCulate%0:FSIMulator:SENDed:DEEMbed:STATe?\n").arg(channel + 1)));
}

std::optional<bool> VNADevice::deembeddingState(uint channel, uint port)
{
    return toFlag(
        ask(QStringLiteral("CALCulate%0:FSIMulator:SENDed:DEEMbed:PORT%1:STATe?\n").arg(channel + 1).arg(port + 1)));
}

std::optional<QString> VNADevice::deembeddingFile(uint channel, uint port)
{
    const auto reply = ask(
        QStringLiteral("CALCulate%0:FSIMulator:SENDed:DEEMbed:PORT%1:USER:FILename?\n").arg(channel + 1).arg(port + 1));
    if (!reply)
        return std::nullopt;
    return withoutQuotes(*reply);
}

std::optional<std::pair<int, QString>> VNADevice::nextError()
{
    const auto reply = ask(QStringLiteral("SYSTem:ERRor?\n"));
    if (!reply)
        return std::nullopt;
    const int comma = reply->indexOf(QLatin1Char(','));
    bool ok = false;
    const int code = reply->left(comma < 0 ? reply->size() : comma).trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return std::make_pair(code, comma < 0 ? QString() : withoutQuotes(reply->mid(comma + 1).trimmed()));
}

bool VNADevice::singleSweep(uint channel)
{
    const QString ch = QString::number(channel + 1);
    return m_commands->send(QStringLiteral("INITiate%0:CONTinuous OFF\n").arg(ch))
           && m_commands->send(QStringLiteral(":TRIG:SOUR BUS\n"))
           && m_commands->send(QStringLiteral("INITiate%0:IMMediate\n").arg(ch))
           && m_commands->send(QStringLiteral(":TRIG:SING\n"));
}

// ---- setters ---------------------------------------------------------------

bool VNADevice::checkPath(const QString &path)
{
    // A line break would end the command early and ';' would start another.
    if (!path.contains(QLatin1Char('\n')) && !path.contains(QLatin1Char('\r')) && !path.contains(QLatin1Char(';')))
        return true;
    const QString text = vnaUnsafePathErrorText + QStringLiteral(" ") + path;
    qCDebug(lcDevice).noquote() << text;
    emit error(text);
    return false;
}

bool VNADevice::sendPathCommand(const QString &command, const QString &path)
{
    if (!checkPath(path))
        return false;
    // The path is the last substitution, so a '%' in it is never replaced.
    return m_commands->send(command.arg(path));
}

void VNADevice::setEnablePowerSource(bool enable)
{
    m_commands->send(QStringLiteral("OUTPut %1\n").arg(boolText(enable)));
}

void VNADevice::setSweepType(SweepType type, uint channel)
{
    const auto keyword = keywordOf(sweepTypeKeywords(), type, "sweep type");
    if (!keyword)
        return;
    m_commands->send(QStringLiteral("SENSe%0:SWEep:TYPE %1\n").arg(channel + 1).arg(*keyword));
}

void VNADevice::setStartFreq(double freq, uint channel)
{
    m_commands->send(QStringLiteral("SENSe%0:FREQuency:STARt %1\n").arg(channel + 1).arg(number(freq)));
}

void VNADevice::setStopFreq(double freq, uint channel)
{
    m_commands->send(QStringLiteral("SENSe%0:FREQuency:STOP %1\n").arg(channel + 1).arg(number(freq)));
}

void VNADevice::setPointsCount(uint count, uint channel)
{
    m_commands->send(QStringLiteral("SENSe%0:SWEep:POINts %1\n").arg(channel + 1).arg(count));
}

void VNADevice::setIfBandwidth(double value, uint channel)
{
    m_commands->send(QStringLiteral("SENSe%0:BWIDth:RESolution %1\n").arg(channel + 1).arg(number(value)));
}

void VNADevice::setOutputPower(double value, uint channel)
{
    m_commands->send(
        QStringLiteral("SOURce%0:POWer:LEVel:IMMediate:AMPLitude %1\n").arg(channel + 1).arg(number(value)));
}

void VNADevice::setYTraceAutoscale(uint graphIndex)
{
    m_commands->send(QStringLiteral("DISPlay:WINDow:TRACe%0:Y:AUTO\n").arg(graphIndex + 1));
}

void VNADevice::setImpedance(double port, double value)
{
    // Converting such a value to unsigned is undefined or wraps to a huge
    // port number.
    if (!std::isfinite(port) || port < 0.0 || port >= static_cast<double>(maxPortsCount)) {
        qCDebug(lcDevice) << "Invalid analyser port" << port << "for the impedance - nothing sent";
        return;
    }
    const uint index = static_cast<uint>(port);
    m_commands->send(QStringLiteral("SENSe:CORRection:PORT%0:IMPedance %1\n").arg(index + 1).arg(number(value)));
}

bool VNADevice::memoryDeleteState(const QString &stateFileName)
{
    return sendPathCommand(QStringLiteral("MMEMory:DELete %0\n"), stateFileName);
}

bool VNADevice::setStateFileSaveType(VNADevice::SaveType type)
{
    const auto keyword = keywordOf(saveTypeKeywords(), type, "save type");
    if (!keyword)
        return false;
    return m_commands->send(QStringLiteral("MMEMory:STORe:STYPe %0\n").arg(*keyword));
}

bool VNADevice::loadStateFile(const QString &filePath)
{
    return sendPathCommand(QStringLiteral("MMEMory:LOAD %0\n"), filePath);
}

bool VNADevice::saveStateFile(const QString &filePath)
{
    return sendPathCommand(QStringLiteral("MMEMory:STORe:STATe %0\n"), filePath);
}

bool VNADevice::saveCalibrationFile(uint channel, const QString &filePath)
{
    return sendPathCommand(QStringLiteral("MMEMory:STORe:CHANnel%0:CALibration %1\n").arg(channel + 1), filePath);
}

bool VNADevice::loadCalibrationFile(uint channel, const QString &filePath)
{
    return sendPathCommand(QStringLiteral("MMEMory:LOAD:CHANnel%0:CALibration %1\n").arg(channel + 1), filePath);
}

void VNADevice::setGraphicsLayout(uint type, uint channel)
{
    m_commands->send(QStringLiteral("DISPlay:WINDow%0:SPLit %1\n").arg(channel + 1).arg(type));
}

void VNADevice::setNumberOfTraces(uint count, uint channel)
{
    m_commands->send(QStringLiteral("CALCulate%0:PARameter:COUNt %1\n").arg(channel + 1).arg(count));
}

void VNADevice::setGraphicFormat(uint graphIndex, VNADevice::GraphicFormat format, uint channel)
{
    const auto keyword = keywordOf(graphicFormatKeywords(), format, "trace format");
    if (!keyword)
        return;
    m_commands->send(
        QStringLiteral("CALCulate%0:TRACe%1:FORMat %2\n").arg(channel + 1).arg(graphIndex + 1).arg(*keyword));
}

void VNADevice::setGraphicDefine(uint graphIndex, VNADevice::TypeOfParameter type, uint receiver, uint source,
                                 uint channel)
{
    if (type == TypeOfParameter::SParameter) {
        setMeasuredParametr(graphIndex, receiver, source, channel);
        return;
    }
    const auto prefix = keywordOf(parameterPrefixes(), type, "parameter type");
    if (!prefix)
        return;
    m_commands->send(QStringLiteral("CALCulate%0:PARameter%1:DEFine %2\n")
                         .arg(channel + 1)
                         .arg(graphIndex + 1)
                         .arg(prefix->arg(receiver + 1)));
}

void VNADevice::setGraphicSport(uint graphIndex, uint source, uint channel)
{
    m_commands->send(
        QStringLiteral("CALCulate%0:PARameter%1:SPORt %2\n").arg(channel + 1).arg(graphIndex + 1).arg(source + 1));
}

void VNADevice::setMeasuredParametr(uint parametrIndex, uint toPort, uint fromPort, uint channel)
{
    m_commands->send(QStringLiteral("CALCulate%0:PARameter%1:DEFine S%2%3\n")
                         .arg(channel + 1)
                         .arg(parametrIndex + 1)
                         .arg(toPort + 1)
                         .arg(fromPort + 1));
}

void VNADevice::setFixtureSimulationState(uint channel, bool state)
{
    m_commands->send(QStringLiteral("CALCulate%0:FSIMulator:STATe %1\n").arg(channel + 1).arg(boolText(state)));
}

void VNADevice::setDeembeddingState(uint channel, bool state)
{
    m_commands->send(
        QStringLiteral("CALCulate%0:FSIMulator:SENDed:DEEMbed:STATe %1\n").arg(channel + 1).arg(boolText(state)));
}

void VNADevice::setDeembeddingState(uint channel, uint port, bool state)
{
    m_commands->send(QStringLiteral("CALCulate%0:FSIMulator:SENDed:DEEMbed:PORT%1:STATe %2\n")
                         .arg(channel + 1)
                         .arg(port + 1)
                         .arg(boolText(state)));
}

void VNADevice::setDeembeddingFile(uint channel, uint port, const QString &fileName)
{
    sendPathCommand(QStringLiteral("CALCulate%0:FSIMulator:SENDed:DEEMbed:PORT%1:USER:FILename %2\n")
                        .arg(channel + 1)
                        .arg(port + 1),
                    fileName);
}

bool VNADevice::preset()
{
    return m_commands->send(QStringLiteral("SYSTem:PRESet\n"));
}

void VNADevice::showWindow(bool flag)
{
    m_commands->send(flag ? QStringLiteral("DISPlay:SHOW\n") : QStringLiteral("DISPlay:HIDE\n"));
}
