#pragma once
// Low-pass (harmonic grid) versus band-pass handling of a measured spectrum:
// grid classification, the two-sided spectrum with its window positions and
// natural time grid, and the estimate of the unmeasured DC value.

#include "algorithms/gridmode.h"
#include "algorithms/vectorhelpers.h"

#include <optional>

namespace Algorithms {

// LowPass when |f[1] - 2 f[0]| <= 1 Hz, else BandPass; empty for fewer than 3
// points or a non-finite grid. Only the first two points are examined.
std::optional<GridMode> frequencyGridMode(const RealVector &frequency);

// Two-sided spectrum in FFT order. All members have the same length K
// (2N + 1 low-pass, N band-pass), or are all empty on failure.
struct TwoSidedSpectrum
{
    RealVector positions; // Kaiser window positions of each entry
    ComplexVector spectrum;
    RealVector time; // natural time grid, s
};

// Low-pass: (dc, S[0..N-1], conj S[N-1..0]); band-pass: S itself.
// Empty for a mode that is neither, fewer than 2 points, sizes that differ or
// a span that is not finite.
TwoSidedSpectrum makeTwoSidedSpectrum(const RealVector &frequency, const ComplexVector &s, const Complex &dc,
                                      GridMode mode);

// DC value of a spectrum measured on a harmonic grid (S[k-1] at harmonic k,
// fmax the highest frequency), from the slope of the running integral of the
// impulse response over the times before the response starts.
double extrapolateDcValue(const ComplexVector &s, double fmax);

} // namespace Algorithms
