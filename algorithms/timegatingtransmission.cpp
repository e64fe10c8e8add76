#include "algorithms/timegatingtransmission.h"

#include "algorithms/gatinghelpers.h"
#include "algorithms/stepresponse.h"

#include <cmath>

namespace Algorithms {

namespace {

constexpr double kPi = 3.14159265358979323846;

double wrapPhase(double phase)
{
    return std::remainder(phase, 2.0 * kPi);
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

bool TransmissionProcess::calculate()
{
    if (!m_left || !m_right || !m_input.isValid() || !hasFiniteVectors(m_input)) {
        emit error(tr("Transmission. Invalid input data"));
        return false;
    }
    if (!prepareParameters())
        return false;
    if (!calculateImpulseAndGating())
        return false;
    if (isInterrupted())
        return false;

    const bool lowPass = m_parameters->gatingMode() == 0;
    const bool anyConversion =
        m_left->conversionType() != Z0ConversionNone || m_right->conversionType() != Z0ConversionNone;
    if (lowPass && anyConversion && !calculateStepResponse())
        return false;

    if (isInterrupted())
        return false;
    if (!calculateFixtures())
        return false;
    if (isInterrupted())
        return false;

    for (FixturePort *port : {m_left, m_right}) {
        if (!port->setDefaultSParameters(*port->uncorrectedSParameters()))
            return false;
    }

    if (m_parameters->gatingMode() == 0) {
        for (FixturePort *port : {m_left, m_right}) {
            if (port->conversionType() == Z0ConversionNone)
                continue;
            if (!port->convertImpedance())
                return false;
            if (!port->setConvertedSParameters(*port->uncorrectedSParameters()))
                return false;
        }
    }

    emit m_left->uncorrectedSParametersChanged();
    emit m_right->uncorrectedSParametersChanged();
    return true;
}

bool TransmissionProcess::calculateImpulseAndGating()
{
    if (!m_left || !m_right)
        return false;
    const RealVector &f = m_input.frequency();
    const std::optional<ImpulseResponse> impulse = usableImpulseResponse(m_input.s21(), f);
    if (!impulse)
        return false;
    if (!checkFixtureDelay(impulse->delay))
        return false;

    const std::optional<Gating> leftGating = usableGating(m_input.s11(), f, impulse->delay);
    if (!leftGating)
        return false;
    const std::optional<Gating> rightGating = usableGating(m_input.s22(), f, impulse->delay);
    if (!rightGating)
        return false;

    // The default response goes first: the change signal of the current one
    // makes its readers look at both.
    if (!m_left->setDefaultImpulseResponse(*impulse) || !m_left->setImpulseResponse(*impulse)
        || !m_left->setGating(*leftGating))
        return false;
    if (!m_right->setDefaultImpulseResponse(*impulse) || !m_right->setImpulseResponse(*impulse)
        || !m_right->setGating(*rightGating))
        return false;

    determineTimeMin();
    return true;
}

bool TransmissionProcess::calculateStepResponse()
{
    if (!m_left || !m_right)
        return false;
    if (!m_left->impulseResponse() || !m_right->impulseResponse() || !m_left->portZ0() || !m_right->portZ0()) {
        emit error(tr("Step Response. Invalid input data"));
        return false;
    }
    const ImpulseResponse &leftImpulse = *m_left->impulseResponse();
    const ImpulseResponse &rightImpulse = *m_right->impulseResponse();
    if (!fuzzyEqual(leftImpulse.coarsePeak, rightImpulse.coarsePeak))
        return false;

    const RealVector &f = m_input.frequency();
    const double timeMin = m_parameters->timeMin();
    const double startZero = m_parameters->startZero();
    const double end = 2.0 * leftImpulse.coarsePeak;

    // The impedance profile sampled at the fixture delay; empty when the
    // profile is unusable there.
    const auto sideStep = [&](const ComplexVector &reflection, double z0, double delay,
                              ReflectData::StepResponse &record) -> bool {
        const StepResponseProfile profile =
            computeStepResponse(reflection, f, timeMin, end, 3.0, startZero, timeMin, z0);
        if (!isFiniteVector(profile.time) || !isFiniteVector(profile.impedance) || !isFiniteVector(profile.reflection)
            || profile.time.size() != profile.impedance.size())
            return false;
        const bool inside = (delay >= profile.time.front() || fuzzyEqual(delay, profile.time.front()))
                            && (delay <= profile.time.back() || fuzzyEqual(delay, profile.time.back()));
        if (!inside)
            return false;
        const double z = interp1(profile.time, profile.impedance, delay);
        if (!isFiniteValue(z) || z < 0.0)
            return false;
        record = ReflectData::StepResponse{profile.impedance, profile.time, delay, z};
        return true;
    };

    ReflectData::StepResponse left;
    if (!sideStep(m_input.s11(), *m_left->portZ0(), leftImpulse.delay, left)) {
        emit error(tr("Invalid step response. Calculation error. Check the measured data for validity"));
        return false;
    }
    ReflectData::StepResponse right;
    if (!sideStep(m_input.s22(), *m_right->portZ0(), rightImpulse.delay, right)) {
        emit error(tr("Error in calculating the step response characteristic"));
        return false;
    }

    if (!m_left->setStepResponse(left) || !m_right->setStepResponse(right))
        return false;
    const double fixtureImpedance = (left.impedance + right.impedance) / 2.0;
    m_left->setFixtureImpedance(fixtureImpedance);
    m_right->setFixtureImpedance(fixtureImpedance);
    return true;
}

bool TransmissionProcess::storeFixtureResults(const ComplexVector &a11, const ComplexVector &a12,
                                              const ComplexVector &a21, const ComplexVector &a22,
                                              const ComplexVector &b11, const ComplexVector &b12,
                                              const ComplexVector &b21, const ComplexVector &b22)
{
    SParametersTwoPort left;
    left.setFrequency(m_input.frequency());
    left.setS11(a11);
    left.setS12(a12);
    left.setS21(a21);
    left.setS22(a22);
    SParametersTwoPort right;
    right.setFrequency(m_input.frequency());
    right.setS11(b11);
    right.setS12(b12);
    right.setS21(b21);
    right.setS22(b22);
    const bool leftStored = m_left->setCalculatedSParameters(left);
    const bool rightStored = m_right->setCalculatedSParameters(right);
    return leftStored && rightStored;
}

double TransmissionProcess::referencePhase() const
{
    const RealVector &f = m_input.frequency();
    const double delay = m_left && m_left->impulseResponse() ? m_left->impulseResponse()->delay : 0.0;
    return f.empty() ? 0.0 : -kPi * f[0] * delay;
}

bool TransmissionProcess::splitThru(const ComplexVector &a, const ComplexVector &b)
{
    const ComplexVector &s11 = m_input.s11();
    const ComplexVector &s12 = m_input.s12();
    const ComplexVector &s21 = m_input.s21();
    const ComplexVector &s22 = m_input.s22();
    const size_t n = m_input.frequency().size();

    ComplexVector x(n), y(n);
    for (size_t i = 0; i < n; ++i) {
        x[i] = (s11[i] - a[i]) / s21[i];
        y[i] = (s22[i] - b[i]) / s12[i];
    }
    if (isInterrupted())
        return false;

    const double phase = referencePhase();
    ComplexVector p(n), q(n);
    for (size_t i = 0; i < n; ++i) {
        const Complex mismatch = 1.0 - x[i] * y[i];
        p[i] = s21[i] * mismatch;
        q[i] = s12[i] * mismatch;
    }
    const ComplexVector pRoot = continuousPhaseSquareRoot(p, phase);
    const ComplexVector qRoot = continuousPhaseSquareRoot(q, phase);
    ComplexVector t(n);
    for (size_t i = 0; i < n; ++i)
        t[i] = (pRoot[i] + qRoot[i]) / 2.0;
    if (isInterrupted())
        return false;

    return storeFixtureResults(a, t, t, y, x, t, t, b);
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

} // namespace Algorithms
