#include "algorithms/fixtureport.h"

#include "signallog.h"
#include "synthnet/synthnet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace Algorithms;
using DataState = FixturePort::DataState;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const QString kZ0Text = "Invalid Z0 impedance. It is recommended using the latest VNA software version";
const QString kCustomText = "Invalid custom impedance value.";
const QString kImpulseText = "Invalid impulse response. NaN or Inf value found. Check measured data for validity";
const QString kDefaultImpulseText = "Invalid impulse response";
const QString kGatingText = "Invalid gating";
const QString kStepText = "Invalid step response. NaN or Inf value found. Check the measured data for validity";
const QString kCalculatedText = "Invalid calculated data. NaN or Inf value found. Check measured data for validity";
const QString kDefaultText = "Invalid uncorrected fixture SParameters default";
const QString kConvertedText = "Invalid uncorrected fixture SParameters z conversion";
const QString kConversionInputText = "Invalid input data for impedance conversion";
const QString kConvertedDataText = "Invalid converted data. Check system and fixture impedances";

// A fixture: a 0.05 pF shunt at the analyser side, then a lossy 60 ohm line.
SynthNet::Network fixtureNetwork(const RealVector &f)
{
    return SynthNet::cascade(SynthNet::shuntGC(f, 0.0, 0.05e-12), SynthNet::line(f, {60.0, 150e-12, 0.4}));
}

RealVector grid()
{
    return SynthNet::harmonicGrid(100e6, 40);
}

SParametersTwoPort model(double z1 = 50.0, double z2 = 60.0)
{
    return SynthNet::toS(fixtureNetwork(grid()), z1, z2);
}

ImpulseResponse impulse(size_t n = 5, double delay = 3e-10)
{
    ImpulseResponse r;
    for (size_t i = 0; i < n; ++i) {
        r.values.push_back(Complex(double(i), 0.5));
        r.time.push_back(1e-10 * double(i));
    }
    r.delay = delay;
    r.coarsePeak = delay;
    return r;
}

Gating gating(size_t n = 4)
{
    Gating g;
    for (size_t i = 0; i < n; ++i) {
        g.values.push_back(Complex(0.1 * double(i), 0.0));
        g.time.push_back(1e-11 * double(i));
    }
    g.value = 0.2;
    return g;
}

ReflectData::StepResponse step(size_t n = 5, double impedance = 60.0)
{
    ReflectData::StepResponse s;
    for (size_t i = 0; i < n; ++i) {
        s.impedanceProfile.push_back(impedance);
        s.time.push_back(1e-11 * double(i));
    }
    s.referenceTime = 3e-11;
    s.impedance = impedance;
    return s;
}

void connectAll(SignalLog &log, const FixturePort &port)
{
    log.connectText(&port, &FixturePort::error, "error");
    log.connect(&port, &FixturePort::impulseResponseChanged, "impulseResponseChanged");
    log.connect(&port, &FixturePort::uncorrectedSParametersChanged, "uncorrectedSParametersChanged");
    log.connect(&port, &FixturePort::stepResponseChanged, "stepResponseChanged");
    log.connect(&port, &FixturePort::impedanceTransformChanged, "impedanceTransformChanged");
    log.connect(&port, &FixturePort::gatingChanged, "gatingChanged");
}

void expectModelsNear(const SParametersTwoPort &a, const SParametersTwoPort &b, double tol)
{
    ASSERT_TRUE(a.isValid());
    ASSERT_TRUE(b.isValid());
    ASSERT_EQ(a.frequency(), b.frequency());
    for (size_t i = 0; i < a.frequency().size(); ++i) {
        EXPECT_LT(std::abs(a.s11()[i] - b.s11()[i]), tol) << "S11 point " << i;
        EXPECT_LT(std::abs(a.s12()[i] - b.s12()[i]), tol) << "S12 point " << i;
        EXPECT_LT(std::abs(a.s21()[i] - b.s21()[i]), tol) << "S21 point " << i;
        EXPECT_LT(std::abs(a.s22()[i] - b.s22()[i]), tol) << "S22 point " << i;
    }
}

bool sameModel(const std::optional<SParametersTwoPort> &a, const SParametersTwoPort &b)
{
    return a && a->frequency() == b.frequency() && a->s11() == b.s11() && a->s12() == b.s12() && a->s21() == b.s21()
           && a->s22() == b.s22();
}

// A port holding one valid value of everything a setter can store.
void fill(FixturePort &port)
{
    ASSERT_TRUE(port.setZ0Impedance(50.0));
    ASSERT_TRUE(port.setCustomImpedance(45.0));
    ASSERT_TRUE(port.setFixtureImpedance(58.0));
    ASSERT_TRUE(port.setImpulseResponse(impulse()));
    ASSERT_TRUE(port.setDefaultImpulseResponse(impulse()));
    ASSERT_TRUE(port.setGating(gating()));
    ASSERT_TRUE(port.setStepResponse(step()));
    ASSERT_TRUE(port.setCalculatedSParameters(model()));
    ASSERT_TRUE(port.setDefaultSParameters(model()));
}

// Gives tests access to the versions only the offset operation writes.
class TestPort : public FixturePort
{
public:
    using FixturePort::FixturePort;
    void setOffsetVersions(const SParametersTwoPort &s, const ImpulseResponse &i)
    {
        m_offset = s;
        m_offsetImpulse = i;
    }
};

struct SetterCase
{
    const char *name;
    std::function<bool(FixturePort &)> apply;
    bool accepted;
    QString text; // the refusal text, empty when none
    std::vector<std::string> emitted; // change signals on success
    std::function<bool(const FixturePort &)> holds; // the state afterwards
};

std::vector<SetterCase> setterCases()
{
    ImpulseResponse nanImpulse = impulse();
    nanImpulse.values[2] = Complex(kNaN, 0.0);
    ImpulseResponse shortImpulse = impulse(2);
    ImpulseResponse unevenImpulse = impulse();
    unevenImpulse.time.pop_back();
    ImpulseResponse infDelay = impulse();
    infDelay.delay = kInf;
    Gating emptyGating;
    Gating unevenGating = gating();
    unevenGating.values.pop_back();
    Gating nanGating = gating();
    nanGating.time[1] = kNaN;
    ReflectData::StepResponse shortStep = step(2);
    ReflectData::StepResponse unevenStep = step();
    unevenStep.time.pop_back();
    ReflectData::StepResponse infStep = step();
    infStep.impedanceProfile[0] = kInf;
    SParametersTwoPort nanS12 = model();
    nanS12.s12()[3] = Complex(0.0, kNaN);
    SParametersTwoPort shortS21 = model();
    shortS21.s21().pop_back();
    SParametersTwoPort otherModel = model(50.0, 50.0);

    const auto z0Is = [](double portZ0, double transform) {
        return [=](const FixturePort &p) { return p.portZ0() == portZ0 && p.z0Transform() == transform; };
    };
    const auto customIs = [](double v) { return [=](const FixturePort &p) { return p.customImpedance() == v; }; };
    const auto fixtureIs = [](double v) { return [=](const FixturePort &p) { return p.fixtureImpedance() == v; }; };
    const auto impulseSize = [](size_t n) {
        return [=](const FixturePort &p) { return p.impulseResponse()->values.size() == n; };
    };
    const auto defaultImpulseSize = [](size_t n) {
        return [=](const FixturePort &p) { return p.defaultImpulseResponse()->values.size() == n; };
    };
    const auto gatingSize = [](size_t n) {
        return [=](const FixturePort &p) { return p.gating()->values.size() == n; };
    };
    const auto stepSize = [](size_t n) {
        return [=](const FixturePort &p) { return p.stepResponse()->time.size() == n; };
    };
    const auto current = [](const SParametersTwoPort &m) {
        return [=](const FixturePort &p) { return sameModel(p.uncorrectedSParameters(), m); };
    };
    const auto defaults = [](const SParametersTwoPort &m, DataState state) {
        return [=](const FixturePort &p) { return sameModel(p.defaultSParameters(), m) && p.dataState() == state; };
    };
    const auto converted = [](bool present, DataState state) {
        return [=](const FixturePort &p) {
            return p.convertedSParameters().has_value() == present && p.dataState() == state;
        };
    };

    return {
        {"z0 changed", [](FixturePort &p) { return p.setZ0Impedance(75.0); }, true, {}, {}, z0Is(75, 75)},
        {"z0 same", [](FixturePort &p) { return p.setZ0Impedance(50.0); }, true, {}, {}, z0Is(50, 50)},
        {"z0 NaN", [](FixturePort &p) { return p.setZ0Impedance(kNaN); }, false, kZ0Text, {}, z0Is(50, 50)},
        {"z0 inf", [](FixturePort &p) { return p.setZ0Impedance(kInf); }, false, kZ0Text, {}, z0Is(50, 50)},
        {"z0 zero", [](FixturePort &p) { return p.setZ0Impedance(0.0); }, false, kZ0Text, {}, z0Is(50, 50)},
        {"z0 negative", [](FixturePort &p) { return p.setZ0Impedance(-50.0); }, false, kZ0Text, {}, z0Is(50, 50)},
        {"custom", [](FixturePort &p) { return p.setCustomImpedance(30.0); }, true, {}, {}, customIs(30)},
        {"custom NaN", [](FixturePort &p) { return p.setCustomImpedance(kNaN); }, false, kCustomText, {}, customIs(45)},
        {"custom zero", [](FixturePort &p) { return p.setCustomImpedance(0.0); }, false, kCustomText, {}, customIs(45)},
        {"custom negative",
         [](FixturePort &p) { return p.setCustomImpedance(-1.0); },
         false,
         kCustomText,
         {},
         customIs(45)},
        {"conversion type",
         [](FixturePort &p) { return p.setConversionType(Z0ConversionType::User); },
         true,
         {},
         {},
         [](const FixturePort &p) { return p.conversionType() == Z0ConversionType::User; }},
        {"fixture impedance", [](FixturePort &p) { return p.setFixtureImpedance(61.0); }, true, {}, {}, fixtureIs(61)},
        {"fixture impedance NaN ignored",
         [](FixturePort &p) { return p.setFixtureImpedance(kNaN); },
         false,
         {},
         {},
         fixtureIs(58)},
        {"fixture impedance zero ignored",
         [](FixturePort &p) { return p.setFixtureImpedance(0.0); },
         false,
         {},
         {},
         fixtureIs(58)},
        {"impulse",
         [](FixturePort &p) { return p.setImpulseResponse(impulse(7)); },
         true,
         {},
         {"impulseResponseChanged"},
         impulseSize(7)},
        {"impulse NaN",
         [=](FixturePort &p) { return p.setImpulseResponse(nanImpulse); },
         false,
         kImpulseText,
         {},
         impulseSize(5)},
        {"impulse 2 points",
         [=](FixturePort &p) { return p.setImpulseResponse(shortImpulse); },
         false,
         kImpulseText,
         {},
         impulseSize(5)},
        {"impulse uneven",
         [=](FixturePort &p) { return p.setImpulseResponse(unevenImpulse); },
         false,
         kImpulseText,
         {},
         impulseSize(5)},
        {"impulse infinite delay",
         [=](FixturePort &p) { return p.setImpulseResponse(infDelay); },
         false,
         kImpulseText,
         {},
         impulseSize(5)},
        {"default impulse",
         [](FixturePort &p) { return p.setDefaultImpulseResponse(impulse(6)); },
         true,
         {},
         {},
         defaultImpulseSize(6)},
        {"default impulse NaN",
         [=](FixturePort &p) { return p.setDefaultImpulseResponse(nanImpulse); },
         false,
         kDefaultImpulseText,
         {},
         defaultImpulseSize(5)},
        {"gating one point",
         [](FixturePort &p) { return p.setGating(gating(1)); },
         true,
         {},
         {"gatingChanged"},
         gatingSize(1)},
        {"gating empty",
         [=](FixturePort &p) { return p.setGating(emptyGating); },
         false,
         kGatingText,
         {},
         gatingSize(4)},
        {"gating uneven",
         [=](FixturePort &p) { return p.setGating(unevenGating); },
         false,
         kGatingText,
         {},
         gatingSize(4)},
        {"gating NaN time",
         [=](FixturePort &p) { return p.setGating(nanGating); },
         false,
         kGatingText,
         {},
         gatingSize(4)},
        {"step",
         [](FixturePort &p) { return p.setStepResponse(step(3)); },
         true,
         {},
         {"stepResponseChanged"},
         stepSize(3)},
        {"step 2 points",
         [=](FixturePort &p) { return p.setStepResponse(shortStep); },
         false,
         kStepText,
         {},
         stepSize(5)},
        {"step uneven",
         [=](FixturePort &p) { return p.setStepResponse(unevenStep); },
         false,
         kStepText,
         {},
         stepSize(5)},
        {"step infinite",
         [=](FixturePort &p) { return p.setStepResponse(infStep); },
         false,
         kStepText,
         {},
         stepSize(5)},
        {"calculated",
         [=](FixturePort &p) { return p.setCalculatedSParameters(otherModel); },
         true,
         {},
         {},
         current(otherModel)},
        {"calculated NaN in S12",
         [=](FixturePort &p) { return p.setCalculatedSParameters(nanS12); },
         false,
         kCalculatedText,
         {},
         current(model())},
        {"calculated short S21",
         [=](FixturePort &p) { return p.setCalculatedSParameters(shortS21); },
         false,
         kCalculatedText,
         {},
         current(model())},
        {"default",
         [=](FixturePort &p) { return p.setDefaultSParameters(otherModel); },
         true,
         {},
         {},
         defaults(otherModel, DataState::Default)},
        {"default short S21",
         [=](FixturePort &p) { return p.setDefaultSParameters(shortS21); },
         false,
         kDefaultText,
         {},
         defaults(model(), DataState::Default)},
        {"converted",
         [=](FixturePort &p) { return p.setConvertedSParameters(otherModel); },
         true,
         {},
         {},
         converted(true, DataState::Converted)},
        {"converted short S21",
         [=](FixturePort &p) { return p.setConvertedSParameters(shortS21); },
         false,
         kConvertedText,
         {},
         converted(false, DataState::Default)},
    };
}

} // namespace

TEST(FixturePort, ConstructionStartsEmpty)
{
    FixturePort port;
    EXPECT_FALSE(port.side());
    EXPECT_EQ(port.dataState(), DataState::Default);
    EXPECT_EQ(port.conversionType(), Z0ConversionType::None);
    EXPECT_FALSE(port.portZ0());
    EXPECT_FALSE(port.z0Transform());
    EXPECT_FALSE(port.uncorrectedSParameters());
    EXPECT_FALSE(port.impulseResponse());
    EXPECT_FALSE(port.gridMode());
    EXPECT_FALSE(port.length());
    EXPECT_FALSE(port.gatingValue());
    EXPECT_FALSE(port.isMeasured());
}

TEST(FixturePort, EverySetterStoresOrRefusesWithItsTextAndSignal)
{
    for (const SetterCase &c : setterCases()) {
        SCOPED_TRACE(c.name);
        FixturePort port;
        fill(port);
        SignalLog log;
        connectAll(log, port);
        EXPECT_EQ(c.apply(port), c.accepted);
        if (c.text.isEmpty()) {
            EXPECT_EQ(log.names(), c.emitted);
        } else {
            ASSERT_EQ(log.names(), std::vector<std::string>{"error"});
            EXPECT_EQ(log.texts().front(), c.text);
        }
        EXPECT_TRUE(c.holds(port));
    }
}

TEST(FixturePort, Z0ComparesWithThePortImpedanceNotTheConversionTarget)
{
    FixturePort port;
    fill(port);
    port.setConversionType(Z0ConversionType::User);
    port.setCustomImpedance(75.0);
    ASSERT_TRUE(port.convertImpedance());
    ASSERT_EQ(port.z0Transform(), 75.0);

    // The analyser port did not change: the conversion target stays.
    EXPECT_TRUE(port.setZ0Impedance(50.0));
    EXPECT_EQ(port.portZ0(), 50.0);
    EXPECT_EQ(port.z0Transform(), 75.0);

    // A real change to the conversion target's value is not ignored.
    EXPECT_TRUE(port.setZ0Impedance(75.0));
    EXPECT_EQ(port.portZ0(), 75.0);
    EXPECT_EQ(port.z0Transform(), 75.0);
}

TEST(FixturePort, IsMeasuredNeedsCurrentDefaultAndImpulseAndAConsistentStepResponse)
{
    struct Case
    {
        const char *name;
        std::function<void(FixturePort &)> prepare;
        bool measured;
    };
    const auto base = [](FixturePort &p) {
        p.setCalculatedSParameters(model());
        p.setDefaultSParameters(model());
        p.setImpulseResponse(impulse());
    };
    const std::vector<Case> cases = {
        {"empty", [](FixturePort &) {}, false},
        {"current, default and impulse", base, true},
        {"no impulse",
         [](FixturePort &p) {
             p.setCalculatedSParameters(model());
             p.setDefaultSParameters(model());
         },
         false},
        {"no default",
         [](FixturePort &p) {
             p.setCalculatedSParameters(model());
             p.setImpulseResponse(impulse());
         },
         false},
        {"no current",
         [](FixturePort &p) {
             p.setDefaultSParameters(model());
             p.setImpulseResponse(impulse());
         },
         false},
        {"step response without impedances",
         [=](FixturePort &p) {
             base(p);
             p.setStepResponse(step());
         },
         false},
        {"step response without fixture impedance",
         [=](FixturePort &p) {
             base(p);
             p.setStepResponse(step());
             p.setZ0Impedance(50.0);
         },
         false},
        {"step response with both impedances",
         [=](FixturePort &p) {
             base(p);
             p.setStepResponse(step());
             p.setZ0Impedance(50.0);
             p.setFixtureImpedance(60.0);
         },
         true},
        {"after reset",
         [](FixturePort &p) {
             fill(p);
             p.reset();
         },
         false},
    };
    for (const Case &c : cases) {
        FixturePort port;
        c.prepare(port);
        EXPECT_EQ(port.isMeasured(), c.measured) << c.name;
    }
}

TEST(FixturePort, ReadOutsFollowConversionTypeAndGrid)
{
    FixturePort port;
    fill(port);
    EXPECT_EQ(port.length(), 3e-10);
    EXPECT_EQ(port.gatingValue(), 0.2);
    EXPECT_EQ(port.gridMode(), GridMode::LowPass);

    port.setConversionType(Z0ConversionType::None);
    EXPECT_FALSE(port.impedance());
    EXPECT_FALSE(port.impedanceReferenceLength());
    port.setConversionType(Z0ConversionType::Fixture);
    EXPECT_EQ(port.impedance(), 60.0);
    EXPECT_EQ(port.impedanceReferenceLength(), 3e-11);

    port.setCalculatedSParameters(SynthNet::toS(fixtureNetwork(SynthNet::uniformGrid(1e9, 2e9, 11))));
    EXPECT_EQ(port.gridMode(), GridMode::BandPass);
}

TEST(FixturePort, ResetEmptiesEverythingAndReturnsToTheDefaultState)
{
    FixturePort port;
    fill(port);
    port.setConvertedSParameters(model());
    port.setSide(true);
    ASSERT_EQ(port.dataState(), DataState::Converted);
    SignalLog log;
    connectAll(log, port);
    port.reset();
    EXPECT_EQ(log.names(),
              (std::vector<std::string>{"impulseResponseChanged", "uncorrectedSParametersChanged",
                                        "stepResponseChanged", "impedanceTransformChanged", "gatingChanged"}));
    EXPECT_EQ(port.dataState(), DataState::Default);
    EXPECT_EQ(port.conversionType(), Z0ConversionType::System);
    EXPECT_FALSE(port.side());
    EXPECT_FALSE(port.portZ0() || port.z0Transform() || port.fixtureImpedance() || port.customImpedance());
    EXPECT_FALSE(port.uncorrectedSParameters() || port.defaultSParameters() || port.convertedSParameters()
                 || port.impulseResponse() || port.defaultImpulseResponse() || port.gating() || port.stepResponse());
    EXPECT_FALSE(port.isMeasured());
}

TEST(FixturePort, CopyKeepsModelsButNotGatingOrDataState)
{
    FixturePort source;
    fill(source);
    source.setConversionType(Z0ConversionType::User);
    source.setConvertedSParameters(model(45, 45));
    source.setSide(true);
    ASSERT_EQ(source.dataState(), DataState::Converted);

    FixturePort copy(source, nullptr);
    EXPECT_EQ(copy.dataState(), DataState::Default);
    EXPECT_FALSE(copy.gating());
    EXPECT_TRUE(copy.side());
    EXPECT_EQ(copy.conversionType(), Z0ConversionType::User);
    EXPECT_EQ(copy.portZ0(), 50.0);
    EXPECT_EQ(copy.z0Transform(), 50.0);
    EXPECT_EQ(copy.fixtureImpedance(), 58.0);
    EXPECT_EQ(copy.customImpedance(), 45.0);
    EXPECT_TRUE(sameModel(copy.uncorrectedSParameters(), model()));
    EXPECT_TRUE(sameModel(copy.defaultSParameters(), model()));
    EXPECT_TRUE(sameModel(copy.convertedSParameters(), model(45, 45)));
    EXPECT_TRUE(copy.impulseResponse() && copy.defaultImpulseResponse() && copy.stepResponse());
}

TEST(FixturePort, SwapSidesSwapsEveryStoredVersionAndTwiceRestores)
{
    TestPort port;
    EXPECT_FALSE(port.swapSides()); // no current model
    fill(port);
    port.setConvertedSParameters(model(45, 45));
    port.setOffsetVersions(model(50, 50), impulse());

    const SParametersTwoPort net = model();
    ASSERT_TRUE(port.swapSides());
    EXPECT_TRUE(port.side());
    const SParametersTwoPort mirrored = SynthNet::mirrorS(net);
    expectModelsNear(*port.uncorrectedSParameters(), mirrored, 1e-15);
    expectModelsNear(*port.defaultSParameters(), mirrored, 1e-15);
    expectModelsNear(*port.convertedSParameters(), SynthNet::mirrorS(model(45, 45)), 1e-15);
    expectModelsNear(*port.offsetSParameters(), SynthNet::mirrorS(model(50, 50)), 1e-15);

    // Switching back to the default model keeps the right orientation.
    ASSERT_TRUE(port.useDefaultData());
    expectModelsNear(*port.uncorrectedSParameters(), mirrored, 1e-15);

    ASSERT_TRUE(port.swapSides());
    EXPECT_FALSE(port.side());
    EXPECT_TRUE(sameModel(port.uncorrectedSParameters(), net));
    EXPECT_TRUE(sameModel(port.convertedSParameters(), model(45, 45)));
    EXPECT_TRUE(sameModel(port.offsetSParameters(), model(50, 50)));
}

TEST(FixturePort, UseDefaultAndOffsetDataSwitchVersionsWithTheirSignals)
{
    TestPort port;
    EXPECT_FALSE(port.useDefaultData());
    EXPECT_FALSE(port.useOffsetData());
    fill(port);
    port.setConvertedSParameters(model(45, 45));
    port.setCalculatedSParameters(model(45, 45));
    port.setImpulseResponse(impulse(7));
    port.setOffsetVersions(model(50, 50), impulse(9));

    SignalLog log;
    connectAll(log, port);
    ASSERT_TRUE(port.useOffsetData());
    EXPECT_EQ(port.dataState(), DataState::Offset);
    EXPECT_TRUE(sameModel(port.uncorrectedSParameters(), model(50, 50)));
    EXPECT_EQ(port.impulseResponse()->values.size(), 9u);
    ASSERT_TRUE(port.useDefaultData());
    EXPECT_EQ(port.dataState(), DataState::Default);
    EXPECT_TRUE(sameModel(port.uncorrectedSParameters(), model()));
    EXPECT_EQ(port.impulseResponse()->values.size(), 5u);
    EXPECT_EQ(log.names(), (std::vector<std::string>{"uncorrectedSParametersChanged", "impulseResponseChanged",
                                                     "uncorrectedSParametersChanged", "impulseResponseChanged"}));
}

TEST(FixturePort, ConvertImpedanceReproducesTheNetworkInTheTargetImpedance)
{
    struct Case
    {
        const char *name;
        Z0ConversionType type;
        bool side;
        double target;
    };
    // The step response says the DUT side is 60 ohm, the analyser port is 50.
    const std::vector<Case> cases = {
        {"system, left", Z0ConversionType::System, false, 50.0},
        {"system, right", Z0ConversionType::System, true, 50.0},
        {"fixture, left", Z0ConversionType::Fixture, false, 58.0},
        {"user, right", Z0ConversionType::User, true, 45.0},
    };
    const SynthNet::Network net = fixtureNetwork(grid());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SynthNet::Network oriented = c.side ? SynthNet::mirror(net) : net;
        FixturePort port;
        fill(port);
        port.setSide(c.side);
        port.setConversionType(c.type);
        port.setCalculatedSParameters(c.side ? SynthNet::toS(oriented, 60.0, 50.0)
                                             : SynthNet::toS(oriented, 50.0, 60.0));
        SignalLog log;
        connectAll(log, port);
        ASSERT_TRUE(port.convertImpedance());
        EXPECT_EQ(log.names(), std::vector<std::string>{"impedanceTransformChanged"});
        EXPECT_EQ(port.z0Transform(), c.target);
        expectModelsNear(*port.uncorrectedSParameters(), SynthNet::toS(oriented, c.target, c.target), 1e-12);
    }
}

TEST(FixturePort, ConvertImpedanceRefusalsLeaveModelAndTarget)
{
    struct Case
    {
        const char *name;
        std::function<void(FixturePort &)> prepare;
        QString text; // empty: refused without a message
    };
    const std::vector<Case> cases = {
        {"no step response",
         [](FixturePort &p) {
             p.reset();
             p.setZ0Impedance(50);
             p.setFixtureImpedance(58);
             p.setCalculatedSParameters(model());
         },
         kConversionInputText},
        {"no current model",
         [](FixturePort &p) {
             p.reset();
             p.setZ0Impedance(50);
             p.setFixtureImpedance(58);
             p.setStepResponse(step());
         },
         kConversionInputText},
        {"type none", [](FixturePort &p) { p.setConversionType(Z0ConversionType::None); }, {}},
        {"fixture type without fixture impedance",
         [](FixturePort &p) {
             const double z0 = *p.portZ0();
             p.reset();
             p.setZ0Impedance(z0);
             p.setCalculatedSParameters(model());
             p.setStepResponse(step());
             p.setConversionType(Z0ConversionType::Fixture);
         },
         kConversionInputText},
        {"one point with S21 = 0",
         [](FixturePort &p) {
             SParametersTwoPort broken = model();
             broken.s21()[17] = 0.0;
             p.setCalculatedSParameters(broken);
             p.setConversionType(Z0ConversionType::User);
         },
         kConvertedDataText},
        {"step impedance 0",
         [](FixturePort &p) {
             p.setStepResponse(step(5, 0.0));
             p.setConversionType(Z0ConversionType::User);
         },
         kConvertedDataText},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FixturePort port;
        fill(port);
        port.setConversionType(Z0ConversionType::System);
        c.prepare(port);
        const auto modelBefore = port.uncorrectedSParameters();
        const auto targetBefore = port.z0Transform();
        SignalLog log;
        connectAll(log, port);
        EXPECT_FALSE(port.convertImpedance());
        if (c.text.isEmpty()) {
            EXPECT_TRUE(log.names().empty());
        } else {
            ASSERT_EQ(log.names(), std::vector<std::string>{"error"});
            EXPECT_EQ(log.texts().front(), c.text);
        }
        EXPECT_EQ(port.z0Transform(), targetBefore);
        if (modelBefore)
            EXPECT_TRUE(sameModel(port.uncorrectedSParameters(), *modelBefore));
        else
            EXPECT_FALSE(port.uncorrectedSParameters());
    }
}
