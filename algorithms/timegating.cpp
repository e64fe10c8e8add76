#include "algorithms/timegating.h"

#include "algorithms/fft.h"
#include "algorithms/impulseresponse.h"
#include "algorithms/logging.h"
#include "algorithms/lowpassspectrum.h"

#include <fftw3.h>

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <utility>

namespace Algorithms {

namespace {
constexpr double kPi = 3.14159265358979323846264338327950;
constexpr double kTwoPi = 2.0 * kPi;
// Step of the centre scan, and the most positions it may try.
constexpr double kScanStep = 1e-13;
constexpr size_t kMaxScanPositions = 500;

double sinc(double u)
{
    if (u == 0.0)
        return 1.0;
    return std::sin(kPi * u) / (kPi * u);
}

bool usableGrid(const RealVector &frequency)
{
    if (frequency.size() < 2 || !isFiniteVector(frequency))
        return false;
    const double df = frequency[1] - frequency[0];
    return df > 0.0;
}

bool usableGate(const GateParameters &gate)
{
    const bool finite = std::isfinite(gate.start) && std::isfinite(gate.stop) && std::isfinite(gate.betaX)
                        && std::isfinite(gate.centre) && std::isfinite(gate.halfWidth);
    // A gate that ends before it starts would come out sign-inverted.
    return finite && gate.stop > gate.start && gate.halfWidth >= 0.0;
}

double highestFrequency(const RealVector &frequency)
{
    return *std::max_element(frequency.begin(), frequency.end());
}

size_t twoSidedLength(size_t n, GridMode gridMode)
{
    return gridMode == GridMode::LowPass ? 2 * n + 1 : n;
}

bool usableGateInput(const RealVector &frequency, GridMode gridMode, const GateParameters &gate)
{
    if ((gridMode != GridMode::LowPass && gridMode != GridMode::BandPass) || !usableGrid(frequency)) {
        qCDebug(lcAlgorithms) << "gateShape: unusable grid or grid mode" << static_cast<int>(gridMode);
        return false;
    }
    if (!usableGate(gate)) {
        qCDebug(lcAlgorithms) << "gateShape: unusable gate" << gate.start << gate.stop << gate.halfWidth;
        return false;
    }
    return true;
}

// The gate samples of checked input, computed in buffer (of length
// twoSidedLength(N, gridMode)).
RealVector computeGateShape(const RealVector &frequency, GridMode gridMode, const GateParameters &gate,
                            FftBuffer &buffer)
{
    const size_t n = frequency.size();
    const double df = frequency[1] - frequency[0];

    // Frequencies and window positions in FFT order.
    RealVector g;
    RealVector p;
    if (gridMode == GridMode::LowPass) {
        g.reserve(2 * n + 1);
        p.reserve(2 * n + 1);
        g.push_back(0.0);
        for (double f : frequency)
            g.push_back(f);
        for (size_t i = n; i-- > 0;)
            g.push_back(-frequency[i]);
        for (size_t i = 0; i <= n; ++i)
            p.push_back(static_cast<double>(n - i));
        for (size_t i = 0; i < n; ++i)
            p.push_back(static_cast<double>(i));
    } else {
        // a symmetric grid of the same step and length
        const bool odd = n % 2 == 1;
        const size_t x = odd ? (n - 1) / 2 : n / 2 - 1;
        const size_t negative = odd ? x : x + 1;
        for (size_t i = 0; i <= x; ++i) {
            g.push_back(static_cast<double>(i) * df);
            p.push_back(static_cast<double>(x - i));
        }
        for (size_t i = negative; i >= 1; --i)
            g.push_back(-static_cast<double>(i) * df);
        for (size_t i = 0; i < negative; ++i)
            p.push_back(static_cast<double>(i));
    }

    const size_t k = g.size();
    if (buffer.size() != k)
        return {};
    const double width = 2.0 * gate.halfWidth;
    const double offset = gate.centre - (gate.start + gate.stop) / 2.0;
    const RealVector taper = kaiserWeights(p, gate.betaX);

    for (size_t i = 0; i < k; ++i)
        buffer[i] = width * sinc(width * g[i]) * std::polar(1.0, kTwoPi * g[i] * offset) * taper[i];
    if (!threadDft(buffer, FFTW_BACKWARD))
        return {};

    const double kd = static_cast<double>(k);
    RealVector shape(k);
    for (size_t i = 0; i < k; ++i)
        shape[i] = (buffer[i].real() / kd) * kd * df;
    return shape;
}
// sum |Re y| shape and sum |Im y| shape over k samples: the scores of the
// two positions that share a transform. Four partial sums each, so that the
// additions do not wait on one another.
std::pair<double, double> pairScores(const Complex *y, const double *shape, size_t k)
{
    double re[4] = {0.0, 0.0, 0.0, 0.0};
    double im[4] = {0.0, 0.0, 0.0, 0.0};
    size_t i = 0;
    for (; i + 4 <= k; i += 4) {
        for (size_t q = 0; q < 4; ++q) {
            re[q] += std::abs(y[i + q].real()) * shape[i + q];
            im[q] += std::abs(y[i + q].imag()) * shape[i + q];
        }
    }
    for (; i < k; ++i) {
        re[0] += std::abs(y[i].real()) * shape[i];
        im[0] += std::abs(y[i].imag()) * shape[i];
    }
    return {(re[0] + re[1]) + (re[2] + re[3]), (im[0] + im[1]) + (im[2] + im[3])};
}

// The centre moved so that the phase at the highest frequency (low-pass), or
// across the band (band-pass), winds no more than half a turn.
std::optional<double> highestPointCentre(const ComplexVector &s, const RealVector &frequency, double centre,
                                         GridMode gridMode)
{
    const size_t n = s.size();
    const double fLast = frequency[n - 1];
    const double fFirst = frequency[0];
    const auto reduce = [](double phi) { return phi - kTwoPi * std::round(phi / kTwoPi); };
    double phi = 0.0;
    if (gridMode == GridMode::LowPass) {
        phi = std::arg(s[n - 1]) + kTwoPi * centre * fLast;
    } else {
        phi = (std::arg(s[n - 1]) + kTwoPi * centre * fLast) - (std::arg(s[0]) + kTwoPi * centre * fFirst);
    }
    phi = reduce(reduce(phi));
    double e = 0.0;
    if (gridMode == GridMode::LowPass)
        e = phi / (kTwoPi * fLast);
    else if (gridMode == GridMode::BandPass)
        e = phi / (kTwoPi * (fLast - fFirst));
    const double refined = centre - e;
    if (!std::isfinite(refined))
        return std::nullopt;
    return refined;
}

// The positions a least-response scan tries: count of them (even), step
// apart, centred on the gate's centre.
struct ScanPositions
{
    size_t count = 0;
    double step = 0.0;
};

std::optional<ScanPositions> scanPositions(const RealVector &frequency, GridMode gridMode)
{
    const double fmax = highestFrequency(frequency);
    const double fmin = *std::min_element(frequency.begin(), frequency.end());
    const double nd = static_cast<double>(frequency.size());
    // One natural time step (low-pass) or half of one (band-pass).
    const double d = gridMode == GridMode::LowPass ? 2.0 * nd / (2.0 * fmax * (2.0 * nd + 1.0))
                                                   : (nd - 1.0) / ((fmax - fmin) * nd) * 0.5;
    if (!std::isfinite(d) || !(d > 0.0))
        return std::nullopt;

    // 0.1 ps steps; a coarse grid would need millions of them, so the count
    // is capped and the step widened to cover -d .. +d instead.
    const double wanted = std::ceil(d / kScanStep);
    ScanPositions out;
    out.step = kScanStep;
    if (wanted > static_cast<double>(kMaxScanPositions)) {
        // Same span as the uncapped scan (count * step = d), coarser step.
        out.count = kMaxScanPositions;
        out.step = d / static_cast<double>(out.count);
    } else {
        out.count = static_cast<size_t>(wanted);
        out.count -= out.count % 2;
    }
    if (out.count == 0)
        return std::nullopt;
    return out;
}

// (the products written out: finite here, and without the library's
// checks for infinite parts the loops run several times faster)
inline Complex multiply(const Complex &a, const Complex &b)
{
    return Complex(a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real());
}

// The least-response scan: the response inside the gate of the data
// shifted to each position, and the position where it is least.
class CentreScan
{
public:
    CentreScan(const ComplexVector &s, const RealVector &frequency, double centre, const ScanPositions &positions,
               FftBuffer &buffer, const RealVector &shape)
        : s(s),
          frequency(frequency),
          n(s.size()),
          k(shape.size()),
          centre(centre),
          step(positions.step),
          count(positions.count),
          // count is even, so the half is exact
          half(static_cast<double>(positions.count) / 2.0),
          buffer(buffer),
          shape(shape),
          rotation(n),
          factor(n)
    {
        for (size_t i = 0; i < n; ++i)
            rotation[i] = std::polar(1.0, kTwoPi * step * frequency[i]);
    }

    // The score of a position is the response inside the gate, sum |y| shape
    // (its common factor 1 / K left out).
    bool scanLowPass(double dc);
    bool scanBandPass();

    std::optional<double> best() const
    {
        if (!std::isfinite(bestScore))
            return std::nullopt;
        return centre + (static_cast<double>(bestAt) - half) * step;
    }

private:
    // The shifted spectrum s[i] exp(j 2 pi tau f[i]) of each position: the
    // factors step by one position's rotation and are recomputed exactly
    // every few positions.
    static constexpr size_t kAnchorEvery = 16;
    static_assert(kAnchorEvery % 2 == 0, "the positions are paired from an even one");

    double tauAt(size_t j) const { return centre + (static_cast<double>(j) - half) * step; }

    // The factors of position j from those of j - 1.
    void advance(size_t j)
    {
        const size_t points = n;
        Complex *factors = factor.data();
        if (j % kAnchorEvery == 0) {
            const double tau = tauAt(j);
            const double *f = frequency.data();
            for (size_t i = 0; i < points; ++i)
                factors[i] = std::polar(1.0, kTwoPi * tau * f[i]);
        } else {
            const Complex *rotate = rotation.data();
            for (size_t i = 0; i < points; ++i)
                factors[i] = multiply(factors[i], rotate[i]);
        }
    }

    void consider(size_t j, double score)
    {
        if (j == 0 || score < bestScore) {
            bestAt = j;
            bestScore = score;
        }
    }

    const ComplexVector &s;
    const RealVector &frequency;
    const size_t n;
    const size_t k;
    const double centre;
    const double step;
    const size_t count;
    const double half;
    FftBuffer &buffer;
    const RealVector &shape;
    ComplexVector rotation;
    ComplexVector factor;
    size_t bestAt = 0;
    double bestScore = 0.0;
};

bool CentreScan::scanLowPass(double dc)
{
    // The loops work on local copies of the members, so that the compiler
    // keeps them in registers across the stores into the buffer.
    const size_t points = n;
    const Complex *data = s.data();
    const Complex *rotate = rotation.data();
    Complex *factors = factor.data();
    Complex *out = buffer.data();
    // a + i b at +f, conj(a) + i conj(b) at -f
    const auto put = [out, points](size_t i, const Complex &a, const Complex &b) {
        out[1 + i] = Complex(a.real() - b.imag(), a.imag() + b.real());
        out[2 * points - i] = Complex(a.real() + b.imag(), b.real() - a.imag());
    };
    // A two-sided spectrum of conjugate halves has a real response, so
    // two positions share one transform: y(j) + i y(j + 1).
    for (size_t j = 0; j < count; j += 2) {
        const bool pair = j + 1 < count;
        out[0] = Complex(dc, pair ? dc : 0.0);
        if (pair) {
            // j is even, so j + 1 is never an anchor: its factors are
            // those of j times the rotation. Both in one pass.
            const bool anchor = j % kAnchorEvery == 0;
            if (anchor)
                advance(j);
            for (size_t i = 0; i < points; ++i) {
                const Complex fa = anchor ? factors[i] : multiply(factors[i], rotate[i]);
                const Complex fb = multiply(fa, rotate[i]);
                factors[i] = fb;
                put(i, multiply(data[i], fa), multiply(data[i], fb));
            }
        } else {
            advance(j);
            for (size_t i = 0; i < points; ++i)
                put(i, multiply(data[i], factors[i]), Complex(0.0, 0.0));
        }
        if (!threadDft(buffer, FFTW_BACKWARD))
            return false;
        const auto [scoreA, scoreB] = pairScores(out, shape.data(), k);
        consider(j, scoreA);
        if (pair)
            consider(j + 1, scoreB);
    }
    return true;
}

bool CentreScan::scanBandPass()
{
    const size_t points = n;
    const Complex *data = s.data();
    const Complex *factors = factor.data();
    const double *window = shape.data();
    Complex *out = buffer.data();
    for (size_t j = 0; j < count; ++j) {
        advance(j);
        for (size_t i = 0; i < points; ++i)
            out[i] = multiply(data[i], factors[i]);
        if (!threadDft(buffer, FFTW_BACKWARD))
            return false;
        double score = 0.0;
        for (size_t i = 0; i < k; ++i)
            score += std::sqrt(std::norm(out[i])) * window[i];
        consider(j, score);
    }
    return true;
}

} // namespace

RealVector gateShape(const RealVector &frequency, GridMode gridMode, const GateParameters &gate)
{
    if (!usableGateInput(frequency, gridMode, gate))
        return {};
    const size_t k = twoSidedLength(frequency.size(), gridMode);
    FftBuffer buffer(k);
    return computeGateShape(frequency, gridMode, gate, buffer);
}

ComplexVector gateSpectrum(const ComplexVector &s, const RealVector &frequency, GridMode gridMode,
                           const GateParameters &gate)
{
    const size_t n = s.size();
    if (frequency.size() != n || !usableGateInput(frequency, gridMode, gate))
        return {};
    const size_t k = twoSidedLength(n, gridMode);
    FftBuffer buffer(k);
    const RealVector shape = computeGateShape(frequency, gridMode, gate, buffer);
    if (shape.size() != k)
        return {};

    const double dc = gridMode == GridMode::LowPass ? extrapolateDcValue(s, highestFrequency(frequency)) : 0.0;

    // Shift the data by the centre so that the gate lies at start .. stop.
    ComplexVector shift(n);
    ComplexVector shifted(n);
    for (size_t i = 0; i < n; ++i) {
        shift[i] = std::polar(1.0, kTwoPi * gate.centre * frequency[i]);
        shifted[i] = s[i] * shift[i];
    }
    const TwoSidedSpectrum two = makeTwoSidedSpectrum(frequency, shifted, Complex(dc, 0.0), gridMode);
    if (two.spectrum.size() != k)
        return {};

    for (size_t i = 0; i < k; ++i)
        buffer[i] = two.spectrum[i];
    if (!threadDft(buffer, FFTW_BACKWARD))
        return {};
    const double kd = static_cast<double>(k);
    for (size_t i = 0; i < k; ++i)
        buffer[i] = buffer[i] / kd * shape[i];
    if (!threadDft(buffer, FFTW_FORWARD))
        return {};

    // Positive harmonics (low-pass) or the measured points (band-pass).
    const size_t first = gridMode == GridMode::LowPass ? 1 : 0;
    ComplexVector result(n);
    // undo the unit-modulus shift: multiply by its conjugate
    for (size_t i = 0; i < n; ++i)
        result[i] = buffer[first + i] * std::conj(shift[i]);
    return result;
}

std::optional<double> refineGateCentre(const ComplexVector &s, const RealVector &frequency, GateCentreMode centreMode,
                                       const GateParameters &gate, GridMode gridMode)
{
    const size_t n = s.size();
    if (frequency.size() != n || !usableGrid(frequency))
        return std::nullopt;
    if (centreMode == GateCentreMode::HighestPoint)
        return highestPointCentre(s, frequency, gate.centre, gridMode);
    if (centreMode != GateCentreMode::LeastResponseInGate)
        return std::nullopt;

    if (gridMode != GridMode::LowPass && gridMode != GridMode::BandPass)
        return std::nullopt;
    const std::optional<ScanPositions> positions = scanPositions(frequency, gridMode);
    if (!positions)
        return std::nullopt;

    if (!usableGateInput(frequency, gridMode, gate))
        return std::nullopt;
    const size_t k = twoSidedLength(n, gridMode);
    FftBuffer buffer(k);
    const RealVector shape = computeGateShape(frequency, gridMode, gate, buffer);
    if (shape.size() != k)
        return std::nullopt;

    CentreScan scan(s, frequency, gate.centre, *positions, buffer, shape);
    if (gridMode == GridMode::LowPass) {
        const double dc = extrapolateDcValue(s, highestFrequency(frequency));
        if (!scan.scanLowPass(dc))
            return std::nullopt;
    } else if (!scan.scanBandPass()) {
        return std::nullopt;
    }
    return scan.best();
}

} // namespace Algorithms
