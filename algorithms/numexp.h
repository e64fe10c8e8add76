#pragma once
// NumExp spectral model: a spectrum as a sum of components, one per time
// node, each a smooth complex envelope over the band times the delay factor
// of its node. The envelopes are fitted by least squares on a cubic B-spline
// (or sinc) basis whose size follows from the time-bandwidth product and is
// refined by maximising the Gram determinant of the model.

#include "algorithms/vectorhelpers.h"

#include <Eigen/Dense>

#include <functional>
#include <optional>

namespace Algorithms {

// Basis selectors.
constexpr int NumExpBSplineBasis = 0; // any other value: sinc basis
// Refinement modes.
constexpr int NumExpDeterminantSearch = 0;
constexpr int NumExpFixedCount = 1;

using NumExpComponents = std::vector<ComplexVector>;

// count values from first to last, equally spaced, the last exactly last.
RealVector equallySpacedNodes(double first, double last, int count);

// Cubic B-spline basis (grid size x node count) on the not-a-knot sequence of
// the nodes: the first and last node four times, the interior nodes but the
// second and the last-but-one once. Zero outside [first node, last node]; the
// last node belongs to the last interval. The basis is symmetric about the
// centre of the node range. Fewer than four nodes use the first and last
// node four times each and the symmetric selection of its cubic functions.
Eigen::MatrixXd cubicBSplineBasis(const RealVector &grid, const RealVector &nodes);

// sinc((f - node) / node step), sinc(0) = 1.
Eigen::MatrixXd sincBasis(const RealVector &grid, const RealVector &nodes);

// Criterion of a coefficient count: log10 |det(A^H A)| of the model's design
// matrix A, as the sum of log10 of the magnitudes of the diagonal of its
// factor (the determinant itself overflows for realistic sizes): Cholesky
// in its band for the B-spline basis, LU with partial pivoting for the sinc
// basis or a matrix that is not numerically positive definite. Exactly 0 is
// reported as 1e-10; a singular matrix gives -inf or NaN. NaN for a count
// below 2 or unusable input.
double numExpCriterion(const RealVector &frequency, const RealVector &times, int count, int basis = NumExpBSplineBasis);

// Refines the coefficient count starting from start by locating the maximum
// of criterion(k) over 4..maxCount (maxCount = points / nodes): a parabola
// through the evaluated counts, then a short walk uphill. Each count is
// evaluated at most once. Keeps start when the search cannot decide (too
// few distinct counts, a non-concave or non-finite vertex, or a walk that
// leaves the range).
int searchNumExpCount(int start, int maxCount, const std::function<double(int)> &criterion);

// The coefficient count the model uses for these nodes, or empty when the
// nodes do not fit the band (closer than 3 / span, or a total extent beyond
// about 1 / step) or the input is unusable.
std::optional<int> numExpCoefficientCount(const RealVector &frequency, const RealVector &times,
                                          int basis = NumExpBSplineBasis, int refinement = NumExpDeterminantSearch,
                                          int fixedCount = 0);

// Fits the model and returns one component per time node (each the size of
// the grid); their sum is the least-squares model of the spectrum. Empty
// for fewer than two nodes, unusable input or nodes that do not fit the band.
std::optional<NumExpComponents> fitNumExpModel(const RealVector &frequency, const ComplexVector &spectrum,
                                               const RealVector &times, int basis = NumExpBSplineBasis,
                                               int refinement = NumExpDeterminantSearch, int fixedCount = 0);

} // namespace Algorithms
