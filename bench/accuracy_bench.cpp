// Accuracy of every correction method and measurement kind against fixtures
// whose truth is known (synthetic networks): a pad capacitance before a
// lossy line, an impedance step (a short high-impedance neck) between two
// lines, and a lossy mismatched line; each on a harmonic (low-pass) grid and
// on a band-pass grid. One row per case, computed once; the columns are
//   fix_dB, fix_deg  largest |S21| error (dB) and phase error (degrees) of
//                    the fixture model up to 0.8 fmax,
//   fix_err          largest |dSij| of the model up to 0.8 fmax,
//   dut_dB, dut_err  the same for a DUT de-embedded with the models,
//   sv_08, sv_all    largest singular value of the models up to 0.8 fmax
//                    and over the whole band (above 1: the model has gain),
//   ok               1 when the calculation succeeded.
// The DUT is a 40 ohm line behind a series inductance, measured between the
// two fixtures (the right fixture is the left one mirrored).

#include "algorithms/dutcorrection.h"
#include "algorithms/passivity.h"
#include "algorithms/processfactory.h"
#include "algorithms/reflectionprocess.h"
#include "algorithms/timegatingtransmission.h"

#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <functional>
#include <string>

using namespace Algorithms;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kZ0 = 50.0;

struct FixtureCase
{
    const char *name;
    std::function<SynthNet::Network(const RealVector &)> build;
};

const FixtureCase kFixtures[] = {
    {"pad",
     [](const RealVector &f) {
         return SynthNet::cascade(SynthNet::shuntGC(f, 0.0, 0.1e-12), SynthNet::line(f, {50.0, 200e-12, 0.3}));
     }},
    {"step",
     [](const RealVector &f) {
         return SynthNet::cascade({SynthNet::line(f, {50.0, 100e-12, 0.2}), SynthNet::line(f, {63.0, 20e-12, 0.0}),
                                   SynthNet::line(f, {50.0, 100e-12, 0.2})});
     }},
    {"lossy",
     [](const RealVector &f) {
         return SynthNet::cascade(SynthNet::shuntGC(f, 0.0, 0.05e-12), SynthNet::line(f, {55.0, 250e-12, 1.0}));
     }},
};

struct GridCase
{
    const char *name;
    RealVector grid;
};

const GridCase kGrids[] = {
    {"harmonic", SynthNet::harmonicGrid(100e6, 200)},
    {"bandpass", SynthNet::uniformGrid(1e9, 20e9, 191)},
};

SynthNet::Network dutOn(const RealVector &f)
{
    return SynthNet::cascade(SynthNet::seriesRL(f, 0.0, 0.2e-9), SynthNet::line(f, {40.0, 80e-12, 0.2}));
}

using Abcd = std::array<Complex, 4>;

Abcd abcdOf(Complex s11, Complex s12, Complex s21, Complex s22)
{
    const Complex d = 2.0 * s21;
    return {((1.0 + s11) * (1.0 - s22) + s12 * s21) / d, kZ0 * ((1.0 + s11) * (1.0 + s22) - s12 * s21) / d,
            ((1.0 - s11) * (1.0 - s22) - s12 * s21) / (d * kZ0), ((1.0 - s11) * (1.0 + s22) + s12 * s21) / d};
}

Abcd times(const Abcd &x, const Abcd &y)
{
    return {x[0] * y[0] + x[1] * y[2], x[0] * y[1] + x[1] * y[3], x[2] * y[0] + x[3] * y[2], x[2] * y[1] + x[3] * y[3]};
}

Abcd inverse(const Abcd &x)
{
    const Complex det = x[0] * x[3] - x[1] * x[2];
    return {x[3] / det, -x[1] / det, -x[2] / det, x[0] / det};
}

std::array<Complex, 4> sOf(const Abcd &x)
{
    const Complex a = x[0], b = x[1] / kZ0, c = x[2] * kZ0, d = x[3];
    const Complex den = a + b + c + d;
    return {(a + b - c - d) / den, 2.0 * (a * d - x[1] * x[2]) / den, 2.0 / den, (-a + b - c + d) / den};
}

struct Scores
{
    double fixDb = 0, fixDeg = 0, fixErr = 0, dutDb = 0, dutErr = 0, sv08 = 0, svAll = 0;
};

double dbError(Complex a, Complex b)
{
    return std::abs(20.0 * std::log10(std::abs(a)) - 20.0 * std::log10(std::abs(b)));
}

double degError(Complex a, Complex b)
{
    return std::abs(std::arg(a / b)) * 180.0 / kPi;
}

// left: port 1 at the analyser; right: port 1 at the DUT.
Scores score(const SParametersTwoPort &left, const SParametersTwoPort &right, const SynthNet::Network &fixture,
             const RealVector &f)
{
    Scores s;
    const SParametersTwoPort truth = SynthNet::toS(fixture);
    const SParametersTwoPort dut = SynthNet::toS(dutOn(f));
    const SParametersTwoPort measured = SynthNet::toS(SynthNet::dutInFixture(fixture, dutOn(f)));
    const double top = 0.8 * f.back();
    for (size_t i = 0; i < f.size(); ++i) {
        for (const SParametersTwoPort *m : {&left, &right})
            s.svAll = std::max(s.svAll, largestSingularValue(m->s11()[i], m->s12()[i], m->s21()[i], m->s22()[i]));
        if (f[i] > top)
            continue;
        for (const SParametersTwoPort *m : {&left, &right})
            s.sv08 = std::max(s.sv08, largestSingularValue(m->s11()[i], m->s12()[i], m->s21()[i], m->s22()[i]));
        s.fixDb = std::max(s.fixDb, dbError(left.s21()[i], truth.s21()[i]));
        s.fixDeg = std::max(s.fixDeg, degError(left.s21()[i], truth.s21()[i]));
        s.fixErr =
            std::max({s.fixErr, std::abs(left.s11()[i] - truth.s11()[i]), std::abs(left.s21()[i] - truth.s21()[i]),
                      std::abs(left.s12()[i] - truth.s12()[i]), std::abs(left.s22()[i] - truth.s22()[i])});
        const Abcd l = abcdOf(left.s11()[i], left.s12()[i], left.s21()[i], left.s22()[i]);
        const Abcd r = abcdOf(right.s11()[i], right.s12()[i], right.s21()[i], right.s22()[i]);
        const Abcd m = abcdOf(measured.s11()[i], measured.s12()[i], measured.s21()[i], measured.s22()[i]);
        const auto d = sOf(times(times(inverse(l), m), inverse(r)));
        s.dutDb = std::max(s.dutDb, dbError(d[2], dut.s21()[i]));
        s.dutErr = std::max({s.dutErr, std::abs(d[0] - dut.s11()[i]), std::abs(d[1] - dut.s12()[i]),
                             std::abs(d[2] - dut.s21()[i]), std::abs(d[3] - dut.s22()[i])});
    }
    return s;
}

void report(benchmark::State &state, bool ok, const Scores &s)
{
    state.counters["ok"] = ok ? 1 : 0;
    state.counters["fix_dB"] = s.fixDb;
    state.counters["fix_deg"] = s.fixDeg;
    state.counters["fix_err"] = s.fixErr;
    state.counters["dut_dB"] = s.dutDb;
    state.counters["dut_err"] = s.dutErr;
    state.counters["sv_08"] = s.sv08;
    state.counters["sv_all"] = s.svAll;
}

struct Ports
{
    Ports()
    {
        for (FixturePort *p : {&left, &right}) {
            p->setZ0Impedance(kZ0);
            p->setConversionType(Z0ConversionType::None);
        }
    }
    FixturePort left, right;
};

void thruCase(benchmark::State &state, ProcessFactory::ProcessIndex index, const FixtureCase &fc, const GridCase &gc,
              bool dutCorrection)
{
    BenchSupport::application();
    const SynthNet::Network fixture = fc.build(gc.grid);
    for (auto _ : state) {
        ProcessInputParameters params;
        Ports ports;
        const auto process = ProcessFactory::createProcess(index);
        auto *t = qobject_cast<TransmissionProcess *>(process.get());
        t->setParameters(&params);
        t->setFixturesForCalculate(&ports.left, &ports.right);
        t->setInputData(SynthNet::toS(SynthNet::twoXThru(fixture)));
        bool ok = t->run();
        if (ok && dutCorrection) {
            const SParametersTwoPort inFixture = SynthNet::toS(SynthNet::dutInFixture(fixture, dutOn(gc.grid)));
            SParametersOnePort l, r;
            l.setFrequency(gc.grid);
            l.setS11(inFixture.s11());
            r.setFrequency(gc.grid);
            r.setS11(inFixture.s22());
            ok = t->calculateDUT(l, r);
        }
        if (!ok || !ports.left.uncorrectedSParameters() || !ports.right.uncorrectedSParameters()) {
            report(state, false, {});
            continue;
        }
        report(state, true,
               score(*ports.left.uncorrectedSParameters(), *ports.right.uncorrectedSParameters(), fixture, gc.grid));
    }
}

// kind: 0 open, 1 short, 2 open and short.
void reflectCase(benchmark::State &state, bool filtering, int kind, MaxSignalEliminationType signalType,
                 const FixtureCase &fc, const GridCase &gc)
{
    BenchSupport::application();
    const SynthNet::Network fixture = fc.build(gc.grid);
    for (auto _ : state) {
        ProcessInputParameters params;
        Ports ports;
        const ProcessFactory::ProcessIndex index =
            kind == 2 ? (filtering ? ProcessFactory::ProcessIndex::FilteringReflectOpenAndShort
                                   : ProcessFactory::ProcessIndex::TimeGateReflectOpenAndShort)
                      : (filtering ? ProcessFactory::ProcessIndex::FilteringReflect
                                   : ProcessFactory::ProcessIndex::TimeGateReflect);
        const auto process = ProcessFactory::createProcess(index);
        auto *r = qobject_cast<ReflectProcess *>(process.get());
        r->setParameters(&params);
        r->setFixturesForCalculate(&ports.left);
        if (auto *pair = qobject_cast<ReflectProcessOpenAndShort *>(r)) {
            pair->setOpenAndShort(SynthNet::terminate(fixture, 1.0), SynthNet::terminate(fixture, -1.0));
        } else if (auto *single = qobject_cast<ReflectProcessOpenOrShort *>(r)) {
            single->setInputData(SynthNet::terminate(fixture, kind == 1 ? -1.0 : 1.0));
            single->setIsShort(kind == 1);
            single->setSignalType(signalType);
        }
        const bool ok = r->run() && ports.left.uncorrectedSParameters();
        if (!ok) {
            report(state, false, {});
            continue;
        }
        SParametersTwoPort right = *ports.left.uncorrectedSParameters();
        right.swapPorts();
        report(state, true, score(*ports.left.uncorrectedSParameters(), right, fixture, gc.grid));
    }
}

int registerAll()
{
    for (const FixtureCase &fc : kFixtures) {
        for (const GridCase &gc : kGrids) {
            const std::string tail = std::string("/") + fc.name + "/" + gc.name;
            const auto add = [](const std::string &name, auto fn) {
                benchmark::RegisterBenchmark(name.c_str(), fn)->Iterations(1)->Unit(benchmark::kMillisecond);
            };
            add("2xthru/timegate" + tail, [&fc, &gc](benchmark::State &s) {
                thruCase(s, ProcessFactory::ProcessIndex::TimeGate, fc, gc, false);
            });
            add("2xthru/filtering" + tail, [&fc, &gc](benchmark::State &s) {
                thruCase(s, ProcessFactory::ProcessIndex::Filtering, fc, gc, false);
            });
            add("2xthru/bisection" + tail,
                [&fc, &gc](benchmark::State &s) { thruCase(s, ProcessFactory::ProcessIndex::Bisect, fc, gc, false); });
            add("dutcorrection/timegate" + tail,
                [&fc, &gc](benchmark::State &s) { thruCase(s, ProcessFactory::ProcessIndex::TimeGate, fc, gc, true); });
            for (const bool filtering : {false, true}) {
                const std::string method = filtering ? "/filtering" : "/timegate";
                for (const MaxSignalEliminationType signalType :
                     {MaxSignalEliminationType::Model, MaxSignalEliminationType::TimeGate}) {
                    const std::string comp = signalType == MaxSignalEliminationType::Model ? "+comp" : "";
                    add("1xreflect-open" + comp + method + tail,
                        [=, &fc, &gc](benchmark::State &s) { reflectCase(s, filtering, 0, signalType, fc, gc); });
                    add("1xreflect-short" + comp + method + tail,
                        [=, &fc, &gc](benchmark::State &s) { reflectCase(s, filtering, 1, signalType, fc, gc); });
                }
                add("1xreflect-both" + method + tail, [=, &fc, &gc](benchmark::State &s) {
                    reflectCase(s, filtering, 2, MaxSignalEliminationType::Model, fc, gc);
                });
            }
        }
    }
    return 0;
}

const int registered = registerAll();

} // namespace
