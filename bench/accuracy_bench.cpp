// Accuracy of every correction method and measurement kind against fixtures
// whose truth is known (synthetic networks): a pad capacitance before a
// lossy line, an impedance step (a short high-impedance neck) between two
// lines, a lossy mismatched line, and a line with pads at both ends; each on
// a harmonic (low-pass) grid and on a band-pass grid. One row per case,
// computed once; the columns are
//   fix_dB, fix_deg  largest |S21| error (dB) and phase error (degrees) of
//                    the fixture model up to 0.8 fmax,
//   fix_err          largest |dSij| of the model up to 0.8 fmax,
//   dut_dB, dut_err  the same for a DUT de-embedded with the models,
//   sv_08, sv_all    largest singular value of the models up to 0.8 fmax
//                    and over the whole band (above 1: the model has gain),
//   ok               1 when the calculation succeeded,
//   told             (reflection rows) how many texts the user got; they
//                    tell of a model with gain, of a compensation replaced
//                    by the gate, and of a gated one-standard model that the
//                    spline model contradicts (one text may tell several).
// The DUT is a 40 ohm line behind a series inductance, measured between the
// two fixtures (the right fixture is the left one mirrored). The figures
// come from tools/synthnet/accuracy.h, as those of the accuracy tests.
//
// Rows that agree do so for a reason, not by a fault of the table:
// - bisection, harmonic and band-pass: the fit is made point by point, and
//   the band-pass points (1 to 20 GHz in 100 MHz steps) are points of the
//   harmonic grid, so only the singular values (largest below 1 GHz) differ;
// - open-and-short and 2x-thru of one method: for a mirrored pair of
//   fixtures the open and the short are the even- and odd-mode reflections
//   of the thru, which the reflection process turns back into that thru;
// - the step fixture with and without compensation: the compensated model
//   has gain there, so the process keeps the gated one (and says so);
// - fix_dB and fix_deg of time gating and filtering with one standard: the
//   methods differ in the fixture's own reflection, not in its transmission.
//
// One standard takes the main reflection for the fixture's transmission
// squared. A reflection at the fixture's DUT end (the second pad of
// "twopads") arrives with the standard's and cannot be told apart from it:
// about 12 degrees on every grid, with or without compensation, and no
// check of one standard can see it (open and short together resolve it).

#include "algorithms/dutcorrection.h"
#include "algorithms/processfactory.h"
#include "algorithms/reflectionprocess.h"
#include "algorithms/timegatingtransmission.h"

#include "bench/benchsupport.h"
#include "synthnet/accuracy.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <string>

using namespace Algorithms;

namespace {

constexpr double kZ0 = 50.0;

struct FixtureCase
{
    const char *name;
    std::function<SynthNet::Network(const RealVector &)> build;
};

const FixtureCase kFixtures[] = {
    {"pad", SynthNet::padFixture},
    {"step", SynthNet::neckFixture},
    {"lossy", SynthNet::lossyFixture},
    {"twopads", SynthNet::twoPadFixture},
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

void report(benchmark::State &state, bool ok, const SynthNet::AccuracyFigures &s)
{
    state.counters["ok"] = ok ? 1 : 0;
    state.counters["fix_dB"] = s.fixtureDb;
    state.counters["fix_deg"] = s.fixtureDeg;
    state.counters["fix_err"] = s.fixtureError;
    state.counters["dut_dB"] = s.dutDb;
    state.counters["dut_err"] = s.dutError;
    state.counters["sv_08"] = s.singularValue;
    state.counters["sv_all"] = s.singularValueAll;
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
            const SParametersTwoPort inFixture =
                SynthNet::toS(SynthNet::dutInFixture(fixture, SynthNet::accuracyDut(gc.grid)));
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
               SynthNet::accuracyFigures(*ports.left.uncorrectedSParameters(), *ports.right.uncorrectedSParameters(),
                                         fixture, gc.grid));
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
        int notices = 0;
        QObject::connect(r, &IProcessMethod::error, [&notices](const QString &) { ++notices; });
        QObject::connect(r, &IProcessMethod::modelNotice, [&notices](const ModelNotice &) { ++notices; });
        const bool ok = r->run() && ports.left.uncorrectedSParameters();
        if (!ok) {
            report(state, false, {});
            continue;
        }
        SParametersTwoPort right = *ports.left.uncorrectedSParameters();
        right.swapPorts();
        report(state, true, SynthNet::accuracyFigures(*ports.left.uncorrectedSParameters(), right, fixture, gc.grid));
        state.counters["told"] = notices;
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
