#pragma once
// Free functions on real and complex vectors shared by every algorithm:
// comparison, finiteness, MATLAB-style interpolation, unwrapping and ranges.

#include <complex>
#include <vector>

namespace Algorithms {

using Complex = std::complex<double>;
using RealVector = std::vector<double>;
using ComplexVector = std::vector<Complex>;

// |a - b| * 1e12 <= min(|a|, |b|); zero is equal only to zero.
bool fuzzyEqual(double a, double b);

// Same size and every pair within 1e-14 (absolute).
bool isEqualVector(const RealVector &a, const RealVector &b);

bool isFiniteValue(double value);
bool isFiniteComplex(const Complex &value);
// Empty -> false silently; a non-finite element logs "Invalid vector detected".
bool isFiniteVector(const RealVector &values);
bool isFiniteComplexVector(const ComplexVector &values);

// Straight line through (x0, y0) and (x1, y1) at x; -1 when x0 ~ x1.
double interpolateDoubleValue(double x, double x0, double x1, double y0, double y1);

// Linear interpolation at one query; -1 on failure.
double interp1(const RealVector &x, const RealVector &y, double query);

// Linear interpolation at ascending queries, holding the end values outside
// the grid. Empty when the sizes of x and y differ or x is empty.
RealVector interp1Vector(const RealVector &x, const RealVector &y, const RealVector &queries);

ComplexVector makeComplex(const RealVector &re, const RealVector &im);

// Resamples real and imaginary parts separately with interp1Vector.
ComplexVector resampleComplex(const RealVector &grid, const ComplexVector &values, const RealVector &newGrid);

// MATLAB-style unwrap with cutoff pi.
RealVector unwrapPhase(const RealVector &phases);

// MATLAB-style start:step:end, last element forced to end.
RealVector makeRange(double start, double end, double step);
std::vector<int> makeRange(int start, int end, int step);

// out[i] = values[index[i] - 1] (1-based indices).
RealVector gatherByIndex(const RealVector &values, const std::vector<int> &index);
ComplexVector gatherByIndex(const ComplexVector &values, const std::vector<int> &index);

ComplexVector concatWithValue(const ComplexVector &a, const Complex &value, const ComplexVector &b);

} // namespace Algorithms
