#include "algorithms/chirpz.h"

#include "algorithms/fft.h"
#include "algorithms/logging.h"

#include <fftw3.h>

#include <QDebug>

#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>

namespace Algorithms {

namespace {

// Powers are stepped by complex multiplication and recomputed exactly every
// kAnchorEvery points, which keeps the drift of the recurrences to a few
// dozen rounding errors.
constexpr size_t kAnchorEvery = 16;

// Chirp kernels kept per thread; callers repeat few (N, W) pairs at a time.
constexpr size_t kKernelCacheSize = 4;

// The bit pattern of a double, so that cache keys match bit for bit (a
// signed zero changes the branch of arg(W), a NaN makes a key of its own).
std::uint64_t bitsOf(double x)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

bool sameBits(const Complex &a, const Complex &b)
{
    return bitsOf(a.real()) == bitsOf(b.real()) && bitsOf(a.imag()) == bitsOf(b.imag());
}

// Principal-branch powers z^e = |z|^e * exp(j e arg z), with the logarithm of
// the base taken once.
class Power
{
public:
    explicit Power(const Complex &z) : logAbs(std::log(std::abs(z))), arg(std::arg(z)) {}
    Complex operator()(double e) const { return std::polar(std::exp(e * logAbs), e * arg); }

private:
    double logAbs;
    double arg;
};

// out[i] = z^(i * de) for i = 0..count-1.
void geometricPowers(const Power &pow, double de, Complex *out, size_t count)
{
    const Complex ratio = pow(de);
    Complex p;
    for (size_t i = 0; i < count; ++i) {
        p = i % kAnchorEvery == 0 ? pow(static_cast<double>(i) * de) : p * ratio;
        out[i] = p;
    }
}

// The part of the transform that depends on N and W only.
struct Kernel
{
    size_t n = 0;
    Complex w;
    ComplexVector chirp; // W^(m^2 / 2), m = 0..N-1
    ComplexVector spectrum; // backward FFT of 1 / W^(m^2 / 2), m = -(N-1)..N-1, over L
};

std::shared_ptr<const Kernel> makeKernel(size_t n, const Complex &W, size_t L, FftBuffer &work, const FftPlan &backward)
{
    auto kernel = std::make_shared<Kernel>();
    kernel->n = n;
    kernel->w = W;
    kernel->chirp.resize(n);

    // W^((m+1)^2 / 2) = W^(m^2 / 2) * W^(m + 1/2), and W^(m + 1/2) steps by W.
    const Power pow(W);
    Complex c, d;
    for (size_t m = 0; m < n; ++m) {
        const double md = static_cast<double>(m);
        if (m % kAnchorEvery == 0) {
            c = pow(md * md / 2.0);
            d = pow(md + 0.5);
        } else {
            c *= d;
            d *= W;
        }
        kernel->chirp[m] = c;
    }

    // 1 / c = conj(c) / |c|^2; a zero or non-finite chirp value gives NaN.
    work.fill(Complex(0.0, 0.0));
    for (size_t m = 0; m < n; ++m) {
        const Complex &cm = kernel->chirp[m];
        const Complex inverse = std::conj(cm) / std::norm(cm);
        work[n - 1 + m] = inverse;
        work[n - 1 - m] = inverse;
    }
    backward.execute(work);

    // The two backward transforms are scaled by 1 / L each and the result by
    // L: all of it is folded into the kernel.
    const double scale = 1.0 / static_cast<double>(L);
    kernel->spectrum.resize(L);
    for (size_t i = 0; i < L; ++i)
        kernel->spectrum[i] = work[i] * scale;
    return kernel;
}

// The calling thread's work buffers (one per padded length) and its most
// recently used kernels.
struct Workspace
{
    FftBuffer &buffer(size_t L)
    {
        std::unique_ptr<FftBuffer> &b = buffers[L];
        if (!b)
            b = std::make_unique<FftBuffer>(L);
        return *b;
    }

    std::shared_ptr<const Kernel> kernel(size_t n, const Complex &W, size_t L, FftBuffer &work, const FftPlan &backward)
    {
        for (auto it = kernels.begin(); it != kernels.end(); ++it) {
            if ((*it)->n == n && sameBits((*it)->w, W)) {
                std::shared_ptr<const Kernel> found = *it;
                kernels.erase(it);
                kernels.push_front(found);
                return found;
            }
        }
        std::shared_ptr<const Kernel> made = makeKernel(n, W, L, work, backward);
        kernels.push_front(made);
        if (kernels.size() > kKernelCacheSize)
            kernels.pop_back();
        return made;
    }

    std::map<size_t, std::unique_ptr<FftBuffer>> buffers;
    std::deque<std::shared_ptr<const Kernel>> kernels;
};

Workspace &threadWorkspace()
{
    thread_local Workspace workspace;
    return workspace;
}

} // namespace

ComplexVector chirpZTransform(const ComplexVector &x, const Complex &A, const Complex &W, const RealVector &weights,
                              GridMode mode)
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
    const FftPlan &backward = threadFftPlan(L, FFTW_BACKWARD);
    const FftPlan &forward = threadFftPlan(L, FFTW_FORWARD);
    if (!backward.isValid() || !forward.isValid())
        return {};

    Workspace &workspace = threadWorkspace();
    FftBuffer &y = workspace.buffer(L);
    const std::shared_ptr<const Kernel> kernel = workspace.kernel(n, W, L, y, backward);
    const Complex *chirp = kernel->chirp.data();
    const Complex *v = kernel->spectrum.data();

    // y[k] = x[k] w[k] A^k W^(k^2 / 2), zero-padded to L.
    const Power powA(A);
    geometricPowers(powA, 1.0, y.data(), n);
    for (size_t k = 0; k < n; ++k)
        y[k] *= x[k] * weights[k] * chirp[k];
    for (size_t i = n; i < L; ++i)
        y[i] = Complex(0.0, 0.0);

    backward.execute(y);
    for (size_t i = 0; i < L; ++i)
        y[i] *= v[i];
    forward.execute(y);

    ComplexVector X(n);
    if (mode == GridMode::LowPass) {
        // X[k] *= A^(-h) W^(-h k), h = (N-1) div 2 (rounded down on purpose)
        const size_t hIndex = (n - 1) / 2;
        const double h = static_cast<double>(hIndex);
        geometricPowers(Power(W), -h, X.data(), n);
        const Complex aShift = powA(-h);
        for (size_t k = 0; k < n; ++k)
            X[k] *= y[n - 1 + k] * chirp[k] * aShift;
    } else {
        for (size_t k = 0; k < n; ++k)
            X[k] = y[n - 1 + k] * chirp[k];
    }
    return X;
}

} // namespace Algorithms
