#pragma once
// Smoothing of the magnitude and unwrapped phase of a spectrum by cubic
// B-splines on equally spaced frequency nodes; the node count follows from a
// time span, so only the part of the response no longer than it is kept.

#include "algorithms/vectorhelpers.h"

namespace Algorithms {

// Fit modes.
enum class SmoothFit : int {
    Free = 0,
    FixedFirst = 1, // the curve passes through the first sample
};
// Band flags: 0 low-pass (a DC point is estimated and added for the fit),
// anything else band-pass.
constexpr int SmoothLowPass = 0;

struct SmoothedMagnitudePhase
{
    RealVector magnitude;
    RealVector phase; // unwrapped, radians
};

// Both curves have the grid's size, or both are empty for unusable input (a
// grid that is not finite and ascending, a spectrum of another size or not
// finite, a time span that is not finite, a fit mode other than 0 or 1, or
// fewer than four points to fit). The node count is
// max(4, floor(T * (fmax - fmin + step))), at most the number of points fitted.
SmoothedMagnitudePhase smoothMagnitudePhase(const RealVector &frequency, const ComplexVector &spectrum,
                                            SmoothFit fitMode, int bandFlag, double timeSpan);

} // namespace Algorithms
