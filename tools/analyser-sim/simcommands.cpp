// The simulated analyser's command table and its handlers.
#include "analyser-sim/simserver.h"
#include "analyser-sim/simserver_p.h"
#include "analyser-sim/touchstonereader.h"

#include <QFile>

#include <cmath>

namespace AnalyserSim {

namespace {
using S = SimServer;

const QStringList sweepTypes{"LINear", "LOGarithmic", "SEGMent", "POWer"};
const QStringList sweepTypeReplies{"LIN", "LOG", "SEGM", "POW"};
const QStringList &saveTypes = saveTypeKeywords();
const QStringList triggerSources{"INTernal", "EXTernal", "MANual", "BUS"};
const QStringList terminations{"OPEN", "SHORt", "LOAD"};
const QStringList formats{"MLOGarithmic", "PHASe",       "GDELay",    "SLINear",      "SLOGarithmic", "SCOMplex",
                          "SMITh",        "SADMittance", "PLINear",   "PLOGarithmic", "POLar",        "MLINear",
                          "SWR",          "REAL",        "IMAGinary", "UPHase"};

QString shortForm(const QString &keyword)
{
    int n = 0;
    while (n < keyword.size() && !keyword[n].isLower())
        ++n;
    return keyword.left(n);
}

QString pairs(const ComplexVector &v)
{
    QStringList items;
    items.reserve(int(v.size()) * 2);
    for (const Complex &x : v)
        items << Scpi::number(x.real()) << Scpi::number(x.imag());
    return items.join(QLatin1Char(','));
}

QString numbers(const RealVector &v)
{
    QStringList items;
    for (double x : v)
        items << Scpi::number(x);
    return items.join(QLatin1Char(','));
}

// Fixture values z0, delay, loss, shunt C, shunt G from args[i...]; missing
// ones keep their defaults. False for a value that is no number.
bool readFixture(const QStringList &args, int &i, int count, double *values[])
{
    for (int k = 0; k < count && i < args.size(); ++k, ++i) {
        if (args[i].isEmpty())
            continue;
        const auto v = Scpi::toDouble(args[i]);
        if (!v)
            return false;
        *values[k] = *v;
    }
    return true;
}

bool readFixture(const QStringList &args, int &i, FixtureSpec &f)
{
    double *values[] = {&f.line.z0, &f.line.delay, &f.line.lossDbAt1GHz, &f.shuntCapacitance, &f.shuntConductance};
    return readFixture(args, i, 5, values);
}

bool readDut(const QStringList &args, int &i, DutSpec &d)
{
    double *values[] = {&d.line.z0,          &d.line.delay,       &d.line.lossDbAt1GHz, &d.seriesResistance,
                        &d.seriesInductance, &d.shuntConductance, &d.shuntCapacitance};
    return readFixture(args, i, 7, values);
}
} // namespace

const QStringList &saveTypeKeywords()
{
    static const QStringList types{"STATe", "CSTate", "DSTate", "CDSTate", "CMSTate"};
    return types;
}

const QStringList &calibrationTypes()
{
    static const QStringList types{"RESPO", "RESPS", "RESPT", "SOLT1", "SOLT2", "SOLT3", "SOLT4", "1PATH"};
    return types;
}

size_t calibrationPortCount(const QString &type)
{
    if (type.startsWith(QLatin1String("SOLT")))
        return size_t(type.mid(4).toUInt());
    return type == QLatin1String("RESPT") || type == QLatin1String("1PATH") ? 2 : 1;
}

const std::vector<SimServer::CommandEntry> &SimServer::commandTable()
{
    struct Row
    {
        const char *pattern;
        Handler set, query;
    };
    static const Row rows[] = {
        {"*IDN", nullptr, &S::qIdn},
        {"*OPC", &S::sNop, &S::qOpc},
        {"*WAI", &S::sNop, nullptr},
        {"*RST", &S::sRst, nullptr},
        {"*CLS", &S::sCls, nullptr},
        {"*TRG", &S::sTrigger, nullptr},
        {"SYSTem:READy", nullptr, &S::qReady},
        {"SYSTem:PRESet", &S::sRst, nullptr},
        {"SYSTem:ERRor:[NEXT]", nullptr, &S::qError},
        {"SERVice:CHANnel:ACTive", nullptr, &S::qActiveChannel},
        {"SERVice:SWEep:FREQuency:MAXimum", nullptr, &S::qMaxFrequency},
        {"SERVice:SWEep:FREQuency:MINimum", nullptr, &S::qMinFrequency},
        {"SERVice:PORT:COUNt", nullptr, &S::qPortCount},
        {"SENSe#:SWEep:TYPE", &S::sSweepType, &S::qSweepType},
        {"SENSe#:SWEep:POINts", &S::sPoints, &S::qPoints},
        {"SENSe#:SWEep:TIME", nullptr, &S::qSweepDuration},
        {"SENSe#:FREQuency:STARt", &S::sStart, &S::qStart},
        {"SENSe#:FREQuency:STOP", &S::sStop, &S::qStop},
        {"SENSe#:FREQuency:DATA", nullptr, &S::qFrequencyData},
        {"SENSe#:BWIDth:[RESolution]", &S::sIfBandwidth, &S::qIfBandwidth},
        {"SOURce#:POWer:[LEVel]:[IMMediate]:[AMPLitude]", &S::sPower, &S::qPower},
        {"SENSe#:CORRection:TYPE", nullptr, &S::qCorrectionType},
        {"SENSe#:CORRection:STATe", &S::sCorrectionState, &S::qCorrectionState},
        {"SENSe#:CORRection:PORT#:IMPedance", &S::sImpedance, &S::qImpedance},
        {"CALCulate#:CORRection:STATus", nullptr, &S::qCorrectionStatus},
        {"OUTPut:[STATe]", &S::sOutput, &S::qOutput},
        {"DISPlay:WINDow#:TRACe#:Y:[SCALe]:AUTO", &S::sAutoscale, nullptr},
        {"DISPlay:WINDow#:SPLit", &S::sSplit, &S::qSplit},
        {"DISPlay:SHOW", &S::sShow, nullptr},
        {"DISPlay:HIDE", &S::sHide, nullptr},
        {"MMEMory:DELete", &S::sDelete, nullptr},
        {"MMEMory:STORe:STYPe", &S::sSaveType, &S::qSaveType},
        {"MMEMory:STORe:CHANnel#:CALibration", &S::sStoreCalibration, nullptr},
        {"MMEMory:LOAD:CHANnel#:CALibration", &S::sLoadCalibration, nullptr},
        {"MMEMory:STORe:[STATe]", &S::sStoreState, nullptr},
        {"MMEMory:LOAD:[STATe]", &S::sLoadState, nullptr},
        {"CALCulate#:PARameter:COUNt", &S::sTraceCount, &S::qTraceCount},
        {"CALCulate#:PARameter#:DEFine", &S::sDefine, &S::qDefine},
        {"CALCulate#:PARameter#:SPORt", &S::sSourcePort, &S::qSourcePort},
        {"CALCulate#:TRACe#:FORMat", &S::sFormat, &S::qFormat},
        {"CALCulate#:TRACe#:DATA:SDATa", nullptr, &S::qSData},
        {"CALCulate#:FSIMulator:STATe", &S::sFsim, &S::qFsim},
        {"CALCulate#:FSIMulator:SENDed:DEEMbed:STATe", &S::sDeembed, &S::qDeembed},
        {"CALCulate#:FSIMulator:SENDed:DEEMbed:PORT#:STATe", &S::sDeembedPort, &S::qDeembedPort},
        {"CALCulate#:FSIMulator:SENDed:DEEMbed:PORT#:USER:FILename", &S::sDeembedFile, &S::qDeembedFile},
        {"INITiate#:CONTinuous", &S::sContinuous, &S::qContinuous},
        {"INITiate#:[IMMediate]", &S::sInitiate, nullptr},
        {"TRIGger:[SEQuence]:SOURce", &S::sTriggerSource, &S::qTriggerSource},
        {"TRIGger:[SEQuence]:SINGle", &S::sTrigger, nullptr},
        {"TRIGger:[SEQuence]:[IMMediate]", &S::sTrigger, nullptr},
        {"ABORt", &S::sAbort, nullptr},
        // Control root.
        {"SIM:SCENe:CLEar", &S::sSceneClear, nullptr},
        {"SIM:SCENe:THRU", &S::sSceneThru, nullptr},
        {"SIM:SCENe:REFLect", &S::sSceneReflect, nullptr},
        {"SIM:SCENe:DUT", &S::sSceneDut, nullptr},
        {"SIM:SCENe:FILE", &S::sSceneFile, nullptr},
        {"SIM:SCENe:DATA", nullptr, &S::qSceneData},
        {"SIM:SWEep:TIME", &S::sSweepTime, &S::qSweepTime},
        {"SIM:READy", &S::sSimReady, nullptr},
        {"SIM:CHANnel:ACTive", &S::sSimActiveChannel, nullptr},
        {"SIM:PORT:COUNt", &S::sSimPortCount, nullptr},
        {"SIM:FREQuency:MAXimum", &S::sSimMaxFrequency, nullptr},
        {"SIM:IDENtity", &S::sSimIdentity, nullptr},
        {"SIM:CALibrate#:CLEar", &S::sSimCalibrationClear, nullptr},
        {"SIM:CALibrate#", &S::sSimCalibrate, nullptr},
        {"SIM:CORRection#", &S::sSimCorrection, nullptr},
        {"SIM:FAULt:DELay", &S::sFaultDelay, nullptr},
        {"SIM:FAULt:DROP", &S::sFaultDrop, nullptr},
        {"SIM:FAULt:GARBage", &S::sFaultGarbage, nullptr},
        {"SIM:FAULt:CLOSe", &S::sFaultClose, nullptr},
        {"SIM:FAULt:UNSolicited", &S::sFaultUnsolicited, nullptr},
        {"SIM:FAULt:CLEar", &S::sFaultClear, nullptr},
        {"SIM:FAULt:OPC:STALl", &S::sFaultOpcStall, nullptr},
        {"SIM:FAULt:DISConnect", &S::sFaultDisconnect, nullptr},
        {"SIM:FAULt:WRITe", &S::sFaultWrite, nullptr},
        {"SIM:CONNection:MAXimum", &S::sConnectionMax, nullptr},
        {"SIM:CONNection#:CLOSe", &S::sConnectionClose, nullptr},
        {"SIM:CONNection#:SEND", &S::sConnectionSend, nullptr},
        {"SIM:LOG:CLEar", &S::sLogClear, nullptr},
        {"SIM:LOG:COUNt", nullptr, &S::qLogCount},
    };
    static const std::vector<CommandEntry> table = [] {
        std::vector<CommandEntry> t;
        for (const Row &row : rows) {
            const QString pattern = QString::fromLatin1(row.pattern);
            t.push_back({Scpi::parsePattern(pattern), row.set, row.query, pattern.startsWith(QLatin1String("SIM:"))});
        }
        return t;
    }();
    return table;
}

// ---------------------------------------------------------------- helpers

// The header suffix in `slot` when it lies in 1..count.
std::optional<unsigned> SimServer::suffixArg(Request &r, int slot, size_t count)
{
    const unsigned n = r.suffix[size_t(slot)].value;
    if (n < 1 || n > count) {
        pushError(-114, QStringLiteral("Header suffix out of range"));
        return std::nullopt;
    }
    return n;
}

ChannelState *SimServer::channelArg(Request &r, int slot)
{
    const auto ch = suffixArg(r, slot, m_state.channels.size());
    return ch ? &m_state.channels[*ch - 1] : nullptr;
}

std::optional<unsigned> SimServer::portArg(Request &r, int slot)
{
    return suffixArg(r, slot, m_state.portCount);
}

TraceState *SimServer::traceArg(Request &r, ChannelState &ch, int slot)
{
    const auto t = suffixArg(r, slot, ch.traces.size());
    return t ? &ch.traces[*t - 1] : nullptr;
}

// The command's one parameter, read by `convert`.
template<class T>
std::optional<T> SimServer::singleParam(Request &r, std::optional<T> (*convert)(const QString &))
{
    if (r.args.size() != 1) {
        pushError(-109, QStringLiteral("Missing parameter"));
        return std::nullopt;
    }
    const auto v = convert(r.args[0]);
    if (!v)
        pushError(-104, QStringLiteral("Data type error"));
    return v;
}

std::optional<double> SimServer::doubleParam(Request &r)
{
    return singleParam(r, Scpi::toDouble);
}

std::optional<bool> SimServer::boolParam(Request &r)
{
    return singleParam(r, Scpi::toBool);
}

std::optional<unsigned> SimServer::unsignedParam(Request &r)
{
    return singleParam(r, Scpi::toUnsigned);
}

// An unsigned parameter that must lie in 1..max.
std::optional<unsigned> SimServer::unsignedParam(Request &r, unsigned max)
{
    const auto v = unsignedParam(r);
    if (v && (*v < 1 || *v > max)) {
        pushError(-222, QStringLiteral("Data out of range"));
        return std::nullopt;
    }
    return v;
}

// The index in `keywords` of the command's one parameter; -1 when it is none of them.
int SimServer::keywordParam(Request &r, const QStringList &keywords)
{
    const int k = r.args.size() == 1 ? Scpi::findKeyword(keywords, r.args[0]) : -1;
    if (k < 0)
        pushError(-224, QStringLiteral("Illegal parameter value"));
    return k;
}

// The path of a file command: the whole parameter text, quotes removed.
std::optional<QString> SimServer::pathParam(Request &r)
{
    const QString path = Scpi::unquote(r.params);
    if (path.isEmpty()) {
        pushError(-109, QStringLiteral("Missing parameter"));
        return std::nullopt;
    }
    return path;
}

// v clamped into [lo, hi]; a value that had to move is reported.
double SimServer::clamped(double v, double lo, double hi)
{
    const double c = qBound(lo, v, hi);
    if (c != v)
        pushError(-222, QStringLiteral("Data out of range"));
    return c;
}

// A channel's on/off setting: set from a boolean, answered as "1" or "0".
void SimServer::setChannelFlag(Request &r, bool ChannelState::*flag)
{
    ChannelState *ch = channelArg(r);
    if (const auto v = ch ? boolParam(r) : std::nullopt)
        ch->*flag = *v;
}

void SimServer::replyChannelFlag(Request &r, bool ChannelState::*flag)
{
    if (ChannelState *ch = channelArg(r))
        r.reply = ch->*flag ? "1" : "0";
}

// ---------------------------------------------------------------- common and system

void S::qIdn(Request &r)
{
    const Identity &id = m_state.identity;
    r.reply = QStringList{id.manufacturer, id.model, id.serialNumber, id.version}.join(',');
}

void S::sNop(Request &) {}

void S::qOpc(Request &r)
{
    if (r.connection.collect)
        r.reply = m_state.sweeping || m_opcStalled ? "0" : "1";
    else
        r.waitOpc = true;
}

void S::sRst(Request &)
{
    preset();
}

void S::sCls(Request &)
{
    m_errors.clear();
}

void S::qReady(Request &r)
{
    r.reply = m_state.ready ? "1" : "0";
}

void S::qError(Request &r)
{
    if (m_errors.empty()) {
        r.reply = QStringLiteral("0,\"No error\"");
        return;
    }
    const auto [code, text] = m_errors.front();
    m_errors.pop_front();
    r.reply = QStringLiteral("%1,\"%2\"").arg(code).arg(text);
}

void S::qActiveChannel(Request &r)
{
    r.reply = QString::number(m_state.activeChannel);
}

void S::qMaxFrequency(Request &r)
{
    r.reply = Scpi::number(m_state.maxFrequency);
}

void S::qMinFrequency(Request &r)
{
    r.reply = Scpi::number(m_state.minFrequency);
}

void S::qPortCount(Request &r)
{
    r.reply = QString::number(m_state.portCount);
}

// ---------------------------------------------------------------- sweep settings

void S::sSweepType(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (!ch)
        return;
    if (const int k = keywordParam(r, sweepTypes); k >= 0)
        ch->sweepType = sweepTypeReplies[k];
}

void S::qSweepType(Request &r)
{
    if (ChannelState *ch = channelArg(r))
        r.reply = ch->sweepType;
}

void S::sStart(Request &r)
{
    ChannelState *ch = channelArg(r);
    const auto v = ch ? doubleParam(r) : std::nullopt;
    if (v && !setStart(*ch, *v))
        pushError(-222, QStringLiteral("Data out of range"));
}

void S::qStart(Request &r)
{
    if (ChannelState *ch = channelArg(r))
        r.reply = Scpi::number(ch->start);
}

void S::sStop(Request &r)
{
    ChannelState *ch = channelArg(r);
    const auto v = ch ? doubleParam(r) : std::nullopt;
    if (v && !setStop(*ch, *v))
        pushError(-222, QStringLiteral("Data out of range"));
}

void S::qStop(Request &r)
{
    if (ChannelState *ch = channelArg(r))
        r.reply = Scpi::number(ch->stop);
}

void S::qFrequencyData(Request &r)
{
    if (ChannelState *ch = channelArg(r))
        r.reply = numbers(gridOf(*ch));
}

void S::sPoints(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (const auto v = ch ? unsignedParam(r) : std::nullopt)
        ch->points = unsigned(clamped(*v, 1, Defaults::maxPoints));
}

void S::qPoints(Request &r)
{
    if (ChannelState *ch = channelArg(r))
        r.reply = QString::number(ch->points);
}

void S::sIfBandwidth(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (const auto v = ch ? doubleParam(r) : std::nullopt)
        ch->ifBandwidth = clamped(*v, Defaults::minIfBandwidth, Defaults::maxIfBandwidth);
}

void S::qIfBandwidth(Request &r)
{
    if (ChannelState *ch = channelArg(r))
        r.reply = Scpi::number(ch->ifBandwidth);
}

void S::sPower(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (const auto v = ch ? doubleParam(r) : std::nullopt)
        ch->power = clamped(*v, Defaults::minPower, Defaults::maxPower);
}

void S::qPower(Request &r)
{
    if (ChannelState *ch = channelArg(r))
        r.reply = Scpi::number(ch->power);
}

// ---------------------------------------------------------------- calibration, ports

void S::qCorrectionType(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (!ch)
        return;
    if (!ch->calibration) {
        r.reply = QStringLiteral("NONE");
        return;
    }
    QStringList items{ch->calibration->type};
    for (unsigned p : ch->calibration->ports)
        items << QString::number(p);
    r.reply = items.join(',');
}

void S::sCorrectionState(Request &r)
{
    setChannelFlag(r, &ChannelState::correction);
}

void S::qCorrectionState(Request &r)
{
    replyChannelFlag(r, &ChannelState::correction);
}

void S::qCorrectionStatus(Request &r)
{
    if (channelArg(r))
        r.reply = correctionStatus(r.suffix[0].value);
}

void S::sImpedance(Request &r)
{
    const auto port = channelArg(r) ? portArg(r, 1) : std::nullopt;
    if (const auto v = port ? doubleParam(r) : std::nullopt)
        m_state.impedance[*port - 1] = clamped(*v, 0.001, 10000.0);
}

void S::qImpedance(Request &r)
{
    if (const auto port = channelArg(r) ? portArg(r, 1) : std::nullopt)
        r.reply = Scpi::number(m_state.impedance[*port - 1]);
}

void S::sOutput(Request &r)
{
    if (const auto v = boolParam(r))
        m_state.outputEnabled = *v;
}

void S::qOutput(Request &r)
{
    r.reply = m_state.outputEnabled ? "1" : "0";
}

// ---------------------------------------------------------------- display

void S::sAutoscale(Request &r)
{
    if (channelArg(r))
        suffixArg(r, 1, Defaults::maxTraces);
}

void S::sSplit(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (const auto v = ch ? unsignedParam(r) : std::nullopt)
        ch->layout = *v;
}

void S::qSplit(Request &r)
{
    if (ChannelState *ch = channelArg(r))
        r.reply = QString::number(ch->layout);
}

void S::sShow(Request &)
{
    m_state.windowShown = true;
}

void S::sHide(Request &)
{
    m_state.windowShown = false;
}

// ---------------------------------------------------------------- files

void S::sDelete(Request &r)
{
    const auto path = pathParam(r);
    if (!path)
        return;
    if (!QFile::exists(*path))
        return pushError(-256, QStringLiteral("File name not found"));
    if (!QFile::remove(*path))
        pushError(-250, QStringLiteral("Mass storage error"));
}

void S::sSaveType(Request &r)
{
    if (const int k = keywordParam(r, saveTypes); k >= 0)
        m_state.saveType = saveTypes[k];
}

void S::qSaveType(Request &r)
{
    r.reply = m_state.saveType;
}

namespace {
// The errors of a file that cannot be written or read.
QString storeError(const QString &error)
{
    return QStringLiteral("File name error; %1").arg(error);
}

QString loadError(const QString &error)
{
    return QStringLiteral("File name not found; %1").arg(error);
}
} // namespace

void S::sStoreState(Request &r)
{
    QString error;
    if (const auto path = pathParam(r); path && !writeStateFile(*path, &error))
        pushError(-257, storeError(error));
}

void S::sLoadState(Request &r)
{
    QString error;
    if (const auto path = pathParam(r); path && !loadStateFile(*path, &error))
        pushError(-256, loadError(error));
}

void S::sStoreCalibration(Request &r)
{
    QString error;
    const auto path = channelArg(r) ? pathParam(r) : std::nullopt;
    if (path && !writeCalibrationFile(r.suffix[0].value, *path, &error))
        pushError(-257, storeError(error));
}

void S::sLoadCalibration(Request &r)
{
    QString error;
    const auto path = channelArg(r) ? pathParam(r) : std::nullopt;
    if (path && !loadCalibrationFile(r.suffix[0].value, *path, &error))
        pushError(-256, loadError(error));
}

// ---------------------------------------------------------------- traces

void S::sTraceCount(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (const auto v = ch ? unsignedParam(r) : std::nullopt)
        ch->traces.resize(size_t(clamped(*v, 1, Defaults::maxTraces)));
}

void S::qTraceCount(Request &r)
{
    if (ChannelState *ch = channelArg(r))
        r.reply = QString::number(ch->traces.size());
}

void S::sDefine(Request &r)
{
    ChannelState *ch = channelArg(r);
    TraceState *t = ch ? traceArg(r, *ch, 1) : nullptr;
    if (!t)
        return;
    const QString p = r.args.size() == 1 ? r.args[0].toUpper() : QString();
    bool ok = false;
    if (p.size() >= 3 && p[0] == QLatin1Char('S')) {
        ok = parseSParameter(p.mid(1), m_state.portCount).has_value();
    } else if (p.size() >= 2 && QStringLiteral("TRV").contains(p[0])) {
        const auto port = Scpi::toUnsigned(p.mid(1));
        ok = port && *port >= 1 && *port <= m_state.portCount;
    }
    if (!ok)
        return pushError(-224, QStringLiteral("Illegal parameter value"));
    t->parameter = p;
}

void S::qDefine(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (TraceState *t = ch ? traceArg(r, *ch, 1) : nullptr)
        r.reply = t->parameter;
}

void S::sSourcePort(Request &r)
{
    ChannelState *ch = channelArg(r);
    TraceState *t = ch ? traceArg(r, *ch, 1) : nullptr;
    if (const auto v = t ? unsignedParam(r, m_state.portCount) : std::nullopt)
        t->sourcePort = *v;
}

void S::qSourcePort(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (TraceState *t = ch ? traceArg(r, *ch, 1) : nullptr)
        r.reply = QString::number(t->sourcePort);
}

void S::sFormat(Request &r)
{
    ChannelState *ch = channelArg(r);
    TraceState *t = ch ? traceArg(r, *ch, 1) : nullptr;
    if (!t)
        return;
    if (const int k = keywordParam(r, formats); k >= 0)
        t->format = formats[k];
}

void S::qFormat(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (TraceState *t = ch ? traceArg(r, *ch, 1) : nullptr)
        r.reply = shortForm(t->format);
}

void S::qSData(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (!ch || !traceArg(r, *ch, 1))
        return;
    const unsigned channel = r.suffix[0].value, trace = r.suffix[1].value;
    const auto &snap = m_snapshots[channel - 1];
    if (!ch->continuous && snap && trace <= snap->traces.size()) {
        r.reply = pairs(snap->traces[trace - 1]);
        return;
    }
    r.reply = pairs(measure(channel).traces[trace - 1]);
}

// ---------------------------------------------------------------- fixture simulator

void S::sFsim(Request &r)
{
    setChannelFlag(r, &ChannelState::fixtureSimulator);
}

void S::qFsim(Request &r)
{
    replyChannelFlag(r, &ChannelState::fixtureSimulator);
}

void S::sDeembed(Request &r)
{
    setChannelFlag(r, &ChannelState::deembedding);
}

void S::qDeembed(Request &r)
{
    replyChannelFlag(r, &ChannelState::deembedding);
}

void S::sDeembedPort(Request &r)
{
    ChannelState *ch = channelArg(r);
    const auto port = ch ? portArg(r, 1) : std::nullopt;
    if (const auto v = port ? boolParam(r) : std::nullopt)
        ch->deembedPorts[*port - 1].enabled = *v;
}

void S::qDeembedPort(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (const auto port = ch ? portArg(r, 1) : std::nullopt)
        r.reply = ch->deembedPorts[*port - 1].enabled ? "1" : "0";
}

void S::sDeembedFile(Request &r)
{
    ChannelState *ch = channelArg(r);
    const auto port = ch ? portArg(r, 1) : std::nullopt;
    const auto path = port ? pathParam(r) : std::nullopt;
    if (!path)
        return;
    DeembedPort &dp = ch->deembedPorts[*port - 1];
    dp.file = *path;
    loadDeembedFile(r.suffix[0].value, *port);
    // Loading a user file switches the port's de-embedding on; a file that
    // could not be read leaves the port's state as it was.
    if (dp.loaded)
        dp.enabled = true;
}

void S::qDeembedFile(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (const auto port = ch ? portArg(r, 1) : std::nullopt)
        r.reply = ch->deembedPorts[*port - 1].file;
}

// ---------------------------------------------------------------- trigger

void S::sContinuous(Request &r)
{
    setChannelFlag(r, &ChannelState::continuous);
}

void S::qContinuous(Request &r)
{
    replyChannelFlag(r, &ChannelState::continuous);
}

void S::sInitiate(Request &r)
{
    ChannelState *ch = channelArg(r);
    if (!ch)
        return;
    ch->armed = true;
    if (m_state.triggerSource == QLatin1String("INTernal") && !m_state.sweeping)
        triggerSweep({r.suffix[0].value});
}

void S::sTriggerSource(Request &r)
{
    if (const int k = keywordParam(r, triggerSources); k >= 0)
        m_state.triggerSource = triggerSources[k];
}

void S::qTriggerSource(Request &r)
{
    r.reply = shortForm(m_state.triggerSource);
}

void S::sTrigger(Request &)
{
    if (m_state.sweeping)
        return pushError(-211, QStringLiteral("Trigger ignored"));
    std::vector<unsigned> armed;
    for (unsigned i = 0; i < m_state.channels.size(); ++i)
        if (m_state.channels[i].armed)
            armed.push_back(i + 1);
    if (armed.empty())
        armed.push_back(m_state.activeChannel);
    triggerSweep(armed);
}

void S::sAbort(Request &)
{
    abortSweep();
}

// ---------------------------------------------------------------- control root

namespace {
// The two port numbers that lead a scene command.
std::optional<std::pair<unsigned, unsigned>> portPair(const QStringList &args)
{
    const auto a = args.size() >= 2 ? Scpi::toUnsigned(args[0]) : std::nullopt;
    const auto b = a ? Scpi::toUnsigned(args[1]) : std::nullopt;
    if (!b)
        return std::nullopt;
    return std::make_pair(*a, *b);
}

QString sceneConflict()
{
    return QStringLiteral("Settings conflict; port 0 or already in the scene");
}
} // namespace

void S::sSceneClear(Request &)
{
    m_scene.clear();
}

void S::sSceneThru(Request &r)
{
    FixtureSpec f;
    int i = 2;
    const auto ports = portPair(r.args);
    if (!ports || !readFixture(r.args, i, f))
        return pushError(-104, QStringLiteral("Data type error"));
    if (!m_scene.addThru(ports->first, ports->second, f))
        pushError(-221, sceneConflict());
}

void S::sSceneReflect(Request &r)
{
    FixtureSpec f;
    int i = 2;
    const auto port = r.args.size() >= 2 ? Scpi::toUnsigned(r.args[0]) : std::nullopt;
    const int t = port ? Scpi::findKeyword(terminations, r.args[1]) : -1;
    if (t < 0 || !readFixture(r.args, i, f))
        return pushError(-104, QStringLiteral("Data type error"));
    if (!m_scene.addReflect(*port, Termination(t), f))
        pushError(-221, sceneConflict());
}

void S::sSceneDut(Request &r)
{
    FixtureSpec fa, fb;
    DutSpec dut;
    int i = 2;
    const auto ports = portPair(r.args);
    if (!ports || !readFixture(r.args, i, fa))
        return pushError(-104, QStringLiteral("Data type error"));
    if (r.args.size() <= 7)
        fb = fa;
    if (!readFixture(r.args, i, fb) || !readDut(r.args, i, dut))
        return pushError(-104, QStringLiteral("Data type error"));
    if (!m_scene.addDut(ports->first, ports->second, fa, fb, dut))
        pushError(-221, sceneConflict());
}

void S::sSceneFile(Request &r)
{
    const int comma = r.params.indexOf(QLatin1Char(','));
    const auto first = comma > 0 ? Scpi::toUnsigned(r.params.left(comma)) : std::nullopt;
    if (!first)
        return pushError(-104, QStringLiteral("Data type error"));
    QString error;
    auto net = readTouchstone(Scpi::unquote(r.params.mid(comma + 1)), &error);
    if (!net)
        return pushError(-256, loadError(error));
    if (!m_scene.addSampled(*first, std::move(*net)))
        pushError(-221, sceneConflict());
}

void S::qSceneData(Request &r)
{
    const auto ports = r.args.size() == 2 ? portPair(r.args) : std::nullopt;
    if (!ports)
        return pushError(-109, QStringLiteral("Missing parameter"));
    r.reply = pairs(sceneS(ports->first, ports->second, frequencyGrid(m_state.activeChannel)));
}

void S::sSweepTime(Request &r)
{
    if (const auto v = unsignedParam(r))
        setSweepTime(int(qMin(*v, 3600000u)));
}

void S::qSweepDuration(Request &r)
{
    if (channelArg(r))
        r.reply = Scpi::number(m_state.sweepTimeMs / 1000.0);
}

void S::sFaultDisconnect(Request &r)
{
    addFaultCommand(r, FaultKind::Disconnect);
}

void S::sFaultWrite(Request &r)
{
    addFaultCommand(r, FaultKind::WriteFail);
}

void S::qSweepTime(Request &r)
{
    r.reply = QString::number(m_state.sweepTimeMs);
}

void S::sSimReady(Request &r)
{
    if (const auto v = boolParam(r))
        m_state.ready = *v;
}

void S::sSimActiveChannel(Request &r)
{
    if (const auto v = unsignedParam(r, Defaults::channelCount))
        setActiveChannel(*v);
}

void S::sSimPortCount(Request &r)
{
    if (const auto v = unsignedParam(r, Defaults::maxPortCount))
        setPortCount(*v);
}

void S::sSimMaxFrequency(Request &r)
{
    if (const auto v = doubleParam(r))
        setMaxFrequency(*v);
}

void S::sSimIdentity(Request &r)
{
    if (r.args.size() != 4)
        return pushError(-109, QStringLiteral("Missing parameter"));
    m_state.identity = Identity{r.args[0], r.args[1], r.args[2], r.args[3]};
}

void S::sSimCalibrate(Request &r)
{
    if (r.args.isEmpty())
        return pushError(-109, QStringLiteral("Missing parameter"));
    std::vector<unsigned> ports;
    for (int i = 1; i < r.args.size(); ++i) {
        const auto p = Scpi::toUnsigned(r.args[i]);
        if (!p)
            return pushError(-104, QStringLiteral("Data type error"));
        ports.push_back(*p);
    }
    QString error;
    if (!calibrate(r.suffix[0].value, r.args[0], ports, &error))
        pushError(-224, QStringLiteral("Illegal parameter value; %1").arg(error));
}

void S::sSimCalibrationClear(Request &r)
{
    if (channelArg(r))
        clearCalibration(r.suffix[0].value);
}

void S::sSimCorrection(Request &r)
{
    setChannelFlag(r, &ChannelState::correction);
}

void S::addFaultCommand(Request &r, FaultKind kind)
{
    const bool withValue = kind == FaultKind::Delay || kind == FaultKind::Garbage || kind == FaultKind::Unsolicited;
    // count,header[,value]; the value (a text) may hold commas.
    const QStringList parts = r.params.split(QLatin1Char(','));
    if (parts.size() < (withValue ? 3 : 2))
        return pushError(-109, QStringLiteral("Missing parameter"));
    bool ok = false;
    Fault f;
    f.kind = kind;
    f.count = parts[0].trimmed().toInt(&ok);
    f.header = Scpi::unquote(parts[1]);
    const QString value = Scpi::unquote(QStringList(parts.mid(2)).join(QLatin1Char(',')));
    if (kind == FaultKind::Delay) {
        bool msOk = false;
        f.delayMs = value.toInt(&msOk);
        ok = ok && msOk && f.delayMs >= 0;
    } else {
        f.text = value;
    }
    if (!ok)
        return pushError(-104, QStringLiteral("Data type error"));
    if (!addFault(f))
        pushError(-224, QStringLiteral("Illegal parameter value; no such command"));
}

void S::sFaultDelay(Request &r)
{
    addFaultCommand(r, FaultKind::Delay);
}

void S::sFaultDrop(Request &r)
{
    addFaultCommand(r, FaultKind::Drop);
}

void S::sFaultGarbage(Request &r)
{
    addFaultCommand(r, FaultKind::Garbage);
}

void S::sFaultClose(Request &r)
{
    addFaultCommand(r, FaultKind::Close);
}

void S::sFaultUnsolicited(Request &r)
{
    addFaultCommand(r, FaultKind::Unsolicited);
}

void S::sFaultClear(Request &)
{
    clearFaults();
}

void S::sFaultOpcStall(Request &r)
{
    if (const auto v = boolParam(r))
        setOpcStalled(*v);
}

void S::sConnectionMax(Request &r)
{
    if (const auto v = unsignedParam(r))
        setMaxConnections(int(qMin(*v, 1000u)));
}

void S::sConnectionClose(Request &r)
{
    closeConnection(int(r.suffix[0].value));
}

void S::sConnectionSend(Request &r)
{
    sendUnsolicited(int(r.suffix[0].value), Scpi::unquote(r.params));
}

void S::sLogClear(Request &)
{
    clearLog();
}

void S::qLogCount(Request &r)
{
    r.reply = QString::number(log().size());
}

} // namespace AnalyserSim
