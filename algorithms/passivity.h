#pragma once
// Passivity of a computed fixture model. A fixture is a passive network: at
// every frequency the largest singular value of its 2 x 2 scattering matrix
// is at most 1. A model above that gives gain, and every DUT de-embedded
// with it is wrong there by as much.

#include "algorithms/sparameters.h"

#include <optional>

namespace Algorithms {

// How far above 1 a model's largest singular value may come before it is
// reported. 1 + 0.01 lets de-embedded data gain at most 0.086 dB: more than
// the scatter of an accurate model of a nearly lossless fixture (its
// singular value sits at 1 to within a few thousandths), less than the
// faults worth telling the user about.
constexpr double kPassivityTolerance = 0.01;

// Largest singular value of [[s11, s12], [s21, s22]].
double largestSingularValue(Complex s11, Complex s12, Complex s21, Complex s22);

// Largest singular value at every point of the model.
RealVector largestSingularValues(const SParametersTwoPort &model);

struct PassivityViolation
{
    double worst = 0.0; // largest singular value found
    double worstFrequency = 0.0; // Hz, where it was found
    double from = 0.0, to = 0.0; // Hz, first and last point above the limit
    size_t points = 0; // points above the limit
};

// Empty when the model stays within 1 + tolerance at every point.
std::optional<PassivityViolation> findPassivityViolation(const SParametersTwoPort &model,
                                                         double tolerance = kPassivityTolerance);

} // namespace Algorithms
