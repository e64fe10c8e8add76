#pragma once
// Change of the real reference impedances of a two-port at one frequency.

#include "algorithms/vectorhelpers.h"

#include <array>

namespace Algorithms {

// A 2x2 S-matrix in column-major order: S11, S21, S12, S22.
using TwoPortMatrix = std::array<Complex, 4>;
// Reference impedances of port 1 and port 2, ohms.
using ImpedancePair = std::array<double, 2>;

// S referred to zFrom, re-referred to zTo, in the same order. Four zeros when
// an impedance is unusable (not finite and positive); S21 = 0 gives
// non-finite entries.
TwoPortMatrix renormalizeTwoPort(const TwoPortMatrix &s, const ImpedancePair &zFrom, const ImpedancePair &zTo);

} // namespace Algorithms
