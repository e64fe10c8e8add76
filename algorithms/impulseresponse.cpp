#include "algorithms/impulseresponse.h"

#include "algorithms/chirpz.h"
#include "algorithms/lowpassspectrum.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <numeric>

namespace Algorithms {

namespace {
constexpr double kTwoPi = 6.283185307179586476925286766559;
} // namespace

RealVector spanGrid(double start, double end, size_t k)
{
    RealVector grid = makeRange(start, end, (end - start) / static_cast<double>(k - 1));
    if (grid.size() != k) {
        grid.resize(k);
        for (size_t i = 0; i < k; ++i)
            grid[i] = start + (end - start) * static_cast<double>(i) / static_cast<double>(k - 1);
        grid.back() = end;
    }
    return grid;
}

namespace {

// The weights at integer positions 0..(K-1)/2 of one window (the others
// mirror them), filled in as they are first needed. Every stage of a
// calculation windows the same K with one of a few shapes, and the Bessel
// function dominates the cost, so each thread keeps its few latest tables.
struct KaiserTable
{
    size_t k = 0;
    double beta = 0.0;
    RealVector half; // -1 where not yet computed
};

constexpr size_t kKaiserTables = 4;

std::uint64_t bitsOf(double x)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

KaiserTable &kaiserTable(size_t k, double beta)
{
    thread_local std::deque<KaiserTable> tables;
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        // beta compared bit for bit: -0.0 or a NaN makes a table of its own
        if (it->k == k && bitsOf(it->beta) == bitsOf(beta)) {
            if (it != tables.begin()) {
                KaiserTable found = std::move(*it);
                tables.erase(it);
                tables.push_front(std::move(found));
            }
            return tables.front();
        }
    }
    tables.push_front(KaiserTable{k, beta, RealVector((k + 1) / 2, -1.0)});
    if (tables.size() > kKaiserTables)
        tables.pop_back();
    return tables.front();
}

} // namespace

RealVector kaiserWeights(const RealVector &positions, double beta)
{
    const size_t k = positions.size();
    if (k == 0)
        return {};
    if (k == 1)
        return {1.0};
    const double b = std::abs(beta);
    const double norm = std::cyl_bessel_i(0.0, b);
    const double km1 = static_cast<double>(k - 1);
    const auto weightAt = [&](double position) {
        const double r = (2.0 * position - km1) / km1;
        // clamp rounding just outside the window edge
        const double arg = std::max(0.0, 1.0 - r * r);
        return std::cyl_bessel_i(0.0, b * std::sqrt(arg)) / norm;
    };
    // The Bessel function is costly; integer positions p and K-1-p share a
    // weight, so each mirror pair is evaluated once (and kept for the next
    // call with this K and beta).
    RealVector &cache = kaiserTable(k, beta).half;
    RealVector w(k);
    for (size_t i = 0; i < k; ++i) {
        const double p = positions[i];
        if (p >= 0.0 && p <= km1 && p == std::floor(p)) {
            const size_t mirror = std::min(static_cast<size_t>(p), k - 1 - static_cast<size_t>(p));
            if (cache[mirror] < 0.0)
                cache[mirror] = weightAt(static_cast<double>(mirror));
            w[i] = cache[mirror];
        } else {
            w[i] = weightAt(p);
        }
    }
    return w;
}

TimeDomainResponse computeImpulseResponse(const ComplexVector &s, const RealVector &frequency, double tStart,
                                          double tEnd, double beta, GridMode pulseMode)
{
    if (s.empty() || frequency.size() != s.size() || !isFiniteVector(frequency))
        return {};
    double dc = 0.0;
    if (pulseMode == GridMode::LowPass)
        dc = extrapolateDcValue(s, *std::max_element(frequency.begin(), frequency.end()));

    TwoSidedSpectrum two = makeTwoSidedSpectrum(frequency, s, Complex(dc, 0.0), pulseMode);
    if (!isFiniteVector(two.time) || !isFiniteVector(two.positions) || !isFiniteComplexVector(two.spectrum))
        return {};

    const size_t k = two.spectrum.size();
    const double kd = static_cast<double>(k);
    const double dt = two.time[1] - two.time[0];

    RealVector t = tStart < tEnd ? spanGrid(tStart, tEnd, k) : two.time;
    RealVector u(k);
    for (size_t i = 0; i < k; ++i)
        u[i] = t[i] / dt;

    RealVector w = kaiserWeights(two.positions, beta);
    const Complex j(0.0, 1.0);
    const Complex a = std::exp(j * (kTwoPi * u[0] / kd));
    const Complex step = std::exp(j * (kTwoPi * (u[1] - u[0]) / kd));

    ComplexVector x = std::move(two.spectrum);
    if (pulseMode == GridMode::LowPass) {
        // FFT order (DC, +1..+N, -N..-1) to natural order (-N..-1, DC, +1..+N)
        const size_t n = (k - 1) / 2;
        std::rotate(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(n + 1), x.end());
        std::rotate(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(n + 1), w.end());
    }

    ComplexVector y = chirpZTransform(x, a, step, w, pulseMode);
    const double weightSum = std::accumulate(w.begin(), w.end(), 0.0);
    if (y.size() != k)
        return {};
    for (Complex &v : y)
        v = v / kd / (weightSum / kd);

    TimeDomainResponse result;
    result.time = std::move(t);
    result.values = std::move(y);
    return result;
}

Peak findPeak(const ComplexVector &values)
{
    Peak peak;
    for (size_t i = 0; i < values.size(); ++i) {
        const double m = std::hypot(values[i].real(), values[i].imag());
        if (m > peak.magnitude) {
            peak.magnitude = m;
            peak.index = i;
        }
    }
    return peak;
}

} // namespace Algorithms
