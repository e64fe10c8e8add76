#include "algorithms/fft.h"

#include <fftw3.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

namespace Algorithms {

namespace {
std::mutex &plannerMutex()
{
    static std::mutex mutex;
    return mutex;
}
} // namespace

FftBuffer::FftBuffer(size_t size) : m_size(size)
{
    if (size == 0)
        return;
    m_data = reinterpret_cast<Complex *>(fftw_malloc(sizeof(fftw_complex) * size));
    if (!m_data)
        throw std::bad_alloc();
    fill(Complex(0.0, 0.0));
}

FftBuffer::~FftBuffer()
{
    if (m_data)
        fftw_free(m_data);
}

void FftBuffer::fill(const Complex &value)
{
    for (size_t i = 0; i < m_size; ++i)
        m_data[i] = value;
}

FftPlan::FftPlan(FftBuffer &buffer, int sign) : m_size(buffer.size())
{
    if (m_size == 0)
        return;
    auto *data = reinterpret_cast<fftw_complex *>(buffer.data());
    // FFTW_ESTIMATE never touches the buffer's contents while planning.
    std::lock_guard<std::mutex> lock(plannerMutex());
    m_plan = fftw_plan_dft_1d(static_cast<int>(m_size), data, data, sign, FFTW_ESTIMATE);
}

FftPlan::FftPlan(size_t size, int sign) : m_size(size)
{
    if (m_size == 0)
        return;
    FftBuffer scratch(size);
    auto *data = reinterpret_cast<fftw_complex *>(scratch.data());
    std::lock_guard<std::mutex> lock(plannerMutex());
    m_plan = fftw_plan_dft_1d(static_cast<int>(m_size), data, data, sign, FFTW_ESTIMATE);
}

FftPlan::~FftPlan()
{
    if (m_plan) {
        std::lock_guard<std::mutex> lock(plannerMutex());
        fftw_destroy_plan(m_plan);
    }
}

void FftPlan::execute(FftBuffer &buffer) const
{
    if (!m_plan || buffer.size() != m_size)
        return;
    auto *data = reinterpret_cast<fftw_complex *>(buffer.data());
    fftw_execute_dft(m_plan, data, data);
}

const FftPlan &threadFftPlan(size_t size, int sign)
{
    // One entry per length and sign seen on this thread; destroyed (under
    // the planner lock) when the thread ends.
    thread_local std::map<std::pair<size_t, int>, std::unique_ptr<FftPlan>> plans;
    std::unique_ptr<FftPlan> &plan = plans[{size, sign}];
    if (!plan)
        plan = std::make_unique<FftPlan>(size, sign);
    return *plan;
}

namespace {

constexpr double kPi = 3.14159265358979323846264338327950;

// The largest prime factor FFTW's estimated plans handle at full speed.
constexpr size_t kLargestFastFactor = 13;

bool hasOnlySmallFactors(size_t n)
{
    for (size_t p = 2; p <= kLargestFastFactor && n > 1; ++p) {
        while (n % p == 0)
            n /= p;
    }
    return n == 1;
}

// The shortest length not less than n with no prime factor above 7. Beside
// out-of-place plans (below) these run faster than the next power of two,
// and than the lengths 2^a m (m = 3, 5, 9, 15) that need in-place copies.
size_t convolutionLength(size_t n)
{
    const auto sevenSmooth = [](size_t m) {
        for (size_t p : {2, 3, 5, 7}) {
            while (m % p == 0)
                m /= p;
        }
        return m == 1;
    };
    size_t length = std::max<size_t>(n, 1);
    while (!sevenSmooth(length))
        ++length;
    return length;
}

// An out-of-place plan of one length and sign (FFTW_ESTIMATE), made and
// destroyed under the planner lock. It may be executed on any pair of
// distinct FftBuffers of its length.
class OutOfPlacePlan
{
public:
    OutOfPlacePlan(size_t size, int sign)
    {
        FftBuffer in(size), out(size);
        std::lock_guard<std::mutex> lock(plannerMutex());
        m_plan = fftw_plan_dft_1d(static_cast<int>(size), reinterpret_cast<fftw_complex *>(in.data()),
                                  reinterpret_cast<fftw_complex *>(out.data()), sign, FFTW_ESTIMATE);
    }
    ~OutOfPlacePlan()
    {
        if (m_plan) {
            std::lock_guard<std::mutex> lock(plannerMutex());
            fftw_destroy_plan(m_plan);
        }
    }
    OutOfPlacePlan(const OutOfPlacePlan &) = delete;
    OutOfPlacePlan &operator=(const OutOfPlacePlan &) = delete;

    bool isValid() const { return m_plan != nullptr; }
    void execute(FftBuffer &in, FftBuffer &out) const
    {
        fftw_execute_dft(m_plan, reinterpret_cast<fftw_complex *>(in.data()),
                         reinterpret_cast<fftw_complex *>(out.data()));
    }

private:
    fftw_plan m_plan = nullptr;
};

// (a b) without the checks for infinite parts of the library's operator, so
// that the loops below vectorise; the inputs here are finite or the result
// is discarded anyway.
inline Complex multiply(const Complex &a, const Complex &b)
{
    return Complex(a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real());
}

// One length and sign of threadDft.
class Dft
{
public:
    Dft(size_t size, int sign) : m_size(size)
    {
        if (size == 0)
            return;
        if (hasOnlySmallFactors(size)) {
            m_direct = &threadFftPlan(size, sign);
            return;
        }
        // n k = (n^2 + k^2 - (k - n)^2) / 2, so the DFT is a convolution with
        // the chirp c[m] = exp(sign j pi m^2 / K); m^2 is reduced modulo 2K in
        // integers, so the phases are exact whatever the length.
        const size_t padded = convolutionLength(2 * size - 1);
        m_forward = std::make_unique<OutOfPlacePlan>(padded, FFTW_FORWARD);
        m_backward = std::make_unique<OutOfPlacePlan>(padded, FFTW_BACKWARD);
        if (!m_forward->isValid() || !m_backward->isValid())
            return;
        m_work = std::make_unique<FftBuffer>(padded);
        m_spectrum = std::make_unique<FftBuffer>(padded);
        m_chirp.resize(size);
        const unsigned long long twoK = 2ULL * size;
        for (size_t m = 0; m < size; ++m) {
            const unsigned long long mm = static_cast<unsigned long long>(m);
            const double r = static_cast<double>((mm * mm) % twoK);
            m_chirp[m] = std::polar(1.0, static_cast<double>(sign) * kPi * r / static_cast<double>(size));
        }
        FftBuffer &v = *m_work;
        v.fill(Complex(0.0, 0.0));
        v[0] = std::conj(m_chirp[0]);
        for (size_t m = 1; m < size; ++m)
            v[m] = v[padded - m] = std::conj(m_chirp[m]);
        m_forward->execute(v, *m_spectrum);
        const double scale = 1.0 / static_cast<double>(padded);
        m_kernel.resize(padded);
        for (size_t i = 0; i < padded; ++i)
            m_kernel[i] = (*m_spectrum)[i] * scale;
    }

    bool execute(FftBuffer &buffer) const
    {
        if (buffer.size() != m_size || m_size == 0)
            return false;
        if (m_direct) {
            if (!m_direct->isValid())
                return false;
            m_direct->execute(buffer);
            return true;
        }
        if (!m_work)
            return false;
        FftBuffer &a = *m_work;
        const size_t padded = a.size();
        for (size_t n = 0; n < m_size; ++n)
            a[n] = multiply(buffer[n], m_chirp[n]);
        for (size_t i = m_size; i < padded; ++i)
            a[i] = Complex(0.0, 0.0);
        FftBuffer &b = *m_spectrum;
        m_forward->execute(a, b);
        for (size_t i = 0; i < padded; ++i)
            b[i] = multiply(b[i], m_kernel[i]);
        m_backward->execute(b, a);
        for (size_t k = 0; k < m_size; ++k)
            buffer[k] = multiply(a[k], m_chirp[k]);
        return true;
    }

private:
    size_t m_size = 0;
    const FftPlan *m_direct = nullptr;
    std::unique_ptr<OutOfPlacePlan> m_forward;
    std::unique_ptr<OutOfPlacePlan> m_backward;
    std::unique_ptr<FftBuffer> m_work; // the chirped input, then the convolution
    std::unique_ptr<FftBuffer> m_spectrum; // its transform
    ComplexVector m_chirp;
    ComplexVector m_kernel; // forward transform of the conjugate chirp, over L
};

} // namespace

bool threadDft(FftBuffer &buffer, int sign)
{
    thread_local std::map<std::pair<size_t, int>, std::unique_ptr<Dft>> transforms;
    std::unique_ptr<Dft> &dft = transforms[{buffer.size(), sign}];
    if (!dft)
        dft = std::make_unique<Dft>(buffer.size(), sign);
    return dft->execute(buffer);
}

size_t nextPowerOfTwo(size_t n)
{
    size_t p = 1;
    while (p < n)
        p <<= 1;
    return p;
}

} // namespace Algorithms
