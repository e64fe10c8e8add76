#include "algorithms/fft.h"

#include <gtest/gtest.h>

#include <fftw3.h>

#include <cmath>
#include <complex>
#include <random>
#include <thread>
#include <vector>

using namespace Algorithms;

namespace {
// The DFT's definition in long double, with the exponent n k reduced
// modulo K in integers.
ComplexVector directDft(const ComplexVector &x, int sign)
{
    using LComplex = std::complex<long double>;
    const size_t k = x.size();
    const long double pi = 3.141592653589793238462643383279502884L;
    std::vector<LComplex> twiddle(k);
    for (size_t r = 0; r < k; ++r) {
        const long double phase = sign * 2 * pi * static_cast<long double>(r) / k;
        twiddle[r] = LComplex(std::cos(phase), std::sin(phase));
    }
    ComplexVector X(k);
    for (size_t m = 0; m < k; ++m) {
        LComplex sum = 0;
        for (size_t n = 0; n < k; ++n)
            sum += LComplex(x[n].real(), x[n].imag()) * twiddle[(n * m) % k];
        X[m] = Complex(static_cast<double>(sum.real()), static_cast<double>(sum.imag()));
    }
    return X;
}
} // namespace

TEST(ThreadDft, MatchesTheDefinitionForAnyLengthAndSign)
{
    // Lengths of small factors only (FFTW's own plan) and with a large prime
    // factor (403 = 13 * 31, 401 and 3203 prime).
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (size_t k : {1, 2, 7, 12, 401, 403, 1000, 3203}) {
        for (int sign : {FFTW_FORWARD, FFTW_BACKWARD}) {
            ComplexVector x(k);
            for (Complex &v : x)
                v = {u(rng), u(rng)};
            FftBuffer buffer(k);
            for (size_t i = 0; i < k; ++i)
                buffer[i] = x[i];
            ASSERT_TRUE(threadDft(buffer, sign));
            const ComplexVector exact = directDft(x, sign);
            double worst = 0, scale = 0;
            for (size_t i = 0; i < k; ++i) {
                worst = std::max(worst, std::abs(buffer[i] - exact[i]));
                scale = std::max(scale, std::abs(exact[i]));
            }
            EXPECT_LT(worst, 1e-13 * scale) << "K " << k << " sign " << sign;
        }
    }
}

TEST(ThreadDft, RepeatsExactlyAndRefusesAnEmptyBuffer)
{
    FftBuffer empty(0);
    EXPECT_FALSE(threadDft(empty, FFTW_FORWARD));

    // The kept work buffer and chirp of one length do not leak into the next
    // call, nor into another length or thread.
    const auto run = [](size_t k) {
        FftBuffer b(k);
        for (size_t i = 0; i < k; ++i)
            b[i] = Complex(std::cos(0.1 * i), 1.0 / (1.0 + i));
        EXPECT_TRUE(threadDft(b, FFTW_BACKWARD));
        return ComplexVector(b.data(), b.data() + k);
    };
    const ComplexVector first = run(3203);
    run(401);
    EXPECT_EQ(run(3203), first);
    ComplexVector elsewhere;
    std::thread([&] { elsewhere = run(3203); }).join();
    EXPECT_EQ(elsewhere, first);
}
