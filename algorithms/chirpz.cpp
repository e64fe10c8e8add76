#include "algorithms/chirpz.h"

#include "algorithms/fft.h"

#include <fftw3.h>

#include <QDebug>

namespace Algorithms {

ComplexVector chirpZTransform(const ComplexVector &x, const Complex &A, const Complex &W,
                              const RealVector &weights, int mode)
{
    const size_t n = x.size();
    if (n == 0) {
        qDebug() << "chirpZTransform: empty input";
        return {};
    }
    if (weights.size() < n) {
        qDebug() << "chirpZTransform: fewer weights than samples" << weights.size() << n;
        return {};
    }

    const size_t L = nextPowerOfTwo(2 * n - 1);
    const double invL = 1.0 / static_cast<double>(L);

    // ww[m + N - 1] = W^(m^2 / 2), m = -(N-1) .. N-1
    const size_t wwSize = 2 * n - 1;
    ComplexVector ww(wwSize);
    for (size_t i = 0; i < wwSize; ++i) {
        const double m = static_cast<double>(i) - static_cast<double>(n - 1);
        ww[i] = std::pow(W, m * m / 2.0);
    }

    FftBuffer y(L);
    for (size_t k = 0; k < n; ++k)
        y[k] = x[k] * weights[k] * std::pow(A, static_cast<double>(k)) * ww[n - 1 - k];

    FftBuffer v(L);
    for (size_t i = 0; i < wwSize; ++i)
        v[i] = Complex(1.0, 0.0) / ww[i];

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
        X[k] = y[n - 1 + k] * ww[n - 1 + k] * static_cast<double>(L);

    if (mode == 0) {
        const double h = static_cast<double>((n - 1) / 2);
        const Complex aShift = std::pow(A, -h);
        for (size_t k = 0; k < n; ++k)
            X[k] *= aShift * std::pow(W, -h * static_cast<double>(k));
    }
    return X;
}

} // namespace Algorithms
