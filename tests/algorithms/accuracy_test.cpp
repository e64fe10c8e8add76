// Accuracy against fixtures whose truth is known: the figures of the
// time-gating 2x-thru and of the one-standard reflection are pinned so that
// no change makes them worse, the one-standard reflection with compensation
// must not report a model with gain when the time gate gives a sound one,
// and a one-standard model whose main reflection cannot be told apart is
// reported. Over the whole accuracy table (tools/synthnet/accuracytable.h,
// the rows of the accuracy benchmark): every model that de-embeds the DUT
// wrongly is told, in the band where it is wrong, with a short first line,
// and nothing is told of the plain lines that every method gets right.

#include "algorithms/passivity.h"
#include "algorithms/processfactory.h"
#include "algorithms/reflectionprocess.h"

#include "signallog.h"
#include "synthnet/accuracy.h"
#include "synthnet/accuracytable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <string>

using namespace Algorithms;

namespace {

constexpr double kZ0 = 50.0;

const RealVector kHarmonic = SynthNet::harmonicGrid(100e6, 200);
const RealVector kBandPass = SynthNet::uniformGrid(1e9, 20e9, 191);

using SynthNet::lossyFixture;
using SynthNet::neckFixture;
using SynthNet::padFixture;

} // namespace

TEST(TimeGatingAccuracy, TodaysFiguresAreKept)
{
    // Measured when pinned (fixture |dS21| dB, DUT |dS21| dB, largest
    // singular value, all up to 0.8 fmax); the limits leave 25 % for
    // rounding changes, no more.
    struct Case
    {
        const char *name;
        std::function<SynthNet::Network(const RealVector &)> fixture;
        const RealVector &grid;
        double fixtureDb, dutDb, singularValue;
    };
    const Case cases[] = {
        {"pad, harmonic", padFixture, kHarmonic, 0.0060, 0.0172, 0.9892},
        {"neck, harmonic", neckFixture, kHarmonic, 0.0088, 0.0267, 0.9856},
        {"lossy line, harmonic", lossyFixture, kHarmonic, 0.0311, 0.2095, 0.9660},
        {"pad, band-pass", padFixture, kBandPass, 0.1013, 0.3296, 1.1382},
        {"neck, band-pass", neckFixture, kBandPass, 0.0070, 0.0657, 0.9963},
        {"lossy line, band-pass", lossyFixture, kBandPass, 0.0337, 0.2401, 0.9415},
        // A pad at the DUT end meets its mirror at the middle of the thru,
        // where the gate ends: the method splits it between the fixture's
        // two reflections. Not good figures, but none may get worse.
        {"two pads, harmonic", SynthNet::twoPadFixture, kHarmonic, 0.1291, 0.2027, 0.9899},
        {"two pads, band-pass", SynthNet::twoPadFixture, kBandPass, 0.4044, 1.1469, 1.3282},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SynthNet::Network fixture = c.fixture(c.grid);
        ProcessInputParameters params;
        FixturePort left, right;
        for (FixturePort *p : {&left, &right}) {
            p->setZ0Impedance(kZ0);
            p->setConversionType(Z0ConversionType::None);
        }
        const auto process = ProcessFactory::createProcess(ProcessFactory::ProcessIndex::TimeGate);
        auto *thru = qobject_cast<TransmissionProcess *>(process.get());
        ASSERT_TRUE(thru);
        thru->setParameters(&params);
        ASSERT_TRUE(thru->setFixturesForCalculate(&left, &right));
        thru->setInputData(SynthNet::toS(SynthNet::twoXThru(fixture)));
        ASSERT_TRUE(thru->run());
        const SynthNet::AccuracyFigures r =
            SynthNet::accuracyFigures(*left.uncorrectedSParameters(), *right.uncorrectedSParameters(), fixture, c.grid);
        EXPECT_LE(r.fixtureDb, 1.25 * c.fixtureDb);
        EXPECT_LE(r.dutDb, 1.25 * c.dutDb);
        EXPECT_LE(r.singularValue - 1.0, c.singularValue - 1.0 + 0.25 * std::abs(c.singularValue - 1.0));
    }
}

TEST(ReflectionCompensation, AFixtureWithAnInternalMismatchGetsTheGatedModelAndTheUserIsTold)
{
    // The spline compensation of the open's main reflection takes part of
    // the neck's reflections: 13 degrees and a singular value of 1.18 at
    // low frequencies. The gated model is passive and within a degree.
    struct Case
    {
        const char *name;
        std::function<SynthNet::Network(const RealVector &)> fixture;
        bool toldAndGated;
        double fixtureDeg;
    };
    const Case cases[] = {
        {"neck: compensation replaced", neckFixture, true, 1.0},
        {"pad: compensation kept", padFixture, false, 0.5},
    };
    for (const ProcessFactory::ProcessIndex index :
         {ProcessFactory::ProcessIndex::TimeGateReflect, ProcessFactory::ProcessIndex::FilteringReflect}) {
        for (const Case &c : cases) {
            for (const bool isShort : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << c.name << (isShort ? " short " : " open ") << static_cast<int>(index));
                const SynthNet::Network fixture = c.fixture(kHarmonic);
                ProcessInputParameters params;
                FixturePort port;
                port.setZ0Impedance(kZ0);
                port.setConversionType(Z0ConversionType::None);
                const auto process = ProcessFactory::createProcess(index);
                auto *single = qobject_cast<ReflectProcessOpenOrShort *>(process.get());
                ASSERT_TRUE(single);
                single->setParameters(&params);
                ASSERT_TRUE(single->setFixturesForCalculate(&port));
                single->setInputData(SynthNet::terminate(fixture, isShort ? -1.0 : 1.0));
                single->setIsShort(isShort);
                single->setSignalType(MaxSignalEliminationType::Model); // compensation on, the default
                SignalLog log;
                log.connectText(process.get(), &IProcessMethod::error, "error");
                log.connectText(process.get(), &IProcessMethod::modelNotice, "error");
                ASSERT_TRUE(process->run());
                if (c.toldAndGated) {
                    // Then the two estimates of the main reflection disagree
                    // (the compensated one is the one in error here); both
                    // are told in the port's one notice.
                    ASSERT_EQ(log.texts().size(), 1u);
                    EXPECT_TRUE(log.texts()[0].startsWith("Compensated model of the fixture port had gain from "))
                        << log.texts()[0].toStdString();
                    EXPECT_TRUE(log.texts()[0].contains("\nThe one-standard fixture model of "))
                        << log.texts()[0].toStdString();
                } else {
                    EXPECT_TRUE(log.texts().empty());
                }
                SParametersTwoPort right = *port.uncorrectedSParameters();
                right.swapPorts();
                const SynthNet::AccuracyFigures r =
                    SynthNet::accuracyFigures(*port.uncorrectedSParameters(), right, fixture, kHarmonic);
                EXPECT_LE(r.fixtureDeg, c.fixtureDeg);
                EXPECT_LE(r.singularValue, 1.0 + kPassivityTolerance);
            }
        }
    }
}

TEST(OneStandardAccuracy, TodaysFiguresAreKeptAndAnUncertainModelIsTold)
{
    // One standard (open or short alone), time-gating process. The time
    // gate of the standard's main reflection loses the lossy line's long
    // tail and, on a band-pass grid, the band edges (the low one inside the
    // band that is used): DUT errors of 1.3 to 4.5 dB with passive models.
    // A gated model is checked against the spline model and the user told;
    // a model from the spline model is left to the passivity check (the pad
    // on a band-pass grid has gain and is reported so). The figures,
    // measured when pinned (DUT |dS21| dB up to 0.8 fmax), may not get
    // worse by more than 25 %.
    struct Case
    {
        const char *name;
        std::function<SynthNet::Network(const RealVector &)> fixture;
        const RealVector &grid;
        bool isShort;
        MaxSignalEliminationType signalType;
        double dutDb;
        bool told;
    };
    const auto model = MaxSignalEliminationType::Model;
    const auto gate = MaxSignalEliminationType::TimeGate;
    const Case cases[] = {
        {"pad, harmonic, open", padFixture, kHarmonic, false, model, 0.1632, false},
        {"pad, harmonic, short, gate", padFixture, kHarmonic, true, gate, 0.4792, false},
        // The compensated model of the lossy line (0.68 dB of DUT error) is
        // checked against the gate now, and told.
        {"lossy line, harmonic, open", lossyFixture, kHarmonic, false, model, 0.6825, true},
        {"lossy line, harmonic, short, gate", lossyFixture, kHarmonic, true, gate, 1.8600, true},
        {"pad, band-pass, open", padFixture, kBandPass, false, model, 0.5657, false},
        {"pad, band-pass, short, gate", padFixture, kBandPass, true, gate, 1.2612, true},
        {"neck, band-pass, open", neckFixture, kBandPass, false, model, 1.8021, true},
        {"neck, band-pass, short, gate", neckFixture, kBandPass, true, gate, 1.2698, true},
        {"lossy line, band-pass, short", lossyFixture, kBandPass, true, model, 0.2928, false},
        {"lossy line, band-pass, open, gate", lossyFixture, kBandPass, false, gate, 4.4776, true},
        {"two pads, band-pass, open", SynthNet::twoPadFixture, kBandPass, false, model, 0.6865, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SynthNet::Network fixture = c.fixture(c.grid);
        ProcessInputParameters params;
        FixturePort port;
        port.setZ0Impedance(kZ0);
        port.setConversionType(Z0ConversionType::None);
        const auto process = ProcessFactory::createProcess(ProcessFactory::ProcessIndex::TimeGateReflect);
        auto *single = qobject_cast<ReflectProcessOpenOrShort *>(process.get());
        ASSERT_TRUE(single);
        single->setParameters(&params);
        ASSERT_TRUE(single->setFixturesForCalculate(&port));
        single->setPortNames("port 3", QString());
        single->setInputData(SynthNet::terminate(fixture, c.isShort ? -1.0 : 1.0));
        single->setIsShort(c.isShort);
        single->setSignalType(c.signalType);
        SignalLog log;
        log.connectText(process.get(), &IProcessMethod::error, "error");
        log.connectText(process.get(), &IProcessMethod::modelNotice, "error");
        ASSERT_TRUE(process->run());
        const auto notices = std::count_if(log.texts().begin(), log.texts().end(), [](const QString &t) {
            return t.contains("The one-standard fixture model of port 3 is uncertain");
        });
        EXPECT_EQ(notices, c.told ? 1 : 0);
        SParametersTwoPort right = *port.uncorrectedSParameters();
        right.swapPorts();
        const SynthNet::AccuracyFigures r =
            SynthNet::accuracyFigures(*port.uncorrectedSParameters(), right, fixture, c.grid);
        EXPECT_LE(r.dutDb, 1.25 * c.dutDb);
    }
}

TEST(DutCorrectionAccuracy, AMatchedSetUpIsNotMadeWorse)
{
    // The DUT measured in the very fixtures of the thru: the correction has
    // nothing to correct, and must not take the DUT's first reflection into
    // the fixture model (a gate ending at the DUT plane gave 0.15 and
    // 0.20 dB of DUT error here, against 0.02 and 0.03 without correction).
    struct Case
    {
        const char *name;
        std::function<SynthNet::Network(const RealVector &)> fixture;
        double dutDb, reflection;
    };
    const Case cases[] = {
        {"pad", padFixture, 0.1, 0.04},
        {"neck", neckFixture, 0.1, 0.045},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SynthNet::Network fixture = c.fixture(kHarmonic);
        ProcessInputParameters params;
        FixturePort left, right;
        for (FixturePort *p : {&left, &right}) {
            p->setZ0Impedance(kZ0);
            p->setConversionType(Z0ConversionType::None);
        }
        const auto process = ProcessFactory::createProcess(ProcessFactory::ProcessIndex::TimeGate);
        auto *thru = qobject_cast<TransmissionProcess *>(process.get());
        ASSERT_TRUE(thru);
        thru->setParameters(&params);
        ASSERT_TRUE(thru->setFixturesForCalculate(&left, &right));
        thru->setInputData(SynthNet::toS(SynthNet::twoXThru(fixture)));
        ASSERT_TRUE(thru->run());
        const SParametersTwoPort inFixture =
            SynthNet::toS(SynthNet::dutInFixture(fixture, SynthNet::accuracyDut(kHarmonic)));
        SParametersOnePort dutLeft, dutRight;
        dutLeft.setFrequency(kHarmonic);
        dutLeft.setS11(inFixture.s11());
        dutRight.setFrequency(kHarmonic);
        dutRight.setS11(inFixture.s22());
        SignalLog log;
        log.connectText(process.get(), &IProcessMethod::modelNotice, "notice");
        ASSERT_TRUE(thru->calculateDUT(dutLeft, dutRight));
        // The DUT board is the thru's: its launch is not said to differ.
        EXPECT_TRUE(log.texts().empty()) << log.texts().front().toStdString();

        const SParametersTwoPort &model = *left.uncorrectedSParameters();
        const SynthNet::AccuracyFigures r =
            SynthNet::accuracyFigures(model, *right.uncorrectedSParameters(), fixture, kHarmonic);
        EXPECT_LE(r.dutDb, c.dutDb);
        EXPECT_LE(r.singularValue, 1.0 + kPassivityTolerance);
        const SParametersTwoPort truth = SynthNet::toS(fixture);
        double worst = 0.0;
        for (size_t i = 0; i < kHarmonic.size() && kHarmonic[i] <= 0.8 * kHarmonic.back(); ++i)
            worst = std::max(worst, std::abs(model.s11()[i] - truth.s11()[i]));
        EXPECT_LE(worst, c.reflection);
    }
}

TEST(DutCorrectionAccuracy, ModelsCorrectedWithTheDutStillDeEmbedTheThruToAThru)
{
    // The usual check of a correction: the 2x-thru, de-embedded with the
    // models, is an ideal thru. Corrected with a DUT measured in the very
    // fixtures of the thru (nothing to correct), or with the thru itself
    // measured as the DUT, the models must still pass it. Replacing the
    // model's reflection by the gated DUT reflection failed it: the gate's
    // own error, the DUT's first reflection leaking in, and with a pad at
    // the DUT end the part of the fixture the gate cut off gave up to
    // 2.0 dB, 8.8 degrees and a reflection of 0.39 (two pads, band-pass;
    // 1.3 dB and 4.3 degrees on the harmonic grid). The limits are the
    // figures measured with the change of the gated reflection (same gate
    // for the thru and the DUT), and 25 % more.
    struct Case
    {
        const char *name;
        std::function<SynthNet::Network(const RealVector &)> fixture;
        const RealVector &grid;
        double db, deg, reflection;
    };
    const Case cases[] = {
        {"pad, harmonic", padFixture, kHarmonic, 0.0022, 0.032, 0.0111},
        {"neck, harmonic", neckFixture, kHarmonic, 0.0294, 0.193, 0.0154},
        {"lossy line, harmonic", lossyFixture, kHarmonic, 0.0067, 0.044, 0.0186},
        {"two pads, harmonic", SynthNet::twoPadFixture, kHarmonic, 0.0616, 0.722, 0.0420},
        {"pad, band-pass", padFixture, kBandPass, 0.0778, 0.649, 0.0834},
        {"neck, band-pass", neckFixture, kBandPass, 0.0578, 0.367, 0.0926},
        {"lossy line, band-pass", lossyFixture, kBandPass, 0.0394, 0.795, 0.0778},
        {"two pads, band-pass", SynthNet::twoPadFixture, kBandPass, 0.5358, 2.107, 0.1255},
    };
    for (const Case &c : cases) {
        for (const bool thruAsDut : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.name << (thruAsDut ? ", the thru as the DUT" : ", the DUT"));
            const SynthNet::Network fixture = c.fixture(c.grid);
            ProcessInputParameters params;
            FixturePort left, right;
            for (FixturePort *p : {&left, &right}) {
                p->setZ0Impedance(kZ0);
                p->setConversionType(Z0ConversionType::None);
            }
            const auto process = ProcessFactory::createProcess(ProcessFactory::ProcessIndex::TimeGate);
            auto *thru = qobject_cast<TransmissionProcess *>(process.get());
            ASSERT_TRUE(thru);
            thru->setParameters(&params);
            ASSERT_TRUE(thru->setFixturesForCalculate(&left, &right));
            const SParametersTwoPort measured = SynthNet::toS(SynthNet::twoXThru(fixture));
            thru->setInputData(measured);
            ASSERT_TRUE(thru->run());
            const SParametersTwoPort dut =
                thruAsDut ? measured : SynthNet::toS(SynthNet::dutInFixture(fixture, SynthNet::accuracyDut(c.grid)));
            SParametersOnePort dutLeft, dutRight;
            dutLeft.setFrequency(c.grid);
            dutLeft.setS11(dut.s11());
            dutRight.setFrequency(c.grid);
            dutRight.setS11(dut.s22());
            ASSERT_TRUE(thru->calculateDUT(dutLeft, dutRight));
            ASSERT_EQ(left.dataState(), FixturePort::DataState::DutCorrected);

            const SParametersTwoPort d =
                SynthNet::deembed(*left.uncorrectedSParameters(), *right.uncorrectedSParameters(), measured);
            double db = 0.0, deg = 0.0, reflection = 0.0;
            for (size_t i = 0; i < c.grid.size() && c.grid[i] <= 0.8 * c.grid.back(); ++i) {
                db = std::max({db, std::abs(20.0 * std::log10(std::abs(d.s21()[i]))),
                               std::abs(20.0 * std::log10(std::abs(d.s12()[i])))});
                deg = std::max({deg, std::abs(std::arg(d.s21()[i])), std::abs(std::arg(d.s12()[i]))});
                reflection = std::max({reflection, std::abs(d.s11()[i]), std::abs(d.s22()[i])});
            }
            deg *= 180.0 / M_PI;
            if (thruAsDut) {
                // Nothing changed: the models are those of the thru.
                EXPECT_LE(db, 1e-9);
                EXPECT_LE(reflection, 1e-9);
                continue;
            }
            EXPECT_LE(db, 1.25 * c.db);
            EXPECT_LE(deg, 1.25 * c.deg);
            EXPECT_LE(reflection, 1.25 * c.reflection);
        }
    }
}

namespace {

struct Band
{
    double from = 0.0, to = 0.0; // Hz
};

// The band a notice's first line names: "from 2.3 to 15.9 GHz" or
// "at 7.2 GHz".
std::optional<Band> namedBand(const QString &summary)
{
    static const std::regex fromTo(R"(from ([0-9.]+) to ([0-9.]+) GHz)");
    static const std::regex at(R"(at ([0-9.]+) GHz)");
    const std::string text = summary.toStdString();
    std::smatch m;
    if (std::regex_search(text, m, fromTo))
        return Band{std::stod(m[1]) * 1e9, std::stod(m[2]) * 1e9};
    if (std::regex_search(text, m, at))
        return Band{std::stod(m[1]) * 1e9, std::stod(m[1]) * 1e9};
    return std::nullopt;
}

// One standard cannot see a reflection at the fixture's DUT end (the second
// pad of "twopads"): it arrives with the standard's own reflection, and the
// measurement is that of a fixture without it whose line is a little
// longer. Those models are about 20 degrees off in the DUT with nothing in
// the one measurement that any check could find; the open and the short
// together resolve it (their rows are right).
bool blindToItsFault(const SynthNet::AccuracyRow &row)
{
    return row.method == SynthNet::AccuracyMethod::OneStandard && std::string(row.fixture->name) == "twopads";
}

std::string describe(const SynthNet::AccuracyRow &row, const SynthNet::AccuracyResult &r)
{
    std::string text =
        row.name + ": DUT " + std::to_string(r.figures.dutDb) + " dB, " + std::to_string(r.figures.dutDeg) + " degrees";
    for (const ModelNotice &n : r.notices)
        text += "\n  " + n.summary.toStdString();
    return text;
}

} // namespace

TEST(AccuracyTable, EveryWrongModelIsToldInItsBandAndNoPlainLineRaisesAnAlarm)
{
    // The first line of each kind of notice, seen leading somewhere in the
    // table: the checks below are made of them all.
    const std::map<std::string, QString> kinds = {
        {"passivity", " is not passive "},
        {"2x-thru against time gating", " differs from time gating "},
        {"one standard against the other estimate", " is uncertain "},
        {"compensation replaced", " had gain "},
        {"another launch", "The DUT board has another launch at "},
    };
    std::map<std::string, int> seen;
    int rows = 0, wrong = 0;
    for (const SynthNet::AccuracyRow &row : SynthNet::accuracyRows()) {
        SCOPED_TRACE(row.name);
        ++rows;
        const SynthNet::AccuracyResult r = SynthNet::runAccuracyRow(row);
        ASSERT_TRUE(r.ok) << (r.errors.isEmpty() ? std::string() : r.errors.front().toStdString());
        EXPECT_TRUE(r.errors.isEmpty()) << r.errors.front().toStdString();

        for (const ModelNotice &n : r.notices) {
            // Short: what and where in one line, with the port's name as
            // the measurers give it; the detail after it.
            EXPECT_LE(n.summary.size(), 100) << n.summary.toStdString();
            EXPECT_FALSE(n.summary.contains('\n'));
            EXPECT_FALSE(n.detail.isEmpty()) << n.summary.toStdString();
            EXPECT_TRUE(namedBand(n.summary)) << n.summary.toStdString();
            EXPECT_TRUE(n.summary.contains(n.port)) << n.summary.toStdString();
            for (const auto &[kind, phrase] : kinds)
                seen[kind] += n.summary.contains(phrase);
            // No notice with a wrong cause: a launch is told only where the
            // DUT board differs, a comparison with time gating only for the
            // methods compared with it.
            if (!row.fixture->dutBoard) {
                EXPECT_FALSE(n.text().contains(kinds.at("another launch"))) << n.summary.toStdString();
            }
            if (n.summary.contains(kinds.at("2x-thru against time gating"))) {
                EXPECT_TRUE(row.method == SynthNet::AccuracyMethod::Filtering
                            || row.method == SynthNet::AccuracyMethod::Bisection
                            || (row.method == SynthNet::AccuracyMethod::OpenAndShort && row.filtering))
                    << n.summary.toStdString();
            }
        }

        if (SynthNet::isWrongDut(r.figures)) {
            ++wrong;
            if (blindToItsFault(row))
                continue;
            // Told, and the first notice of some port names a band where
            // the DUT is wrong, not only the top of the band.
            ASSERT_FALSE(r.notices.empty()) << describe(row, r);
            bool inItsBand = false;
            for (const ModelNotice &n : r.notices) {
                // Each doubt's first line, the leading one's and those that
                // follow it in the detail.
                for (const QString &line : n.text().split('\n')) {
                    const bool doubt =
                        std::any_of(kinds.begin(), kinds.end(), [&](const auto &k) { return line.contains(k.second); });
                    const std::optional<Band> b = doubt ? namedBand(line) : std::nullopt;
                    inItsBand = inItsBand || (b && b->from <= r.figures.dutWrongTo && b->to >= r.figures.dutWrongFrom);
                }
            }
            EXPECT_TRUE(inItsBand) << describe(row, r) << "\n  wrong from " << r.figures.dutWrongFrom / 1e9 << " to "
                                   << r.figures.dutWrongTo / 1e9 << " GHz";
        } else if (row.fixture->plainLine) {
            EXPECT_TRUE(r.notices.empty()) << describe(row, r);
        }
    }
    // Not a table that checks nothing: the new cases are in it, and wrong.
    EXPECT_GE(rows, 200);
    EXPECT_GE(wrong, 60);
    for (const auto &[kind, phrase] : kinds)
        EXPECT_GT(seen[kind], 0) << kind;
}

TEST(AccuracyTable, TheNewCasesAreWrongWhereTheIssueSaysAndRightOnThePlainLines)
{
    // The cases the table was grown with, pinned as measured (DUT |dS21| dB
    // and degrees up to 0.8 fmax, 25 % for rounding changes): the bisection
    // split of mismatched fixtures is off, the DUT correction with another
    // launch makes the DUT worse than it was (2.7 dB against 1.6 dB), an
    // asymmetric pair spoils bisection but not the time gate's DUT, and the
    // plain lines are right with every 2x-thru method.
    struct Case
    {
        const char *row;
        double dutDb, dutDeg;
        bool wrong;
    };
    const Case cases[] = {
        {"2xthru/bisection/pad/harmonic", 0.832, 4.49, true},
        {"2xthru/bisection/lossy/bandpass", 0.706, 3.35, true},
        {"2xthru/bisection/asymmetric/harmonic", 1.001, 4.62, true},
        {"2xthru/timegate/asymmetric/harmonic", 0.005, 0.02, false},
        {"2xthru/timegate/longlossy/harmonic", 0.277, 1.39, false},
        {"dutcorrection/timegate/launch/harmonic", 2.715, 44.15, true},
        {"dutcorrection/timegate/launch/bandpass", 2.714, 44.15, true},
        {"1xreflect-open+comp/timegate/longline/harmonic", 3.040, 2.99, true},
        {"2xthru/bisection/line/harmonic", 1e-9, 1e-9, false},
        {"2xthru/filtering/longline/bandpass", 1e-9, 1e-9, false},
        {"dutcorrection/timegate/line/bandpass", 1e-9, 1e-9, false},
    };
    const std::vector<SynthNet::AccuracyRow> rows = SynthNet::accuracyRows();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.row);
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const auto &r) { return r.name == c.row; });
        ASSERT_NE(row, rows.end());
        const SynthNet::AccuracyResult r = SynthNet::runAccuracyRow(*row);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(SynthNet::isWrongDut(r.figures), c.wrong);
        EXPECT_LE(r.figures.dutDb, 1.25 * c.dutDb);
        EXPECT_LE(r.figures.dutDeg, 1.25 * c.dutDeg);
        if (c.wrong) {
            EXPECT_GE(r.figures.dutDb, 0.75 * c.dutDb);
            EXPECT_GE(r.figures.dutDeg, 0.75 * c.dutDeg);
        }
    }
}
