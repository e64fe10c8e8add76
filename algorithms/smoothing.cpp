#include "algorithms/smoothing.h"

#include "algorithms/logging.h"
#include "algorithms/lowpassspectrum.h"
#include "algorithms/numexp.h"

#include <QDebug>

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <optional>

namespace Algorithms {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMinNodes = 4;

// Least-squares spline curve through y on basis b; with fixFirst the first
// coefficient is held at y[0] (the first basis function is 1 at the first
// point, so the curve passes through it).
Eigen::VectorXd fitCurve(const Eigen::MatrixXd &b, const Eigen::VectorXd &y, bool fixFirst)
{
    if (!fixFirst) {
        const Eigen::MatrixXd bt = b.transpose();
        const Eigen::VectorXd c = (bt * b).partialPivLu().solve(bt * y);
        return b * c;
    }
    const Eigen::Index e = b.cols();
    const Eigen::VectorXd b0 = b.col(0);
    const Eigen::MatrixXd rest = b.rightCols(e - 1);
    const Eigen::MatrixXd rt = rest.transpose();
    const Eigen::VectorXd c = (rt * rest).partialPivLu().solve(rt * (y - y(0) * b0));
    return y(0) * b0 + rest * c;
}

bool strictlyAscending(const RealVector &v)
{
    return std::adjacent_find(v.begin(), v.end(), [](double a, double b) { return !(a < b); }) == v.end();
}

// Whether the fit can run on the input at all; each refusal says why.
bool usableInput(const RealVector &frequency, const ComplexVector &spectrum, SmoothFit fitMode, bool lowPass,
                 double timeSpan)
{
    if (fitMode != SmoothFit::Free && fitMode != SmoothFit::FixedFirst) {
        qCDebug(lcAlgorithms) << "smoothMagnitudePhase: invalid fit mode" << int(fitMode);
        return false;
    }
    if (frequency.size() < 2 || spectrum.size() != frequency.size() || !isFiniteVector(frequency)
        || !isFiniteComplexVector(spectrum) || !std::isfinite(timeSpan)) {
        qCDebug(lcAlgorithms) << "smoothMagnitudePhase: unusable input";
        return false;
    }
    if (!strictlyAscending(frequency) || (lowPass && !(frequency.front() > 0.0))) {
        qCDebug(lcAlgorithms) << "smoothMagnitudePhase: the frequency grid is not ascending";
        return false;
    }
    return true;
}

// The points the curves are fitted through: magnitude and unwrapped phase
// at each frequency, led by the extrapolated DC point on a low-pass grid.
struct Samples
{
    RealVector grid;
    RealVector magnitude;
    RealVector phase;
};

std::optional<Samples> samplesOf(const RealVector &frequency, const ComplexVector &spectrum, bool lowPass, double fmax)
{
    const size_t m = frequency.size();
    Samples out;
    out.grid.reserve(m + 1);
    out.magnitude.reserve(m + 1);
    out.phase.reserve(m + 1);

    if (lowPass) {
        const double dc = extrapolateDcValue(spectrum, fmax);
        if (!std::isfinite(dc)) {
            qCDebug(lcAlgorithms) << "smoothMagnitudePhase: no DC estimate";
            return std::nullopt;
        }
        out.grid.push_back(0.0);
        out.magnitude.push_back(std::abs(dc));
        out.phase.push_back(std::atan2(0.0, dc));
    }

    // Unwrap by the raw phase steps only; the DC point stays as it is.
    double offset = 0.0;
    for (size_t i = 0; i < m; ++i) {
        const Complex &s = spectrum[i];
        const double raw = std::atan2(s.imag(), s.real());
        if (i > 0) {
            const Complex &p = spectrum[i - 1];
            const double delta = std::atan2(p.imag(), p.real()) - raw;
            if (delta > kPi)
                offset += 2.0 * kPi;
            else if (delta < -kPi)
                offset -= 2.0 * kPi;
        }
        out.grid.push_back(frequency[i]);
        out.magnitude.push_back(std::hypot(s.real(), s.imag()));
        out.phase.push_back(raw + offset);
    }
    return out;
}

} // namespace

SmoothedMagnitudePhase smoothMagnitudePhase(const RealVector &frequency, const ComplexVector &spectrum,
                                            SmoothFit fitMode, int bandFlag, double timeSpan)
{
    const bool lowPass = bandFlag == SmoothLowPass;
    if (!usableInput(frequency, spectrum, fitMode, lowPass, timeSpan))
        return {};

    const auto [fminIt, fmaxIt] = std::minmax_element(frequency.begin(), frequency.end());
    const double fmin = *fminIt;
    const double fmax = *fmaxIt;
    const double step = frequency[1] - frequency[0];

    const std::optional<Samples> samples = samplesOf(frequency, spectrum, lowPass, fmax);
    if (!samples)
        return {};
    const RealVector &grid = samples->grid;

    const int points = static_cast<int>(grid.size());
    if (points < kMinNodes) {
        qCDebug(lcAlgorithms) << "smoothMagnitudePhase: too few points";
        return {};
    }
    // Range-checked before conversion; more nodes than points would leave the
    // fit without a unique solution.
    const double wanted = std::floor(timeSpan * (fmax - fmin + step));
    const int nodes = wanted >= points ? points : std::max(kMinNodes, static_cast<int>(std::max(wanted, 0.0)));

    const Eigen::MatrixXd b = cubicBSplineBasis(grid, equallySpacedNodes(grid.front(), grid.back(), nodes));
    if (b.rows() != points) {
        qCDebug(lcAlgorithms) << "smoothMagnitudePhase: no basis";
        return {};
    }

    const bool fixFirst = fitMode == SmoothFit::FixedFirst;
    const Eigen::VectorXd mag =
        fitCurve(b, Eigen::Map<const Eigen::VectorXd>(samples->magnitude.data(), points), fixFirst);
    const Eigen::VectorXd ph = fitCurve(b, Eigen::Map<const Eigen::VectorXd>(samples->phase.data(), points), fixFirst);

    const Eigen::Index first = lowPass ? 1 : 0;
    SmoothedMagnitudePhase out;
    out.magnitude.assign(mag.data() + first, mag.data() + points);
    out.phase.assign(ph.data() + first, ph.data() + points);
    return out;
}

} // namespace Algorithms
