#include "algorithms/timegatingtransmission.h"

#include "algorithms/dutcorrection.h"
#include "algorithms/gatinghelpers.h"

#include <cmath>

namespace Algorithms {

namespace {

constexpr double kPi = 3.14159265358979323846;

double wrapPhase(double phase)
{
    return std::remainder(phase, 2.0 * kPi);
}

// A one-port that carries no data at all stands for "no DUT on this side".
bool isEmptyOnePort(const SParametersOnePort &s)
{
    return s.frequency().empty() && s.s11().empty();
}

} // namespace

ComplexVector continuousPhaseTransmission(const ComplexVector &t, double referencePhase)
{
    const size_t n = t.size();
    ComplexVector result(n);
    if (n == 0)
        return result;
    RealVector doubled(n);
    for (size_t i = 0; i < n; ++i)
        doubled[i] = 2.0 * std::arg(t[i]);
    RealVector phase = unwrapPhase(doubled);
    // The two signs at the first point are pi apart: keep the one nearer the
    // expected phase, so a grid that starts high is not negated as a whole.
    const double first = phase[0] / 2.0;
    if (std::abs(wrapPhase(first + kPi - referencePhase)) < std::abs(wrapPhase(first - referencePhase))) {
        for (double &p : phase)
            p += 2.0 * kPi;
    }
    for (size_t i = 0; i < n; ++i)
        result[i] = std::polar(std::abs(t[i]), phase[i] / 2.0);
    return result;
}

ComplexVector continuousPhaseSquareRoot(const ComplexVector &z, double referencePhase)
{
    ComplexVector roots(z.size());
    for (size_t i = 0; i < z.size(); ++i)
        roots[i] = std::sqrt(z[i]);
    return continuousPhaseTransmission(roots, referencePhase);
}

ProcessTimeGate::ProcessTimeGate(QObject *parent) : TransmissionProcess(parent) {}

void ProcessTimeGate::determineTimeMin() {}

bool ProcessTimeGate::calculateFixtures()
{
    const RealVector &f = m_input.frequency();
    const std::optional<ComplexVector> a = gateReflection(m_input.s11(), f, m_left->impulseResponse()->delay);
    if (!a) {
        emit error(tr("Process TimeGate: Error gating S11"));
        return false;
    }
    if (isInterrupted())
        return false;

    const std::optional<ComplexVector> b = gateReflection(m_input.s22(), f, m_right->impulseResponse()->delay);
    if (!b) {
        emit error(tr("Process TimeGate: Error gating S22"));
        return false;
    }
    if (isInterrupted())
        return false;

    return splitThru(*a, *b);
}

bool ProcessTimeGate::calculateDUT(const SParametersOnePort &left, const SParametersOnePort &right)
{
    if (!m_left || !m_right || !m_parameters)
        return false;
    const bool hasLeft = !isEmptyOnePort(left);
    const bool hasRight = !isEmptyOnePort(right);
    const bool usable =
        (hasLeft || hasRight) && (!hasLeft || isUsableOnePort(left)) && (!hasRight || isUsableOnePort(right));
    if (!m_left->uncorrectedSParameters() || !m_right->uncorrectedSParameters() || !usable) {
        emit error(tr("ProcessTimeGate::calculateDUT: error input parameters"));
        QString fault;
        if (hasLeft)
            fault = dataFault(left.frequency(), {{tr("S11 of the DUT at %1").arg(m_firstPortName), &left.s11()}});
        if (fault.isEmpty() && hasRight)
            fault = dataFault(right.frequency(), {{tr("S11 of the DUT at %1").arg(m_secondPortName), &right.s11()}});
        if (!fault.isEmpty())
            emit error(fault);
        return false;
    }
    const QString invalidModels = tr("ProcessTimeGate::calculateDUT: error uncorrected fixture s parameters");
    if (!m_left->uncorrectedSParameters()->isValid() || !m_right->uncorrectedSParameters()->isValid()) {
        emit error(invalidModels);
        return false;
    }

    // Each port is undone, gated, converted and marked on its own: the two
    // ports may well be in different states (one converted, one not), and a
    // side without a DUT measurement keeps its model and state.
    const QString invalidResult = tr("ProcessTimeGate::calculateDUT: invalid result vectors");
    // The thru's reflection at each side is the reference the model's
    // analyser-side reflection was gated from.
    const auto correct = [&](FixturePort &port, const SParametersOnePort &dut, const ComplexVector &thruReflection,
                             const QString &gatingFailed, const QString &portName) {
        const std::optional<GridMode> mode = DutCorrection::useModelGridMode(*this, port);
        if (!mode) {
            emit error(invalidModels);
            return false;
        }
        const bool sameGrid = isEqualVector(m_input.frequency(), port.uncorrectedSParameters()->frequency());
        return DutCorrection::correctPort(
            *this, port, dut, *mode,
            {tr("ProcessTimeGate::calculateDUT: error input parameters"), gatingFailed, invalidResult, portName, true},
            sameGrid ? &thruReflection : nullptr);
    };
    if (hasLeft
        && !correct(*m_left, left, m_input.s11(), tr("ProcessTimeGate::calculateDUT: Error gating S11"),
                    m_firstPortName))
        return false;
    if (hasRight
        && !correct(*m_right, right, m_input.s22(), tr("ProcessTimeGate::calculateDUT: Error gating S22"),
                    m_secondPortName))
        return false;
    reportModelFaults();
    return true;
}

} // namespace Algorithms
