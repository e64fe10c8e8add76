#include "algorithms/bisectiontransmission.h"

#include "algorithms/bisectionfit.h"
#include "algorithms/filteringtransmission.h"
#include "algorithms/timegatingtransmission.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Algorithms {

ProcessBisect::ProcessBisect(QObject *parent) : TransmissionProcess(parent) {}

void ProcessBisect::determineTimeMin()
{
    setTimeMinFromLeftDelay(*this);
}

bool ProcessBisect::calculateFixtures()
{
    if (!m_left || !m_right)
        return false;
    if (!m_left->portZ0() || !m_right->portZ0()) {
        emit error(tr("The bisection method error. Impedance of the selected VNA ports has to be "
                      "the same!"));
        return false;
    }

    const RealVector &f = m_input.frequency();
    const ComplexVector &s11 = m_input.s11();
    const ComplexVector &s12 = m_input.s12();
    const ComplexVector &s21 = m_input.s21();
    const ComplexVector &s22 = m_input.s22();
    const size_t n = f.size();
    if (s11.size() != n || s12.size() != n || s21.size() != n || s22.size() != n)
        return false;

    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const Complex invalid(kNaN, kNaN);
    ComplexVector a11(n, invalid), a12(n, invalid), a21(n, invalid), a22(n, invalid);
    ComplexVector b11(n, invalid), b12(n, invalid), b21(n, invalid), b22(n, invalid);

    for (size_t j = 0; j < n; ++j) {
        if (isInterrupted())
            return false;
        const BisectionInput thru = {s11[j].real(), s11[j].imag(), s21[j].real(), s21[j].imag(),
                                     s12[j].real(), s12[j].imag(), s22[j].real(), s22[j].imag()};
        const std::optional<BisectionResult> halves = bisectionFit(thru);
        // A point the fit cannot split spoils the whole model: the rest stays
        // invalid and is refused below with the method's text.
        if (!halves)
            break;
        const BisectionResult &h = *halves;
        b11[j] = h[0];
        b21[j] = h[1];
        b12[j] = h[2];
        b22[j] = h[3];
        a11[j] = h[4];
        a21[j] = h[5];
        a12[j] = h[6];
        a22[j] = h[7];
    }

    const double phase = referencePhase();
    a21 = continuousPhaseTransmission(a21, phase);
    a12 = continuousPhaseTransmission(a12, phase);
    b21 = continuousPhaseTransmission(b21, phase);
    b12 = continuousPhaseTransmission(b12, phase);

    const std::vector<const ComplexVector *> all = {&a11, &a12, &a21, &a22, &b11, &b12, &b21, &b22};
    const bool complete = std::all_of(
        all.begin(), all.end(), [n](const ComplexVector *v) { return v->size() == n && isFiniteComplexVector(*v); });
    if (!complete)
        emit error(tr("The bisection method error!"));
    return storeFixtureResults(a11, a12, a21, a22, b11, b12, b21, b22);
}

void ProcessBisect::checkFixtures()
{
    compareWithTimeGating(tr("Bisection model of %1 differs from time gating %2"));
}

} // namespace Algorithms
