#include "algorithms/reflectionprocess.h"

#include "algorithms/dutcorrection.h"
#include "algorithms/filteringtransmission.h"
#include "algorithms/gatinghelpers.h"
#include "algorithms/lowpassspectrum.h"
#include "algorithms/messages.h"
#include "algorithms/modelchecks.h"
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
                                                                         const ComplexVector &other, double toleranceDb,
                                                                         double toleranceDegrees, bool gateIsYardstick)
{
    if (f.empty() || used.size() != f.size() || other.size() != f.size())
        return std::nullopt;
    MainReflectionDisagreement d;
    CheckedBand band = checkedBand(f, gateIsYardstick);
    band.high = kMainReflectionBand * *std::max_element(f.begin(), f.end());
    d.limit = band.high;
    // T is the square root of G: half the difference of G in dB and phase.
    const auto db = [&](size_t i) {
        const Complex ratio = used[i] / other[i];
        return isFiniteComplex(ratio) && ratio != Complex(0.0, 0.0) ? std::abs(10.0 * std::log10(std::abs(ratio)))
                                                                    : 0.0;
    };
    const auto degrees = [&](size_t i) {
        const Complex ratio = used[i] / other[i];
        return isFiniteComplex(ratio) ? std::abs(std::arg(ratio)) / 2.0 * 180.0 / kPi : 0.0;
    };
    for (size_t i = 0; i < f.size(); ++i) {
        if (!band.contains(f[i]))
            continue;
        d.db = std::max(d.db, db(i));
        d.degrees = std::max(d.degrees, degrees(i));
    }
    const std::optional<DisagreementBand> found = disagreementBand(
        f, band, [&](size_t i) { return std::max(db(i) / toleranceDb, degrees(i) / toleranceDegrees); });
    if (!found)
        return std::nullopt;
    d.from = found->from;
    d.to = found->to;
    d.worstFrequency = found->worstFrequency;
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
    m_gateEstimate.reset();
    m_usedSignalType = m_signalType;
    const bool knownSignalType =
        m_signalType == MaxSignalEliminationType::Model || m_signalType == MaxSignalEliminationType::TimeGate;
    if (!isUsableOnePort(m_input) || !m_port->portZ0() || !knownSignalType) {
        emit error(tr("Reflection. Invalid input data"));
        const QString fault = dataFault(m_input.frequency(), {{QStringLiteral("S11"), &m_input.s11()}});
        if (!fault.isEmpty() && !m_input.frequency().empty())
            emit error(fault);
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
        addModelNotice(m_port,
                       tr("Compensated model of %1 had gain %2: gated instead")
                           .arg(m_firstPortName, bandText(compensated->from, compensated->to)),
                       tr("The spline approximation of the max signal gave a largest singular value of %1 at %2 GHz: "
                          "the fixture probably has internal mismatches. The model was computed with the time gate "
                          "of the standard's reflection instead.")
                           .arg(compensated->worst, 0, 'f', 4)
                           .arg(compensated->worstFrequency / 1e9, 0, 'g', 6));
        return true;
    }
    // The gate is no better: keep the compensated result (the passivity
    // notice of the calculation tells the user); its gated estimate is the
    // yardstick of the check.
    if (gatedOk)
        m_gateEstimate = m_gatedReflection;
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
    // fixture, and its two ways of separating it fail differently. The time
    // gate cuts it from the measurement with a gate of a few rise times: a
    // lossy line's long tail and, on a band-pass grid, the band edges (the
    // low one inside the band that is used) are lost. The spline model
    // misses the tail of a long lossy line in its own way (3 dB of DUT error
    // on a 750 ps line). Either comes out wrong while the model stays
    // passive; where the two disagree, at least one is wrong by half the
    // difference. Each model is checked against the other estimate: a gated
    // one against the spline model, over the whole band (the gate is the
    // model here, and its band edges are its faults); a compensated one
    // against the gate, leaving out where the gate is the one wrong.
    const RealVector &f = m_input.frequency();
    const bool gated = m_usedSignalType == MaxSignalEliminationType::TimeGate;
    const RealVector &grid = f;
    const ComplexVector &used = m_gatedReflection;
    std::optional<ComplexVector> alternative;
    if (gated && m_replacedModelReflection) {
        alternative = m_replacedModelReflection;
    } else if (gated) {
        // The model's own coefficient count without the determinant search,
        // which costs four times the fit and moved no estimate of the
        // accuracy table by more than 0.01 dB.
        alternative = splineMainReflection(f, m_input.s11(), nullptr, false);
    } else {
        alternative = m_gateEstimate ? m_gateEstimate : gatedMainReflection(GateCentreMode::HighestPoint);
    }
    if (!alternative)
        return; // nothing to compare with: the model stands as computed
    const std::optional<MainReflectionDisagreement> d =
        gated ? findMainReflectionDisagreement(grid, used, *alternative)
              : findMainReflectionDisagreement(grid, used, *alternative, kCompensatedToleranceDb,
                                               kCompensatedToleranceDegrees, true);
    if (!d)
        return;
    QStringList remedies;
    if (m_signalType == MaxSignalEliminationType::TimeGate)
        remedies << tr("switch on \"Use compensation of the max signal by the spline approximation\"");
    remedies << tr("measure the open and the short together");
    if (m_parameters->gatingMode() == GridMode::BandPass)
        remedies << tr("sweep a harmonic grid (every frequency a multiple of the first)");
    const QString detail =
        gated ? tr("Its transmission, from the time gate of the standard's reflection, differs from the spline "
                   "model's by up to %1 dB and %2° (worst at %3 GHz). One of the two is wrong by at least half as "
                   "much, and DUT data de-embedded with this model may be wrong there. Remedies: %4.")
              : tr("Its transmission, from the spline model of the standard's reflection, differs from the time "
                   "gate's by up to %1 dB and %2° (worst at %3 GHz). One of the two is wrong by at least half as "
                   "much, and DUT data de-embedded with this model may be wrong there. Remedies: %4.");
    addModelNotice(
        m_port,
        tr("The one-standard fixture model of %1 is uncertain %2").arg(m_firstPortName, bandText(d->from, d->to)),
        detail.arg(d->db, 0, 'f', 2)
            .arg(d->degrees, 0, 'f', 1)
            .arg(d->worstFrequency / 1e9, 0, 'g', 4)
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

std::optional<ComplexVector> ReflectProcessOpenOrShort::splineMainReflection(const RealVector &f,
                                                                             const ComplexVector &m,
                                                                             bool *smoothingFailed, bool searchCount)
{
    const size_t n = f.size();
    const double fixtureDelay = delay();
    const RealVector nodes{0.0, fixtureDelay, 2.0 * fixtureDelay};
    const std::optional<NumExpComponents> model =
        searchCount ? fitNumExpModel(f, m, nodes)
                    : fitNumExpModel(f, m, nodes, NumExpBSplineBasis, NumExpFixedCount, 0);
    if (!model || model->size() < 2 || !allFinite(*model))
        return std::nullopt;
    // The component at the standard's delay, with its ripple smoothed out.
    const SmoothedMagnitudePhase smooth =
        smoothMagnitudePhase(f, (*model)[1], SmoothFit::Free, 1, 4.0 * m_parameters->riseTime());
    if (smooth.magnitude.size() != n || smooth.phase.size() != n || !isFiniteVector(smooth.magnitude)
        || !isFiniteVector(smooth.phase)) {
        if (smoothingFailed)
            *smoothingFailed = true;
        return std::nullopt;
    }
    ComplexVector g(n);
    for (size_t i = 0; i < n; ++i)
        g[i] = std::polar(smooth.magnitude[i], smooth.phase[i]);
    if (!isFiniteComplexVector(g))
        return std::nullopt;
    return g;
}

std::optional<ComplexVector> ReflectProcessOpenOrShort::gatedMainReflection(GateCentreMode centreMode)
{
    const RealVector &f = m_input.frequency();
    const ComplexVector &m = m_input.s11();
    const double fixtureDelay = delay();
    const GridMode gridMode = m_parameters->gatingMode();
    const double halfWidth = m_parameters->nRiseTime() * m_parameters->riseTime();
    GateParameters gate;
    gate.start = fixtureDelay - halfWidth;
    gate.stop = fixtureDelay + halfWidth;
    gate.beta = m_parameters->kaiserBeta();
    gate.betaX = m_parameters->kaiserBetaX();
    gate.centre = (gate.start + gate.stop) / 2.0;
    gate.halfWidth = (gate.stop - gate.start) / 2.0;
    gate.reserved = 0.0;
    const std::optional<double> centre = refineGateCentre(m, f, centreMode, gate, gridMode);
    if (!centre || !isFiniteValue(*centre))
        return std::nullopt;
    gate.centre = *centre;
    ComplexVector g = gateSpectrum(m, f, gridMode, gate);
    if (g.size() != f.size() || !isFiniteComplexVector(g))
        return std::nullopt;
    return g;
}

std::optional<ComplexVector> ReflectProcessOpenOrShort::estimateMainReflection(MaxSignalEliminationType signalType,
                                                                               bool reports)
{
    // A smoothing that fails is no sign of noise and is not reported.
    bool smoothingFailed = false;
    std::optional<ComplexVector> g = signalType == MaxSignalEliminationType::Model
                                         ? splineMainReflection(m_input.frequency(), m_input.s11(), &smoothingFailed)
                                         : gatedMainReflection(m_parameters->highSignalCenterMode());
    if (!g && reports && !smoothingFailed)
        emit error(Messages::noisySignal);
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
        QString fault = dataFault(open.frequency(), {{tr("S11 of the open"), &open.s11()}});
        if (fault.isEmpty())
            fault = dataFault(shortStandard.frequency(), {{tr("S11 of the short"), &shortStandard.s11()}});
        if (!fault.isEmpty())
            emit error(fault);
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
    // An open and a short that are alike (the same standard measured twice)
    // leave no thru to split: that is the cause, not a missing signal.
    double odd = 0.0, even = 0.0;
    for (size_t i = 0; i < m_input.frequency().size(); ++i) {
        odd = std::max(odd, std::abs(m_input.s21()[i]));
        even = std::max(even, std::abs(m_input.s11()[i]));
    }
    if (odd < kNoSignalLevel && even >= kNoSignalLevel) {
        emit error(tr("The open and the short give the same reflection: half their difference stays below %1 dB. "
                      "Measure each standard with its own termination.")
                       .arg(odd > 0.0 ? 20.0 * std::log10(odd) : -HUGE_VAL, 0, 'f', 1));
        return false;
    }

    std::unique_ptr<TransmissionProcess> inner = createTransmissionProcess();
    if (!inner)
        return false;
    connect(inner.get(), &IProcessMethod::error, this, &IProcessMethod::error, Qt::DirectConnection);
    inner->setParameters(m_parameters);
    inner->setInputData(m_input);
    inner->setChecksModels(false); // this process checks the port's model once
    inner->setPortNames(m_firstPortName, m_firstPortName);

    FixturePort mirror(*m_port, nullptr);
    bool result = false;
    if (inner->setFixturesForCalculate(m_port, &mirror)) {
        // The port reports its refusals to this process already; through the
        // inner process they would be shown twice. The mirror is the same
        // port seen from the other side: it refuses what the port refuses,
        // and the user has one port.
        disconnect(m_port, &FixturePort::error, inner.get(), &IProcessMethod::error);
        disconnect(&mirror, &FixturePort::error, inner.get(), &IProcessMethod::error);
        {
            std::lock_guard<std::mutex> lock(m_innerMutex);
            m_inner = inner.get();
        }
        forwardInterrupt(); // a cancel that came before the inner process existed
        result = inner->run();
        // The inner process's doubts about the port's model are this one's.
        for (const ModelNotice &notice : inner->takeModelNotices(m_port))
            addModelNotice(m_port, notice.summary, notice.detail);
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
