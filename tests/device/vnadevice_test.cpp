// VNADevice against the simulated analyser: the exact command texts it
// receives, the parsing of every reply form, aborts on the second
// connection, and the refusals of unsafe or invalid arguments.
#include "device/vnadevice.h"

#include "analyser-sim/analysersim.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaEnum>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>
#include <memory>
#include <set>

// Readable QString values in failure messages.
using AnalyserSim::Fault;
using AnalyserSim::FaultKind;
using AnalyserSim::LogEntry;
using AnalyserSim::Simulator;

namespace {

// For the tests that wait for a query to time out.
constexpr qint64 shortQueryTimeoutMs = 250;
constexpr int shortConnectTimeoutMs = 250;
// For every other test: a reply from the in-process simulator may take far
// longer than the short time-out on a loaded machine, and would then be
// taken for a missing one.
constexpr qint64 replyBoundMs = VNADevice::defaultQueryTimeoutMs;

// ---- one text per result, so a table can hold every query ------------------

QString show(bool v)
{
    return v ? QStringLiteral("true") : QStringLiteral("false");
}
QString show(uint v)
{
    return QString::number(v);
}
QString show(double v)
{
    return QString::number(v, 'g', 17);
}
// Named values by their names, so that the tables read as the analyser's
// keywords do and not as their codes.
template<typename Enum>
QString enumName(Enum v)
{
    const char *name = QMetaEnum::fromType<Enum>().valueToKey(static_cast<int>(v));
    return name ? QString::fromLatin1(name) : QStringLiteral("unnamed %1").arg(static_cast<int>(v));
}
QString show(VNADevice::CalibrationType v)
{
    return enumName(v);
}
QString show(VNADevice::SaveType v)
{
    return enumName(v);
}
QString show(SweepType v)
{
    switch (v) {
    case SweepType::Linear:
        return QStringLiteral("Linear");
    case SweepType::Logarithmic:
        return QStringLiteral("Logarithmic");
    case SweepType::Segment:
        return QStringLiteral("Segment");
    case SweepType::Power:
        return QStringLiteral("Power");
    }
    return QStringLiteral("unnamed %1").arg(static_cast<int>(v));
}
QString show(const VnaInfo &v)
{
    return QStringLiteral("{%1,%2,%3}").arg(v.model(), v.serialNumber(), v.version());
}
QString show(const std::vector<double> &v)
{
    QStringList items;
    for (double x : v)
        items << show(x);
    return QStringLiteral("[") + items.join(QLatin1Char(',')) + QStringLiteral("]");
}
QString show(const std::vector<std::complex<double>> &v)
{
    QStringList items;
    for (const auto &x : v)
        items << QStringLiteral("(%1,%2)").arg(show(x.real()), show(x.imag()));
    return QStringLiteral("[") + items.join(QLatin1Char(',')) + QStringLiteral("]");
}
template<typename T>
QString show(const std::optional<T> &v)
{
    return v ? show(*v) : QStringLiteral("absent");
}

// ---- simulator helpers ------------------------------------------------------

void garbage(Simulator &sim, const QString &header, const QString &text)
{
    Fault fault;
    fault.kind = FaultKind::Garbage;
    fault.header = header;
    fault.text = text;
    EXPECT_TRUE(sim.addFault(fault)) << header.toStdString();
}

void drop(Simulator &sim, const QString &header)
{
    Fault fault;
    fault.kind = FaultKind::Drop;
    fault.header = header;
    EXPECT_TRUE(sim.addFault(fault)) << header.toStdString();
}

void run(Simulator &sim, const QString &commands)
{
    sim.execute(commands);
}

// A simulator and a device connected to it on both connections.
struct Bench
{
    explicit Bench(qint64 queryTimeoutMs = replyBoundMs, AnalyserSim::Options options = {})
        : sim(std::move(options)),
          device(queryTimeoutMs, shortConnectTimeoutMs)
    {
        ok = sim.start() && device.connectToHost(QStringLiteral("127.0.0.1"), sim.port())
             && sim.waitForConnections(2, 2000);
        sim.clearLog();
    }

    // Waits until the log holds `count` entries and returns them.
    std::vector<LogEntry> logOf(size_t count, int timeoutMs = 2000)
    {
        sim.waitForLog([count](const std::vector<LogEntry> &log) { return log.size() >= count; }, timeoutMs);
        return sim.log();
    }

    // Sends a harmless setter and waits for it: everything sent before it has
    // arrived by then.
    std::vector<LogEntry> logUpToSentinel()
    {
        device.setYTraceAutoscale(15);
        EXPECT_TRUE(sim.waitForCommand(QStringLiteral("DISPlay:WINDow:TRACe16:Y:AUTO"), 2000));
        return sim.log();
    }

    Simulator sim;
    VNADevice device;
    bool ok = false;
};

QStringList textsOf(const std::vector<LogEntry> &log)
{
    QStringList texts;
    for (const LogEntry &e : log)
        texts << e.text;
    return texts;
}

std::string describe(const std::vector<LogEntry> &log)
{
    QStringList lines;
    for (const LogEntry &e : log)
        lines << QStringLiteral("#%1 %2%3").arg(e.connection).arg(e.text, e.known ? "" : " (unknown)");
    return lines.join(QStringLiteral(" | ")).toStdString();
}

// Every entry understood by the analyser and all on one connection.
void expectOneConnectionKnown(const std::vector<LogEntry> &log, const std::string &name)
{
    std::set<int> ids;
    for (const LogEntry &e : log) {
        EXPECT_TRUE(e.known) << name << ": " << e.text.toStdString();
        ids.insert(e.connection);
    }
    EXPECT_LE(ids.size(), 1u) << name << ": " << describe(log);
}

} // namespace

// ---- queries ------------------------------------------------------------------

TEST(VnaDeviceQueries, EveryQueryAndReplyForm)
{
    struct Case
    {
        const char *name;
        std::function<void(Simulator &)> setup;
        std::function<QString(VNADevice &)> call;
        QString expected;
        QStringList sent;
    };
    const auto none = [](Simulator &) {};
    const auto noCalibration = [](Simulator &sim) { sim.clearCalibration(1); };
    const auto calibrated = [](const QString &type, std::vector<unsigned> ports) {
        return [type, ports](Simulator &sim) {
            sim.setPortCount(4);
            EXPECT_TRUE(sim.calibrate(1, type, ports)) << type.toStdString();
        };
    };
    const auto faulty = [](const QString &header, const QString &text) {
        return [header, text](Simulator &sim) { garbage(sim, header, text); };
    };
    const QString activeQ = QStringLiteral("SERVice:CHANnel:ACTive?");
    const QString typeQ2 = QStringLiteral("SENSe2:CORRection:TYPE?");
    const QString statusQ = QStringLiteral("CALCulate1:CORRection:STATus?");
    const QString typeQ = QStringLiteral("SENSe1:CORRection:TYPE?");
    const QString freqQ = QStringLiteral("SENSe1:FREQuency:DATA?");
    const QString ifbwQ = QStringLiteral("SENSe1:BWIDth:RESolution?");
    const QString pointsQ = QStringLiteral("SENSe1:SWEep:POINts?");
    const QString portsQ = QStringLiteral("SERVice:PORT:COUNt?");
    const QString sdataQ = QStringLiteral("CALCulate1:TRACe2:DATA:SDATa?");
    const QString stypeQ = QStringLiteral("MMEMory:STORe:STYPe?");
    const QString sweepQ = QStringLiteral("SENSe1:SWEep:TYPE?");
    const QString idnQ = QStringLiteral("*IDN?");
    const QString readyQ = QStringLiteral("SYST:READy?");
    const QString opcQ = QStringLiteral("*OPC?");

    const auto activeChannel = [](VNADevice &d) { return show(d.activeChannel()); };
    const auto calibratedPorts = [](VNADevice &d) { return show(d.calibratedPorts(1)); };
    const auto calibrationType = [](VNADevice &d) { return show(d.calibrationType(0)); };
    const auto frequencies = [](VNADevice &d) { return show(d.frequencies(0)); };
    const auto ifBandwidth = [](VNADevice &d) { return show(d.ifBandwidth(0)); };
    const auto pointsCount = [](VNADevice &d) { return show(d.pointsCount(0)); };
    const auto portsCount = [](VNADevice &d) { return show(d.portsCount()); };
    const auto sData = [](VNADevice &d) { return show(d.sData(1, 0)); };
    const auto saveType = [](VNADevice &d) { return show(d.stateFileSaveType()); };
    const auto sweepType = [](VNADevice &d) { return show(d.sweepType(0)); };
    const auto identify = [](VNADevice &d) { return show(d.identify()); };
    const auto extrapolated = [](VNADevice &d) { return show(d.isExtrapolated(0)); };
    const auto interpolated = [](VNADevice &d) { return show(d.isInterpolated(0)); };
    const auto ready = [](VNADevice &d) { return show(d.isReady()); };
    const auto opc = [](VNADevice &d) { return show(d.waitOperationComplete()); };

    const std::vector<Case> cases = {
        // Active channel: 1-based on the wire; 0 has no 0-based channel.
        {"active channel", [](Simulator &s) { s.setActiveChannel(3); }, activeChannel, "2", {activeQ}},
        {"active channel 1", none, activeChannel, "0", {activeQ}},
        {"active channel 0", faulty("SERV:CHAN:ACT?", "0"), activeChannel, "absent", {activeQ}},
        {"active channel text", faulty("SERV:CHAN:ACT?", "two"), activeChannel, "absent", {activeQ}},
        {"active channel negative", faulty("SERV:CHAN:ACT?", "-1"), activeChannel, "absent", {activeQ}},
        {"active channel empty", faulty("SERV:CHAN:ACT?", ""), activeChannel, "absent", {activeQ}},

        // Calibrated ports: the items after the type, 0-based.
        {"ports SOLT2",
         [](Simulator &s) {
             EXPECT_TRUE(s.calibrate(2, "SOLT2", {1, 2}));
         },
         calibratedPorts,
         "[0,1]",
         {typeQ2}},
        {"ports none", noCalibration, calibratedPorts, "[]", {typeQ2}},
        {"ports blanks", faulty("SENS:CORR:TYPE?", " SOLT2 , 1 , 3 "), calibratedPorts, "[0,2]", {typeQ2}},
        {"ports bad item", faulty("SENS:CORR:TYPE?", "SOLT2,1,x"), calibratedPorts, "absent", {typeQ2}},
        {"ports zero", faulty("SENS:CORR:TYPE?", "SOLT1,0"), calibratedPorts, "absent", {typeQ2}},
        {"ports empty item", faulty("SENS:CORR:TYPE?", "SOLT2,1,"), calibratedPorts, "absent", {typeQ2}},

        // Calibration type codes.
        {"type off", noCalibration, calibrationType, "CorrectionOff", {statusQ}},
        {"type correction off",
         [](Simulator &s) {
             EXPECT_TRUE(s.calibrate(1, "SOLT2", {1, 2}));
             s.setCorrection(1, false);
         },
         calibrationType,
         "CorrectionOff",
         {statusQ}},
        {"type NONE", faulty("CALC:CORR:STAT?", "C"), calibrationType, "NoCalibration", {statusQ, typeQ}},
        {"type RESPO", calibrated("RESPO", {1}), calibrationType, "RespOpen", {statusQ, typeQ}},
        {"type RESPS", calibrated("RESPS", {1}), calibrationType, "RespShort", {statusQ, typeQ}},
        {"type RESPT", calibrated("RESPT", {1, 2}), calibrationType, "RespThru", {statusQ, typeQ}},
        {"type SOLT1", calibrated("SOLT1", {1}), calibrationType, "Solt1", {statusQ, typeQ}},
        {"type SOLT2", calibrated("SOLT2", {1, 2}), calibrationType, "Solt2", {statusQ, typeQ}},
        {"type SOLT3", calibrated("SOLT3", {1, 2, 3}), calibrationType, "Solt3", {statusQ, typeQ}},
        {"type SOLT4", calibrated("SOLT4", {1, 2, 3, 4}), calibrationType, "Solt4", {statusQ, typeQ}},
        {"type 1PATH", calibrated("1PATH", {1, 2}), calibrationType, "OnePath", {statusQ, typeQ}},
        {"type unknown",
         [](Simulator &s) {
             EXPECT_TRUE(s.calibrate(1, "SOLT2", {1, 2}));
             garbage(s, "SENS:CORR:TYPE?", "TRL2,1,2");
         },
         calibrationType,
         "absent",
         {statusQ, typeQ}},
        {"type empty",
         [](Simulator &s) {
             EXPECT_TRUE(s.calibrate(1, "SOLT2", {1, 2}));
             garbage(s, "SENS:CORR:TYPE?", "");
         },
         calibrationType,
         "absent",
         {statusQ, typeQ}},
        {"type no status", [](Simulator &s) { drop(s, "CALC:CORR:STAT?"); }, calibrationType, "absent", {statusQ}},

        // Frequency grid.
        {"grid",
         [](Simulator &s) { run(s, "SENS1:SWE:POIN 3;SENS1:FREQ:STAR 1e6;SENS1:FREQ:STOP 3e6"); },
         frequencies,
         "[1000000,2000000,3000000]",
         {freqQ}},
        {"grid blanks", faulty("SENS:FREQ:DATA?", "1, 2 ,3"), frequencies, "[1,2,3]", {freqQ}},
        {"grid bad item", faulty("SENS:FREQ:DATA?", "1,2,x"), frequencies, "absent", {freqQ}},
        {"grid empty", faulty("SENS:FREQ:DATA?", ""), frequencies, "absent", {freqQ}},

        // Plain numbers.
        {"if bandwidth", none, ifBandwidth, "10000", {ifbwQ}},
        {"if bandwidth exponent", faulty("SENS:BWID?", "1e3"), ifBandwidth, "1000", {ifbwQ}},
        {"if bandwidth text", faulty("SENS:BWID?", "fast"), ifBandwidth, "absent", {ifbwQ}},
        {"impedance",
         [](Simulator &s) { run(s, "SENS:CORR:PORT2:IMP 75"); },
         [](VNADevice &d) { return show(d.impedance(1)); },
         "75",
         {"SENSe:CORRection:PORT2:IMPedance?"}},
        {"max frequency",
         [](Simulator &s) { s.setMaxFrequency(8.5e9); },
         [](VNADevice &d) { return show(d.maxFrequency()); },
         "8500000000",
         {"SERVice:SWEep:FREQuency:MAXimum?"}},
        {"output power",
         [](Simulator &s) { run(s, "SOUR3:POW -5.5"); },
         [](VNADevice &d) { return show(d.outputPower(2)); },
         "-5.5",
         {"SOURce3:POWer:LEVel:IMMediate:AMPLitude?"}},
        {"start",
         [](Simulator &s) { run(s, "SENS1:FREQ:STAR 1e9"); },
         [](VNADevice &d) { return show(d.startFreq(0)); },
         "1000000000",
         {"SENSe1:FREQuency:STARt?"}},
        {"stop",
         [](Simulator &s) { run(s, "SENS2:FREQ:STOP 2.5e9"); },
         [](VNADevice &d) { return show(d.stopFreq(1)); },
         "2500000000",
         {"SENSe2:FREQuency:STOP?"}},

        // Counts.
        {"points", none, pointsCount, "201", {pointsQ}},
        {"points negative", faulty("SENS:SWE:POIN?", "-1"), pointsCount, "absent", {pointsQ}},
        {"points fraction", faulty("SENS:SWE:POIN?", "2.5"), pointsCount, "absent", {pointsQ}},
        {"ports count", [](Simulator &s) { s.setPortCount(4); }, portsCount, "4", {portsQ}},
        {"ports count 64", faulty("SERV:PORT:COUN?", "64"), portsCount, "64", {portsQ}},
        {"ports count 65", faulty("SERV:PORT:COUN?", "65"), portsCount, "absent", {portsQ}},
        {"ports count huge", faulty("SERV:PORT:COUN?", "4294967295"), portsCount, "absent", {portsQ}},
        {"ports count 0", faulty("SERV:PORT:COUN?", "0"), portsCount, "0", {portsQ}},

        // Trace data: re,im pairs.
        {"sdata pairs", faulty("CALC:TRAC:DATA:SDAT?", "1,2,3,4"), sData, "[(1,2),(3,4)]", {sdataQ}},
        {"sdata blanks", faulty("CALC:TRAC:DATA:SDAT?", " 1 , -2.5e-1 "), sData, "[(1,-0.25)]", {sdataQ}},
        {"sdata odd", faulty("CALC:TRAC:DATA:SDAT?", "1,2,3"), sData, "absent", {sdataQ}},
        {"sdata bad item", faulty("CALC:TRAC:DATA:SDAT?", "1,x"), sData, "absent", {sdataQ}},
        {"sdata empty", faulty("CALC:TRAC:DATA:SDAT?", ""), sData, "absent", {sdataQ}},

        // Keywords.
        {"save type default", none, saveType, "STATe", {stypeQ}},
        {"save type CDSTate", [](Simulator &s) { run(s, "MMEM:STOR:STYP CDSTate"); }, saveType, "CDSTate", {stypeQ}},
        {"save type CMSTate", [](Simulator &s) { run(s, "MMEM:STOR:STYP CMSTate"); }, saveType, "CMSTate", {stypeQ}},
        {"save type unknown", faulty("MMEM:STOR:STYP?", "BOGUS"), saveType, "absent", {stypeQ}},
        {"save type empty", faulty("MMEM:STOR:STYP?", ""), saveType, "absent", {stypeQ}},
        {"sweep LIN", none, sweepType, "Linear", {sweepQ}},
        {"sweep LOG", [](Simulator &s) { run(s, "SENS1:SWE:TYPE LOG"); }, sweepType, "Logarithmic", {sweepQ}},
        {"sweep SEGM", [](Simulator &s) { run(s, "SENS1:SWE:TYPE SEGM"); }, sweepType, "Segment", {sweepQ}},
        {"sweep POW", [](Simulator &s) { run(s, "SENS1:SWE:TYPE POW"); }, sweepType, "Power", {sweepQ}},
        {"sweep unknown", faulty("SENS:SWE:TYPE?", "CW"), sweepType, "absent", {sweepQ}},

        // Identity: four fields, blanks removed.
        {"identity",
         [](Simulator &s) {
             AnalyserSim::Identity id;
             id.manufacturer = "Maker Co";
             id.model = "Model X";
             id.serialNumber = "SN 01";
             id.version = "2.0.1";
             s.setIdentity(id);
         },
         identify,
         "{ModelX,SN01,2.0.1}",
         {idnQ}},
        {"identity five fields", faulty("*IDN?", "a,b,c,d,e"), identify, "absent", {idnQ}},
        {"identity three fields", faulty("*IDN?", "a,b,c"), identify, "absent", {idnQ}},

        // Correction status.
        {"extrapolated C!", faulty("CALC:CORR:STAT?", "C!"), extrapolated, "true", {statusQ}},
        {"extrapolated RC!", faulty("CALC:CORR:STAT?", "RC!"), extrapolated, "true", {statusQ}},
        {"extrapolated C?", faulty("CALC:CORR:STAT?", "C?"), extrapolated, "false", {statusQ}},
        {"extrapolated C", faulty("CALC:CORR:STAT?", "C"), extrapolated, "false", {statusQ}},
        {"extrapolated none", [](Simulator &s) { drop(s, "CALC:CORR:STAT?"); }, extrapolated, "absent", {statusQ}},
        {"interpolated C?", faulty("CALC:CORR:STAT?", "C?"), interpolated, "true", {statusQ}},
        {"interpolated RC?", faulty("CALC:CORR:STAT?", "RC?"), interpolated, "true", {statusQ}},
        {"interpolated C!", faulty("CALC:CORR:STAT?", "C!"), interpolated, "false", {statusQ}},
        {"interpolated NONE", noCalibration, interpolated, "false", {statusQ}},
        {"interpolated real",
         [](Simulator &s) {
             EXPECT_TRUE(s.calibrate(1, "SOLT2", {1, 2}));
             run(s, "SENS1:SWE:POIN 7");
         },
         interpolated,
         "true",
         {statusQ}},
        {"extrapolated real",
         [](Simulator &s) {
             run(s, "SENS1:FREQ:STOP 1e10");
             EXPECT_TRUE(s.calibrate(1, "SOLT2", {1, 2}));
             run(s, "SENS1:FREQ:STOP 2e10");
         },
         extrapolated,
         "true",
         {statusQ}},

        // Readiness.
        {"ready", none, ready, "true", {readyQ}},
        {"not ready", [](Simulator &s) { s.setReady(false); }, ready, "false", {readyQ}},
        {"ready other", faulty("SYST:READ?", "2"), ready, "absent", {readyQ}},
        {"ready empty", faulty("SYST:READ?", ""), ready, "absent", {readyQ}},
        {"ready no reply", [](Simulator &s) { drop(s, "SYST:READ?"); }, ready, "absent", {readyQ}},

        // Operation complete.
        {"opc", none, opc, "true", {opcQ}},
        {"opc 0", faulty("*OPC?", "0"), opc, "false", {opcQ}},
        {"opc other", faulty("*OPC?", "yes"), opc, "false", {opcQ}},
    };

    for (const Case &c : cases) {
        // A reply that never comes is waited for only briefly.
        Bench bench(c.expected == QLatin1String("absent") ? shortQueryTimeoutMs : replyBoundMs);
        ASSERT_TRUE(bench.ok) << c.name;
        c.setup(bench.sim);
        bench.sim.clearLog();
        EXPECT_EQ(c.call(bench.device), c.expected) << c.name;
        const auto log = bench.logOf(static_cast<size_t>(c.sent.size()));
        EXPECT_EQ(textsOf(log), c.sent) << c.name << ": " << describe(log);
        expectOneConnectionKnown(log, c.name);
    }
}

TEST(VnaDeviceQueries, TraceDataAreTheAnalysersPoints)
{
    Bench bench;
    ASSERT_TRUE(bench.ok);
    run(bench.sim, "SENS1:SWE:POIN 11;SENS1:FREQ:STAR 1e8;SENS1:FREQ:STOP 5e9;"
                   "CALC1:PAR:COUN 2;CALC1:PAR2:DEF S21");
    const auto grid = bench.device.frequencies(0);
    ASSERT_TRUE(grid.has_value());
    EXPECT_EQ(*grid, bench.sim.frequencyGrid(1));

    const auto s21 = bench.device.sData(1, 0);
    ASSERT_TRUE(s21.has_value());
    const auto truth = bench.sim.sceneS(2, 1, *grid);
    ASSERT_EQ(s21->size(), truth.size());
    for (size_t i = 0; i < truth.size(); ++i) {
        EXPECT_NEAR(std::abs((*s21)[i] - truth[i]), 0.0, 1e-12 * std::max(1.0, std::abs(truth[i]))) << i;
    }
}

// ---- setters ------------------------------------------------------------------

TEST(VnaDeviceSetters, EveryCommandText)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString state = dir.filePath("setup.sta");
    const QString cal = dir.filePath("cal %1 file.cal"); // '%' and blanks pass unchanged
    const QString touchstone = dir.filePath("fixture.s2p");

    struct Case
    {
        std::function<void(VNADevice &)> call;
        QStringList sent;
    };
    const std::vector<Case> cases = {
        {[](VNADevice &d) { d.setEnablePowerSource(true); }, {"OUTPut 1"}},
        {[](VNADevice &d) { d.setEnablePowerSource(false); }, {"OUTPut 0"}},
        {[](VNADevice &d) { d.setSweepType(SweepType::Logarithmic, 1); }, {"SENSe2:SWEep:TYPE LOG"}},
        {[](VNADevice &d) { d.setSweepType(SweepType::Linear, 0); }, {"SENSe1:SWEep:TYPE LIN"}},
        {[](VNADevice &d) { d.setStartFreq(1e9, 0); }, {"SENSe1:FREQuency:STARt 1000000000"}},
        {[](VNADevice &d) { d.setStopFreq(2e10, 0); }, {"SENSe1:FREQuency:STOP 2e+10"}},
        {[](VNADevice &d) { d.setStartFreq(123456789.123, 2); }, {"SENSe3:FREQuency:STARt 123456789.1"}},
        {[](VNADevice &d) { d.setPointsCount(201, 0); }, {"SENSe1:SWEep:POINts 201"}},
        {[](VNADevice &d) { d.setIfBandwidth(1000, 0); }, {"SENSe1:BWIDth:RESolution 1000"}},
        {[](VNADevice &d) { d.setOutputPower(-10.5, 1); }, {"SOURce2:POWer:LEVel:IMMediate:AMPLitude -10.5"}},
        {[](VNADevice &d) { d.setYTraceAutoscale(0); }, {"DISPlay:WINDow:TRACe1:Y:AUTO"}},
        {[](VNADevice &d) { d.setImpedance(1u, 75.0); }, {"SENSe:CORRection:PORT2:IMPedance 75"}},
        {[](VNADevice &d) { d.setImpedance(1.9, 50.0); }, {"SENSe:CORRection:PORT2:IMPedance 50"}},
        {[](VNADevice &d) { d.setImpedance(63.5, 50.0); }, {"SENSe:CORRection:PORT64:IMPedance 50"}},
        {[](VNADevice &d) { d.setStateFileSaveType(VNADevice::SaveType::CDSTate); }, {"MMEMory:STORe:STYPe CDSTate"}},
        {[](VNADevice &d) { d.setStateFileSaveType(VNADevice::SaveType::STATe); }, {"MMEMory:STORe:STYPe STATe"}},
        {[&](VNADevice &d) { d.saveStateFile(state); }, {"MMEMory:STORe:STATe " + state}},
        {[&](VNADevice &d) { d.loadStateFile(state); }, {"MMEMory:LOAD " + state}},
        {[&](VNADevice &d) { d.memoryDeleteState(state); }, {"MMEMory:DELete " + state}},
        {[&](VNADevice &d) { d.saveCalibrationFile(1, cal); }, {"MMEMory:STORe:CHANnel2:CALibration " + cal}},
        {[&](VNADevice &d) { d.loadCalibrationFile(0, cal); }, {"MMEMory:LOAD:CHANnel1:CALibration " + cal}},
        {[](VNADevice &d) { d.setGraphicsLayout(5, 0); }, {"DISPlay:WINDow1:SPLit 5"}},
        {[](VNADevice &d) { d.setNumberOfTraces(4, 0); }, {"CALCulate1:PARameter:COUNt 4"}},
        {[](VNADevice &d) { d.setGraphicFormat(1, VNADevice::GraphicFormat::SMITh, 0); },
         {"CALCulate1:TRACe2:FORMat SMITh"}},
        {[](VNADevice &d) { d.setGraphicFormat(0, VNADevice::GraphicFormat::UPHase, 1); },
         {"CALCulate2:TRACe1:FORMat UPHase"}},
        {[](VNADevice &d) { d.setGraphicDefine(2, VNADevice::TypeOfParameter::RReceiver, 1, 0, 0); },
         {"CALCulate1:PARameter3:DEFine R2"}},
        {[](VNADevice &d) { d.setGraphicDefine(0, VNADevice::TypeOfParameter::TReceiver, 0, 0, 1); },
         {"CALCulate2:PARameter1:DEFine T1"}},
        {[](VNADevice &d) { d.setGraphicDefine(1, VNADevice::TypeOfParameter::VReceiver, 1, 0, 0); },
         {"CALCulate1:PARameter2:DEFine V2"}},
        {[](VNADevice &d) { d.setGraphicDefine(1, VNADevice::TypeOfParameter::SParameter, 1, 0, 0); },
         {"CALCulate1:PARameter2:DEFine S21"}},
        {[](VNADevice &d) { d.setGraphicSport(0, 1, 0); }, {"CALCulate1:PARameter1:SPORt 2"}},
        {[](VNADevice &d) { d.setMeasuredParametr(0, 1, 0, 0); }, {"CALCulate1:PARameter1:DEFine S21"}},
        {[](VNADevice &d) { d.setFixtureSimulationState(0, true); }, {"CALCulate1:FSIMulator:STATe 1"}},
        {[](VNADevice &d) { d.setDeembeddingState(0, false); }, {"CALCulate1:FSIMulator:SENDed:DEEMbed:STATe 0"}},
        {[](VNADevice &d) { d.setDeembeddingState(0, 1u, true); },
         {"CALCulate1:FSIMulator:SENDed:DEEMbed:PORT2:STATe 1"}},
        {[&](VNADevice &d) { d.setDeembeddingFile(0, 0, touchstone); },
         {"CALCulate1:FSIMulator:SENDed:DEEMbed:PORT1:USER:FILename " + touchstone}},
        {[](VNADevice &d) { d.preset(); }, {"SYSTem:PRESet"}},
        {[](VNADevice &d) { d.showWindow(false); }, {"DISPlay:HIDE"}},
        {[](VNADevice &d) { d.showWindow(true); }, {"DISPlay:SHOW"}},
        {[](VNADevice &d) { EXPECT_TRUE(d.singleSweep(1)); },
         {"INITiate2:CONTinuous OFF", ":TRIG:SOUR BUS", "INITiate2:IMMediate", ":TRIG:SING"}},
    };

    Bench bench;
    ASSERT_TRUE(bench.ok);
    bench.sim.setPortCount(64);
    QSignalSpy errors(&bench.device, &VNADevice::error);
    for (size_t i = 0; i < cases.size(); ++i) {
        bench.sim.clearLog();
        cases[i].call(bench.device);
        const auto log = bench.logOf(static_cast<size_t>(cases[i].sent.size()));
        EXPECT_EQ(textsOf(log), cases[i].sent) << i << ": " << describe(log);
        expectOneConnectionKnown(log, std::to_string(i));
    }
    EXPECT_EQ(errors.count(), 0);
}

TEST(VnaDeviceSetters, ChangesReachTheAnalyser)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString state = dir.filePath("state.sta");
    Bench bench;
    ASSERT_TRUE(bench.ok);
    VNADevice &d = bench.device;

    d.setStartFreq(1e9, 0);
    d.setStopFreq(3e9, 0);
    d.setPointsCount(21, 0);
    d.setSweepType(SweepType::Logarithmic, 0);
    d.setStateFileSaveType(VNADevice::SaveType::CSTate);
    d.saveStateFile(state);
    EXPECT_EQ(show(d.startFreq(0)), "1000000000");
    EXPECT_EQ(show(d.stopFreq(0)), "3000000000");
    EXPECT_EQ(show(d.pointsCount(0)), "21");
    EXPECT_EQ(d.sweepType(0), std::optional<SweepType>(SweepType::Logarithmic));
    EXPECT_EQ(d.stateFileSaveType(), std::optional<VNADevice::SaveType>(VNADevice::SaveType::CSTate));
    EXPECT_TRUE(QFile::exists(state));

    d.memoryDeleteState(state);
    EXPECT_EQ(show(d.isReady()), "true"); // the delete ran before this reply
    EXPECT_FALSE(QFile::exists(state));
}

// What the analyser reports after de-embedding files are sent: a two-port
// file it read switches its port on; one it cannot read leaves the port off
// and an entry in its error queue, which then reads empty again.
TEST(VnaDeviceSetters, DeembeddingIsReadBackWithTheAnalysersErrors)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString good = dir.filePath("good.s2p");
    const QString text = dir.filePath("notes.s2p");
    for (const auto &[path, content] :
         {std::pair{good, QByteArray("# Hz S RI R 50\n1e9 0 0 1 0 1 0 0 0\n2e9 0 0 1 0 1 0 0 0\n")},
          std::pair{text, QByteArray("not a network\n")}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    Bench bench;
    ASSERT_TRUE(bench.ok);
    VNADevice &d = bench.device;
    EXPECT_EQ(d.nextError(), (std::optional<std::pair<int, QString>>(std::pair{0, QStringLiteral("No error")})));

    d.setDeembeddingFile(0, 0, good);
    d.setDeembeddingFile(0, 1, text);
    d.setDeembeddingState(0, true);
    EXPECT_EQ(show(d.deembeddingState(0, 0)), "true");
    EXPECT_EQ(d.deembeddingFile(0, 0), std::optional<QString>(good));
    EXPECT_EQ(show(d.deembeddingState(0, 1)), "false");
    EXPECT_EQ(d.deembeddingFile(0, 1), std::optional<QString>(text));
    EXPECT_EQ(show(d.deembeddingState(0)), "true");
    EXPECT_EQ(show(d.fixtureSimulationState(0)), "false");
    const auto refused = d.nextError();
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->first, -256);
    EXPECT_TRUE(refused->second.contains(text)) << refused->second.toStdString();
    EXPECT_EQ(d.nextError()->first, 0);

    // Quotes around a path are not part of it; a flag other than 0 or 1 and
    // an error line without a code are no answer.
    garbage(bench.sim, "CALC:FSIM:SEND:DEEM:PORT:USER:FIL?", "\"C:/a b/fix1.s2p\"");
    EXPECT_EQ(d.deembeddingFile(0, 0), std::optional<QString>(QStringLiteral("C:/a b/fix1.s2p")));
    garbage(bench.sim, "CALC:FSIM:SEND:DEEM:PORT:STAT?", "2");
    EXPECT_EQ(show(d.deembeddingState(0, 1)), "absent");
    garbage(bench.sim, "SYST:ERR?", "No error");
    EXPECT_FALSE(d.nextError().has_value());
}

TEST(VnaDeviceSetters, UnsafePathsAreRefusedAndNothingIsSent)
{
    Bench bench;
    ASSERT_TRUE(bench.ok);
    QSignalSpy errors(&bench.device, &VNADevice::error);
    const QStringList paths = {"a\nSYSTem:PRESet", "a\rb.sta", "a.sta;*RST", "\n"};
    for (const QString &path : paths) {
        bench.device.saveStateFile(path);
        bench.device.loadStateFile(path);
        bench.device.memoryDeleteState(path);
        bench.device.saveCalibrationFile(0, path);
        bench.device.loadCalibrationFile(0, path);
        bench.device.setDeembeddingFile(0, 0, path);
    }
    ASSERT_EQ(errors.count(), 6 * paths.size());
    for (const auto &args : errors) {
        const QString text = args.at(0).toString();
        EXPECT_TRUE(text.startsWith(vnaUnsafePathErrorText + " ")) << text.toStdString();
    }
    const auto log = bench.logUpToSentinel();
    EXPECT_EQ(log.size(), 1u) << describe(log);
}

TEST(VnaDeviceSetters, ValuesOutsideTheKeywordMapsSendNothing)
{
    Bench bench;
    ASSERT_TRUE(bench.ok);
    bench.device.setSweepType(static_cast<SweepType>(4), 0);
    bench.device.setSweepType(static_cast<SweepType>(-1), 0);
    bench.device.setStateFileSaveType(static_cast<VNADevice::SaveType>(5));
    bench.device.setGraphicFormat(0, static_cast<VNADevice::GraphicFormat>(16), 0);
    bench.device.setGraphicDefine(0, static_cast<VNADevice::TypeOfParameter>(4), 1, 0, 0);
    const auto log = bench.logUpToSentinel();
    EXPECT_EQ(log.size(), 1u) << describe(log);
}

TEST(VnaDeviceSetters, InvalidImpedancePortsSendNothing)
{
    Bench bench;
    ASSERT_TRUE(bench.ok);
    for (double port : {std::nan(""), HUGE_VAL, -HUGE_VAL, -1.0, -0.5, 64.0, 1e12})
        bench.device.setImpedance(port, 50.0);
    const auto log = bench.logUpToSentinel();
    EXPECT_EQ(log.size(), 1u) << describe(log);
}

// ---- abort and late replies ---------------------------------------------------

TEST(VnaDeviceAbort, InterruptDuringOperationCompleteSendsAbortOnTheSecondConnection)
{
    Bench bench;
    ASSERT_TRUE(bench.ok);
    bench.sim.setActiveChannel(3); // its reply "3" differs from an "*OPC?" answer
    bench.sim.setSweepTime(20000);
    ASSERT_TRUE(bench.device.singleSweep(0));
    QTimer::singleShot(150, &bench.device, &VNADevice::interrupt);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(bench.device.waitOperationComplete());
    EXPECT_LT(clock.elapsed(), 2000);

    ASSERT_TRUE(bench.sim.waitForCommand("ABORt", 2000));
    const auto log = bench.sim.log();
    int opcConnection = -1;
    int abortConnection = -1;
    for (const LogEntry &e : log) {
        if (e.text == "*OPC?")
            opcConnection = e.connection;
        if (e.text == "ABORt")
            abortConnection = e.connection;
    }
    EXPECT_NE(opcConnection, -1) << describe(log);
    EXPECT_NE(abortConnection, opcConnection) << describe(log);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bench.sim.state().sweeping; }, 2000));

    // The command link is usable at once, and the abandoned "*OPC?" answer
    // is never read as a later reply.
    EXPECT_EQ(show(bench.device.activeChannel()), "2");
    QTest::qWait(100);
    EXPECT_EQ(show(bench.device.pointsCount(0)), "201");
    EXPECT_TRUE(bench.device.isConnected());
}

TEST(VnaDeviceAbort, StalledOperationCompleteEndsOnInterruptFromTheQueue)
{
    Bench bench;
    ASSERT_TRUE(bench.ok);
    bench.sim.setOpcStalled(true);
    QMetaObject::invokeMethod(&bench.device, "interrupt", Qt::QueuedConnection);
    EXPECT_FALSE(bench.device.waitOperationComplete());
    EXPECT_TRUE(bench.sim.waitForCommand("ABORt", 2000));
}

TEST(VnaDeviceAbort, SweepCompletesAndItsDataFollow)
{
    Bench bench;
    ASSERT_TRUE(bench.ok);
    bench.sim.setSweepTime(200);
    ASSERT_TRUE(bench.device.singleSweep(0));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(bench.device.waitOperationComplete());
    EXPECT_GE(clock.elapsed(), 150);
    EXPECT_EQ(bench.sim.channel(1).completedSweeps, 1u);
    EXPECT_TRUE(bench.device.sData(0, 0).has_value());
}

TEST(VnaDeviceLateReply, DelayedReplyIsNeverTakenForTheNextQuery)
{
    Bench bench(shortQueryTimeoutMs);
    ASSERT_TRUE(bench.ok);
    run(bench.sim, "SENS1:FREQ:STAR 1e9;SENS1:FREQ:STOP 2e9");
    Fault delay;
    delay.kind = FaultKind::Delay;
    delay.header = "SENS:FREQ:STAR?";
    delay.delayMs = 600;
    ASSERT_TRUE(bench.sim.addFault(delay));

    EXPECT_FALSE(bench.device.startFreq(0).has_value());
    EXPECT_EQ(show(bench.device.stopFreq(0)), "2000000000");
    QTest::qWait(700); // the late start frequency is out by now
    EXPECT_EQ(show(bench.device.pointsCount(0)), "201");
    EXPECT_EQ(show(bench.device.startFreq(0)), "1000000000");

    // The query after the time-out went out on a fresh connection.
    const auto log = bench.sim.log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_NE(log[0].connection, log[1].connection) << describe(log);
    // Both connections are up for the next poll's connect.
    EXPECT_TRUE(bench.device.connectToHost("127.0.0.1", bench.sim.port()));
}

TEST(VnaDeviceLateReply, DefaultTimeOutIsThreeSeconds)
{
    Bench bench(VNADevice::defaultQueryTimeoutMs);
    ASSERT_TRUE(bench.ok);
    Fault delay;
    delay.kind = FaultKind::Delay;
    delay.header = "SYST:READ?";
    delay.delayMs = 4500;
    ASSERT_TRUE(bench.sim.addFault(delay));
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(bench.device.isReady().has_value());
    EXPECT_GE(clock.elapsed(), 2990);
    EXPECT_LT(clock.elapsed(), 4400);
    EXPECT_EQ(show(bench.device.isReady()), "true");
}

TEST(VnaDeviceLateReply, UnsolicitedLineBeforeAQueryIsDiscarded)
{
    Bench bench;
    ASSERT_TRUE(bench.ok);
    for (int id : bench.sim.connections())
        bench.sim.sendUnsolicited(id, "7");
    QTest::qWait(100);
    EXPECT_EQ(show(bench.device.activeChannel()), "0");
}

// ---- connections --------------------------------------------------------------

TEST(VnaDeviceConnect, BothConnectionsToOnePeer)
{
    Simulator sim;
    ASSERT_TRUE(sim.start());
    VNADevice device(shortQueryTimeoutMs, shortConnectTimeoutMs);
    EXPECT_TRUE(device.connectToHost("127.0.0.1", sim.port()));
    EXPECT_TRUE(sim.waitForConnections(2, 2000));
    EXPECT_TRUE(device.isConnected());

    // Same peer again: nothing new.
    EXPECT_TRUE(device.connectToHost("127.0.0.1", sim.port()));
    QTest::qWait(50);
    EXPECT_EQ(sim.connections().size(), 2u);

    // A host name never connects.
    VNADevice named(shortQueryTimeoutMs, shortConnectTimeoutMs);
    EXPECT_FALSE(named.connectToHost("localhost", sim.port()));
    EXPECT_FALSE(named.isConnected());
}

TEST(VnaDeviceConnect, LostAbortConnectionIsReportedAndRestoredByTheNextConnect)
{
    Bench bench;
    ASSERT_TRUE(bench.ok);
    // Find which connection carries the commands.
    bench.device.preset();
    ASSERT_TRUE(bench.sim.waitForCommand("SYSTem:PRESet", 2000));
    const int commandId = bench.sim.log().front().connection;
    const auto ids = bench.sim.connections();
    ASSERT_EQ(ids.size(), 2u);
    const int abortId = ids[0] == commandId ? ids[1] : ids[0];

    QSignalSpy dropped(&bench.device, &VNADevice::disconnected);
    QSignalSpy states(&bench.device, &VNADevice::stateChanged);
    bench.sim.closeConnection(abortId);
    ASSERT_TRUE(dropped.wait(2000));
    EXPECT_GE(states.count(), 1);
    EXPECT_TRUE(bench.device.isConnected()); // the command connection is fine

    EXPECT_TRUE(bench.device.connectToHost("127.0.0.1", bench.sim.port()));
    EXPECT_TRUE(bench.sim.waitForConnections(2, 2000));
    bench.device.interrupt();
    EXPECT_TRUE(bench.sim.waitForCommand("ABORt", 2000));
}

// Without a connection every result is empty or false, and every command
// that could not go out is named on the error signal: none is lost silently.
TEST(VnaDeviceConnect, NotConnectedGivesEmptyResultsAndReportsEveryCommand)
{
    VNADevice device(shortQueryTimeoutMs, shortConnectTimeoutMs);
    QSignalSpy errors(&device, &VNADevice::error);
    EXPECT_FALSE(device.isReady().has_value());
    EXPECT_FALSE(device.identify().has_value());
    EXPECT_FALSE(device.waitOperationComplete());
    EXPECT_FALSE(device.singleSweep(0));
    EXPECT_FALSE(device.preset());
    EXPECT_FALSE(device.loadStateFile(QStringLiteral("/tmp/state")));
    device.interrupt();
    QStringList texts;
    for (const auto &args : errors)
        texts << args.at(0).toString();
    const QString prefix = scpiExchangeErrorText + QStringLiteral(" ");
    EXPECT_EQ(texts, (QStringList{prefix + "SYST:READy?\n", prefix + "*IDN?\n", prefix + "*OPC?\n",
                                  prefix + "INITiate1:CONTinuous OFF\n", prefix + "SYSTem:PRESet\n",
                                  prefix + "MMEMory:LOAD /tmp/state\n", prefix + "ABORt\n"}));
}
