#pragma once
// The time-gating 2x-thru: the measured thru is split into a left and a right
// fixture model by gating the early part of each reflection (the fixture's
// analyser-side reflection) and taking the square root of the corrected thru
// transmission.

#include "algorithms/processmethod.h"

namespace Algorithms {

class ProcessTimeGate : public TransmissionProcess
{
    Q_OBJECT
public:
    explicit ProcessTimeGate(QObject *parent = nullptr);

    void determineTimeMin() override;
    bool calculateFixtures() override;
    // DUT-in-fixture correction of the analyser-side reflections.
    bool calculateDUT(const SParametersOnePort &left, const SParametersOnePort &right) override;
};

// The transmission with its sign made continuous along the grid (each point
// keeps its magnitude and is negated where that continues the phase), the
// first point's sign chosen so that its phase is the one closest to
// referencePhase (radians).
ComplexVector continuousPhaseTransmission(const ComplexVector &t, double referencePhase);

// The root sqrt(z) with its sign made continuous the same way.
ComplexVector continuousPhaseSquareRoot(const ComplexVector &z, double referencePhase);

} // namespace Algorithms
