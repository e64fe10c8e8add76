#pragma once
// The filtering 2x-thru: like time gating, but each fixture's analyser-side
// reflection is separated from the measured reflection with the NumExp
// spectral model (components at the delays 0 and twice the thru delay)
// instead of a time gate.

#include "algorithms/numexp.h"
#include "algorithms/processmethod.h"

#include <optional>

namespace Algorithms {

// Longest thru delay the filtering method accepts (25 ns itself passes).
constexpr double FilteringMaxFixtureDelay = 2.5e-8;

class ProcessFiltering : public TransmissionProcess
{
    Q_OBJECT
public:
    explicit ProcessFiltering(QObject *parent = nullptr);

    void determineTimeMin() override;
    bool checkFixtureDelay(double delay) override;
    bool calculateFixtures() override;

protected:
    // Compares the models with the time-gated ones of the same thru.
    void checkFixtures() override;
};

// A spectrum over a symmetric grid: the low-pass measurement extended to
// negative frequencies.
struct TwoSidedLowPassSpectrum
{
    RealVector frequency; // -f[N-1] .. -f[0], 0, f[0] .. f[N-1]
    ComplexVector spectrum; // conj S[N-1] .. conj S[0], dc, S[0] .. S[N-1]
};

// 2N + 1 points around the real value dc (its imaginary part is dropped);
// empty for sizes that differ or an empty grid.
TwoSidedLowPassSpectrum makeTwoSidedLowPassSpectrum(const RealVector &frequency, const ComplexVector &spectrum,
                                                    double dc);

// The NumExp components of a reflection on its measurement grid. Band-pass
// (lowPass false): the model of the spectrum itself. Low-pass: the model of
// the two-sided spectrum around the extrapolated DC value, cut back to the
// positive frequencies. Empty when the model cannot be fitted or its
// components do not cover the grid.
std::optional<NumExpComponents> reflectionModel(const RealVector &frequency, const ComplexVector &reflection,
                                                const RealVector &delays, bool lowPass);

// The timeMin rule of the model-based methods: minus the delay of the left
// port's current impulse response. Nothing without both ports and their
// impulse responses.
void setTimeMinFromLeftDelay(TransmissionProcess &process);

} // namespace Algorithms
