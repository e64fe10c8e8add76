#pragma once
// Per-frequency split of a measured 2x-thru into a left and a right
// reciprocal half with a common transmission, by a Levenberg-Marquardt
// least-squares fit of the cascade to the thru.

#include "algorithms/vectorhelpers.h"

#include "ap.h"

#include <array>
#include <optional>

namespace Algorithms {

// The thru at one frequency, column-major 2x2 as (re, im) pairs:
// S11, S21, S12, S22.
using BisectionInput = std::array<double, 8>;

// The right half (b11, t, t, b22), then the left half (a11, t, t, a22),
// each column-major 2x2.
using BisectionResult = std::array<Complex, 8>;

// Empty when the thru holds a non-finite value or the optimiser fails; the
// optimiser's own exceptions never leave this function.
std::optional<BisectionResult> bisectionFit(const BisectionInput &thru);

// Residual vector handed to the optimiser. x holds t, a11, a22, b11, b22 as
// (re, im) pairs; data points to six doubles S11.re, S22.re, St.re, S11.im,
// S22.im, St.im with St the mean of S12 and S21. Writes six residuals:
// re/im of the cascade's S11, S22 and S21 minus the measurement.
void bisectionResiduals(const alglib::real_1d_array &x, alglib::real_1d_array &residuals, void *data);

} // namespace Algorithms
