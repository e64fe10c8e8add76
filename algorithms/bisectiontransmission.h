#pragma once
// The bisection 2x-thru: the measured thru is split point by point into a
// left and a right reciprocal half with a common transmission by a
// least-squares fit of their cascade, with no time-domain separation.

#include "algorithms/processmethod.h"

namespace Algorithms {

class ProcessBisect : public TransmissionProcess
{
    Q_OBJECT
public:
    explicit ProcessBisect(QObject *parent = nullptr);

    void determineTimeMin() override;
    bool calculateFixtures() override;
};

// The transmission with its sign made continuous along the grid (each point
// keeps its magnitude and is negated where that continues the phase), the
// first point's sign chosen so that its phase is the one closest to
// referencePhase (radians).
ComplexVector continuousPhaseTransmission(const ComplexVector &t, double referencePhase);

} // namespace Algorithms
