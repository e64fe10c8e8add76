#include "analyser-sim/analysersim.h"
#include "analyser-sim/scpi.h"
#include "synthnet/synthnet.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QNetworkProxy>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>
#include <iterator>
#include <optional>
#include <signal.h>

using namespace AnalyserSim;

namespace {

constexpr double kPi = 3.14159265358979323846;

// A raw SCPI client on the test thread.
class Client
{
public:
    bool connectTo(quint16 port)
    {
        m_socket.setProxy(QNetworkProxy::NoProxy);
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        return m_socket.waitForConnected(3000);
    }
    void send(const QString &line)
    {
        m_socket.write((line + "\n").toUtf8());
        m_socket.waitForBytesWritten(1000);
    }
    std::optional<QString> readLine(int timeoutMs = 3000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_socket.canReadLine()) {
            const int left = timeoutMs - int(clock.elapsed());
            if (left <= 0 || m_socket.state() != QAbstractSocket::ConnectedState)
                return std::nullopt;
            m_socket.waitForReadyRead(left);
        }
        QByteArray line = m_socket.readLine();
        line.chop(1);
        return QString::fromUtf8(line);
    }
    std::optional<QString> query(const QString &q, int timeoutMs = 3000)
    {
        send(q);
        return readLine(timeoutMs);
    }
    // True when the peer closed the connection within timeoutMs.
    bool closedByPeer(int timeoutMs = 3000)
    {
        if (m_socket.state() == QAbstractSocket::UnconnectedState)
            return true;
        return m_socket.waitForDisconnected(timeoutMs) || m_socket.state() == QAbstractSocket::UnconnectedState;
    }
    QTcpSocket &socket() { return m_socket; }

private:
    QTcpSocket m_socket;
};

std::vector<double> parseNumbers(const QString &reply)
{
    std::vector<double> out;
    for (const QString &item : reply.split(',')) {
        bool ok = false;
        out.push_back(item.toDouble(&ok));
        EXPECT_TRUE(ok) << item.toStdString();
    }
    return out;
}

ComplexVector parsePairs(const QString &reply)
{
    const auto v = parseNumbers(reply);
    EXPECT_EQ(v.size() % 2, 0u);
    ComplexVector out;
    for (size_t i = 0; i + 1 < v.size(); i += 2)
        out.emplace_back(v[i], v[i + 1]);
    return out;
}

// Channel 1's frequency grid and a trace's data as read over SCPI.
std::vector<double> frequencies(Client &c)
{
    return parseNumbers(c.query("SENSe1:FREQuency:DATA?").value_or(""));
}

ComplexVector traceData(Client &c, size_t trace = 1)
{
    return parsePairs(c.query(QString("CALCulate1:TRACe%1:DATA:SDATa?").arg(trace)).value_or(""));
}

void expectClose(const ComplexVector &actual, const ComplexVector &expected, double tol)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i)
        EXPECT_LE(std::abs(actual[i] - expected[i]), tol * std::max(1.0, std::abs(expected[i])))
            << "point " << i << ": " << actual[i] << " vs " << expected[i];
}

// The ground truth of a fixture, built here from the synthetic networks.
SynthNet::Network fixture(const RealVector &f, const FixtureSpec &spec)
{
    return SynthNet::cascade(SynthNet::shuntGC(f, spec.shuntConductance, spec.shuntCapacitance),
                             SynthNet::line(f, spec.line));
}

QString readAll(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(file.readAll());
}

class AnalyserSimTest : public ::testing::Test
{
protected:
    explicit AnalyserSimTest(Options options = {}) : sim(options) {}
    void SetUp() override
    {
        ASSERT_TRUE(sim.start());
        ASSERT_NE(sim.port(), 0);
        ASSERT_TRUE(a.connectTo(sim.port()));
    }
    // Runs a single sweep of channel 1 with the program's four trigger commands.
    void singleSweep(Client &c)
    {
        c.send("INITiate1:CONTinuous OFF");
        c.send(":TRIG:SOUR BUS");
        c.send("INITiate1:IMMediate");
        c.send(":TRIG:SING");
    }
    QString q(const QString &query) { return a.query(query).value_or("<no reply>"); }
    // Every query of the table answers its reply.
    template<class Table>
    void expectReplies(const Table &table)
    {
        for (const auto &[query, reply] : table)
            EXPECT_EQ(q(query), reply) << query;
    }

    Simulator sim;
    Client a;
};

} // namespace

// ---------------------------------------------------------------- header matching

TEST(ScpiHeader, ShortAndLongFormsSuffixesAndOptionalNodes)
{
    struct Case
    {
        const char *pattern, *header;
        bool matches;
        std::vector<unsigned> suffix;
    };
    const Case cases[] = {
        {"SENSe#:FREQuency:STARt", "SENSe1:FREQuency:STARt", true, {1}},
        {"SENSe#:FREQuency:STARt", "sens3:freq:star", true, {3}},
        {"SENSe#:FREQuency:STARt", "SENS:FREQ:STAR", true, {1}},
        {"SENSe#:FREQuency:STARt", "SENSE:FREQUENCY:START", true, {1}},
        {"SENSe#:FREQuency:STARt", "SEN:FREQ:STAR", false, {}}, // short form is SENS
        {"SENSe#:FREQuency:STARt", "SENSE1:FREQ:STARTX", false, {}},
        {"SENSe#:FREQuency:STARt", "SENS1:FREQ2:STAR", false, {}}, // no suffix on FREQuency
        {"SENSe#:FREQuency:STARt", ":SENS1:FREQ:STAR", true, {1}},
        {"SOURce#:POWer:[LEVel]:[IMMediate]:[AMPLitude]", "SOURce2:POWer:LEVel:IMMediate:AMPLitude", true, {2}},
        {"SOURce#:POWer:[LEVel]:[IMMediate]:[AMPLitude]", "SOUR2:POW", true, {2}},
        {"SOURce#:POWer:[LEVel]:[IMMediate]:[AMPLitude]", "SOUR:POW:AMPL", true, {1}},
        {"SOURce#:POWer:[LEVel]:[IMMediate]:[AMPLitude]", "SOUR:POW:AMPL:LEV", false, {}},
        {"DISPlay:WINDow#:TRACe#:Y:[SCALe]:AUTO", "DISPlay:WINDow:TRACe3:Y:AUTO", true, {1, 3}},
        {"CALCulate#:PARameter#:DEFine", "CALC2:PAR4:DEF", true, {2, 4}},
        {"CALCulate#:PARameter:COUNt", "CALC2:PAR4:COUN", false, {}},
        {"TRIGger:[SEQuence]:SINGle", "TRIG:SING", true, {}},
        {"TRIGger:[SEQuence]:[IMMediate]", "TRIGger", true, {}},
        {"*OPC", "*opc", true, {}},
        {"SYSTem:READy", "SYST:READy", true, {}},
    };
    for (const Case &c : cases) {
        std::vector<Scpi::Suffix> suffix;
        const bool m = Scpi::match(Scpi::parsePattern(c.pattern), Scpi::parseHeader(c.header), &suffix);
        EXPECT_EQ(m, c.matches) << c.pattern << " vs " << c.header;
        if (!m || !c.matches)
            continue;
        ASSERT_EQ(suffix.size(), c.suffix.size()) << c.header;
        for (size_t i = 0; i < suffix.size(); ++i)
            EXPECT_EQ(suffix[i].value, c.suffix[i]) << c.header;
    }
}

// ---------------------------------------------------------------- replies

TEST_F(AnalyserSimTest, QueriesAnswerOneLineInTheExpectedFormat)
{
    const std::pair<const char *, const char *> cases[] = {
        {"*IDN?", "VUK-SIM,SimVNA,SIM0001,1.0.0"},
        {"SYST:READy?", "1"},
        {"SERVice:CHANnel:ACTive?", "1"},
        {"SENSe1:SWEep:TYPE?", "LIN"},
        {"SENSe1:FREQuency:STARt?", "100000"},
        {"SENSe1:FREQuency:STOP?", "20000000000"},
        {"SERVice:SWEep:FREQuency:MAXimum?", "20000000000"},
        {"SENSe1:SWEep:POINts?", "201"},
        {"SENSe1:BWIDth:RESolution?", "10000"},
        {"SOURce1:POWer:LEVel:IMMediate:AMPLitude?", "0"},
        {"CALCulate1:CORRection:STATus?", "NONE"},
        {"SENSe1:CORRection:TYPE?", "NONE"},
        {"SENSe:CORRection:PORT2:IMPedance?", "50"},
        {"SERVice:PORT:COUNt?", "2"},
        {"MMEMory:STORe:STYPe?", "STATe"},
        {"CALCulate1:PARameter:COUNt?", "1"},
        {"CALCulate1:PARameter1:DEFine?", "S11"},
        {"*OPC?", "1"},
    };
    expectReplies(cases);
}

TEST_F(AnalyserSimTest, SettersGetNoReplyAndTakeEffectInOrder)
{
    // The program's exact setter texts; a reply to any of them would be read
    // as the reply to the query that follows.
    const std::pair<const char *, std::pair<const char *, const char *>> cases[] = {
        {"SENSe1:FREQuency:STARt 1000000000", {"SENS1:FREQ:STAR?", "1000000000"}},
        {"SENSe1:FREQuency:STOP 2e+10", {"SENSe1:FREQuency:STOP?", "20000000000"}},
        {"SENSe1:SWEep:POINts 11", {"SENSe1:SWEep:POINts?", "11"}},
        {"SENSe1:SWEep:TYPE LOG", {"SENSe1:SWEep:TYPE?", "LOG"}},
        {"sense2:sweep:type logarithmic", {"SENSe2:SWEep:TYPE?", "LOG"}},
        {"SENSe3:SWEep:TYPE SEGM", {"SENSe3:SWEep:TYPE?", "SEGM"}},
        {"SENSe1:BWIDth:RESolution 1000", {"SENSe1:BWIDth:RESolution?", "1000"}},
        {"SOURce1:POWer:LEVel:IMMediate:AMPLitude -10.5", {"SOUR1:POW?", "-10.5"}},
        {"SENSe:CORRection:PORT2:IMPedance 75", {"SENSe:CORRection:PORT2:IMPedance?", "75"}},
        {"MMEMory:STORe:STYPe CDSTate", {"MMEMory:STORe:STYPe?", "CDSTate"}},
        {"CALCulate1:PARameter:COUNt 3", {"CALCulate1:PARameter:COUNt?", "3"}},
        {"CALCulate1:PARameter3:DEFine S21", {"CALCulate1:PARameter3:DEFine?", "S21"}},
        {"CALCulate1:PARameter2:DEFine R2", {"CALCulate1:PARameter2:DEFine?", "R2"}},
        {"CALCulate1:PARameter2:SPORt 2", {"CALCulate1:PARameter2:SPORt?", "2"}},
        {"CALCulate1:TRACe1:FORMat GDELay", {"CALCulate1:TRACe1:FORMat?", "GDEL"}},
        {"DISPlay:WINDow1:SPLit 5", {"DISPlay:WINDow1:SPLit?", "5"}},
        {"OUTPut 0", {"OUTPut?", "0"}},
        {"CALCulate1:FSIMulator:STATe 1", {"CALCulate1:FSIMulator:STATe?", "1"}},
        {"CALCulate1:FSIMulator:SENDed:DEEMbed:STATe 1", {"CALCulate1:FSIMulator:SENDed:DEEMbed:STATe?", "1"}},
        {"CALCulate1:FSIMulator:SENDed:DEEMbed:PORT2:STATe 1",
         {"CALCulate1:FSIMulator:SENDed:DEEMbed:PORT2:STATe?", "1"}},
        {"INITiate1:CONTinuous OFF", {"INITiate1:CONTinuous?", "0"}},
        {":TRIG:SOUR BUS", {"TRIG:SOUR?", "BUS"}},
    };
    for (const auto &[setter, check] : cases)
        a.send(setter);
    for (const auto &[setter, check] : cases)
        EXPECT_EQ(q(check.first), check.second) << setter;
    EXPECT_EQ(q("SYSTem:ERRor?"), "0,\"No error\"");
    a.send("DISPlay:HIDE");
    a.send("DISPlay:WINDow:TRACe1:Y:AUTO");
    EXPECT_EQ(q("*OPC?"), "1");
    EXPECT_FALSE(sim.state().windowShown);
    EXPECT_EQ(q("SYSTem:ERRor?"), "0,\"No error\"");
}

TEST_F(AnalyserSimTest, ValuesOutsideTheLimitsAreClampedAndReported)
{
    a.send("SENSe1:FREQuency:STOP 1e12");
    EXPECT_EQ(q("SENSe1:FREQuency:STOP?"), "20000000000");
    EXPECT_EQ(q("SYST:ERR?"), "-222,\"Data out of range\"");
    // A start above the stop drags the stop along.
    a.send("SENSe1:FREQuency:STOP 1e9");
    a.send("SENSe1:FREQuency:STARt 2e9");
    EXPECT_EQ(q("SENSe1:FREQuency:STOP?"), "2000000000");
    a.send("SENSe1:SWEep:POINts 0");
    EXPECT_EQ(q("SENSe1:SWEep:POINts?"), "1");
    // Bad values change nothing.
    a.send("SYST:ERR?; *CLS");
    ASSERT_TRUE(a.readLine());
    a.send("SENSe1:SWEep:POINts abc");
    a.send("SENSe1:SWEep:TYPE FOO");
    a.send("CALCulate1:PARameter1:DEFine S31");
    EXPECT_EQ(q("SENSe1:SWEep:POINts?"), "1");
    EXPECT_EQ(q("SENSe1:SWEep:TYPE?"), "LIN");
    EXPECT_EQ(q("CALCulate1:PARameter1:DEFine?"), "S11");
    EXPECT_EQ(q("SYST:ERR?"), "-104,\"Data type error\"");
    EXPECT_EQ(q("SYST:ERR?"), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(q("SYST:ERR?"), "-224,\"Illegal parameter value\"");
}

TEST_F(AnalyserSimTest, UnknownCommandsAreLoggedAndQueriesStillGetOneLine)
{
    a.send("FOO:BAR 1");
    EXPECT_EQ(q("FOO:BAR?"), "");
    // A known query with a channel out of range: one empty line too.
    EXPECT_EQ(q("SENSe17:FREQuency:STARt?"), "");
    EXPECT_EQ(q("CALCulate1:TRACe5:DATA:SDATa?"), "");
    EXPECT_EQ(q("SYST:ERR?"), "-113,\"Undefined header\"");
    EXPECT_EQ(q("SYST:ERR?"), "-113,\"Undefined header\"");
    EXPECT_EQ(q("SYST:ERR?"), "-114,\"Header suffix out of range\"");
    EXPECT_EQ(q("SYST:ERR?"), "-114,\"Header suffix out of range\"");
    EXPECT_EQ(q("SYST:ERR?"), "0,\"No error\"");
    const auto log = sim.log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].text, "FOO:BAR 1");
    EXPECT_FALSE(log[0].known);
    EXPECT_EQ(log[1].text, "FOO:BAR?");
    EXPECT_FALSE(log[1].known);
    EXPECT_TRUE(log[2].known);
}

TEST_F(AnalyserSimTest, CommandsOfOneLineRunInOrderAndAnswerEachQuery)
{
    a.send("SENS1:SWE:POIN 3;SENS1:SWE:POIN?;:SENS1:SWE:POIN 4;SENS1:SWE:POIN?");
    EXPECT_EQ(a.readLine(), "3");
    EXPECT_EQ(a.readLine(), "4");
    // A ";" splits the line like any SCPI message: the path ends at it.
    const QTemporaryDir dir;
    const QString path = dir.filePath("x");
    a.send("MMEMory:STORe:STATe " + path + ";SYSTem:PRESet");
    EXPECT_EQ(q("SENS1:SWE:POIN?"), "201");
    EXPECT_TRUE(QFile::exists(path));
}

TEST_F(AnalyserSimTest, LogHoldsConnectionIdsAndTimesInArrivalOrder)
{
    Client b;
    ASSERT_TRUE(b.connectTo(sim.port()));
    EXPECT_EQ(q("*IDN?").left(7), "VUK-SIM");
    EXPECT_EQ(b.query("SYST:READy?"), "1");
    EXPECT_EQ(q("*OPC?"), "1");
    EXPECT_EQ(sim.execute("SENS1:SWE:POIN?"), QStringList{"201"});
    const auto log = sim.log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].text, "*IDN?");
    EXPECT_EQ(log[1].text, "SYST:READy?");
    EXPECT_EQ(log[2].text, "*OPC?");
    EXPECT_EQ(log[0].connection, log[2].connection);
    EXPECT_NE(log[0].connection, log[1].connection);
    EXPECT_EQ(log[3].connection, 0);
    for (size_t i = 1; i < log.size(); ++i)
        EXPECT_GE(log[i].timeMs, log[i - 1].timeMs);
    sim.clearLog();
    EXPECT_TRUE(sim.log().empty());
}

// ---------------------------------------------------------------- sweep

TEST_F(AnalyserSimTest, OpcAnswersWhenTheSweepEndsAndHoldsLaterCommands)
{
    sim.setSweepTime(400);
    QElapsedTimer clock;
    singleSweep(a);
    clock.start();
    a.send("*OPC?");
    a.send("SENSe1:SWEep:POINts?");
    EXPECT_EQ(a.readLine(3000), "1");
    EXPECT_GE(clock.elapsed(), 350);
    EXPECT_EQ(a.readLine(100), "201");
    EXPECT_EQ(sim.channel(1).completedSweeps, 1u);
    EXPECT_FALSE(sim.state().sweeping);
}

TEST_F(AnalyserSimTest, AbortOnTheSecondConnectionAnswersThePendingOpc)
{
    sim.setSweepTime(60000);
    Client b;
    ASSERT_TRUE(b.connectTo(sim.port()));
    singleSweep(a);
    a.send("*OPC?");
    a.send("SENSe1:SWEep:POINts?");
    EXPECT_FALSE(a.readLine(300)) << "answered during the sweep";
    // The second connection is not held by the first one's *OPC?.
    EXPECT_EQ(b.query("SYST:READy?"), "1");
    EXPECT_TRUE(sim.state().sweeping);
    QElapsedTimer clock;
    clock.start();
    b.send("ABORt");
    EXPECT_EQ(a.readLine(2000), "1");
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_EQ(a.readLine(500), "201");
    EXPECT_FALSE(sim.state().sweeping);
    EXPECT_EQ(sim.channel(1).completedSweeps, 0u);
}

TEST_F(AnalyserSimTest, TraceDataBelongToTheLastSweep)
{
    sim.setSweepTime(0);
    a.send("SENSe1:SWEep:POINts 21");
    a.send("CALCulate1:PARameter:COUNt 2");
    a.send("CALCulate1:PARameter1:DEFine S21");
    a.send("CALCulate1:PARameter2:DEFine S11");
    singleSweep(a);
    ASSERT_EQ(q("*OPC?"), "1");
    const auto f = frequencies(a);
    ASSERT_EQ(f.size(), 21u);
    const auto s21 = traceData(a, 1);
    const auto s11 = traceData(a, 2);
    const auto thru = SynthNet::toS(SynthNet::twoXThru(fixture(f, FixtureSpec{})));
    expectClose(s21, thru.s21(), 1e-15);
    expectClose(s11, thru.s11(), 1e-15);

    // The scene changes after the sweep: the held data stay those of the sweep.
    sim.setScene(Scene::reflect(1, Termination::Short));
    expectClose(traceData(a), thru.s21(), 1e-15);
    // The next sweep measures the new scene.
    a.send("INITiate1:IMMediate");
    a.send(":TRIG:SING");
    ASSERT_EQ(q("*OPC?"), "1");
    expectClose(traceData(a), ComplexVector(21), 0);
    EXPECT_EQ(sim.channel(1).completedSweeps, 2u);
}

// ---------------------------------------------------------------- scene truth

TEST(AnalyserSimScene, SweptDataEqualSyntheticNetworksOnAnyPortPair)
{
    FixtureSpec fa;
    fa.line = {42.0, 120e-12, 0.8};
    fa.shuntCapacitance = 0.08e-12;
    FixtureSpec fb;
    fb.line = {55.0, 90e-12, 0.4};
    fb.shuntConductance = 1e-4;
    DutSpec dut;
    dut.line = {60.0, 250e-12, 0.2};
    dut.seriesInductance = 0.2e-9;
    dut.shuntCapacitance = 0.1e-12;

    Options options;
    options.portCount = 4;
    options.sweepTimeMs = 0;
    options.scene = Scene();
    ASSERT_TRUE(options.scene.addReflect(1, Termination::Open, fa));
    ASSERT_TRUE(options.scene.addReflect(2, Termination::Short, fa));
    ASSERT_TRUE(options.scene.addDut(4, 3, fa, fb, dut));
    EXPECT_FALSE(options.scene.addThru(3, 1)) << "ports already in use";
    Simulator sim(options);
    ASSERT_TRUE(sim.start());
    Client c;
    ASSERT_TRUE(c.connectTo(sim.port()));
    c.send("SENSe1:FREQuency:STARt 10000000");
    c.send("SENSe1:FREQuency:STOP 8000000000");
    c.send("SENSe1:SWEep:POINts 101");
    c.send("SENSe:CORRection:PORT3:IMPedance 75");
    const char *params[] = {"S11", "S22", "S43", "S34", "S33", "S44", "S21", "S13"};
    c.send(QString("CALCulate1:PARameter:COUNt %1").arg(std::size(params)));
    for (size_t i = 0; i < std::size(params); ++i)
        c.send(QString("CALCulate1:PARameter%1:DEFine %2").arg(i + 1).arg(params[i]));
    c.send("INITiate1:CONTinuous OFF");
    c.send("INITiate1:IMMediate");
    c.send(":TRIG:SING");
    ASSERT_EQ(c.query("*OPC?"), "1");
    const auto f = frequencies(c);
    ASSERT_EQ(f.size(), 101u);
    EXPECT_DOUBLE_EQ(f.front(), 10e6);
    EXPECT_DOUBLE_EQ(f.back(), 8e9);

    const auto open = SynthNet::terminate(fixture(f, fa), 1.0);
    const auto shorted = SynthNet::terminate(fixture(f, fa), -1.0);
    const auto dutNet = SynthNet::cascade({SynthNet::seriesRL(f, 0, dut.seriesInductance), SynthNet::line(f, dut.line),
                                           SynthNet::shuntGC(f, 0, dut.shuntCapacitance)});
    // Port 4 sees fixture A, port 3 (75 ohm) the mirrored fixture B.
    const auto inFixture =
        SynthNet::toS(SynthNet::cascade({fixture(f, fa), dutNet, SynthNet::mirror(fixture(f, fb))}), 50.0, 75.0);
    const ComplexVector expected[] = {open.s11(),      shorted.s11(),   inFixture.s12(),    inFixture.s21(),
                                      inFixture.s22(), inFixture.s11(), ComplexVector(101), ComplexVector(101)};
    for (size_t i = 0; i < std::size(params); ++i) {
        SCOPED_TRACE(params[i]);
        const auto data = traceData(c, i + 1);
        // The printed numbers read back exactly; only the order of operations differs.
        expectClose(data, expected[i], 1e-14);
    }
    // The control interface gives the same truth.
    expectClose(sim.sceneS(4, 3, f), inFixture.s12(), 1e-15);
    expectClose(parsePairs(sim.execute("SIM:CHANnel:ACTive 1;SIM:SCENe:DATA? 3,4").value(0)), inFixture.s21(), 1e-15);
}

TEST(AnalyserSimScene, TouchstoneSceneAndDeembeddingFiles)
{
    const QTemporaryDir dir;
    const RealVector f = SynthNet::uniformGrid(1e9, 5e9, 5);
    const FixtureSpec fa, fb{{52.0, 80e-12, 0.3}, 0.02e-12, 0.0};
    const DutSpec dut;
    // Two-port files in the analyser's usual layout: S11 S21 S12 S22 per line.
    auto writeS2p = [&](const QString &name, const Algorithms::SParametersTwoPort &s, const char *option) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Text));
        QTextStream out(&file);
        out.setRealNumberPrecision(17);
        out << "! test data\n" << option << "\n";
        const bool ma = QString(option).contains("MA");
        for (size_t i = 0; i < f.size(); ++i) {
            out << f[i] / 1e9;
            for (const auto &v : {s.s11()[i], s.s21()[i], s.s12()[i], s.s22()[i]}) {
                if (ma)
                    out << ' ' << std::abs(v) << ' ' << std::arg(v) * 180.0 / kPi;
                else
                    out << ' ' << v.real() << ' ' << v.imag();
            }
            out << '\n';
        }
        return file.fileName();
    };
    const auto dutS = SynthNet::toS(
        SynthNet::cascade({SynthNet::seriesRL(f, 0, 0), SynthNet::line(f, dut.line), SynthNet::shuntGC(f, 0, 0)}));
    const auto inFixture = SynthNet::toS(
        SynthNet::cascade({fixture(f, fa), SynthNet::line(f, dut.line), SynthNet::mirror(fixture(f, fb))}));
    const QString sceneFile = writeS2p("scene.S2P", inFixture, "# GHz S MA R 50");
    const QString fileA = writeS2p("fa.s2p", SynthNet::toS(fixture(f, fa)), "# GHz S RI R 50");
    const QString fileB = writeS2p("fb.s2p", SynthNet::toS(fixture(f, fb)), "# GHz S RI R 50");

    Options options;
    options.sweepTimeMs = 0;
    options.scene = Scene();
    Simulator sim(options);
    ASSERT_TRUE(sim.start());
    Client c;
    ASSERT_TRUE(c.connectTo(sim.port()));
    c.send("SIM:SCENe:FILE 1," + sceneFile);
    c.send("SENSe1:FREQuency:STARt 1e9");
    c.send("SENSe1:FREQuency:STOP 5e9");
    c.send("SENSe1:SWEep:POINts 5");
    c.send("CALCulate1:PARameter1:DEFine S21");
    EXPECT_EQ(c.query("SYST:ERR?"), "0,\"No error\"");
    expectClose(traceData(c), inFixture.s21(), 1e-12);

    // De-embedding both fixtures leaves the DUT.
    c.send("CALCulate1:FSIMulator:SENDed:DEEMbed:PORT1:USER:FILename " + fileA);
    c.send("CALCulate1:FSIMulator:SENDed:DEEMbed:PORT2:USER:FILename " + fileB);
    c.send("CALCulate1:FSIMulator:SENDed:DEEMbed:PORT1:STATe 1");
    c.send("CALCulate1:FSIMulator:SENDed:DEEMbed:PORT2:STATe 1");
    c.send("CALCulate1:FSIMulator:SENDed:DEEMbed:STATe 1");
    {
        SCOPED_TRACE("de-embedding needs the fixture simulator on");
        expectClose(traceData(c), inFixture.s21(), 1e-12);
    }
    c.send("CALCulate1:FSIMulator:STATe 1");
    EXPECT_EQ(c.query("SYST:ERR?"), "0,\"No error\"");
    expectClose(traceData(c), dutS.s21(), 1e-9);
    c.send("CALCulate1:PARameter1:DEFine S11");
    expectClose(traceData(c), dutS.s11(), 1e-9);
    EXPECT_TRUE(sim.channel(1).deembedPorts[0].loaded);

    // A file that cannot be read is reported and not applied.
    c.send("CALCulate1:FSIMulator:SENDed:DEEMbed:PORT2:USER:FILename " + dir.filePath("missing.s2p"));
    EXPECT_EQ(c.query("SYST:ERR?").value_or("").left(4), "-256");
    EXPECT_FALSE(sim.channel(1).deembedPorts[1].loaded);
    EXPECT_EQ(c.query("CALCulate1:FSIMulator:SENDed:DEEMbed:PORT2:USER:FILename?"), dir.filePath("missing.s2p"));
}

// ---------------------------------------------------------------- preset, calibration

TEST_F(AnalyserSimTest, PresetRestoresTheDocumentedDefaults)
{
    ASSERT_TRUE(sim.calibrate(1, "SOLT2", {1, 2}));
    a.send("SENSe1:SWEep:TYPE LOG");
    a.send("SENSe1:FREQuency:STARt 1e6");
    a.send("SENSe1:FREQuency:STOP 1e9");
    a.send("SENSe1:SWEep:POINts 11");
    a.send("SENSe1:BWIDth:RESolution 100");
    a.send("SOURce1:POWer:LEVel:IMMediate:AMPLitude -20");
    a.send("SENSe:CORRection:PORT1:IMPedance 75");
    a.send("CALCulate1:PARameter:COUNt 4");
    a.send("INITiate1:CONTinuous OFF");
    a.send("CALCulate1:FSIMulator:STATe 1");
    a.send("MMEMory:STORe:STYPe CSTate");
    sim.setActiveChannel(3);
    a.send("SYSTem:PRESet");
    const std::pair<const char *, QString> expected[] = {
        {"SENSe1:SWEep:TYPE?", "LIN"},
        {"SENSe1:FREQuency:STARt?", Scpi::number(Defaults::minFrequency)},
        {"SENSe1:FREQuency:STOP?", Scpi::number(Defaults::maxFrequency)},
        {"SENSe1:SWEep:POINts?", QString::number(Defaults::points)},
        {"SENSe1:BWIDth:RESolution?", Scpi::number(Defaults::ifBandwidth)},
        {"SOURce1:POWer:LEVel:IMMediate:AMPLitude?", Scpi::number(Defaults::power)},
        {"SENSe:CORRection:PORT1:IMPedance?", "50"},
        {"CALCulate1:PARameter:COUNt?", "1"},
        {"CALCulate1:PARameter1:DEFine?", "S11"},
        {"INITiate1:CONTinuous?", "1"},
        {"CALCulate1:FSIMulator:STATe?", "0"},
        {"CALCulate1:CORRection:STATus?", "NONE"},
        {"SERVice:CHANnel:ACTive?", "1"},
        {"TRIG:SOUR?", "INT"},
        // Kept by a preset.
        {"MMEMory:STORe:STYPe?", "CSTate"},
        {"SERVice:PORT:COUNt?", "2"},
    };
    expectReplies(expected);
}

TEST_F(AnalyserSimTest, CorrectionStatusFollowsTheCalibrationGrid)
{
    a.send("SENSe1:FREQuency:STARt 1e9");
    a.send("SENSe1:FREQuency:STOP 3e9");
    a.send("SENSe1:SWEep:POINts 21");
    ASSERT_EQ(q("*OPC?"), "1");
    EXPECT_FALSE(sim.calibrate(1, "SOLT2", {1})) << "SOLT2 needs two ports";
    EXPECT_FALSE(sim.calibrate(1, "SOLT2", {1, 3})) << "no port 3";
    EXPECT_FALSE(sim.calibrate(1, "FOO", {1}));
    ASSERT_TRUE(sim.calibrate(1, "SOLT2", {1, 2}));
    EXPECT_EQ(q("SENSe1:CORRection:TYPE?"), "SOLT2,1,2");
    struct Step
    {
        const char *command;
        const char *status;
    };
    const Step steps[] = {
        {"SENSe1:SWEep:POINts 21", "C"},         {"SENSe1:SWEep:POINts 40", "C?"}, // inside the calibrated range
        {"SENSe1:FREQuency:STOP 2e9", "C?"},     {"SENSe1:FREQuency:STOP 3.5e9", "C!"}, // beyond it
        {"SENSe1:FREQuency:STOP 3e9", "C?"},     {"SENSe1:SWEep:POINts 21", "C"}, // the calibration grid again
        {"SENSe1:FREQuency:STARt 0.5e9", "C!"},  {"SENSe1:FREQuency:STARt 1e9", "C"},
        {"SENSe1:SWEep:TYPE LOG", "C?"},         {"SENSe1:SWEep:TYPE LIN", "C"},
        {"SENSe1:CORRection:STATe OFF", "NONE"}, {"SENSe1:CORRection:STATe ON", "C"},
    };
    for (const Step &s : steps) {
        a.send(s.command);
        EXPECT_EQ(q("CALCulate1:CORRection:STATus?"), s.status) << s.command;
    }
    // Other channels keep their own state; response calibrations carry an R.
    EXPECT_EQ(q("CALCulate2:CORRection:STATus?"), "NONE");
    EXPECT_EQ(sim.execute("SIM:CALibrate2 RESPO,2;CALCulate2:CORRection:STATus?;SENS2:CORR:TYPE?"),
              (QStringList{"RC", "RESPO,2"}));
    a.send("SENSe2:SWEep:POINts 500");
    EXPECT_EQ(q("CALCulate2:CORRection:STATus?"), "RC?");
    sim.clearCalibration(1);
    EXPECT_EQ(q("CALCulate1:CORRection:STATus?"), "NONE");
    EXPECT_EQ(q("SENSe1:CORRection:TYPE?"), "NONE");
}

// ---------------------------------------------------------------- files

TEST_F(AnalyserSimTest, StateFileIsWrittenBeforeTheNextReplyAndLoadIgnoresForeignSections)
{
    const QTemporaryDir dir;
    const QString path = dir.filePath("setup one.sta");
    a.send("MMEMory:STORe:STYPe CSTate");
    a.send("SENSe1:FREQuency:STARt 2e9");
    a.send("SENSe1:FREQuency:STOP 4e9");
    a.send("SENSe1:SWEep:POINts 33");
    ASSERT_EQ(q("*OPC?"), "1");
    ASSERT_TRUE(sim.calibrate(1, "SOLT1", {2}));
    a.send("SENSe2:SWEep:TYPE LOG");
    a.send("CALCulate1:PARameter:COUNt 2");
    a.send("CALCulate1:PARameter2:DEFine S21");
    a.send("SENSe:CORRection:PORT2:IMPedance 25");
    a.send("CALCulate1:FSIMulator:SENDed:DEEMbed:PORT2:STATe 1");
    a.send("MMEMory:STORe:STATe " + path);
    // The next reply on this connection comes after the file is complete.
    ASSERT_EQ(q("*OPC?"), "1");
    ASSERT_TRUE(QFile::exists(path));
    QString text = readAll(path);
    EXPECT_TRUE(text.endsWith('\n'));
    EXPECT_TRUE(text.contains("[SIM\\Channel1\\Calibration]"));

    // The program appends its own sections; one of them uses a key that
    // looks like the analyser's.
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("[VUK\\Settings]\nSetupCount=2\nStart=7e9\nPoints=5\n\n[SIM]\nPoints=9\n");
    }
    a.send("SYSTem:PRESet");
    ASSERT_EQ(q("SENSe1:SWEep:POINts?"), "201");
    a.send("MMEMory:LOAD " + path);
    const std::pair<const char *, const char *> restored[] = {
        {"SENSe1:FREQuency:STARt?", "2000000000"},
        {"SENSe1:FREQuency:STOP?", "4000000000"},
        {"SENSe1:SWEep:POINts?", "33"},
        {"SENSe2:SWEep:TYPE?", "LOG"},
        {"CALCulate1:PARameter:COUNt?", "2"},
        {"CALCulate1:PARameter2:DEFine?", "S21"},
        {"SENSe:CORRection:PORT2:IMPedance?", "25"},
        {"CALCulate1:FSIMulator:SENDed:DEEMbed:PORT2:STATe?", "1"},
        {"SENSe1:CORRection:TYPE?", "SOLT1,2"},
        {"CALCulate1:CORRection:STATus?", "C"},
        {"SYST:ERR?", "0,\"No error\""},
    };
    expectReplies(restored);
    // The appended sections survive a load untouched.
    EXPECT_TRUE(readAll(path).endsWith("[SIM]\nPoints=9\n"));

    a.send("MMEMory:DELete " + path);
    EXPECT_EQ(q("*OPC?"), "1");
    EXPECT_FALSE(QFile::exists(path));
    a.send("MMEMory:DELete " + path);
    a.send("MMEMory:LOAD " + path);
    EXPECT_EQ(q("SYST:ERR?"), "-256,\"File name not found\"");
    EXPECT_EQ(q("SYST:ERR?").left(4), "-256");
}

TEST_F(AnalyserSimTest, SaveTypeDecidesWhetherTheCalibrationIsStored)
{
    const QTemporaryDir dir;
    ASSERT_TRUE(sim.calibrate(1, "SOLT2", {1, 2}));
    a.send("MMEMory:STORe:STYPe STATe");
    a.send("MMEMory:STORe:STATe " + dir.filePath("plain"));
    ASSERT_EQ(q("*OPC?"), "1");
    EXPECT_FALSE(readAll(dir.filePath("plain")).contains("Calibration"));
    // Loading a file without a calibration keeps the channel's own.
    sim.clearCalibration(1);
    ASSERT_TRUE(sim.calibrate(1, "RESPT", {2, 1}));
    a.send("MMEMory:LOAD " + dir.filePath("plain"));
    EXPECT_EQ(q("SENSe1:CORRection:TYPE?"), "RESPT,2,1");
    // A file that is not a state file changes nothing.
    QFile other(dir.filePath("other.txt"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("[VUK\\Settings]\nSetupCount=1\n");
    other.close();
    a.send("SENSe1:SWEep:POINts 7");
    a.send("MMEMory:LOAD " + other.fileName());
    EXPECT_EQ(q("SENSe1:SWEep:POINts?"), "7");
    EXPECT_EQ(q("SYST:ERR?").left(4), "-256");
    // A path that cannot be written is reported.
    a.send("MMEMory:STORe:STATe " + dir.filePath("no/such/dir/x"));
    EXPECT_EQ(q("SYST:ERR?").left(4), "-257");
}

TEST_F(AnalyserSimTest, CalibrationFilesStoreAndRestoreOneChannel)
{
    const QTemporaryDir dir;
    const QString withCal = dir.filePath("calFile"), without = dir.filePath("none");
    a.send("SENSe1:SWEep:POINts 51");
    ASSERT_EQ(q("*OPC?"), "1");
    ASSERT_TRUE(sim.calibrate(1, "SOLT2", {1, 2}));
    a.send("MMEMory:STORe:CHANnel1:CALibration " + withCal);
    a.send("MMEMory:STORe:CHANnel2:CALibration " + without);
    ASSERT_EQ(q("*OPC?"), "1");
    EXPECT_TRUE(readAll(withCal).endsWith('\n'));
    // A preset drops the calibration and the grid; the file brings back the
    // calibration, and the grid decides its status.
    a.send("SYSTem:PRESet");
    EXPECT_EQ(q("CALCulate1:CORRection:STATus?"), "NONE");
    a.send("MMEMory:LOAD:CHANnel1:CALibration " + withCal);
    EXPECT_EQ(q("SENSe1:CORRection:TYPE?"), "SOLT2,1,2");
    EXPECT_EQ(q("CALCulate1:CORRection:STATus?"), "C?");
    a.send("SENSe1:SWEep:POINts 51");
    EXPECT_EQ(q("CALCulate1:CORRection:STATus?"), "C");
    // Loading it into another channel works too; a file without one clears.
    a.send("MMEMory:LOAD:CHANnel3:CALibration " + withCal);
    EXPECT_EQ(q("SENSe3:CORRection:TYPE?"), "SOLT2,1,2");
    a.send("MMEMory:LOAD:CHANnel1:CALibration " + without);
    EXPECT_EQ(q("SENSe1:CORRection:TYPE?"), "NONE");
    EXPECT_EQ(q("SYST:ERR?"), "0,\"No error\"");
}

// ---------------------------------------------------------------- faults

TEST_F(AnalyserSimTest, DelayedReplyHoldsTheConnectionAndKeepsOrder)
{
    Fault f;
    f.kind = FaultKind::Delay;
    f.header = "SENS:FREQ:STAR?";
    f.delayMs = 700;
    ASSERT_TRUE(sim.addFault(f));
    QElapsedTimer clock;
    clock.start();
    a.send("SENSe1:FREQuency:STARt?");
    a.send("SENSe1:SWEep:POINts?");
    EXPECT_EQ(a.readLine(3000), "100000");
    EXPECT_GE(clock.elapsed(), 650);
    EXPECT_EQ(a.readLine(500), "201");
    // Used up: the next one is answered at once.
    clock.restart();
    EXPECT_EQ(q("SENSe1:FREQuency:STARt?"), "100000");
    EXPECT_LT(clock.elapsed(), 500);
}

TEST_F(AnalyserSimTest, DroppedGarbageUnsolicitedAndClosingFaults)
{
    Fault drop;
    drop.kind = FaultKind::Drop;
    drop.header = "*IDN?";
    ASSERT_TRUE(sim.addFault(drop));
    EXPECT_FALSE(a.query("*IDN?", 300));
    EXPECT_EQ(q("*IDN?"), "VUK-SIM,SimVNA,SIM0001,1.0.0");

    Fault garbage;
    garbage.kind = FaultKind::Garbage;
    garbage.header = "SENSe2:SWEep:POINts?"; // channel 2 only
    garbage.text = "1,2,x";
    garbage.count = 2;
    ASSERT_TRUE(sim.addFault(garbage));
    EXPECT_EQ(q("SENSe1:SWEep:POINts?"), "201");
    EXPECT_EQ(q("SENSe2:SWEep:POINts?"), "1,2,x");
    EXPECT_EQ(q("SENS2:SWE:POIN?"), "1,2,x");
    EXPECT_EQ(q("SENSe2:SWEep:POINts?"), "201");

    Fault extra;
    extra.kind = FaultKind::Unsolicited;
    extra.text = "stale";
    ASSERT_TRUE(sim.addFault(extra)); // any query
    EXPECT_EQ(q("SYST:READy?"), "1");
    EXPECT_EQ(a.readLine(1000), "stale");
    sim.sendUnsolicited(0, "hello");
    EXPECT_EQ(a.readLine(1000), "hello");

    // Control queries are never affected.
    Fault any;
    any.kind = FaultKind::Drop;
    any.count = -1;
    ASSERT_TRUE(sim.addFault(any));
    EXPECT_EQ(q("SIM:SWEep:TIME?"), QString::number(Defaults::sweepTimeMs));
    EXPECT_FALSE(a.query("*OPC?", 200));
    sim.clearFaults();
    EXPECT_EQ(q("*OPC?"), "1");

    Fault unknown;
    unknown.header = "NO:SUCH?";
    EXPECT_FALSE(sim.addFault(unknown));

    Fault close;
    close.kind = FaultKind::Close;
    close.header = "SYST:READ?";
    ASSERT_TRUE(sim.addFault(close));
    a.send("SYST:READy?");
    EXPECT_TRUE(a.closedByPeer());
    Client b;
    ASSERT_TRUE(b.connectTo(sim.port()));
    EXPECT_EQ(b.query("SYST:READy?"), "1");
}

// Setter faults: a store that leaves an empty file (a full disk) with its
// error queued, and a command that closes the link instead of running.
TEST_F(AnalyserSimTest, SetterFaultsLeaveAnEmptyFileOrCloseTheLink)
{
    EXPECT_EQ(q("SENSe1:SWEep:TIME?"), "0.1");
    const QTemporaryDir dir;
    const QString state = QDir(dir.path()).filePath("state");
    a.send("SIM:FAULt:WRITe 1,MMEM:STOR:STAT");
    a.send("MMEMory:STORe:STATe " + state);
    EXPECT_EQ(q("*OPC?"), "1");
    EXPECT_TRUE(QFileInfo(state).isFile());
    EXPECT_EQ(QFileInfo(state).size(), 0);
    EXPECT_TRUE(q("SYSTem:ERRor?").startsWith("-257,"));
    a.send("MMEMory:STORe:STATe " + state); // the fault is used up
    EXPECT_EQ(q("*OPC?"), "1");
    EXPECT_GT(QFileInfo(state).size(), 0);

    Fault unknown;
    unknown.kind = FaultKind::Disconnect;
    unknown.header = "NO:SUCH";
    EXPECT_FALSE(sim.addFault(unknown));
    Fault drop;
    drop.kind = FaultKind::Disconnect;
    drop.header = "MMEM:LOAD";
    ASSERT_TRUE(sim.addFault(drop));
    a.send("SENSe1:SWEep:POINts 11");
    a.send("MMEMory:LOAD " + state);
    EXPECT_TRUE(a.closedByPeer());
    EXPECT_EQ(sim.channel(1).points, 11u) << "the load never ran";
    Client b;
    ASSERT_TRUE(b.connectTo(sim.port()));
    b.send("MMEMory:LOAD " + state);
    EXPECT_EQ(b.query("SENSe1:SWEep:POINts?"), "201");
}

TEST_F(AnalyserSimTest, NotReadyAndStalledOpc)
{
    sim.setReady(false);
    EXPECT_EQ(q("SYST:READy?"), "0");
    sim.setReady(true);
    EXPECT_EQ(q("SYST:READy?"), "1");

    sim.setOpcStalled(true);
    Client b;
    ASSERT_TRUE(b.connectTo(sim.port()));
    a.send("*OPC?");
    EXPECT_FALSE(a.readLine(300));
    b.send("ABORt");
    EXPECT_EQ(a.readLine(1000), "1");
    // Still stalled; lifting the stall answers too.
    a.send("*OPC?");
    EXPECT_FALSE(a.readLine(200));
    sim.setOpcStalled(false);
    EXPECT_EQ(a.readLine(1000), "1");
}

TEST_F(AnalyserSimTest, SecondConnectionCanBeRefusedAndConnectionsClosed)
{
    ASSERT_TRUE(sim.waitForConnections(1));
    sim.setMaxConnections(1);
    Client b;
    b.connectTo(sim.port()); // the TCP handshake itself succeeds
    EXPECT_TRUE(b.closedByPeer());
    EXPECT_EQ(q("SYST:READy?"), "1");
    EXPECT_EQ(sim.connections().size(), 1u);

    sim.setMaxConnections(0);
    Client c;
    ASSERT_TRUE(c.connectTo(sim.port()));
    ASSERT_TRUE(sim.waitForConnections(2));
    const int first = sim.connections().front();
    sim.closeConnection(first);
    EXPECT_TRUE(a.closedByPeer());
    EXPECT_EQ(c.query("SYST:READy?"), "1");
    // Reconnecting at any time works.
    Client d;
    ASSERT_TRUE(d.connectTo(sim.port()));
    EXPECT_EQ(d.query("*OPC?"), "1");
}

TEST_F(AnalyserSimTest, ControlRootInjectsFaultsOverTcp)
{
    a.send("SIM:FAULt:GARBage 1,*IDN?,a,b");
    a.send("SIM:FAULt:DROP 1,SERV:PORT:COUN?");
    a.send("SIM:READy 0");
    a.send("SIM:PORT:COUNt 4");
    a.send("SIM:FREQuency:MAXimum 8.5e9");
    a.send("SIM:SWEep:TIME 5");
    EXPECT_EQ(q("*IDN?"), "a,b");
    EXPECT_FALSE(a.query("SERVice:PORT:COUNt?", 300));
    EXPECT_EQ(q("SERVice:PORT:COUNt?"), "4");
    EXPECT_EQ(q("SYST:READy?"), "0");
    EXPECT_EQ(q("SERVice:SWEep:FREQuency:MAXimum?"), "8500000000");
    EXPECT_EQ(q("SENSe1:FREQuency:STOP?"), "8500000000");
    EXPECT_EQ(q("SIM:SWEep:TIME?"), "5");
    a.send("SIM:FAULt:DELay 1,,400");
    QElapsedTimer clock;
    clock.start();
    EXPECT_GT(q("SIM:LOG:COUNt?").toInt(), 0) << "control queries are not delayed";
    EXPECT_EQ(q("SENSe1:SWEep:POINts?"), "201");
    EXPECT_GE(clock.elapsed(), 350);
    a.send("SIM:FAULt:BOGUS 1");
    a.send("SIM:FAULt:DROP 1,NOT:A:QUERY?");
    EXPECT_EQ(q("SYST:ERR?"), "-113,\"Undefined header\"");
    EXPECT_EQ(q("SYST:ERR?").left(4), "-224");
}

// ---------------------------------------------------------------- the program

#ifdef ANALYSER_SIM_PROGRAM
TEST(AnalyserSimProgram, PortZeroPrintsTheChosenPortAndServes)
{
    const QTemporaryDir dir;
    const QString logFile = dir.filePath("sim.log");
    QProcess proc;
    proc.start(ANALYSER_SIM_PROGRAM, {"--port", "0", "--ports", "4", "--scene", "open", "--scene-ports", "3",
                                      "--sweep-time", "0", "--log", logFile});
    ASSERT_TRUE(proc.waitForStarted(5000));
    ASSERT_TRUE(proc.waitForReadyRead(5000));
    bool ok = false;
    const quint16 port = quint16(QString::fromUtf8(proc.readLine()).trimmed().toUInt(&ok));
    ASSERT_TRUE(ok);
    ASSERT_NE(port, 0);
    {
        Client c;
        ASSERT_TRUE(c.connectTo(port));
        EXPECT_EQ(c.query("SERVice:PORT:COUNt?"), "4");
        c.send("SENSe1:SWEep:POINts 3");
        c.send("CALCulate1:PARameter1:DEFine S33");
        const auto f = frequencies(c);
        const auto truth = SynthNet::terminate(fixture(f, FixtureSpec{}), 1.0);
        expectClose(traceData(c), truth.s11(), 1e-14);
    }
    proc.terminate();
    ASSERT_TRUE(proc.waitForFinished(5000));
    const QString log = readAll(logFile);
    EXPECT_TRUE(log.contains("\tCALCulate1:PARameter1:DEFine S33\n"));

    // Bad options end with an error instead of listening.
    QProcess bad;
    bad.start(ANALYSER_SIM_PROGRAM, {"--ports", "0"});
    ASSERT_TRUE(bad.waitForFinished(5000));
    EXPECT_NE(bad.exitCode(), 0);
}

// Told to stop at any moment once it has printed its port, even before its
// event loop runs, it ends normally: the signal is never lost.
TEST(AnalyserSimProgram, EndsWhenToldToStopRightAfterStarting)
{
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        QProcess proc;
        proc.start(ANALYSER_SIM_PROGRAM, {"--port", "0"});
        ASSERT_TRUE(proc.waitForStarted(5000));
        ASSERT_TRUE(proc.waitForReadyRead(5000)) << proc.readAllStandardError().toStdString();
        if (round % 2)
            ::kill(static_cast<pid_t>(proc.processId()), SIGINT);
        else
            proc.terminate();
        ASSERT_TRUE(proc.waitForFinished(5000)) << "still running 5 s after its stop signal";
        EXPECT_EQ(proc.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(proc.exitCode(), 0);
    }
}

// The start scripts/run gives a demo: the low-pass grid and a full two-port
// calibration of ports 1 and 2 made at it, so that the calibration status
// reads exact ("C"), not interpolated.
TEST(AnalyserSimProgram, StartsOnTheGivenSweepCalibratedOnTheGivenPorts)
{
    QProcess proc;
    proc.start(ANALYSER_SIM_PROGRAM,
               {"--port", "0", "--ports", "4", "--sweep", "10e6,20e9,2000", "--calibrated-ports", "1,2"});
    ASSERT_TRUE(proc.waitForStarted(5000));
    ASSERT_TRUE(proc.waitForReadyRead(5000)) << proc.readAllStandardError().toStdString();
    bool ok = false;
    const quint16 port = quint16(QString::fromUtf8(proc.readLine()).trimmed().toUInt(&ok));
    ASSERT_TRUE(ok);
    {
        Client c;
        ASSERT_TRUE(c.connectTo(port));
        EXPECT_EQ(c.query("SENSe1:FREQuency:STARt?"), "10000000");
        EXPECT_EQ(c.query("SENSe1:FREQuency:STOP?"), "20000000000");
        EXPECT_EQ(c.query("SENSe1:SWEep:POINts?"), "2000");
        EXPECT_EQ(c.query("SENSe1:CORRection:TYPE?"), "SOLT2,1,2");
        EXPECT_EQ(c.query("CALCulate1:CORRection:STATus?"), "C");
        EXPECT_EQ(c.query("SYSTem:ERRor?"), "0,\"No error\"");
        // The grid the program's low-pass check asks for: step = start.
        const auto f = frequencies(c);
        ASSERT_EQ(f.size(), 2000u);
        EXPECT_NEAR(f[1] - f[0], f[0], 1e-3);
    }
    proc.terminate();
    ASSERT_TRUE(proc.waitForFinished(5000));
}

TEST(AnalyserSimProgram, RefusesStartOptionsItCannotHonour)
{
    const QList<QStringList> cases = {
        {"--sweep", "20e9,10e6,2000"}, // start above stop
        {"--sweep", "10e6,20e9"}, // no point count
        {"--sweep", "10e6,20e9,2000,4"}, // a value too many
        {"--sweep", "1e3,20e9,2000"}, // below the lowest frequency
        {"--sweep", "10e6,30e9,2000"}, // above the highest
        {"--sweep", "10e6,20e9,200000"}, // more points than the analyser takes
        {"--sweep", "ten,20e9,2000"},    {"--calibrated-ports", "1,5"}, // a port the four-port analyser lacks
        {"--calibrated-ports", "1,1"},   {"--calibrated-ports", "1,2,3,4,4"},
    };
    for (const QStringList &arguments : cases) {
        QProcess bad;
        bad.start(ANALYSER_SIM_PROGRAM, QStringList{"--port", "0", "--ports", "4"} + arguments);
        ASSERT_TRUE(bad.waitForFinished(5000)) << arguments.join(' ').toStdString();
        EXPECT_EQ(bad.exitCode(), 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(bad.readAllStandardError().contains("bad " + arguments[0].toUtf8()))
            << arguments.join(' ').toStdString();
        EXPECT_TRUE(bad.readAllStandardOutput().isEmpty())
            << "no port printed for " << arguments.join(' ').toStdString();
    }
}

#ifdef ANALYSER_SIM_COMMANDS_SOURCE
// --help lists every control command of the simulator's command table, so a
// user needs no source to drive it ("#" suffixes are shown as <ch> or <id>).
TEST(AnalyserSimProgram, HelpListsEveryControlCommand)
{
    QProcess help;
    help.start(ANALYSER_SIM_PROGRAM, {"--help"});
    ASSERT_TRUE(help.waitForFinished(5000));
    const QString text = QString::fromUtf8(help.readAllStandardOutput());
    QFile source(ANALYSER_SIM_COMMANDS_SOURCE);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString table = QString::fromUtf8(source.readAll());
    const QRegularExpression rowPattern(QStringLiteral("\\{\"(SIM:[^\"]+)\""));
    int rows = 0;
    for (auto it = rowPattern.globalMatch(table); it.hasNext(); ++rows) {
        const QString header = it.next().captured(1);
        QString pattern = QRegularExpression::escape(header);
        pattern.replace(QStringLiteral("\\#"), QStringLiteral("<\\w+>"));
        const QRegularExpression listed(pattern + QStringLiteral("(?![A-Za-z:<])"));
        EXPECT_TRUE(listed.match(text).hasMatch()) << header.toStdString() << " is missing from --help";
    }
    EXPECT_GE(rows, 20) << "the command table was not found in " << ANALYSER_SIM_COMMANDS_SOURCE;
}
#endif
#endif
