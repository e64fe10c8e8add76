#pragma once
// Time-domain reflection step and impedance profile of a reflection measured
// on a harmonic grid.

#include "algorithms/vectorhelpers.h"

namespace Algorithms {

// All members have K = 2N + 1 entries, or are all empty on failure.
struct StepResponseProfile
{
    RealVector time; // s
    RealVector impedance; // ohms, z0 (1 + rho) / (1 - rho)
    RealVector reflection; // rho
};

// The running integral of the reflection's impulse response (Kaiser shape
// beta) on K times from tStart to tEnd (the natural grid when tStart >= tEnd),
// less its mean over the reference span tRefStart .. tRefEnd, as a
// reflection step and an impedance profile in z0. Empty for a reference span
// with tRefEnd <= tRefStart or unusable input.
StepResponseProfile computeStepResponse(const ComplexVector &s, const RealVector &frequency, double tStart, double tEnd,
                                        double beta, double tRefStart, double tRefEnd, double z0);

} // namespace Algorithms
