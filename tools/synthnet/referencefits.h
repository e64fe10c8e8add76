#pragma once
// The model fits written out plainly, as the yardsticks of the library's
// faster ones: the tests compare their results, the benchmarks their times.
// And the 2x-thru both are measured on.

#include "algorithms/bisectionfit.h"
#include "algorithms/numexp.h"
#include "algorithms/sparameters.h"
#include "algorithms/timegating.h"

#include <optional>

namespace SynthNet {

// The 2x-thru of a fixture made of a 0.1 pF shunt capacitance and a 55 ohm,
// 1 ns line (0.5 dB at 1 GHz), at points of a harmonic grid up to 20 GHz.
Algorithms::SParametersTwoPort referenceThru(size_t points);
// Its fixture's delay.
constexpr double kReferenceThruDelay = 1e-9;

// The input of the bisection fit at point i of a two-port.
Algorithms::BisectionInput bisectionInputAt(const Algorithms::SParametersTwoPort &s, size_t i);

// The bisection fit with an optimiser made for this point alone (ALGLIB's
// minlm from scratch, the settings of bisectionFit).
Algorithms::BisectionResult bisectionReferenceFit(const Algorithms::BisectionInput &thru);

// The NumExp fit: every coefficient count the search tries builds the dense
// Gram matrix of the design and factors it by LU with partial pivoting, and
// the final fit solves it the same way.
struct NumExpReferenceFit
{
    int count = 0;
    Algorithms::NumExpComponents components;
};

// log10 |det(A^H A)| of the design at this count (cubic B-spline basis).
double numExpReferenceCriterion(const Algorithms::RealVector &frequency, const Algorithms::RealVector &times,
                                int count);

// The fit with the cubic B-spline basis and the determinant search (the
// callers' defaults); empty where fitNumExpModel refuses the input.
std::optional<NumExpReferenceFit> numExpReferenceFit(const Algorithms::RealVector &frequency,
                                                     const Algorithms::ComplexVector &spectrum,
                                                     const Algorithms::RealVector &times);

// The gate-centre scan (centre mode 1) written out plainly: every
// position's shifted spectrum from its own phase factors, one FFTW transform
// of length K each, and the magnitude of every complex sample. Empty for an
// unusable grid or gate.
std::optional<double> gateCentreReferenceScan(const Algorithms::ComplexVector &s, const Algorithms::RealVector &f,
                                              const Algorithms::GateParameters &gate, Algorithms::GridMode gridMode);

} // namespace SynthNet
