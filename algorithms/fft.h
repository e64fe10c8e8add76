#pragma once
// Thin RAII layer over FFTW 3 one-dimensional complex transforms.
// The FFTW planner is not re-entrant: plan creation and destruction are
// serialised here, so transforms may run on several threads at once.
// Plans of a length that is transformed again and again are made once per
// thread (threadFftPlan) and kept for the thread's lifetime.

#include "algorithms/vectorhelpers.h"

#include <cstddef>

struct fftw_plan_s;

namespace Algorithms {

// An aligned complex buffer owned by FFTW's allocator.
class FftBuffer
{
public:
    explicit FftBuffer(size_t size);
    ~FftBuffer();
    FftBuffer(const FftBuffer &) = delete;
    FftBuffer &operator=(const FftBuffer &) = delete;

    Complex *data() { return m_data; }
    const Complex *data() const { return m_data; }
    size_t size() const { return m_size; }
    Complex &operator[](size_t i) { return m_data[i]; }
    const Complex &operator[](size_t i) const { return m_data[i]; }
    void fill(const Complex &value);

private:
    Complex *m_data = nullptr;
    size_t m_size = 0;
};

// An in-place plan of one length and sign (FFTW_FORWARD = -1, FFTW_BACKWARD = +1),
// made with FFTW_ESTIMATE. It may be executed on any FftBuffer of its length.
class FftPlan
{
public:
    FftPlan(FftBuffer &buffer, int sign);
    // A plan of this length made on a scratch buffer: it serves any FftBuffer
    // of the length (FFTW's allocator aligns them all alike).
    FftPlan(size_t size, int sign);
    ~FftPlan();
    FftPlan(const FftPlan &) = delete;
    FftPlan &operator=(const FftPlan &) = delete;

    bool isValid() const { return m_plan != nullptr; }
    size_t size() const { return m_size; }
    // Unscaled transform of buffer, in place; buffer must have the plan's length.
    void execute(FftBuffer &buffer) const;

private:
    fftw_plan_s *m_plan = nullptr;
    size_t m_size = 0;
};

// The in-place plan of this length and sign for the calling thread, made on
// its first use and kept until the thread ends. Invalid for length 0.
const FftPlan &threadFftPlan(size_t size, int sign);

// The unscaled DFT of the buffer, in place, with this sign, for any length:
// FFTW's own plan when the length has only small prime factors, otherwise
// Bluestein's algorithm on power-of-two transforms (FFTW's estimated plans
// of lengths with a large prime factor run many times slower). Plans and
// chirps are made once per length and thread. False for an empty buffer or
// when no plan could be made.
bool threadDft(FftBuffer &buffer, int sign);

// The smallest power of two not less than n (1 for n <= 1).
size_t nextPowerOfTwo(size_t n);

} // namespace Algorithms
