// Cost of the time-domain primitives at 201, 1601 and 10001 points, each next
// to the plain FFT it is built from: the chirp-z transform of the impulse and
// step responses works on the padded length L = nextPowerOfTwo(2K - 1),
// the gating on the two-sided length K = 2N + 1. The gate-centre scan is
// set beside the same scan written out plainly (one FFTW transform of
// length K per position, a phase factor and a complex magnitude per
// sample), as it was before it was made faster: goal at most a third of
// its time at 10001 points.

#include "algorithms/fft.h"
#include "algorithms/impulseresponse.h"
#include "algorithms/lowpassspectrum.h"
#include "algorithms/stepresponse.h"
#include "algorithms/timegating.h"

#include "bench/benchratios.h"
#include "synthnet/referencefits.h"
#include "synthnet/synthnet.h"

#include <benchmark/benchmark.h>

#include <fftw3.h>

using namespace Algorithms;

namespace {

struct Fixture
{
    RealVector frequency;
    ComplexVector reflection;
};

// A 60 ohm line in 50 ohm on a harmonic grid up to 20 GHz.
Fixture makeFixture(size_t n)
{
    Fixture f;
    f.frequency = SynthNet::harmonicGrid(20e9 / static_cast<double>(n), n);
    const auto s = SynthNet::toS(SynthNet::line(f.frequency, {60.0, 200e-12, 0.2}), 50.0, 50.0);
    f.reflection = s.s11();
    return f;
}

void fftOfLength(benchmark::State &state, size_t length)
{
    FftBuffer buffer(length);
    for (size_t i = 0; i < length; ++i)
        buffer[i] = Complex(1.0 / (1.0 + static_cast<double>(i)), 0.5);
    FftPlan plan(buffer, FFTW_BACKWARD);
    for (auto _ : state) {
        plan.execute(buffer);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.counters["length"] = static_cast<double>(length);
}

size_t paddedLength(size_t n)
{
    return nextPowerOfTwo(2 * (2 * n + 1) - 1);
}

void BM_FftFloorChirpZ(benchmark::State &state)
{
    fftOfLength(state, paddedLength(static_cast<size_t>(state.range(0))));
}

void BM_ImpulseResponse(benchmark::State &state)
{
    const Fixture f = makeFixture(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        TimeDomainResponse r = computeImpulseResponse(f.reflection, f.frequency, 0.0, 1e-9, 3.0, GridMode::LowPass);
        benchmark::DoNotOptimize(r.values.data());
    }
}

void BM_StepResponse(benchmark::State &state)
{
    const Fixture f = makeFixture(static_cast<size_t>(state.range(0)));
    const double df = f.frequency[0];
    for (auto _ : state) {
        StepResponseProfile p =
            computeStepResponse(f.reflection, f.frequency, -2e-10, 1e-9, 3.0, -0.5 / df, -2e-10, 50.0);
        benchmark::DoNotOptimize(p.impedance.data());
    }
}

void BM_FftFloorGate(benchmark::State &state)
{
    fftOfLength(state, 2 * static_cast<size_t>(state.range(0)) + 1);
}

GateParameters benchGate()
{
    GateParameters g;
    g.start = -2e-10;
    g.stop = 200e-12;
    g.betaX = 6.0;
    g.centre = 0.0;
    g.halfWidth = 2e-10;
    return g;
}

void BM_GateSpectrum(benchmark::State &state)
{
    const Fixture f = makeFixture(static_cast<size_t>(state.range(0)));
    const GateParameters gate = benchGate();
    for (auto _ : state) {
        ComplexVector g = gateSpectrum(f.reflection, f.frequency, GridMode::LowPass, gate);
        benchmark::DoNotOptimize(g.data());
    }
}

// The scan runs one K-point transform per position (at most 500).
void BM_RefineGateCentreScan(benchmark::State &state)
{
    const Fixture f = makeFixture(static_cast<size_t>(state.range(0)));
    const GateParameters gate = benchGate();
    for (auto _ : state) {
        auto c =
            refineGateCentre(f.reflection, f.frequency, GateCentreMode::LeastResponseInGate, gate, GridMode::LowPass);
        benchmark::DoNotOptimize(c);
    }
}

// The reference: every position's shifted spectrum from its own phase
// factors and one transform each.
void BM_RefineGateCentrePlainScan(benchmark::State &state)
{
    const Fixture f = makeFixture(static_cast<size_t>(state.range(0)));
    const GateParameters gate = benchGate();
    for (auto _ : state)
        benchmark::DoNotOptimize(SynthNet::gateCentreReferenceScan(f.reflection, f.frequency, gate, GridMode::LowPass));
}

} // namespace

BENCHMARK(BM_FftFloorChirpZ)->Arg(201)->Arg(1601)->Arg(10001)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ImpulseResponse)->Arg(201)->Arg(1601)->Arg(10001)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepResponse)->Arg(201)->Arg(1601)->Arg(10001)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftFloorGate)->Arg(201)->Arg(1601)->Arg(10001)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GateSpectrum)->Arg(201)->Arg(1601)->Arg(10001)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefineGateCentreScan)->Arg(201)->Arg(1601)->Arg(10001)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefineGateCentrePlainScan)->Arg(201)->Arg(1601)->Arg(10001)->Unit(benchmark::kMillisecond);

BENCH_RATIOS_MAIN((std::vector<BenchRatios::Ratio>{
    {"BM_ImpulseResponse/201", "BM_FftFloorChirpZ/201", 0.0},
    {"BM_ImpulseResponse/1601", "BM_FftFloorChirpZ/1601", 0.0},
    {"BM_ImpulseResponse/10001", "BM_FftFloorChirpZ/10001", 0.0},
    {"BM_StepResponse/201", "BM_FftFloorChirpZ/201", 0.0},
    {"BM_StepResponse/1601", "BM_FftFloorChirpZ/1601", 0.0},
    {"BM_StepResponse/10001", "BM_FftFloorChirpZ/10001", 0.0},
    {"BM_GateSpectrum/201", "BM_FftFloorGate/201", 0.0},
    {"BM_GateSpectrum/1601", "BM_FftFloorGate/1601", 0.0},
    {"BM_GateSpectrum/10001", "BM_FftFloorGate/10001", 0.0},
    {"BM_RefineGateCentreScan/201", "BM_RefineGateCentrePlainScan/201", 0.0},
    {"BM_RefineGateCentreScan/1601", "BM_RefineGateCentrePlainScan/1601", 0.0},
    {"BM_RefineGateCentreScan/10001", "BM_RefineGateCentrePlainScan/10001", 1.0 / 3.0},
}))
