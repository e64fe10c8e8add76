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
    // DUT-in-fixture correction of the analyser-side reflections; defined
    // with the other corrections in dutcorrection.cpp.
    bool calculateDUT(const SParametersOnePort &left, const SParametersOnePort &right) override;
};

// The root sqrt(z) with the phase made continuous along the grid, with the
// sign at the first point chosen so that its phase is the one closest to
// referencePhase (radians).
ComplexVector continuousPhaseSquareRoot(const ComplexVector &z, double referencePhase);

} // namespace Algorithms
