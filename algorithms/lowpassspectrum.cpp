#include "algorithms/lowpassspectrum.h"

#include "algorithms/chirpz.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Algorithms {

namespace {
constexpr double kTwoPi = 6.283185307179586476925286766559;
} // namespace

std::optional<GridMode> frequencyGridMode(const RealVector &frequency)
{
    if (!isFiniteVector(frequency) || frequency.size() < 3)
        return std::nullopt;
    return std::abs(frequency[1] - 2.0 * frequency[0]) <= 1.0 ? GridMode::LowPass : GridMode::BandPass;
}

TwoSidedSpectrum makeTwoSidedSpectrum(const RealVector &frequency, const ComplexVector &s, const Complex &dc,
                                      GridMode mode)
{
    const size_t n = frequency.size();
    if (n < 2 || s.size() != n || (mode != GridMode::LowPass && mode != GridMode::BandPass))
        return {};

    TwoSidedSpectrum result;
    double width = 0.0; // max g - min g
    if (mode == GridMode::LowPass) {
        const size_t k = 2 * n + 1;
        result.positions.reserve(k);
        result.spectrum.reserve(k);
        result.spectrum.push_back(dc);
        for (size_t i = 0; i < n; ++i)
            result.spectrum.push_back(s[i]);
        for (size_t i = n; i-- > 0;)
            result.spectrum.push_back(std::conj(s[i]));
        // harmonic +-k sits at position N - k
        for (size_t i = 0; i <= n; ++i)
            result.positions.push_back(static_cast<double>(n - i));
        for (size_t i = 0; i < n; ++i)
            result.positions.push_back(static_cast<double>(i));
        // g = (0, f, -f reversed)
        double gMax = 0.0;
        double gMin = 0.0;
        for (double f : frequency) {
            gMax = std::max(gMax, std::max(f, -f));
            gMin = std::min(gMin, std::min(f, -f));
        }
        width = gMax - gMin;
    } else {
        result.spectrum = s;
        result.positions.resize(n);
        for (size_t i = 0; i < n; ++i)
            result.positions[i] = static_cast<double>(i);
        const auto [lo, hi] = std::minmax_element(frequency.begin(), frequency.end());
        width = *hi - *lo;
    }

    const size_t k = result.spectrum.size();
    const double span = (frequency[1] - frequency[0]) + width;
    if (!std::isfinite(span) || !std::isfinite(1.0 / span))
        return {};

    const double kMinusOne = static_cast<double>(k - 1);
    const double shift = (k % 2 == 1) ? kMinusOne / (2.0 * span) : kMinusOne / (2.0 * width);
    if (!std::isfinite(shift))
        return {};
    result.time = makeRange(0.0, kMinusOne / span, 1.0 / span);
    if (result.time.size() != k)
        return {};
    for (double &t : result.time)
        t -= shift;
    return result;
}

double extrapolateDcValue(const ComplexVector &s, double fmax)
{
    const size_t n = s.size();
    if (n == 0)
        return std::numeric_limits<double>::quiet_NaN();
    const size_t k = 2 * n + 1;
    const double nd = static_cast<double>(n);
    const double kd = static_cast<double>(k);

    // K times from the start of the natural low-pass span up to 2/fmax before 0.
    const double tau0 = -(2.0 * nd) * (2.0 * nd) / (4.0 * fmax * kd);
    const double tauEnd = -2.0 / fmax;
    RealVector tau = makeRange(tau0, tauEnd, (tauEnd - tau0) / (2.0 * nd));
    if (tau.size() != k)
        return std::numeric_limits<double>::quiet_NaN();

    const double spacing = 2.0 * nd / (2.0 * fmax * kd);
    RealVector u(k);
    for (size_t i = 0; i < k; ++i)
        u[i] = tau[i] / spacing;

    const Complex j(0.0, 1.0);
    const Complex a = std::exp(j * (kTwoPi * u[0] / kd));
    const Complex w = std::exp(j * (kTwoPi * (u[1] - u[0]) / kd));

    // Spectrum of the running integral, most negative harmonic first; the DC
    // term is left out and recovered as the slope below.
    ComplexVector integrated;
    integrated.reserve(k);
    // z / (j d) = (Im z - j Re z) / d, the value the complex division gives
    const auto overImaginary = [](const Complex &z, double d) { return Complex(z.imag() / d, -z.real() / d); };
    for (size_t h = n; h >= 1; --h)
        integrated.push_back(overImaginary(std::conj(s[h - 1]), -kTwoPi * static_cast<double>(h)));
    integrated.push_back(Complex(0.0, 0.0));
    for (size_t h = 1; h <= n; ++h)
        integrated.push_back(overImaginary(s[h - 1], kTwoPi * static_cast<double>(h)));

    RealVector weights(k, 1.0);
    weights[n] = 0.0;

    const ComplexVector y = chirpZTransform(integrated, a, w, weights, GridMode::LowPass);
    if (y.size() != k)
        return std::numeric_limits<double>::quiet_NaN();

    // Least-squares line Re Y = a + b x with x = -u/K (time in periods).
    double sx = 0.0, sxx = 0.0, sy = 0.0, sxy = 0.0;
    for (size_t i = 0; i < k; ++i) {
        const double x = -u[i] / kd;
        const double v = y[i].real();
        sx += x;
        sxx += x * x;
        sy += v;
        sxy += x * v;
    }
    Eigen::Matrix2d normal;
    normal << kd, sx, sx, sxx;
    const Eigen::Vector2d rhs(sy, sxy);
    const Eigen::Vector2d coefficients = normal.partialPivLu().inverse() * rhs;
    return coefficients(1);
}

} // namespace Algorithms
