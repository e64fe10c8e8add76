#include "synthnet/referencefits.h"

#include "synthnet/synthnet.h"

#include "algorithms/fft.h"
#include "algorithms/lowpassspectrum.h"

#include "optimization.h"

#include <fftw3.h>

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

using namespace Algorithms;

namespace SynthNet {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Design
{
    Eigen::MatrixXcd delay; // points x nodes
    Eigen::MatrixXd basis; // points x count
};

Design design(const RealVector &frequency, const RealVector &times, int count)
{
    Design d;
    const auto m = static_cast<Eigen::Index>(frequency.size());
    const auto n = static_cast<Eigen::Index>(times.size());
    d.delay.resize(m, n);
    for (Eigen::Index i = 0; i < n; ++i) {
        for (Eigen::Index j = 0; j < m; ++j)
            d.delay(j, i) = std::polar(1.0, -2.0 * kPi * frequency[j] * times[i]);
    }
    d.basis = cubicBSplineBasis(frequency, equallySpacedNodes(frequency.front(), frequency.back(), count));
    return d;
}

// A^H A, summed over the non-zero basis entries of each row.
Eigen::MatrixXcd gram(const Design &d)
{
    const Eigen::Index m = d.basis.rows(), e = d.basis.cols(), n = d.delay.cols();
    Eigen::MatrixXcd g = Eigen::MatrixXcd::Zero(n * e, n * e);
    std::vector<Eigen::Index> nonZero;
    for (Eigen::Index j = 0; j < m; ++j) {
        nonZero.clear();
        for (Eigen::Index c = 0; c < e; ++c) {
            if (d.basis(j, c) != 0.0)
                nonZero.push_back(c);
        }
        for (Eigen::Index i1 = 0; i1 < n; ++i1) {
            for (Eigen::Index i2 = 0; i2 < n; ++i2) {
                const Complex w = std::conj(d.delay(j, i1)) * d.delay(j, i2);
                for (Eigen::Index p : nonZero) {
                    for (Eigen::Index q : nonZero)
                        g(i1 * e + p, i2 * e + q) += w * d.basis(j, p) * d.basis(j, q);
                }
            }
        }
    }
    return g;
}

double criterionOf(const Design &d)
{
    const Eigen::PartialPivLU<Eigen::MatrixXcd> lu(gram(d));
    double sum = 0.0;
    for (Eigen::Index k = 0; k < lu.matrixLU().rows(); ++k)
        sum += std::log10(std::abs(lu.matrixLU()(k, k)));
    return sum == 0.0 ? 1e-10 : sum;
}

} // namespace

SParametersTwoPort referenceThru(size_t points)
{
    const RealVector f = harmonicGrid(20e9 / static_cast<double>(points), points);
    return toS(twoXThru(cascade(shuntGC(f, 0.0, 0.1e-12), line(f, {55.0, kReferenceThruDelay, 0.5}))));
}

BisectionInput bisectionInputAt(const SParametersTwoPort &s, size_t i)
{
    return {s.s11()[i].real(), s.s11()[i].imag(), s.s21()[i].real(), s.s21()[i].imag(),
            s.s12()[i].real(), s.s12()[i].imag(), s.s22()[i].real(), s.s22()[i].imag()};
}

BisectionResult bisectionReferenceFit(const BisectionInput &thru)
{
    const Complex s11(thru[0], thru[1]), s21(thru[2], thru[3]), s12(thru[4], thru[5]), s22(thru[6], thru[7]);
    const Complex st = (s12 + s21) / 2.0;
    double data[6] = {s11.real(), s22.real(), st.real(), s11.imag(), s22.imag(), st.imag()};
    const Complex t0 = std::sqrt(st);
    alglib::real_1d_array x;
    x.setlength(10);
    for (int i = 0; i < 10; ++i)
        x[i] = 0.0;
    x[0] = t0.real();
    x[1] = t0.imag();
    alglib::minlmstate state;
    alglib::minlmcreatev(6, x, 1e-4, state);
    alglib::minlmsetcond(state, 1e-10, 0);
    alglib::minlmoptimize(state, bisectionResiduals, nullptr, data);
    alglib::minlmreport report;
    alglib::minlmresults(state, x, report);
    const Complex t(x[0], x[1]), a11(x[2], x[3]), a22(x[4], x[5]), b11(x[6], x[7]), b22(x[8], x[9]);
    return BisectionResult{b11, t, t, b22, a11, t, t, a22};
}

double numExpReferenceCriterion(const RealVector &frequency, const RealVector &times, int count)
{
    return criterionOf(design(frequency, times, count));
}

std::optional<NumExpReferenceFit> numExpReferenceFit(const RealVector &frequency, const ComplexVector &spectrum,
                                                     const RealVector &times)
{
    // The input checks and the start count are the library's own.
    const std::optional<int> start = numExpCoefficientCount(frequency, times, NumExpBSplineBasis, NumExpFixedCount);
    if (!start || spectrum.size() != frequency.size())
        return std::nullopt;
    const int m = static_cast<int>(frequency.size());
    const int n = static_cast<int>(times.size());

    int count = *start;
    std::map<int, double> known;
    const std::function<double(int)> criterion = [&](int k) {
        const auto it = known.find(k);
        if (it != known.end())
            return it->second;
        const double v =
            k >= 2 ? numExpReferenceCriterion(frequency, times, k) : std::numeric_limits<double>::quiet_NaN();
        known.emplace(k, v);
        return v;
    };
    const double now = criterion(count);
    const double less = count > 4 ? criterion(count - 1) : now - 1.0;
    if (now > less)
        count = searchNumExpCount(count, m / n, criterion);

    const Design d = design(frequency, times, count);
    Eigen::VectorXcd h = Eigen::VectorXcd::Zero(static_cast<Eigen::Index>(n) * count);
    for (Eigen::Index j = 0; j < m; ++j) {
        for (Eigen::Index i = 0; i < n; ++i)
            h.segment(i * count, count) += std::conj(d.delay(j, i)) * spectrum[j] * d.basis.row(j).transpose();
    }
    const Eigen::VectorXcd c = Eigen::PartialPivLU<Eigen::MatrixXcd>(gram(d)).solve(h);

    NumExpReferenceFit fit;
    fit.count = count;
    fit.components.assign(n, ComplexVector(m));
    for (Eigen::Index i = 0; i < n; ++i) {
        const Eigen::VectorXcd envelope = d.basis * c.segment(i * count, count);
        for (Eigen::Index j = 0; j < m; ++j)
            fit.components[i][j] = d.delay(j, i) * envelope(j);
    }
    return fit;
}

std::optional<double> gateCentreReferenceScan(const ComplexVector &s, const RealVector &f, const GateParameters &gate,
                                              GridMode gridMode)
{
    const size_t n = f.size();
    const double fmax = f.back(), fmin = f.front(), nd = double(n);
    const double d = gridMode == GridMode::LowPass ? 2.0 * nd / (2.0 * fmax * (2.0 * nd + 1.0))
                                                   : (nd - 1.0) / ((fmax - fmin) * nd) * 0.5;
    size_t count = size_t(std::ceil(d / 1e-13));
    double step = 1e-13;
    if (count > 500) {
        count = 500;
        step = d / 500;
    } else {
        count -= count % 2;
    }
    const RealVector shape = gateShape(f, gridMode, gate);
    const size_t k = shape.size();
    if (k == 0)
        return std::nullopt;
    const double dc = gridMode == GridMode::LowPass ? extrapolateDcValue(s, fmax) : 0.0;
    FftBuffer buffer(k);
    FftPlan backward(buffer, FFTW_BACKWARD);
    const double half = double(count / 2);
    size_t best = 0;
    double bestScore = 0;
    for (size_t j = 0; j < count; ++j) {
        const double tau = gate.centre + (double(j) - half) * step;
        if (gridMode == GridMode::LowPass) {
            buffer[0] = dc;
            for (size_t i = 0; i < n; ++i) {
                const Complex b = s[i] * std::polar(1.0, 2 * kPi * tau * f[i]);
                buffer[1 + i] = b;
                buffer[2 * n - i] = std::conj(b);
            }
        } else {
            for (size_t i = 0; i < n; ++i)
                buffer[i] = s[i] * std::polar(1.0, 2 * kPi * tau * f[i]);
        }
        backward.execute(buffer);
        double score = 0;
        for (size_t i = 0; i < k; ++i)
            score += std::abs(buffer[i] / double(k)) * shape[i];
        if (j == 0 || score < bestScore) {
            best = j;
            bestScore = score;
        }
    }
    return gate.centre + (double(best) - half) * step;
}

} // namespace SynthNet
