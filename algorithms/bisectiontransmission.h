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

protected:
    // Compares the models with the time-gated ones of the same thru.
    void checkFixtures() override;
};

} // namespace Algorithms
