#include "algorithms/stepresponse.h"

#include "algorithms/chirpz.h"
#include "algorithms/impulseresponse.h"
#include "algorithms/logging.h"
#include "algorithms/lowpassspectrum.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace Algorithms {

namespace {
constexpr double kTwoPi = 6.283185307179586476925286766559;

// Running integral of the two-sided spectrum at normalised times u (in
// natural time steps), the DC term integrated as a ramp. Real parts only.
RealVector runningIntegral(const ComplexVector &integrated, const RealVector &weights, const RealVector &u, double dc)
{
    const size_t k = integrated.size();
    const double kd = static_cast<double>(k);
    const Complex j(0.0, 1.0);
    const Complex a = std::exp(j * (kTwoPi * u[0] / kd));
    const Complex w = std::exp(j * (kTwoPi * (u[1] - u[0]) / kd));
    const ComplexVector y = chirpZTransform(integrated, a, w, weights, GridMode::LowPass);
    if (y.size() != k)
        return {};
    RealVector result(k);
    for (size_t i = 0; i < k; ++i)
        result[i] = y[i].real() + dc * u[i] / kd;
    return result;
}
} // namespace

StepResponseProfile computeStepResponse(const ComplexVector &s, const RealVector &frequency, double tStart, double tEnd,
                                        double beta, double tRefStart, double tRefEnd, double z0)
{
    // Without a reference span the integration constant cannot be removed.
    if (!(tRefEnd > tRefStart)) {
        qCDebug(lcAlgorithms) << "computeStepResponse: empty reference span" << tRefStart << tRefEnd;
        return {};
    }
    const size_t n = s.size();
    if (n < 2 || frequency.size() != n || !isFiniteVector(frequency))
        return {};

    const double fmax = *std::max_element(frequency.begin(), frequency.end());
    const double dc = extrapolateDcValue(s, fmax);
    const TwoSidedSpectrum two = makeTwoSidedSpectrum(frequency, s, Complex(dc, 0.0), GridMode::LowPass);
    if (two.time.size() < 2)
        return {};
    const size_t k = two.time.size();
    const double dt = two.time[1] - two.time[0];

    StepResponseProfile profile;
    profile.time = tStart < tEnd ? spanGrid(tStart, tEnd, k) : two.time;
    RealVector u(k);
    for (size_t i = 0; i < k; ++i)
        u[i] = profile.time[i] / dt;

    // Kaiser weights in natural order (-N..-1, DC, +1..+N), DC weight 0.
    RealVector weights = kaiserWeights(two.positions, beta);
    std::rotate(weights.begin(), weights.begin() + static_cast<std::ptrdiff_t>(n + 1), weights.end());
    weights[n] = 0.0;

    const Complex j(0.0, 1.0);
    ComplexVector integrated;
    integrated.reserve(k);
    for (size_t h = n; h >= 1; --h)
        integrated.push_back(std::conj(s[h - 1]) / (-j * kTwoPi * static_cast<double>(h)));
    integrated.push_back(Complex(dc, 0.0));
    for (size_t h = 1; h <= n; ++h)
        integrated.push_back(s[h - 1] / (j * kTwoPi * static_cast<double>(h)));

    const RealVector step = runningIntegral(integrated, weights, u, dc);

    // Integration constant: the mean over the reference span, unweighted.
    const RealVector reference = spanGrid(tRefStart, tRefEnd, k);
    RealVector v(k);
    for (size_t i = 0; i < k; ++i)
        v[i] = reference[i] / dt;
    RealVector flat(k, 1.0);
    flat[n] = 0.0;
    const RealVector referenceStep = runningIntegral(integrated, flat, v, dc);
    if (step.size() != k || referenceStep.size() != k)
        return {};
    double level = 0.0;
    for (double value : referenceStep)
        level += value;
    level /= static_cast<double>(k);

    profile.reflection.resize(k);
    profile.impedance.resize(k);
    for (size_t i = 0; i < k; ++i) {
        const double rho = step[i] - level;
        profile.reflection[i] = rho;
        profile.impedance[i] = z0 * (1.0 + rho) / (1.0 - rho);
    }
    return profile;
}

} // namespace Algorithms
