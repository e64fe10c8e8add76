#pragma once
// Kaiser weighting of spectra, the impulse response over an arbitrary time
// span, and the search for its largest sample.

#include "algorithms/gridmode.h"
#include "algorithms/vectorhelpers.h"

#include <cstddef>

namespace Algorithms {

// Impulse response samples; both members empty on failure.
struct TimeDomainResponse
{
    RealVector time; // s
    ComplexVector values;
};

// The first largest magnitude of a vector and its index.
struct Peak
{
    double magnitude = 0.0;
    size_t index = 0;
};

// Kaiser weights over window positions p (0 .. K-1, possibly permuted):
// w[i] = I0(beta sqrt(1 - ((2 p[i] - K + 1)/(K - 1))^2)) / I0(beta).
// A one-entry window has the weight 1.
RealVector kaiserWeights(const RealVector &positions, double beta);

// k points from start to end (k >= 2), the last exactly end: the time grid
// of the time-domain responses.
RealVector spanGrid(double start, double end, size_t k);

// h(t) = sum_k w_k S_k e^(j 2 pi k df t) / sum w over the two-sided spectrum
// (low-pass, harmonic grid, DC extrapolated) or the envelope over the
// measured points (band-pass). K output times from tStart to tEnd when
// tStart < tEnd, else the natural time grid. Empty on non-finite input.
TimeDomainResponse computeImpulseResponse(const ComplexVector &s, const RealVector &frequency, double tStart,
                                          double tEnd, double beta, GridMode pulseMode);

// First maximum of |z|; an empty vector gives magnitude 0 at index 0.
Peak findPeak(const ComplexVector &values);

} // namespace Algorithms
