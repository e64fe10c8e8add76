#pragma once
// Time gating of a spectrum: the gate's time-domain shape, the gated
// spectrum, and the refinement of the time the data are shifted to first.

#include "algorithms/gatecentremode.h"
#include "algorithms/gridmode.h"
#include "algorithms/vectorhelpers.h"

#include <optional>

namespace Algorithms {

// The gate record, times in seconds.
struct GateParameters
{
    double start = 0.0;
    double stop = 0.0;
    double beta = 0.0; // Kaiser shape of the gating window (not used here)
    double betaX = 0.0; // Kaiser shape of the taper on the gate's spectrum
    double centre = 0.0; // time the data are shifted by before gating
    double halfWidth = 0.0; // (stop - start) / 2
    double reserved = 0.0;
};

// Gate samples in FFT time order (sample k at k / (K df), the second half
// standing for negative times); K = 2N + 1 (low-pass) or N (band-pass).
// Empty when stop <= start, the half width is negative, the mode is unknown
// or the grid is unusable.
RealVector gateShape(const RealVector &frequency, GridMode gridMode, const GateParameters &gate);

// S gated to the absolute times start .. stop, on the input grid. Empty when
// the gate or the input is unusable.
ComplexVector gateSpectrum(const ComplexVector &s, const RealVector &frequency, GridMode gridMode,
                           const GateParameters &gate);

// The refined gate centre, by the given mode. Empty for a value outside the
// modes or unusable input.
std::optional<double> refineGateCentre(const ComplexVector &s, const RealVector &frequency, GateCentreMode centreMode,
                                       const GateParameters &gate, GridMode gridMode);

} // namespace Algorithms
