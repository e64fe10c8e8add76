#include "algorithms/processmethod.h"
#include "algorithms/timegatingtransmission.h"

#include "signallog.h"
#include "synthnet/synthnet.h"

#include <gtest/gtest.h>

#include <tuple>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>
#include <thread>

using namespace Algorithms;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const QString kCanceled = "The measurement was canceled";

// A process whose calculation is a callback, to drive run() and interrupt().
class ScriptedProcess : public IProcessMethod
{
public:
    std::function<bool(ScriptedProcess &)> body;
    int calls = 0;
    bool calculate() override
    {
        ++calls;
        return body ? body(*this) : true;
    }
    bool prepareParameters() override { return true; }
};

// The smallest concrete reflection process: its input is a plain grid.
class GridReflectProcess : public ReflectProcess
{
public:
    RealVector grid;
    bool calculate() override { return prepareParameters(); }
    RealVector frequencies() const override { return grid; }
};

SParametersTwoPort thruOn(const RealVector &f)
{
    return SynthNet::toS(SynthNet::twoXThru(SynthNet::line(f, {50.0, 200e-12, 0.0})));
}

SParametersTwoPort fixtureModel()
{
    return SynthNet::toS(SynthNet::line(SynthNet::harmonicGrid(100e6, 20), {60.0, 1e-10, 0.3}), 50.0, 60.0);
}

} // namespace

TEST(ProcessRun, WithoutParametersFailsWithoutCalculating)
{
    ScriptedProcess process;
    EXPECT_FALSE(process.run());
    EXPECT_EQ(process.calls, 0);
}

TEST(ProcessRun, CancelBeforeTheRunStopsItAtTheFirstPollAndIsClearedAfterwards)
{
    ProcessInputParameters params;
    ScriptedProcess process;
    process.setParameters(&params);
    process.body = [](ScriptedProcess &p) { return !p.isInterrupted(); };
    SignalLog log;
    log.connectText(&process, &IProcessMethod::error, "error");
    log.connectText(&process, &IProcessMethod::modelNotice, "error");

    process.interrupt();
    EXPECT_EQ(log.texts(), std::vector<QString>{kCanceled});
    EXPECT_FALSE(process.run());
    EXPECT_FALSE(process.isInterrupted());
    EXPECT_TRUE(process.run()); // the next run is not affected
    EXPECT_EQ(process.calls, 2);
}

TEST(ProcessRun, FlagIsClearedWhenCalculateThrows)
{
    ProcessInputParameters params;
    ScriptedProcess process;
    process.setParameters(&params);
    process.body = [](ScriptedProcess &p) -> bool {
        p.interrupt();
        throw std::runtime_error("boom");
    };
    EXPECT_THROW(process.run(), std::runtime_error);
    EXPECT_FALSE(process.isInterrupted());
}

TEST(ProcessRun, InterruptFromAnotherThreadEndsAPollingCalculation)
{
    ProcessInputParameters params;
    ScriptedProcess process;
    process.setParameters(&params);
    std::atomic<bool> started{false};
    std::atomic<int> polls{0};
    process.body = [&](ScriptedProcess &p) {
        started = true;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            ++polls;
            if (p.isInterrupted())
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return true; // never interrupted: the test fails below
    };
    std::thread canceller([&] {
        while (!started)
            std::this_thread::yield();
        process.interrupt();
    });
    const bool result = process.run();
    canceller.join();
    EXPECT_FALSE(result);
    EXPECT_GE(polls.load(), 1);
    EXPECT_FALSE(process.isInterrupted());
}

TEST(ProcessParameters, PreparationClassifiesTheGridAndWritesTheDerivedParameters)
{
    struct Case
    {
        const char *name;
        RealVector grid;
        GridMode mode;
        int nTransmission;
        int nReflection;
    };
    RealVector offByOneHz = SynthNet::uniformGrid(1e6 - 1.0, 10e6 - 1.0, 10); // f1 - 2 f0 = 1 Hz
    const std::vector<Case> cases = {
        {"harmonic 1..10 MHz", SynthNet::harmonicGrid(1e6, 10), GridMode::LowPass, 4, 2},
        {"f1 - 2 f0 = 1 Hz is harmonic", offByOneHz, GridMode::LowPass, 4, 2},
        {"f1 - 2 f0 = 1.5 Hz is band-pass", SynthNet::uniformGrid(1e6 - 1.5, 10e6 - 1.5, 10), GridMode::BandPass, 8, 4},
        {"band-pass 1, 1.5, 2 GHz", {1e9, 1.5e9, 2e9}, GridMode::BandPass, 8, 4},
        {"harmonic 100 MHz to 20 GHz", SynthNet::harmonicGrid(100e6, 200), GridMode::LowPass, 4, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const double fmax = c.grid.back();
        const double step = c.grid[1] - c.grid[0];

        ProcessInputParameters params;
        ProcessTimeGate transmission;
        transmission.setParameters(&params);
        SParametersTwoPort input;
        input.setFrequency(c.grid);
        transmission.setInputData(input);
        ASSERT_TRUE(transmission.prepareParameters());
        EXPECT_EQ(params.gatingMode(), c.mode);
        EXPECT_EQ(params.pulseMode(), c.mode);
        EXPECT_DOUBLE_EQ(params.riseTime(), 0.89 / fmax);
        EXPECT_DOUBLE_EQ(params.startZero(), -0.5 / step);
        EXPECT_EQ(params.nRiseTime(), c.nTransmission);

        GridReflectProcess reflection;
        reflection.setParameters(&params);
        reflection.grid = c.grid;
        ASSERT_TRUE(reflection.prepareParameters());
        EXPECT_EQ(params.nRiseTime(), c.nReflection);
        EXPECT_EQ(params.gatingMode(), c.mode);
    }
}

TEST(ProcessParameters, UnusableGridsFailWithTheInvalidInputTextAndWriteNothing)
{
    RealVector nonUniform = SynthNet::harmonicGrid(100e6, 20);
    nonUniform[7] += 5.0;
    // Each refusal keeps the method's text and says why after it.
    const QString fewPoints = "The frequency grid has fewer than 3 points";
    const QString notFinite = "The frequency grid holds a frequency that is not finite or not positive";
    const QString notUniform = "The frequency grid is not uniformly spaced. Use a linear sweep";
    const QString lowPass = "Too few frequency points for the low-pass transform: at least 10 are needed";
    const std::vector<std::tuple<const char *, RealVector, QString>> grids = {
        {"two points", {1e9, 2e9}, fewPoints},
        {"NaN frequency", {1e9, kNaN, 3e9, 4e9}, notFinite},
        {"octaves pass the harmonic test but are not uniform", {1e9, 2e9, 4e9, 8e9}, notUniform},
        {"harmonic with 3 points", {1e6, 2e6, 3e6}, lowPass},
        {"harmonic with 9 points", SynthNet::harmonicGrid(1e6, 9), lowPass},
        {"descending", {3e9, 2e9, 1e9}, notUniform},
        {"repeated point", {1e9, 1e9, 1e9, 1e9}, notUniform},
        {"starting at 0 Hz", SynthNet::uniformGrid(0.0, 1e9, 11), notFinite},
        {"negative frequencies", {-2e9, -1e9, 0.0, 1e9}, notFinite},
        {"one step 5 Hz off", nonUniform, notUniform},
    };
    for (const auto &[name, grid, reason] : grids) {
        SCOPED_TRACE(name);
        ProcessInputParameters params;
        SignalLog paramSignals;
        paramSignals.connect(&params, &ProcessInputParameters::sigRiseTimeChanged, "riseTime");
        paramSignals.connect(&params, &ProcessInputParameters::sigGatingModeChanged, "gatingMode");
        paramSignals.connect(&params, &ProcessInputParameters::sigPulseModeChanged, "pulseMode");
        paramSignals.connect(&params, &ProcessInputParameters::sigStartZeroChanged, "startZero");
        paramSignals.connect(&params, &ProcessInputParameters::sigNRiseTimeChanged, "nRiseTime");

        ProcessTimeGate transmission;
        transmission.setParameters(&params);
        SParametersTwoPort input;
        input.setFrequency(grid);
        transmission.setInputData(input);
        SignalLog errors;
        errors.connectText(&transmission, &IProcessMethod::error, "error");
        errors.connectText(&transmission, &IProcessMethod::modelNotice, "error");
        EXPECT_FALSE(transmission.prepareParameters());
        EXPECT_EQ(errors.texts(), (std::vector<QString>{"Transmission. Invalid input data", reason}));

        GridReflectProcess reflection;
        reflection.setParameters(&params);
        reflection.grid = grid;
        SignalLog reflectionErrors;
        reflectionErrors.connectText(&reflection, &IProcessMethod::error, "error");
        reflectionErrors.connectText(&reflection, &IProcessMethod::modelNotice, "error");
        EXPECT_FALSE(reflection.prepareParameters());
        EXPECT_EQ(reflectionErrors.texts(), (std::vector<QString>{"Reflection. Invalid input data", reason}));

        EXPECT_TRUE(paramSignals.names().empty());
        EXPECT_DOUBLE_EQ(params.riseTime(), 4.9e-11);
    }
}

TEST(ProcessParameters, TestModeKeepsTheTableRiseTimeCount)
{
    ProcessInputParameters params;
    ProcessTimeGate process;
    process.setParameters(&params);
    SParametersTwoPort input;
    input.setFrequency(SynthNet::harmonicGrid(1e6, 10));
    process.setInputData(input);

    params.setNRiseTime(11);
    ASSERT_TRUE(process.prepareParameters());
    EXPECT_EQ(params.nRiseTime(), 4); // overwritten outside test mode

    params.setTestMode(true);
    params.setNRiseTime(11);
    ASSERT_TRUE(process.prepareParameters());
    EXPECT_EQ(params.nRiseTime(), 11);
}

TEST(ProcessPorts, TransmissionSetupChecksPortsOrientsModelsAndForwardsErrors)
{
    ProcessTimeGate process;
    SignalLog errors;
    errors.connectText(&process, &IProcessMethod::error, "error");
    errors.connectText(&process, &IProcessMethod::modelNotice, "error");

    FixturePort left, right, noZ0;
    ASSERT_TRUE(left.setZ0Impedance(50.0));
    ASSERT_TRUE(right.setZ0Impedance(50.0));
    EXPECT_FALSE(process.setFixturesForCalculate(nullptr, &right));
    EXPECT_FALSE(process.setFixturesForCalculate(&left, nullptr));
    EXPECT_FALSE(process.setFixturesForCalculate(&left, &left));
    EXPECT_FALSE(process.setFixturesForCalculate(&left, &noZ0));
    EXPECT_FALSE(process.setFixturesForCalculate(&noZ0, &right));
    EXPECT_EQ(process.leftPort(), nullptr);
    noZ0.setZ0Impedance(kNaN); // the refusal of an unattached port is not forwarded
    left.setZ0Impedance(kNaN); // nor that of a port whose attachment failed
    EXPECT_TRUE(errors.texts().empty());

    // The right port holds a model stored while it was a left port, the
    // left one a model stored on the right side.
    const SParametersTwoPort m = fixtureModel();
    ASSERT_TRUE(right.setCalculatedSParameters(m));
    ASSERT_TRUE(left.setCalculatedSParameters(m));
    left.setSide(true);
    ASSERT_TRUE(process.setFixturesForCalculate(&left, &right));
    EXPECT_EQ(process.leftPort(), &left);
    EXPECT_EQ(process.rightPort(), &right);
    EXPECT_FALSE(left.side());
    EXPECT_TRUE(right.side());
    EXPECT_EQ(right.uncorrectedSParameters()->s11(), m.s22());
    EXPECT_EQ(right.uncorrectedSParameters()->s21(), m.s12());
    EXPECT_EQ(left.uncorrectedSParameters()->s11(), m.s22());

    // Attaching again neither swaps back nor doubles the forwarding.
    ASSERT_TRUE(process.setFixturesForCalculate(&left, &right));
    EXPECT_EQ(right.uncorrectedSParameters()->s11(), m.s22());
    right.setZ0Impedance(kNaN);
    EXPECT_EQ(errors.texts(),
              std::vector<QString>{"Invalid Z0 impedance. It is recommended using the latest VNA software version"});
}

TEST(ProcessPorts, ReflectionSetupChecksThePortAndTurnsARightModelLeft)
{
    GridReflectProcess process;
    SignalLog errors;
    errors.connectText(&process, &IProcessMethod::error, "error");
    errors.connectText(&process, &IProcessMethod::modelNotice, "error");
    FixturePort port;
    EXPECT_FALSE(process.setFixturesForCalculate(nullptr));
    EXPECT_FALSE(process.setFixturesForCalculate(&port)); // no portZ0
    port.setCustomImpedance(kNaN);
    EXPECT_TRUE(errors.texts().empty());

    ASSERT_TRUE(port.setZ0Impedance(50.0));
    const SParametersTwoPort m = fixtureModel();
    ASSERT_TRUE(port.setCalculatedSParameters(m));
    port.setSide(true);
    ASSERT_TRUE(process.setFixturesForCalculate(&port));
    EXPECT_EQ(process.port(), &port);
    EXPECT_FALSE(port.side());
    EXPECT_EQ(port.uncorrectedSParameters()->s11(), m.s22());
    port.setCustomImpedance(kNaN);
    EXPECT_EQ(errors.texts(), std::vector<QString>{"Invalid custom impedance value."});
}

TEST(ProcessPorts, BaseDutCorrectionsRefuseWithTheirTexts)
{
    GridReflectProcess reflection;
    ProcessTimeGate transmission;
    SignalLog log;
    log.connectText(&reflection, &IProcessMethod::error, "reflection");
    log.connectText(&reflection, &IProcessMethod::modelNotice, "reflection");
    log.connectText(&transmission, &IProcessMethod::error, "transmission");
    log.connectText(&transmission, &IProcessMethod::modelNotice, "transmission");
    EXPECT_FALSE(reflection.calculateDUT(SParametersOnePort()));
    // The time-gating DUT correction is not available yet: the base answers.
    EXPECT_FALSE(transmission.TransmissionProcess::calculateDUT(SParametersOnePort(), SParametersOnePort()));
    EXPECT_EQ(log.texts(), (std::vector<QString>{"The correction method does not support this measurement",
                                                 "This process does not have a DUT calculation method"}));
}

TEST(ProcessPorts, TransmissionCalculateRefusesIncompleteOrNonFiniteInput)
{
    const RealVector f = SynthNet::harmonicGrid(100e6, 50);
    SParametersTwoPort shortS12 = thruOn(f);
    shortS12.s12().pop_back();
    SParametersTwoPort nanS12 = thruOn(f);
    nanS12.s12()[20] = Complex(kNaN, 0.0);
    SParametersTwoPort infS22 = thruOn(f);
    infS22.s22()[3] = Complex(0.0, std::numeric_limits<double>::infinity());
    // The method's text, then which parameter, point and frequency.
    struct Input
    {
        const char *name;
        SParametersTwoPort input;
        QString because; // empty: the method's text alone
    };
    const Input inputs[] = {
        {"S12 one point short", shortS12, "The measured S12 has 49 points, the frequency grid 50"},
        {"NaN only in S12", nanS12, "The measured S12 is not a number (NaN) at 2.1 GHz, point 21 of 50"},
        {"infinity in S22", infS22, "The measured S22 is infinite at 0.4 GHz, point 4 of 50"},
        {"empty", SParametersTwoPort(), QString()},
    };
    for (const Input &c : inputs) {
        SCOPED_TRACE(c.name);
        ProcessInputParameters params;
        ProcessTimeGate process;
        process.setParameters(&params);
        FixturePort left, right;
        left.setZ0Impedance(50.0);
        right.setZ0Impedance(50.0);
        ASSERT_TRUE(process.setFixturesForCalculate(&left, &right));
        process.setInputData(c.input);
        SignalLog log;
        log.connectText(&process, &IProcessMethod::error, "error");
        log.connectText(&process, &IProcessMethod::modelNotice, "error");
        EXPECT_FALSE(process.run());
        std::vector<QString> expected;
        expected.push_back("Transmission. Invalid input data");
        if (!c.because.isEmpty())
            expected.push_back(c.because);
        EXPECT_EQ(log.texts(), expected);
        EXPECT_FALSE(left.impulseResponse());
    }

    // Without ports the same text.
    ProcessInputParameters params;
    ProcessTimeGate process;
    process.setParameters(&params);
    process.setInputData(thruOn(f));
    SignalLog log;
    log.connectText(&process, &IProcessMethod::error, "error");
    log.connectText(&process, &IProcessMethod::modelNotice, "error");
    EXPECT_FALSE(process.run());
    EXPECT_EQ(log.texts(), std::vector<QString>{"Transmission. Invalid input data"});
}
