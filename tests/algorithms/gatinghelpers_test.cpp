#include "algorithms/gatinghelpers.h"
#include "algorithms/timegatingtransmission.h"

#include "signallog.h"
#include "synthnet/synthnet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace Algorithms;

namespace {

constexpr double kPi = 3.14159265358979323846;
const QString kNoisy = "The signal is too noisy. Check fixture connections and repeat the measurement.";

struct Helpers : ::testing::Test
{
    ProcessInputParameters params;
    ProcessTimeGate process;
    SignalLog log;
    void SetUp() override
    {
        process.setParameters(&params);
        log.connectText(&process, &IProcessMethod::error, "error");
        log.connectText(&process, &IProcessMethod::modelNotice, "error");
    }
};

ComplexVector delayed(const RealVector &f, double tau, double amplitude = 1.0)
{
    ComplexVector s(f.size());
    for (size_t i = 0; i < f.size(); ++i)
        s[i] = std::polar(amplitude, -2.0 * kPi * f[i] * tau);
    return s;
}

// A low-pass (harmonic) and a band-pass grid with their mode.
struct GridCase
{
    const char *name;
    RealVector grid;
    GridMode mode;
};

const std::vector<GridCase> &gridCases()
{
    static const std::vector<GridCase> cases = {
        {"low-pass", SynthNet::harmonicGrid(100e6, 200), GridMode::LowPass},
        {"band-pass", SynthNet::uniformGrid(1e9, 20e9, 191), GridMode::BandPass},
    };
    return cases;
}

} // namespace

TEST_F(Helpers, ImpulseResponseFindsTheDelayOfALineInBothGridModes)
{
    for (const GridCase &c : gridCases()) {
        SCOPED_TRACE(c.name);
        const double tau = 437e-12;
        const auto s21 = SynthNet::toS(SynthNet::line(c.grid, {50.0, tau, 0.5})).s21();
        const double riseTime = 0.89 / c.grid.back();
        const auto impulse = process.calculateImpulseResponse(s21, c.grid, 4, riseTime, c.mode);
        ASSERT_TRUE(impulse);
        EXPECT_TRUE(log.texts().empty());
        EXPECT_TRUE(impulse->isValid());
        EXPECT_NEAR(impulse->delay, tau, 1e-12);
        // The refined pass spans the coarse peak plus and minus n rise times.
        EXPECT_NEAR(impulse->time.front(), impulse->coarsePeak - 4 * riseTime, 1e-18);
        EXPECT_NEAR(impulse->time.back(), impulse->coarsePeak + 4 * riseTime, 1e-18);
        EXPECT_NEAR(impulse->coarsePeak, tau, 1.0 / (2.0 * c.grid.back()));
    }
}

TEST_F(Helpers, ImpulseResponseRefusesNoiseAndNegativeDelays)
{
    const RealVector f = SynthNet::harmonicGrid(100e6, 100);
    ComplexVector noisy = delayed(f, 300e-12);
    noisy[40] = Complex(std::numeric_limits<double>::quiet_NaN(), 0.0);
    EXPECT_FALSE(process.calculateImpulseResponse(noisy, f, 4, 0.89 / f.back(), GridMode::LowPass));
    EXPECT_EQ(log.texts(), std::vector<QString>{kNoisy});

    // Each refusal says why after its own text: a negative delay names the
    // wrap-around period of the grid. Data without signal are told that,
    // alone: they are not noisy.
    const QString negative = "A negative fixture delay. Check measured data for validity";
    struct Case
    {
        const char *name;
        ComplexVector spectrum;
        QString first, because; // because empty: the first text alone
    };
    const Case cases[] = {
        {"negative electrical delay", delayed(f, -300e-12), negative, "repeats every 10 ns"},
        {"a fixture longer than the grid resolves", delayed(f, 7e-9), negative, "repeats every 10 ns"},
        {"nothing connected", delayed(f, 300e-12, 1e-4),
         "There is no signal: the largest magnitude of the measured data is -80.0 dB. Check that the fixtures are "
         "connected.",
         QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        EXPECT_FALSE(process.calculateImpulseResponse(c.spectrum, f, 4, 0.89 / f.back(), GridMode::LowPass));
        ASSERT_EQ(log.texts().size(), c.because.isEmpty() ? 1u : 2u);
        EXPECT_EQ(log.texts()[0], c.first);
        if (!c.because.isEmpty()) {
            EXPECT_TRUE(log.texts()[1].contains(c.because)) << log.texts()[1].toStdString();
        }
    }
    // A weak but present signal (-40 dB) still has its delay found.
    log.clear();
    EXPECT_TRUE(process.calculateImpulseResponse(delayed(f, 300e-12, 1e-2), f, 4, 0.89 / f.back(), GridMode::LowPass));
    EXPECT_TRUE(log.texts().empty());
}

TEST_F(Helpers, ImpulseResponseOfAZeroLengthThruHasDelayZero)
{
    const RealVector f = SynthNet::harmonicGrid(100e6, 100);
    const auto impulse =
        process.calculateImpulseResponse(ComplexVector(f.size(), 1.0), f, 4, 0.89 / f.back(), GridMode::LowPass);
    ASSERT_TRUE(impulse);
    EXPECT_EQ(impulse->delay, 0.0);
    EXPECT_TRUE(log.texts().empty());
}

TEST_F(Helpers, GatingCoversStartToTwiceTheDelayAndReadsTheMagnitudeThere)
{
    const RealVector f = SynthNet::harmonicGrid(100e6, 100);
    const ComplexVector s11 = delayed(f, 250e-12, 0.3);
    // delay 0: the span [start, 0] with 0 as its last point.
    const auto zero = process.calculateGating(s11, f, 0.0, -2e-10, GridMode::LowPass);
    ASSERT_TRUE(zero);
    EXPECT_DOUBLE_EQ(zero->time.front(), -2e-10);
    EXPECT_DOUBLE_EQ(zero->time.back(), 0.0);
    EXPECT_DOUBLE_EQ(zero->value, std::abs(zero->values.back()));

    // An echo of 0.3 at 250 ps read at that delay: near its peak value.
    const auto atEcho = process.calculateGating(s11, f, 250e-12, -2e-10, GridMode::LowPass);
    ASSERT_TRUE(atEcho);
    EXPECT_TRUE(atEcho->isValid());
    EXPECT_NEAR(atEcho->value, 0.3, 0.02);
    EXPECT_TRUE(log.texts().empty());
}

TEST_F(Helpers, GatingOutsideItsTimeGridFailsInsteadOfStoringMinusOne)
{
    const RealVector f = SynthNet::harmonicGrid(100e6, 100);
    // start after 2 delay selects the natural grid (+-5 ns); 6 ns is outside.
    EXPECT_FALSE(process.calculateGating(delayed(f, 1e-9, 0.3), f, 6e-9, 20e-9, GridMode::LowPass));
    ComplexVector noisy = delayed(f, 1e-9);
    noisy[3] = Complex(std::numeric_limits<double>::infinity(), 0.0);
    EXPECT_FALSE(process.calculateGating(noisy, f, 1e-9, -2e-10, GridMode::LowPass));
    EXPECT_TRUE(log.texts().empty()); // the callers word the failure
}

TEST_F(Helpers, GateReflectionKeepsWhatArrivesBeforeTheDelay)
{
    for (const GridCase &c : gridCases()) {
        SCOPED_TRACE(c.name);
        params.setGatingMode(c.mode);
        // An early reflection of 0.1 at 20 ps and an echo of 0.2 at 2 ns.
        const ComplexVector early = delayed(c.grid, 20e-12, 0.1);
        const ComplexVector echo = delayed(c.grid, 2e-9, 0.2);
        ComplexVector s(c.grid.size());
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = early[i] + echo[i];
        const auto gated = process.gateReflection(s, c.grid, 1e-9);
        ASSERT_TRUE(gated);
        ASSERT_EQ(gated->size(), s.size());
        // Away from the band edges the echo of 0.2 is gone; what is left
        // (up to about 5e-3) is the smoothing of the tapered gate edges.
        for (size_t i = s.size() / 5; i < 4 * s.size() / 5; ++i)
            EXPECT_LT(std::abs((*gated)[i] - early[i]), 1e-2) << i;
        EXPECT_TRUE(log.texts().empty());
    }
}
