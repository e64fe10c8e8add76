#pragma once
// Chirp-z transform (Bluestein's algorithm on FFTW):
//   band-pass: X[k] = sum_n x[n] w[n] A^n W^(n k)
//   low-pass:  X[k] = sum_n x[n] w[n] A^(n-h) W^((n-h) k), h = (N-1) div 2
// for k = 0..N-1, unscaled. Empty on N = 0 or fewer weights than samples.

#include "algorithms/gridmode.h"
#include "algorithms/vectorhelpers.h"

namespace Algorithms {

ComplexVector chirpZTransform(const ComplexVector &x, const Complex &A, const Complex &W, const RealVector &weights,
                              GridMode mode);

} // namespace Algorithms
