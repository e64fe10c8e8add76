#include "proxytestsupport.h"

#include "device/syncedvnadevice.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>

namespace {

using namespace ProxyTest;
using AnalyserSim::Fault;
using AnalyserSim::FaultKind;
using Counts = std::map<std::string, int>;

class Proxy : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
        makeProxy(fastTiming());
    }

    void makeProxy(const VnaTiming &timing)
    {
        counter.reset();
        proxy = std::make_unique<SyncedVnaDevice>(nullptr, timing);
        proxy->setPort(sim.port());
        counter = std::make_unique<SignalCounter>(proxy.get());
    }

    bool sync() { return syncNow(*proxy); }

    // Two polls: the second one reads the impedances of the ports counted by
    // the first.
    void settle()
    {
        ASSERT_TRUE(sync());
        ASSERT_TRUE(sync());
        counter->take();
        sim.clearLog();
    }

    void addFault(FaultKind kind, const QString &header, int count = -1)
    {
        Fault fault;
        fault.kind = kind;
        fault.header = header;
        fault.count = count;
        fault.text = QStringLiteral("garbage");
        ASSERT_TRUE(sim.addFault(fault)) << header.toStdString();
    }

    AnalyserSim::Simulator sim;
    std::unique_ptr<SyncedVnaDevice> proxy;
    std::unique_ptr<SignalCounter> counter;
};

const Counts firstPollSignals = {
    {"isReadyChanged", 1},        {"sweepTypeChanged", 1},       {"startFreqChanged", 1},
    {"stopFreqChanged", 1},       {"maxFreqChanged", 1},         {"pointsCountChanged", 1},
    {"stepFreqChanged", 1},       {"ifBandwidthChanged", 1},     {"outputPowerChanged", 1},
    {"vnaInfoChanged", 1},        {"calibrationTypeChanged", 1}, {"isExtrapolatedChanged", 1},
    {"isInterpolatedChanged", 1}, {"portsCountChanged", 1},
};

TEST_F(Proxy, PollFillsEveryCachedValueWithOneSignalPerChange)
{
    EXPECT_FALSE(proxy->isConnected());
    ASSERT_TRUE(sync());

    EXPECT_TRUE(proxy->isConnected());
    EXPECT_EQ(proxy->isReady(), true);
    EXPECT_EQ(proxy->sweepType(), SweepType::Linear);
    EXPECT_EQ(proxy->startFreq(), 100e3);
    EXPECT_EQ(proxy->stopFreq(), 20e9);
    EXPECT_EQ(proxy->maxFreq(), 20e9);
    EXPECT_EQ(proxy->pointsCount(), 201u);
    ASSERT_TRUE(proxy->stepFreq());
    EXPECT_DOUBLE_EQ(*proxy->stepFreq(), (20e9 - 100e3) / 200);
    EXPECT_EQ(proxy->ifBandwidth(), 10e3);
    EXPECT_EQ(proxy->outputPower(), 0.0);
    ASSERT_TRUE(proxy->vnaInfo());
    EXPECT_EQ(proxy->vnaInfo()->model(), "SimVNA");
    EXPECT_EQ(proxy->vnaInfo()->serialNumber(), "SIM0001");
    EXPECT_EQ(proxy->vnaInfo()->version(), "1.0.0");
    EXPECT_EQ(proxy->calibrationType(), VNADevice::CalibrationType::CorrectionOff); // correction status NONE
    EXPECT_EQ(proxy->isExtrapolated(), false);
    EXPECT_EQ(proxy->isInterpolated(), false);
    EXPECT_TRUE(proxy->calibratedPorts().empty());
    EXPECT_EQ(proxy->portsCount(), 2u);
    // The first poll does not know the port count yet.
    EXPECT_TRUE(proxy->impedances().empty());
    EXPECT_EQ(counter->take(), firstPollSignals);

    // The second poll reads one impedance per port; nothing else changed.
    ASSERT_TRUE(sync());
    EXPECT_EQ(proxy->impedance(0), 50.0);
    EXPECT_EQ(proxy->impedance(1), 50.0);
    EXPECT_EQ(proxy->impedance(2), std::nullopt);
    EXPECT_EQ(counter->take(), (Counts{{"impedancesChanged", 1}}));

    // A steady analyser: a poll emits nothing, with one exchange per value.
    sim.clearLog();
    ASSERT_TRUE(sync());
    EXPECT_EQ(counter->take(), Counts{});
    const auto log = logTexts(sim);
    EXPECT_EQ(log.size(), 17u);
    EXPECT_EQ(countOf(log, "SENSe:CORRection:PORT1:IMPedance?"), 1);
    EXPECT_EQ(countOf(log, "SENSe:CORRection:PORT2:IMPedance?"), 1);
    EXPECT_EQ(log.front(), "SYST:READy?");
    EXPECT_EQ(log.back(), "SERVice:PORT:COUNt?");
}

TEST_F(Proxy, QmlPropertiesFollowTheCache)
{
    EXPECT_FALSE(proxy->property("portsCount").isValid());
    EXPECT_FALSE(proxy->property("isReady").isValid());
    EXPECT_FALSE(proxy->property("vnaInfo").isValid());
    EXPECT_TRUE(proxy->property("calibratedPorts").value<QVector<double>>().isEmpty());
    settle();
    EXPECT_EQ(proxy->property("portsCount").toUInt(), 2u);
    EXPECT_EQ(proxy->property("isReady").toBool(), true);
    EXPECT_EQ(proxy->property("vnaInfo").value<VnaInfo>().model(), "SimVNA");
    EXPECT_EQ(proxy->property("isConnected").toBool(), true);
    EXPECT_EQ(proxy->property("address").toString(), "127.0.0.1");
}

struct FailingQuery
{
    const char *name;
    QString header;
    // The signals of the polls after the query starts failing.
    std::vector<Counts> perPoll;
};

class ProxyFailingQuery : public Proxy, public ::testing::WithParamInterface<FailingQuery>
{};

TEST_P(ProxyFailingQuery, SignalsByTheChangeRules)
{
    const FailingQuery param = GetParam();
    settle();
    addFault(FaultKind::Garbage, param.header);
    for (size_t i = 0; i < param.perPoll.size(); ++i) {
        ASSERT_TRUE(sync());
        EXPECT_EQ(counter->take(), param.perPoll[i]) << param.name << ", poll " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProxyFailingQuery,
    ::testing::Values(
        // Confirmation rule: an absent reply emits on every poll (the step
        // frequency depends on it and is absent too).
        FailingQuery{
            "start",
            "SENS:FREQ:STAR?",
            {{{"startFreqChanged", 1}, {"stepFreqChanged", 1}}, {{"startFreqChanged", 1}, {"stepFreqChanged", 1}}}},
        // Change rule: only the transition to absent emits.
        FailingQuery{"sweepType", "SENS:SWE:TYPE?", {{{"sweepTypeChanged", 1}}, {}}},
        FailingQuery{"points",
                     "SENS:SWE:POIN?",
                     {{{"pointsCountChanged", 1}, {"stepFreqChanged", 1}}, {{"stepFreqChanged", 1}}}},
        // The port count signals only real changes; without it the next
        // poll reads no impedances.
        FailingQuery{"portsCount", "SERV:PORT:COUN?", {{{"portsCountChanged", 1}}, {{"impedancesChanged", 1}}, {}}},
        FailingQuery{"identity", "*IDN?", {{{"vnaInfoChanged", 1}}, {{"vnaInfoChanged", 1}}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Proxy, NotReadyChangesOnlyReadiness)
{
    settle();
    sim.setReady(false);
    EXPECT_FALSE(sync());
    EXPECT_EQ(counter->take(), (Counts{{"isReadyChanged", 1}}));
    EXPECT_EQ(proxy->isReady(), false);
    EXPECT_EQ(proxy->startFreq(), 100e3); // last polled values are kept
    EXPECT_EQ(proxy->portsCount(), 2u);
    EXPECT_EQ(proxy->impedance(1), 50.0);

    sim.clearLog();
    EXPECT_FALSE(sync());
    EXPECT_EQ(counter->take(), Counts{});
    EXPECT_EQ(logTexts(sim), std::vector<QString>{"SYST:READy?"});

    sim.setReady(true);
    EXPECT_TRUE(sync());
    EXPECT_EQ(counter->take(), (Counts{{"isReadyChanged", 1}}));
}

TEST_F(Proxy, LostAnalyserClearsTheCacheOnEveryPoll)
{
    settle();
    int connectedSignals = 0;
    // The counter goes with this test's locals: the proxy outlives them and
    // still signals while it shuts down.
    QObject counterScope;
    QObject::connect(proxy.get(), &SyncedVnaDevice::isConnectedChanged, &counterScope, [&] { ++connectedSignals; });
    const quint16 port = sim.port();
    sim.stop();
    // The worker sees the closed connection between tasks.
    EXPECT_TRUE(TestSupport::waitUntil(
        "the proxy to see the closed connection", [&] { return !proxy->isConnected(); }, 3000));

    EXPECT_FALSE(sync());
    Counts reset = firstPollSignals;
    reset["calibratedPortsChanged"] = 1;
    reset["impedancesChanged"] = 1;
    EXPECT_EQ(counter->take(), reset);
    EXPECT_FALSE(proxy->isConnected());
    EXPECT_GT(connectedSignals, 0);
    EXPECT_FALSE(proxy->isReady());
    EXPECT_FALSE(proxy->startFreq());
    EXPECT_FALSE(proxy->stepFreq());
    EXPECT_FALSE(proxy->vnaInfo());
    EXPECT_FALSE(proxy->portsCount());
    EXPECT_TRUE(proxy->impedances().empty());

    // Again on the next poll, except the port count, which is already absent.
    EXPECT_FALSE(sync());
    reset.erase("portsCountChanged");
    EXPECT_EQ(counter->take(), reset);

    // Back again: the poll reconnects.
    ASSERT_TRUE(sim.start(QStringLiteral("127.0.0.1"), port));
    EXPECT_TRUE(sync());
    EXPECT_TRUE(proxy->isConnected());
    EXPECT_EQ(proxy->startFreq(), 100e3);
}

TEST_F(Proxy, ChangingThePortMovesToTheNewPeerOnePollLater)
{
    AnalyserSim::Options options;
    options.portCount = 4;
    AnalyserSim::Simulator other(options);
    ASSERT_TRUE(other.start());
    settle();

    proxy->setPort(other.port());
    EXPECT_EQ(counter->take(), (Counts{{"portChanged", 1}}));
    EXPECT_FALSE(sync()); // the old connection is dropped, the cache cleared
    EXPECT_FALSE(proxy->portsCount());
    // Both connections move on the next poll.
    EXPECT_TRUE(sync());
    EXPECT_EQ(proxy->portsCount(), 4u);
    EXPECT_FALSE(other.log().empty());
}

TEST_F(Proxy, AddressWriteSignalsOnceAndSendsNothing)
{
    proxy->setAddress(QStringLiteral("127.0.0.2"));
    proxy->setAddress(QStringLiteral("127.0.0.2"));
    proxy->setPort(sim.port());
    EXPECT_EQ(counter->take(), (Counts{{"addressChanged", 1}}));
    EXPECT_EQ(proxy->address(), "127.0.0.2");
    drain(*proxy);
    EXPECT_TRUE(sim.log().empty());
}

TEST_F(Proxy, SettersReachTheAnalyserAndTheCache)
{
    settle();
    proxy->setSweepType(SweepType::Logarithmic);
    proxy->setStartFreq(1e9);
    proxy->setStopFreq(5e9);
    proxy->setPointsCount(101);
    proxy->setIfBandwidth(1e3);
    proxy->setOutputPower(-10);
    drain(*proxy);
    // Stored (and signalled) by the setters' own tasks, before any poll.
    EXPECT_EQ(proxy->startFreq(), 1e9);
    EXPECT_EQ(proxy->pointsCount(), 101u);
    EXPECT_EQ(counter->take(), (Counts{{"sweepTypeChanged", 1},
                                       {"startFreqChanged", 1},
                                       {"stopFreqChanged", 1},
                                       {"pointsCountChanged", 1},
                                       {"ifBandwidthChanged", 1},
                                       {"outputPowerChanged", 1}}));

    ASSERT_TRUE(sync());
    const auto channel = sim.channel(1);
    EXPECT_EQ(channel.sweepType, "LOG");
    EXPECT_EQ(channel.start, 1e9);
    EXPECT_EQ(channel.stop, 5e9);
    EXPECT_EQ(channel.points, 101u);
    EXPECT_EQ(channel.ifBandwidth, 1e3);
    EXPECT_EQ(channel.power, -10.0);
    EXPECT_EQ(proxy->sweepType(), SweepType::Logarithmic);
    EXPECT_EQ(proxy->stopFreq(), 5e9);
    EXPECT_EQ(proxy->ifBandwidth(), 1e3);
    EXPECT_EQ(proxy->outputPower(), -10.0);
    EXPECT_DOUBLE_EQ(proxy->stepFreq().value_or(0), 4e9 / 100);
    // The poll confirms the written values: only the step frequency changes.
    EXPECT_EQ(counter->take(), (Counts{{"stepFreqChanged", 1}}));

    const auto log = logTexts(sim);
    for (const char *command :
         {"SENSe1:SWEep:TYPE LOG", "SENSe1:FREQuency:STARt 1000000000", "SENSe1:FREQuency:STOP 5000000000",
          "SENSe1:SWEep:POINts 101", "SENSe1:BWIDth:RESolution 1000", "SOURce1:POWer:LEVel:IMMediate:AMPLitude -10"})
        EXPECT_EQ(countOf(log, command), 1) << command;
}

// The equality test runs on the worker, after the setters queued before it.
TEST_F(Proxy, ASetterBackToTheCachedValueAfterAnotherStillApplies)
{
    sim.execute(QStringLiteral("SENS1:FREQ:STAR 1e9"));
    settle();
    ASSERT_EQ(proxy->startFreq(), 1e9);
    proxy->setStartFreq(2e9);
    proxy->setStartFreq(1e9);
    ASSERT_TRUE(sync());
    EXPECT_EQ(sim.channel(1).start, 1e9);
    EXPECT_EQ(proxy->startFreq(), 1e9);
    const auto log = logTexts(sim);
    EXPECT_LT(indexOf(log, "SENSe1:FREQuency:STARt 2000000000"), indexOf(log, "SENSe1:FREQuency:STARt 1000000000"));
}

struct SetterCase
{
    const char *name;
    std::function<void(SyncedVnaDevice &)> call;
    QString command; // the command text it would send
    bool sent;
};

class ProxySetter : public Proxy, public ::testing::WithParamInterface<SetterCase>
{};

TEST_P(ProxySetter, SendsOnlyWhenTheCacheDiffers)
{
    const SetterCase param = GetParam();
    settle();
    param.call(*proxy);
    // A poll behind it: the analyser has then taken the setter's command.
    ASSERT_TRUE(sync());
    EXPECT_EQ(countOf(logTexts(sim), param.command), param.sent ? 1 : 0) << param.name;
}

INSTANTIATE_TEST_SUITE_P(
    CacheTests, ProxySetter,
    ::testing::Values(
        SetterCase{"startWithinTolerance", [](SyncedVnaDevice &p) { p.setStartFreq(100e3 * (1 + 1e-13)); },
                   "SENSe1:FREQuency:STARt 100000", false},
        SetterCase{"startOutsideTolerance", [](SyncedVnaDevice &p) { p.setStartFreq(100e3 * (1 + 1e-9)); },
                   "SENSe1:FREQuency:STARt 100000.0001", true},
        SetterCase{"powerZeroVersusTiny", [](SyncedVnaDevice &p) { p.setOutputPower(1e-300); },
                   "SOURce1:POWer:LEVel:IMMediate:AMPLitude 1e-300", true},
        SetterCase{"stopBelowStart", [](SyncedVnaDevice &p) { p.setStopFreq(50e3); }, "SENSe1:FREQuency:STOP 50000",
                   false},
        SetterCase{"stopEqualToCachedStop", [](SyncedVnaDevice &p) { p.setStopFreq(20e9); },
                   "SENSe1:FREQuency:STOP 2e+10", true},
        SetterCase{"pointsEqual", [](SyncedVnaDevice &p) { p.setPointsCount(201); }, "SENSe1:SWEep:POINts 201", false},
        SetterCase{"sweepTypeEqual", [](SyncedVnaDevice &p) { p.setSweepType(SweepType::Linear); },
                   "SENSe1:SWEep:TYPE LIN", false},
        SetterCase{"impedanceTruncatesThePort", [](SyncedVnaDevice &p) { p.setImpedance(1.9, 75); },
                   "SENSe:CORRection:PORT2:IMPedance 75", true},
        SetterCase{"autoscale", [](SyncedVnaDevice &p) { p.setYTraceAutoslace(2); }, "DISPlay:WINDow:TRACe3:Y:AUTO",
                   true},
        SetterCase{"calibrationFileOnTheActiveChannel",
                   [](SyncedVnaDevice &p) { p.saveCalibrationFile(QStringLiteral("/tmp/cal")); },
                   "MMEMory:STORe:CHANnel1:CALibration /tmp/cal", true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Proxy, ChannelSettersBeforeTheFirstPollDoNothing)
{
    proxy->setPointsCount(101);
    proxy->setNumberOfTraces(2);
    drain(*proxy);
    EXPECT_FALSE(proxy->pointsCount());
    EXPECT_EQ(counter->take(), Counts{});
    ASSERT_TRUE(sync());
    EXPECT_EQ(sim.channel(1).points, 201u);
    EXPECT_EQ(countStartingWith(logTexts(sim), "SENSe1:SWEep:POINts "), 0);
}

TEST_F(Proxy, PowerSourceAndImpedanceReachTheAnalyser)
{
    settle();
    proxy->setEnablePowerSource(false);
    proxy->setImpedance(1.9, 75);
    ASSERT_TRUE(sync());
    EXPECT_EQ(proxy->enablePowerSourceState(), false);
    EXPECT_FALSE(sim.state().outputEnabled);
    EXPECT_EQ(countOf(logTexts(sim), "OUTPut 0"), 1);
    EXPECT_EQ(proxy->impedance(1), 75.0);
    EXPECT_EQ(counter->take(), (Counts{{"enablePowerSourceStateChanged", 1}, {"impedancesChanged", 1}}));
}

TEST_F(Proxy, CalibrationStateAndPortsAreCached)
{
    settle();
    ASSERT_TRUE(sim.calibrate(1, QStringLiteral("SOLT2"), {1, 2}));
    ASSERT_TRUE(sync());
    EXPECT_EQ(proxy->calibrationType(), VNADevice::CalibrationType::Solt2);
    EXPECT_EQ(proxy->calibratedPorts(), (std::vector<double>{0, 1}));
    EXPECT_EQ(proxy->property("calibratedPorts").value<QVector<double>>(), (QVector<double>{0, 1}));
    EXPECT_EQ(counter->take(), (Counts{{"calibrationTypeChanged", 1}, {"calibratedPortsChanged", 1}}));

    // A type query without reply: the calibration type becomes absent, the
    // calibrated ports keep their last value.
    addFault(FaultKind::Drop, QStringLiteral("SENS:CORR:TYPE?"));
    ASSERT_TRUE(sync());
    EXPECT_EQ(proxy->calibrationType(), std::nullopt);
    EXPECT_EQ(proxy->calibratedPorts(), (std::vector<double>{0, 1}));
    EXPECT_EQ(counter->take(), (Counts{{"calibrationTypeChanged", 1}}));
}

TEST_F(Proxy, ReadsTheFrequencyGridOfTheActiveChannel)
{
    using Grid = std::optional<std::vector<double>>;
    EXPECT_FALSE(waitFor<Grid>([&](auto done) { proxy->pushReadFrequencies(done); }));
    settle();
    const Grid grid = waitFor<Grid>([&](auto done) { proxy->pushReadFrequencies(done); });
    ASSERT_TRUE(grid);
    EXPECT_EQ(*grid, sim.frequencyGrid(1));
    EXPECT_EQ(grid->size(), 201u);
}

TEST_F(Proxy, ReadsTheStateFileSaveType)
{
    using Type = std::optional<VNADevice::SaveType>;
    settle();
    sim.execute(QStringLiteral("MMEM:STOR:STYP CDST"));
    EXPECT_EQ(waitFor<Type>([&](auto done) { proxy->pushReadStateFileSaveType(done); }), VNADevice::SaveType::CDSTate);
}

// ------------------------------------------------------------ measurement

TEST_F(Proxy, SeveralPortPairsAreMeasuredWithOneSweep)
{
    settle();
    const std::vector<SyncedVnaDevice::PortPair> pairs = {{1, 0}, {0, 0}, {0, 1}, {1, 1}};
    const auto result = waitFor<SyncedVnaDevice::MeasureResult>([&](auto done) { proxy->pushMeasure(pairs, done); });
    ASSERT_TRUE(result);
    ASSERT_EQ(result->size(), pairs.size());

    const auto grid = sim.frequencyGrid(1);
    for (size_t i = 0; i < pairs.size(); ++i) {
        const auto expected = sim.sceneS(pairs[i].first + 1, pairs[i].second + 1, grid);
        ASSERT_EQ((*result)[i].size(), grid.size());
        for (size_t k = 0; k < grid.size(); ++k) {
            // The values travel as the shortest text that reads back exactly.
            ASSERT_EQ((*result)[i][k], expected[k]) << "pair " << i << ", point " << k;
        }
    }
    // The transmission is not trivial: the scene is a 2x-thru.
    EXPECT_GT(std::abs((*result)[0][0]), 0.5);

    const auto log = logTexts(sim);
    EXPECT_EQ(countOf(log, ":TRIG:SING"), 1);
    EXPECT_EQ(countOf(log, "*OPC?"), 1);
    const int count = indexOf(log, "CALCulate1:PARameter:COUNt 4");
    const int s21 = indexOf(log, "CALCulate1:PARameter1:DEFine S21");
    const int s11 = indexOf(log, "CALCulate1:PARameter2:DEFine S11");
    const int s12 = indexOf(log, "CALCulate1:PARameter3:DEFine S12");
    const int s22 = indexOf(log, "CALCulate1:PARameter4:DEFine S22");
    const int trigger = indexOf(log, ":TRIG:SING");
    const int opc = indexOf(log, "*OPC?");
    const int lastData = indexOf(log, "CALCulate1:TRACe4:DATA:SDATa?");
    EXPECT_GE(count, 0);
    EXPECT_LT(count, s21);
    EXPECT_LT(s21, s11);
    EXPECT_LT(s11, s12);
    EXPECT_LT(s12, s22);
    EXPECT_LT(s22, trigger);
    EXPECT_LT(trigger, opc);
    EXPECT_LT(opc, lastData);
}

TEST_F(Proxy, OneSParameterIsHandedOnAsOneTrace)
{
    settle();
    using Trace = std::optional<SyncedVnaDevice::Trace>;
    const Trace trace = waitFor<Trace>([&](auto done) { proxy->pushSParameter(1, 0, done); });
    ASSERT_TRUE(trace);
    EXPECT_EQ(*trace, sim.sceneS(2, 1, sim.frequencyGrid(1)));
    EXPECT_EQ(countOf(logTexts(sim), "CALCulate1:PARameter1:DEFine S21"), 1);
}

namespace {
std::mutex logMutex;
std::vector<QString> debugLines;
void collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    std::lock_guard<std::mutex> lock(logMutex);
    debugLines.push_back(message);
}
} // namespace

TEST_F(Proxy, AFailedTraceReadFailsTheWholeMeasurement)
{
    settle();
    addFault(FaultKind::Garbage, QStringLiteral("CALC1:TRAC2:DATA:SDAT?"));
    debugLines.clear();
    const auto previous = qInstallMessageHandler(collect);
    const auto result = waitFor<SyncedVnaDevice::MeasureResult>([&](auto done) {
        proxy->pushMeasure({{0, 0}, {1, 0}}, done);
    });
    qInstallMessageHandler(previous);
    EXPECT_FALSE(result);
    std::lock_guard<std::mutex> lock(logMutex);
    EXPECT_NE(std::find(debugLines.begin(), debugLines.end(), "Measure 2 failed"), debugLines.end());
}

TEST_F(Proxy, MeasurementWithoutActiveChannelFailsAtOnceAndSendsNothing)
{
    const auto result = waitFor<SyncedVnaDevice::MeasureResult>([&](auto done) { proxy->pushMeasure({{1, 0}}, done); });
    EXPECT_FALSE(result);
    EXPECT_TRUE(sim.log().empty());
}

TEST_F(Proxy, InterruptEndsAWaitingSweepAndLaterTasksStillRun)
{
    settle();
    sim.setOpcStalled(true);
    SyncedVnaDevice::MeasureResult measured = std::vector<SyncedVnaDevice::Trace>{};
    Checker measuring;
    proxy->pushMeasure({{1, 0}}, WaitCompletion<SyncedVnaDevice::MeasureResult>(measuring, measured));
    std::optional<std::vector<double>> grid;
    Checker reading;
    proxy->pushReadFrequencies(WaitCompletion<std::optional<std::vector<double>>>(reading, grid));

    ASSERT_TRUE(sim.waitForCommand(QStringLiteral("*OPC?")));
    QElapsedTimer timer;
    timer.start();
    proxy->interrupt();
    measuring.wait();
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(measured);
    reading.wait();
    EXPECT_TRUE(grid);

    const auto log = sim.log();
    int opcConnection = -1, abortConnection = -1;
    for (const auto &entry : log) {
        if (entry.text == "*OPC?")
            opcConnection = entry.connection;
        if (entry.text == "ABORt")
            abortConnection = entry.connection;
    }
    EXPECT_NE(abortConnection, -1);
    EXPECT_NE(abortConnection, opcConnection);
}

// Destroying the proxy while a sweep waits and tasks are queued: the running
// query ends, the queued task is dropped, and both waiters are released.
TEST_F(Proxy, DestructionReleasesEveryWaiter)
{
    settle();
    sim.setOpcStalled(true);
    SyncedVnaDevice::MeasureResult measured = std::vector<SyncedVnaDevice::Trace>{};
    bool synced = true;
    Checker measuring, syncing;
    proxy->pushMeasure({{1, 0}}, WaitCompletion<SyncedVnaDevice::MeasureResult>(measuring, measured));
    proxy->pushSync(WaitCompletion<bool>(syncing, synced));
    ASSERT_TRUE(sim.waitForCommand(QStringLiteral("*OPC?")));

    counter.reset();
    proxy.reset();
    measuring.wait();
    syncing.wait();
    EXPECT_FALSE(measured);
    EXPECT_FALSE(synced);
}

// isConnected and the cache are read from other threads while the worker
// polls; the reads never block on or touch the worker's sockets.
TEST_F(Proxy, CacheReadsFromOtherThreadsDuringPolls)
{
    std::atomic<bool> stop{false};
    std::atomic<int> connectedReads{0};
    std::thread reader([&] {
        while (!stop) {
            if (proxy->isConnected())
                ++connectedReads;
            (void)proxy->startFreq();
            (void)proxy->impedances();
            (void)proxy->vnaInfo();
        }
    });
    // At least five polls, and more (up to 200) until the reader, which a
    // loaded machine may start late, has read while connected.
    for (int i = 0; i < 5 || (connectedReads == 0 && i < 200); ++i)
        ASSERT_TRUE(sync());
    // Polls take microseconds: on a loaded machine the reader may not have
    // run yet, so keep polling (a bounded number of times) until it has.
    for (int i = 0; i < 1000 && connectedReads == 0; ++i)
        ASSERT_TRUE(sync());
    stop = true;
    reader.join();
    EXPECT_GT(connectedReads, 0);
}

// ------------------------------------------------- the real time constants

TEST_F(Proxy, PollRunsOnceASecondWithTheDefaultTiming)
{
    makeProxy(VnaTiming{});
    proxy->setPort(sim.port());
    proxy->startPolling();
    ASSERT_TRUE(sim.waitForLog(
        [](const std::vector<AnalyserSim::LogEntry> &log) {
            int polls = 0;
            for (const auto &entry : log)
                polls += entry.text == "SYST:READy?";
            return polls >= 3;
        },
        6000));
    std::vector<qint64> times;
    for (const auto &entry : sim.log())
        if (entry.text == "SYST:READy?")
            times.push_back(entry.timeMs);
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_GE(times[i] - times[i - 1], 1000);
        EXPECT_LT(times[i] - times[i - 1], 1800);
    }
    EXPECT_EQ(proxy->startFreq(), 100e3);
}

TEST_F(Proxy, QueryTimesOutAfterThreeSecondsWithTheDefaultTiming)
{
    makeProxy(VnaTiming{});
    ASSERT_TRUE(sync());
    addFault(FaultKind::Drop, QStringLiteral("SENS:FREQ:STAR?"), 1);
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(sync());
    EXPECT_GE(timer.elapsed(), 2900);
    EXPECT_LT(timer.elapsed(), 6000);
    EXPECT_FALSE(proxy->startFreq());
    EXPECT_EQ(proxy->stopFreq(), 20e9);
}

TEST_F(Proxy, AHostNameNeverConnectsAndCostsTheFullConnectTimeout)
{
    makeProxy(VnaTiming{});
    proxy->setAddress(QStringLiteral("localhost"));
    counter->take();
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(sync());
    EXPECT_GE(timer.elapsed(), 2900);
    EXPECT_FALSE(proxy->isConnected());
    EXPECT_EQ(counter->take().count("isReadyChanged"), 1u);
    EXPECT_TRUE(sim.log().empty());
}

} // namespace
