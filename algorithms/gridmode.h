#pragma once
// How a frequency grid is taken to the time domain.

namespace Algorithms {

// Low-pass: a harmonic grid (every point a multiple of the first), made
// two-sided with an extrapolated DC value, the transforms centred on it.
// Band-pass: any other uniform grid, transformed as measured.
enum class GridMode : int { LowPass = 0, BandPass = 1 };

} // namespace Algorithms
