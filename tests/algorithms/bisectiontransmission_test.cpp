#include "algorithms/bisectiontransmission.h"
#include "algorithms/timegatingtransmission.h"

#include "transmissiontestsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

using namespace Algorithms;
using namespace TransmissionTest;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const QString kCanceled = "The measurement was canceled";
const QString kBisectionError = "The bisection method error!";
const QString kPortRefusal = "Invalid calculated data. NaN or Inf value found. Check measured data for validity";
const QString kImpedanceError = "The bisection method error. Impedance of the selected VNA ports has to be the same!";

struct GridCase
{
    const char *name;
    RealVector grid;
};

const GridCase kGrids[] = {
    {"Harmonic100MHz", SynthNet::harmonicGrid(100e6, 200)},
    {"BandPass1To20GHz", SynthNet::uniformGrid(1e9, 20e9, 191)},
    // The thru phase at 3 GHz is beyond -pi: the principal root there has
    // the wrong sign, the delay picks the physical one.
    {"BandPass3To20GHz", SynthNet::uniformGrid(3e9, 20e9, 171)},
};

class BisectionGrid : public ::testing::TestWithParam<GridCase>
{};

SParametersTwoPort thruOf(const SynthNet::Network &left, const SynthNet::Network &right)
{
    return SynthNet::toS(SynthNet::cascade(left, right));
}

// Largest phase step of a vector along the grid, radians.
double largestPhaseStep(const ComplexVector &v)
{
    double step = 0.0;
    for (size_t i = 1; i < v.size(); ++i)
        step = std::max(step, std::abs(std::arg(v[i] / v[i - 1])));
    return step;
}

} // namespace

// A matched symmetric line: the start of the fit already is the solution,
// so both halves are the true fixture.
TEST_P(BisectionGrid, MatchedLossySymmetricLineGivesTheTrueHalves)
{
    const RealVector &f = GetParam().grid;
    const SynthNet::Network fixture = SynthNet::line(f, {50.0, 200e-12, 1.0});
    const SParametersTwoPort thru = SynthNet::toS(SynthNet::twoXThru(fixture));

    ThruRun r(ProcessFactory::ProcessIndex::Bisect, thru);
    ASSERT_TRUE(r.ready());
    ASSERT_TRUE(r.transmission->run()) << r.firstError().toStdString();
    EXPECT_TRUE(r.errors().empty()) << r.firstError().toStdString();
    EXPECT_EQ(r.log.names(), (std::vector<std::string>{"left changed", "right changed"}));
    EXPECT_TRUE(r.left.isMeasured() && r.right.isMeasured());
    ASSERT_TRUE(r.left.defaultSParameters() && r.right.defaultSParameters());

    // 1e-9: the optimiser stops within its step tolerance of 1e-10.
    const Deviation left = deviation(*r.left.defaultSParameters(), SynthNet::toS(fixture));
    const Deviation right = deviation(*r.right.defaultSParameters(), SynthNet::toS(SynthNet::mirror(fixture)));
    std::printf("  left %.2e right %.2e\n", left.max(), right.max());
    EXPECT_LE(left.max(), 1e-9);
    EXPECT_LE(right.max(), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Grids, BisectionGrid, ::testing::ValuesIn(kGrids),
                         [](const ::testing::TestParamInfo<GridCase> &info) { return std::string(info.param.name); });

// The fit is under-determined for a mismatched thru: the single reflections
// are not unique, but the halves always cascade to the thru, are reciprocal
// with one common transmission, and that transmission is continuous.
TEST(BisectionThru, MismatchedThrusAreReproducedByTheCascadeOfTheHalves)
{
    struct Case
    {
        const char *name;
        std::function<SParametersTwoPort(const RealVector &)> thru;
    };
    const std::vector<Case> cases = {
        {"symmetric 60 ohm lossy line",
         [](const RealVector &f) {
             return SynthNet::toS(SynthNet::twoXThru(SynthNet::line(f, {60.0, 200e-12, 0.3})));
         }},
        {"shunt C, 60 ohm line",
         [](const RealVector &f) {
             return SynthNet::toS(SynthNet::twoXThru(
                 SynthNet::cascade(SynthNet::shuntGC(f, 0.0, 0.1e-12), SynthNet::line(f, {60.0, 300e-12, 0.5}))));
         }},
        {"asymmetric: 60 ohm line into 45 ohm line with series L",
         [](const RealVector &f) {
             return thruOf(
                 SynthNet::line(f, {60.0, 150e-12, 0.3}),
                 SynthNet::cascade(SynthNet::line(f, {45.0, 250e-12, 0.3}), SynthNet::seriesRL(f, 0.5, 0.2e-9)));
         }},
    };
    for (const GridCase &grid : kGrids) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(grid.name) + ": " + c.name);
            const SParametersTwoPort thru = c.thru(grid.grid);
            ThruRun r(ProcessFactory::ProcessIndex::Bisect, thru, Z0ConversionType::None);
            ASSERT_TRUE(r.ready());
            ASSERT_TRUE(r.transmission->run()) << r.firstError().toStdString();
            // The halves reproduce the thru, but how the fit splits a
            // mismatched thru between them is its own: where that is off
            // the time-gated split, the user is told so, and of nothing
            // else.
            for (const QString &t : r.errors())
                EXPECT_TRUE(t.startsWith("Bisection model of the ")) << t.toStdString();
            ASSERT_TRUE(r.left.defaultSParameters() && r.right.defaultSParameters());
            const SParametersTwoPort &left = *r.left.defaultSParameters();
            const SParametersTwoPort &right = *r.right.defaultSParameters();

            EXPECT_EQ(left.s21(), left.s12());
            EXPECT_EQ(right.s21(), right.s12());
            EXPECT_EQ(left.s21(), right.s21());
            // Per point the phase of a 150..300 ps fixture advances by at
            // most 2 pi * 100 MHz * 0.4 ns = 0.25 rad: no sign jumps.
            EXPECT_LT(largestPhaseStep(left.s21()), 0.5);

            const SParametersTwoPort cascade = SynthNet::cascadeS(left, right);
            // The symmetric thru averages S12 and S21, which are equal here;
            // the fit converges to its step tolerance (1e-10) on each point.
            const double error = deviation(cascade, thru).max();
            std::printf("  cascade %.2e\n", error);
            EXPECT_LE(error, 1e-8);
        }
    }
}

TEST(BisectionThru, ReferenceImpedancesNeedOnlyBePresent)
{
    const RealVector f = SynthNet::uniformGrid(1e9, 20e9, 191);
    const SParametersTwoPort thru = SynthNet::toS(SynthNet::twoXThru(SynthNet::line(f, {50.0, 200e-12, 0.3})));

    // 50 and 75 ohm ports: accepted, the fit does not use them.
    ThruRun mixed(ProcessFactory::ProcessIndex::Bisect, thru, Z0ConversionType::None, 50.0, 75.0);
    ASSERT_TRUE(mixed.ready());
    EXPECT_TRUE(mixed.transmission->run()) << mixed.firstError().toStdString();
    EXPECT_TRUE(mixed.errors().empty());

    // A port that lost its impedance after attachment (band-pass: no step
    // response needs it before the fit).
    ThruRun lost(ProcessFactory::ProcessIndex::Bisect, thru, Z0ConversionType::None);
    ASSERT_TRUE(lost.ready());
    lost.right.reset();
    EXPECT_FALSE(lost.transmission->run());
    EXPECT_EQ(lost.errors(), std::vector<QString>{kImpedanceError});
    EXPECT_TRUE(lost.left.impulseResponse());
    EXPECT_FALSE(lost.left.uncorrectedSParameters() || lost.right.uncorrectedSParameters());
}

// A point the fit cannot split is reported with the method's text, and the
// ports refuse the incomplete models; the optimiser's exception never leaves
// the process.
TEST(BisectionThru, APointTheFitCannotSplitFailsWithTheMethodText)
{
    const RealVector f = SynthNet::uniformGrid(1e9, 20e9, 191);
    SParametersTwoPort thru = SynthNet::toS(SynthNet::twoXThru(SynthNet::line(f, {60.0, 200e-12, 0.3})));
    ThruRun r(ProcessFactory::ProcessIndex::Bisect, thru, Z0ConversionType::None);
    ASSERT_TRUE(r.ready());
    ASSERT_TRUE(r.transmission->run());

    // Straight into the fixture stage with a thru the input check of a full
    // run would have refused: a NaN in one point of S12.
    thru.s12()[57] = Complex(kNaN, 0.0);
    r.transmission->setInputData(thru);
    r.log.clear();
    bool result = true;
    EXPECT_NO_THROW(result = r.transmission->calculateFixtures());
    EXPECT_FALSE(result);
    EXPECT_EQ(r.errors(), (std::vector<QString>{kBisectionError, kPortRefusal, kPortRefusal}));

    // The full run refuses that input before fitting.
    r.log.clear();
    EXPECT_NO_THROW(result = r.transmission->run());
    EXPECT_FALSE(result);
    EXPECT_EQ(r.errors(), (std::vector<QString>{"Transmission. Invalid input data",
                                                "The measured S12 is not a number (NaN) at 6.7 GHz, point 58 of 191"}));
}

TEST(BisectionThru, CancelMidwayStopsBeforeStoringModels)
{
    const RealVector f = SynthNet::harmonicGrid(100e6, 200);
    ThruRun r(ProcessFactory::ProcessIndex::Bisect,
              SynthNet::toS(SynthNet::twoXThru(SynthNet::line(f, {60.0, 200e-12, 0.3}))));
    ASSERT_TRUE(r.ready());
    // Two polls precede the fixture stage, which polls once per point: the
    // 50th pass is at point 48.
    AtEventPass cancel(50, [&] { r.process->interrupt(); });
    EXPECT_FALSE(r.transmission->run());
    EXPECT_TRUE(cancel.fired());
    EXPECT_EQ(r.errors(), std::vector<QString>{kCanceled});
    EXPECT_TRUE(r.left.impulseResponse() && r.right.impulseResponse());
    EXPECT_TRUE(r.left.gating() && r.right.gating());
    EXPECT_FALSE(r.left.uncorrectedSParameters() || r.right.uncorrectedSParameters());
}

TEST(BisectionThru, TimeMinIsMinusTheLeftDelay)
{
    const RealVector f = SynthNet::harmonicGrid(100e6, 200);
    ThruRun r(ProcessFactory::ProcessIndex::Bisect,
              SynthNet::toS(SynthNet::twoXThru(SynthNet::line(f, {50.0, 200e-12, 0.3}))));
    r.params.setTestMode(true);
    ASSERT_TRUE(r.transmission->run());
    ASSERT_TRUE(r.left.length());
    EXPECT_EQ(r.params.timeMin(), -*r.left.length());
}

TEST(BisectionThru, TransmissionSignIsMadeContinuous)
{
    // A 400 ps transmission whose every third point is negated, as a fit on
    // the principal branch may return it.
    const RealVector f = SynthNet::uniformGrid(1e9, 20e9, 96);
    ComplexVector truth(f.size()), flipped(f.size());
    for (size_t i = 0; i < f.size(); ++i) {
        truth[i] = std::polar(0.9 - 0.01 * i / 96.0, -2.0 * kPi * f[i] * 400e-12);
        flipped[i] = i % 3 == 1 ? -truth[i] : truth[i];
    }
    const double referencePhase = -2.0 * kPi * f[0] * 400e-12;
    for (const ComplexVector *input : {&truth, &flipped}) {
        const ComplexVector out = continuousPhaseTransmission(*input, referencePhase);
        ASSERT_EQ(out.size(), f.size());
        double e = 0.0;
        for (size_t i = 0; i < f.size(); ++i)
            e = std::max(e, std::abs(out[i] - truth[i]));
        EXPECT_LE(e, 1e-12);
    }
    // The first point's sign follows the reference phase.
    const ComplexVector negated = continuousPhaseTransmission(truth, referencePhase + kPi);
    EXPECT_NEAR(std::abs(negated[0] + truth[0]), 0.0, 1e-12);
    EXPECT_NEAR(std::abs(negated.back() + truth.back()), 0.0, 1e-12);
    EXPECT_TRUE(continuousPhaseTransmission({}, 0.0).empty());
}

TEST(BisectionThru, FactoryCreatesTheMethodByIndexAndByCorrectionMethod)
{
    for (const auto &p : {ProcessFactory::createProcess(ProcessFactory::ProcessIndex::Bisect),
                          ProcessFactory::createByMethod(false, CalcMethod::Bisection),
                          ProcessFactory::createByMethod(true, CalcMethod::Bisection)}) {
        ASSERT_TRUE(p);
        EXPECT_TRUE(qobject_cast<ProcessBisect *>(p.get()));
    }
    // No reflection process for bisection.
    EXPECT_FALSE(
        ProcessFactory::createReflectByMethod(ProcessFactory::MeasureKind::Reflection, CalcMethod::Bisection, true));
}
