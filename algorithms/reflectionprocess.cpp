#include "algorithms/reflectionprocess.h"

#include "algorithms/dutcorrection.h"
#include "algorithms/filteringtransmission.h"
#include "algorithms/gatinghelpers.h"
#include "algorithms/lowpassspectrum.h"
#include "algorithms/messages.h"
#include "algorithms/numexp.h"
#include "algorithms/passivity.h"
#include "algorithms/smoothing.h"
#include "algorithms/stepresponse.h"
#include "algorithms/timegatingtransmission.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Algorithms {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool allFinite(const NumExpComponents &components)
{
    return std::all_of(components.begin(), components.end(),
                       [](const ComplexVector &c) { return isFiniteComplexVector(c); });
}

Complex divideOrNaN(const Complex &a, const Complex &b)
{
    if (!isFiniteComplex(b) || b == Complex(0.0, 0.0))
        return Complex(kNaN, kNaN);
    return a / b;
}

} // namespace

std::optional<MainReflectionDisagreement> findMainReflectionDisagreement(const RealVector &f, const ComplexVector &used,
                                                                         const ComplexVector &other)
{
    if (f.empty() || used.size() != f.size() || other.size() != f.size())
        return std::nullopt;
    MainReflectionDisagreement d;
    d.limit = kMainReflectionBand * *std::max_element(f.begin(), f.end());
    double worstExcess = 0.0;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] > d.limit)
            continue;
        const Complex ratio = used[i] / other[i];
        if (!isFiniteComplex(ratio) || ratio == Complex(0.0, 0.0))
            continue;
        // T is the square root of G: half the difference of G in dB and phase.
        const double db = std::abs(10.0 * std::log10(std::abs(ratio)));
        const double degrees = std::abs(std::arg(ratio)) / 2.0 * 180.0 / kPi;
        d.db = std::max(d.db, db);
        d.degrees = std::max(d.degrees, degrees);
        const double excess = std::max(db / kMainReflectionToleranceDb, degrees / kMainReflectionToleranceDegrees);
        if (excess > worstExcess) {
            worstExcess = excess;
            d.worstFrequency = f[i];
        }
    }
    if (worstExcess <= 1.0)
        return std::nullopt;
    return d;
}

// ---------------------------------------------------------------------------
// One standard

ReflectProcessOpenOrShort::ReflectProcessOpenOrShort(QObject *parent) : ReflectProcess(parent) {}

void ReflectProcessOpenOrShort::setInputData(const SParametersOnePort &input)
{
    m_input.setFrequency(input.frequency());
    m_input.setS11(input.s11());
}

double ReflectProcessOpenOrShort::delay() const
{
    return m_port && m_port->impulseResponse() ? m_port->impulseResponse()->delay : 0.0;
}

bool ReflectProcessOpenOrShort::calculate()
{
    if (!m_port)
        return false;
    m_gatedReflection.clear();
    m_residualReflection.clear();
    m_fixtureReflection.clear();
    m_replacedModelReflection.reset();
    m_usedSignalType = m_signalType;
    const bool knownSignalType =
        m_signalType == MaxSignalEliminationType::Model || m_signalType == MaxSignalEliminationType::TimeGate;
    if (!isUsableOnePort(m_input) || !m_port->portZ0() || !knownSignalType) {
        emit error(tr("Reflection. Invalid input data"));
        return false;
    }
    // Without parameters for this grid every later stage would run on values
    // left from an earlier calculation; the preparation reports the failure.
    if (!prepareParameters())
        return false;

    if (!calculateImpulse() || isInterrupted())
        return false;

    const bool converts =
        m_port->conversionType() != Z0ConversionType::None && m_parameters->gatingMode() == GridMode::LowPass;
    if (converts && (!calculateReflectStepResponse() || isInterrupted()))
        return false;

    if (!calculateMainReflection() || isInterrupted())
        return false;
    if (!calculateMethod() || isInterrupted())
        return false;
    if (!solveFixture() || isInterrupted())
        return false;
    if (m_signalType == MaxSignalEliminationType::Model && !keepCompensationOrGate())
        return false;
    checkMainReflection();
    if (isInterrupted())
        return false;

    if (!m_port->setDefaultSParameters(*m_port->uncorrectedSParameters()))
        return false;
    if (converts) {
        if (!m_port->convertImpedance())
            return false;
        if (!m_port->setConvertedSParameters(*m_port->uncorrectedSParameters()))
            return false;
    }
    emit m_port->uncorrectedSParametersChanged();
    return true;
}

bool ReflectProcessOpenOrShort::keepCompensationOrGate()
{
    // The spline model of the main reflection fits components at 0, the
    // delay and twice the delay only. A fixture with internal mismatches has
    // reflections in between, which the component at the delay partly takes:
    // the model then shows gain. The time gate of the main reflection keeps
    // to the delay's neighbourhood; when its model is passive, it is used
    // and the user is told. (Where both show gain, the gain is the gate's
    // band-edge error common to both, and the compensated model is kept.)
    const std::optional<PassivityViolation> compensated = findPassivityViolation(*m_port->uncorrectedSParameters());
    if (!compensated)
        return true;
    const SParametersTwoPort model = *m_port->uncorrectedSParameters();
    const std::optional<Gating> gating = m_port->gating();
    const ComplexVector g = m_gatedReflection, d = m_residualReflection, e = m_fixtureReflection;

    m_signalType = MaxSignalEliminationType::TimeGate;
    const bool gatedOk = calculateMainReflection() && calculateMethod() && solveFixture();
    m_signalType = MaxSignalEliminationType::Model;
    if (isInterrupted())
        return false;
    const std::optional<PassivityViolation> gated =
        gatedOk ? findPassivityViolation(*m_port->uncorrectedSParameters()) : std::nullopt;
    if (gatedOk && !gated) {
        m_usedSignalType = MaxSignalEliminationType::TimeGate;
        m_replacedModelReflection = g;
        addModelNotice(m_port, tr("The compensation of the max signal by the spline approximation gave a fixture "
                                  "model with gain (largest singular value %1 at %2 GHz); the fixture probably has "
                                  "internal mismatches. The model was computed with the time gate instead.")
                                   .arg(compensated->worst, 0, 'f', 4)
                                   .arg(compensated->worstFrequency / 1e9, 0, 'g', 6));
        return true;
    }
    // The gate is no better: keep the compensated result (the passivity
    // notice of the calculation tells the user).
    m_gatedReflection = g;
    m_residualReflection = d;
    m_fixtureReflection = e;
    if (gating)
        m_port->setGating(*gating);
    return m_port->setCalculatedSParameters(model);
}

void ReflectProcessOpenOrShort::checkMainReflection()
{
    // The method takes the main reflection for the standard seen through the
    // fixture. The time gate cuts it from the measurement with a gate of a
    // few rise times: a lossy line's long tail and, on a band-pass grid, the
    // band edges (the low one inside the band that is used) are lost, and
    // the transmission T = sqrt(G / Gamma) comes out up to 1.6 dB wrong
    // while the model stays passive. The spline model separates the same
    // reflection another way, without those losses: where the two disagree,
    // at least one is wrong by half the difference. A model from the spline
    // model itself is not checked against the gate, whose band-edge error
    // would be taken for its own (a model with gain from it is replaced by
    // the gated one, and then checked).
    if (m_usedSignalType != MaxSignalEliminationType::TimeGate)
        return;
    const std::optional<ComplexVector> alternative =
        m_replacedModelReflection ? m_replacedModelReflection
                                  : estimateMainReflection(MaxSignalEliminationType::Model, false);
    if (!alternative)
        return; // nothing to compare with: the model stands as computed
    const std::optional<MainReflectionDisagreement> d =
        findMainReflectionDisagreement(m_input.frequency(), m_gatedReflection, *alternative);
    if (!d)
        return;
    QStringList remedies;
    if (m_signalType == MaxSignalEliminationType::TimeGate)
        remedies << tr("switch on \"Use compensation of the max signal by the spline approximation\"");
    remedies << tr("measure the open and the short together");
    if (m_parameters->gatingMode() == GridMode::BandPass)
        remedies << tr("sweep a harmonic grid (every frequency a multiple of the first)");
    addModelNotice(m_port,
                   tr("The one-standard fixture model of %1 is uncertain: its transmission, from the time gate of the "
                      "standard's reflection, differs from the spline model's by up to %2 dB and %3° (worst at %4 "
                      "GHz) below %5 GHz. One of the two is wrong by at least half as much, and DUT data de-embedded "
                      "with this model may be wrong there. Remedies: %6.")
                       .arg(m_firstPortName)
                       .arg(d->db, 0, 'f', 2)
                       .arg(d->degrees, 0, 'f', 1)
                       .arg(d->worstFrequency / 1e9, 0, 'g', 6)
                       .arg(d->limit / 1e9, 0, 'g', 6)
                       .arg(remedies.join(QStringLiteral("; "))));
}

bool ReflectProcessOpenOrShort::calculateImpulse()
{
    const std::optional<ImpulseResponse> impulse = usableImpulseResponse(m_input.s11(), m_input.frequency());
    if (!impulse)
        return false;
    // The default response goes first: the change signal of the current one
    // makes its readers look at both.
    if (!m_port->setDefaultImpulseResponse(*impulse) || !m_port->setImpulseResponse(*impulse))
        return false;
    m_parameters->setTimeMin(-impulse->delay);
    return true;
}

bool ReflectProcessOpenOrShort::calculateReflectStepResponse()
{
    if (!m_port->portZ0() || !m_port->impulseResponse())
        return false;
    const double fixtureDelay = delay();
    const StepResponseProfile profile =
        computeStepResponse(m_input.s11(), m_input.frequency(), 0.0, 2.0 * fixtureDelay, 3.0, m_parameters->startZero(),
                            m_parameters->timeMin(), *m_port->portZ0());
    if (!isFiniteVector(profile.time) || !isFiniteVector(profile.impedance) || !isFiniteVector(profile.reflection)) {
        emit error(tr("Invalid step response. Calculation error. Check the measured data for validity"));
        return false;
    }

    // The line just before the standard.
    const double referenceTime = fixtureDelay - m_parameters->nRiseTime() * m_parameters->riseTime();
    const double z = interp1(profile.time, profile.impedance, referenceTime);
    if (!isFiniteValue(z) || !(z > 0.0)) {
        emit error(tr("Invalid fixture impedance. NaN, Inf or 0 value found"));
        return false;
    }
    const ReflectData::StepResponse record{profile.impedance, profile.time, referenceTime, z};
    if (!record.isValid())
        return false;
    if (!m_port->setStepResponse(record))
        return false;
    m_port->setFixtureImpedance(z);
    return true;
}

std::optional<ComplexVector> ReflectProcessOpenOrShort::estimateMainReflection(MaxSignalEliminationType signalType,
                                                                               bool reports)
{
    const RealVector &f = m_input.frequency();
    const ComplexVector &m = m_input.s11();
    const size_t n = f.size();
    const double fixtureDelay = delay();
    const GridMode gridMode = m_parameters->gatingMode();
    const auto noisy = [this, reports]() -> std::optional<ComplexVector> {
        if (reports)
            emit error(Messages::noisySignal);
        return std::nullopt;
    };

    ComplexVector g;
    if (signalType == MaxSignalEliminationType::Model) {
        const std::optional<NumExpComponents> model = fitNumExpModel(f, m, {0.0, fixtureDelay, 2.0 * fixtureDelay});
        if (!model || model->size() < 2 || !allFinite(*model))
            return noisy();
        // The component at the standard's delay, with its ripple smoothed out.
        const SmoothedMagnitudePhase smooth =
            smoothMagnitudePhase(f, (*model)[1], SmoothFit::Free, 1, 4.0 * m_parameters->riseTime());
        if (smooth.magnitude.size() != n || smooth.phase.size() != n || !isFiniteVector(smooth.magnitude)
            || !isFiniteVector(smooth.phase))
            return std::nullopt;
        g.resize(n);
        for (size_t i = 0; i < n; ++i)
            g[i] = std::polar(smooth.magnitude[i], smooth.phase[i]);
    } else {
        const double halfWidth = m_parameters->nRiseTime() * m_parameters->riseTime();
        GateParameters gate;
        gate.start = fixtureDelay - halfWidth;
        gate.stop = fixtureDelay + halfWidth;
        gate.beta = m_parameters->kaiserBeta();
        gate.betaX = m_parameters->kaiserBetaX();
        gate.centre = (gate.start + gate.stop) / 2.0;
        gate.halfWidth = (gate.stop - gate.start) / 2.0;
        gate.reserved = 0.0;
        const std::optional<double> centre =
            refineGateCentre(m, f, m_parameters->highSignalCenterMode(), gate, gridMode);
        if (!centre || !isFiniteValue(*centre))
            return noisy();
        gate.centre = *centre;
        g = gateSpectrum(m, f, gridMode, gate);
    }
    if (g.size() != n || !isFiniteComplexVector(g))
        return noisy();
    return g;
}

bool ReflectProcessOpenOrShort::calculateMainReflection()
{
    if (!m_port->impulseResponse())
        return false;
    std::optional<ComplexVector> g = estimateMainReflection(m_signalType, true);
    if (!g)
        return false;
    const RealVector &f = m_input.frequency();
    const ComplexVector &m = m_input.s11();
    const size_t n = f.size();

    ComplexVector d(n);
    for (size_t i = 0; i < n; ++i)
        d[i] = m[i] - (*g)[i];
    if (!isFiniteComplexVector(d)) {
        emit error(Messages::noisySignal);
        return false;
    }
    m_gatedReflection = std::move(*g);
    m_residualReflection = std::move(d);

    const std::optional<Gating> gating = usableGating(m_residualReflection, f, delay());
    return gating && m_port->setGating(*gating);
}

bool ReflectProcessOpenOrShort::solveFixture()
{
    const RealVector &f = m_input.frequency();
    const ComplexVector &m = m_input.s11();
    const ComplexVector &g = m_gatedReflection;
    const ComplexVector &e = m_fixtureReflection;
    const size_t n = f.size();
    if (g.size() != n || e.size() != n)
        return false;
    const double gamma = standardReflection();

    ComplexVector r(n), squared(n);
    for (size_t i = 0; i < n; ++i) {
        const Complex x = divideOrNaN(g[i], m[i] - e[i]);
        r[i] = (1.0 - x) / gamma;
        squared[i] = g[i] / gamma;
    }
    // T = sqrt(G / Gamma) with a continuous phase; the sign at the first
    // point follows the one-way delay of the fixture.
    const ComplexVector t = continuousPhaseSquareRoot(squared, -kPi * f.front() * delay());
    if (!isFiniteComplexVector(r) || !isFiniteComplexVector(t) || !isFiniteComplexVector(e))
        return false;

    SParametersTwoPort model;
    model.setFrequency(f);
    model.setS11(e);
    model.setS12(t);
    model.setS21(t);
    model.setS22(r);
    if (!model.isValid())
        return false;
    return m_port->setCalculatedSParameters(model);
}

ProcessTimeGateReflect::ProcessTimeGateReflect(QObject *parent) : ReflectProcessOpenOrShort(parent) {}

bool ProcessTimeGateReflect::calculateMethod()
{
    const std::optional<ComplexVector> e = gateReflection(m_residualReflection, m_input.frequency(), delay());
    if (!e)
        return false;
    m_fixtureReflection = *e;
    return true;
}

ProcessFilteringReflect::ProcessFilteringReflect(QObject *parent) : ReflectProcessOpenOrShort(parent) {}

bool ProcessFilteringReflect::calculateMethod()
{
    const std::optional<ImpulseResponse> &impulse = m_port->impulseResponse();
    if (!impulse || !impulse->isValid())
        return false;
    // The fixture's input reflection at 0 beside the standard's second round
    // trip, as the filtering 2x-thru models its reflections: the model needs
    // at least two nodes.
    const RealVector nodes{0.0, 2.0 * impulse->delay};
    if (isInterrupted())
        return false;
    const std::optional<NumExpComponents> model = reflectionModel(m_input.frequency(), m_residualReflection, nodes,
                                                                  m_parameters->gatingMode() == GridMode::LowPass);
    if (isInterrupted())
        return false;
    if (!model || model->size() < 2 || (*model)[0].size() != m_input.frequency().size()
        || !isFiniteComplexVector((*model)[0]))
        return false;
    m_fixtureReflection = (*model)[0];
    return true;
}

// ---------------------------------------------------------------------------
// Open and short

ReflectProcessOpenAndShort::ReflectProcessOpenAndShort(QObject *parent) : ReflectProcess(parent)
{
    // interrupt() sets the flag and then reports the cancel; the report is
    // the moment to pass the request on to a running inner process.
    connect(
        this, &IProcessMethod::error, this, [this]() { forwardInterrupt(); }, Qt::DirectConnection);
}

ReflectProcessOpenAndShort::~ReflectProcessOpenAndShort() = default;

void ReflectProcessOpenAndShort::forwardInterrupt()
{
    if (m_interrupted.load() == 0)
        return;
    std::lock_guard<std::mutex> lock(m_innerMutex);
    if (!m_inner)
        return;
    // Set the inner flag directly: inner->interrupt() would report the
    // cancel a second time through the forwarded error signal. The member
    // pointer names the flag through this class, which may access it.
    std::atomic<unsigned char> IProcessMethod::*flag = &ReflectProcessOpenAndShort::m_interrupted;
    (m_inner->*flag).store(1);
}

bool ReflectProcessOpenAndShort::setOpenAndShort(const SParametersOnePort &open,
                                                 const SParametersOnePort &shortStandard)
{
    SParametersOnePort b = shortStandard;
    const bool usable = isUsableOnePort(open) && isUsableOnePort(shortStandard)
                        && (isEqualVector(open.frequency(), b.frequency()) || b.interpolate(open.frequency()));
    if (!usable || b.s11().size() != open.s11().size()) {
        emit error(tr("Invalid open and short input data"));
        return false;
    }
    const ComplexVector &a = open.s11();
    const size_t n = a.size();
    ComplexVector even(n), odd(n);
    for (size_t i = 0; i < n; ++i) {
        even[i] = (a[i] + b.s11()[i] + 1e-12) / 2.0;
        odd[i] = (a[i] - b.s11()[i] + 1e-12) / 2.0;
    }
    m_input.setFrequency(open.frequency());
    m_input.setS11(even);
    m_input.setS12(odd);
    m_input.setS21(odd);
    m_input.setS22(even);
    return true;
}

bool ReflectProcessOpenAndShort::calculate()
{
    if (!m_port)
        return false;
    if (!m_input.isValid() || !hasFiniteVectors(m_input) || !m_port->portZ0()) {
        emit error(tr("Reflection. Invalid input data"));
        return false;
    }
    if (!prepareParameters())
        return false;
    if (isInterrupted())
        return false;

    std::unique_ptr<TransmissionProcess> inner = createTransmissionProcess();
    if (!inner)
        return false;
    connect(inner.get(), &IProcessMethod::error, this, &IProcessMethod::error, Qt::DirectConnection);
    inner->setParameters(m_parameters);
    inner->setInputData(m_input);
    inner->setChecksModels(false); // this process checks the port's model once

    FixturePort mirror(*m_port, nullptr);
    bool result = false;
    if (inner->setFixturesForCalculate(m_port, &mirror)) {
        // The port reports its refusals to this process already; through the
        // inner process they would be shown twice.
        disconnect(m_port, &FixturePort::error, inner.get(), &IProcessMethod::error);
        {
            std::lock_guard<std::mutex> lock(m_innerMutex);
            m_inner = inner.get();
        }
        forwardInterrupt(); // a cancel that came before the inner process existed
        result = inner->run();
        {
            std::lock_guard<std::mutex> lock(m_innerMutex);
            m_inner = nullptr;
        }
    }
    if (isInterrupted())
        return false;
    return result;
}

ProcessTimeGateReflectOpenAndShort::ProcessTimeGateReflectOpenAndShort(QObject *parent)
    : ReflectProcessOpenAndShort(parent)
{}

std::unique_ptr<TransmissionProcess> ProcessTimeGateReflectOpenAndShort::createTransmissionProcess()
{
    return std::make_unique<ProcessTimeGate>();
}

ProcessFilteringReflectOpenAndShort::ProcessFilteringReflectOpenAndShort(QObject *parent)
    : ReflectProcessOpenAndShort(parent)
{}

std::unique_ptr<TransmissionProcess> ProcessFilteringReflectOpenAndShort::createTransmissionProcess()
{
    return std::make_unique<ProcessFiltering>();
}

namespace {

// The reference of a DUT correction: the reflection on the model's grid
// whose gated early part is the model's analyser-side reflection; null when
// the port's model is not on that grid.
const ComplexVector *referenceOnModelGrid(const FixturePort *port, const RealVector &grid,
                                          const ComplexVector &reflection)
{
    if (!port || !port->uncorrectedSParameters() || reflection.size() != grid.size()
        || !isEqualVector(grid, port->uncorrectedSParameters()->frequency()))
        return nullptr;
    return &reflection;
}

} // namespace

bool ProcessTimeGateReflect::calculateDUT(const SParametersOnePort &dut)
{
    // The fixture's reflection was gated from the standard's reflection
    // without its main reflection.
    return DutCorrection::correctReflection(*this, dut, tr("Invalid input data of  DUT with fixture"),
                                            tr("Invalid calculated data of DUT with fixture. NaN or Inf value found"),
                                            referenceOnModelGrid(port(), frequencies(), residualReflection()));
}

bool ProcessTimeGateReflectOpenAndShort::calculateDUT(const SParametersOnePort &dut)
{
    // The fixture's reflection was gated from the even-mode reflection of
    // the open and the short, the thru's reflection they stand for.
    return DutCorrection::correctReflection(*this, dut, tr("Invalid input data of  DUT with fixture"),
                                            tr("Invalid calculated data of DUT with fixture. NaN or Inf value found"),
                                            referenceOnModelGrid(port(), frequencies(), inputData().s11()));
}

} // namespace Algorithms
