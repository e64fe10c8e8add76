#include "algorithms/chirpz.h"

#include "algorithms/fft.h"
#include "algorithms/logging.h"

#include <fftw3.h>

#include <QDebug>

namespace Algorithms {

ComplexVector chirpZTransform(const ComplexVector &x, const Complex &A, const Complex &W,
                              const RealVector &weights, int mode)
{
    const size_t n = x.size();
    if (n == 0) {
        qCDebug(lcAlgorithms) << "chirpZTransform: empty input";
        return {};
    }
    if (weights.size() < n) {
        qCDebug(lcAlgorithms) << "chirpZTransform: fewer weights than samples" << weights.size() << n;
        return {};
    }

    const size_t L = nextPowerOfTwo(2 * n - 1);
    const double invL = 1.0 / static_cast<double>(L);

    // Principal-branch powers z^e = |z|^e * exp(j e arg z), with the logarithm
    // of each base taken once instead of once per power.
    const double logAbsA = std::log(std::abs(A)), argA = std::arg(A);
    const double logAbsW = std::log(std::abs(W)), argW = std::arg(W);
    auto powA = [&](double e) { return std::polar(std::exp(e * logAbsA), e * argA); };
    auto powW = [&](double e) { return std::polar(std::exp(e * logAbsW), e * argW); };

    // chirp[m] = W^(m^2 / 2) for m = 0..N-1; the chirp is even in m, so the
    // 2N - 1 values of m = -(N-1)..N-1 need only these N.
    ComplexVector chirp(n);
    for (size_t m = 0; m < n; ++m) {
        const double md = static_cast<double>(m);
        chirp[m] = powW(md * md / 2.0);
    }

    FftBuffer y(L);
    for (size_t k = 0; k < n; ++k)
        y[k] = x[k] * weights[k] * powA(static_cast<double>(k)) * chirp[k];

    // v[i] = 1 / W^(m^2 / 2), m = i - (N-1), i = 0..2N-2
    FftBuffer v(L);
    for (size_t i = 0; i < 2 * n - 1; ++i) {
        const size_t m = i < n - 1 ? n - 1 - i : i - (n - 1);
        v[i] = Complex(1.0, 0.0) / chirp[m];
    }

    {
        FftPlan backward(y, FFTW_BACKWARD);
        backward.execute(y);
        backward.execute(v);
    }
    for (size_t i = 0; i < L; ++i)
        y[i] *= v[i] * (invL * invL);
    {
        FftPlan forward(y, FFTW_FORWARD);
        forward.execute(y);
    }

    ComplexVector X(n);
    for (size_t k = 0; k < n; ++k)
        X[k] = y[n - 1 + k] * chirp[k] * static_cast<double>(L);

    if (mode == 0) {
        const double h = static_cast<double>((n - 1) / 2);
        const Complex aShift = powA(-h);
        for (size_t k = 0; k < n; ++k)
            X[k] *= aShift * powW(-h * static_cast<double>(k));
    }
    return X;
}

} // namespace Algorithms
