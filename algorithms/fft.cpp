#include "algorithms/fft.h"

#include <fftw3.h>

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

size_t nextPowerOfTwo(size_t n)
{
    size_t p = 1;
    while (p < n)
        p <<= 1;
    return p;
}

} // namespace Algorithms
