#include "algorithms/processmethod.h"

#include "algorithms/gatinghelpers.h"
#include "algorithms/logging.h"
#include "algorithms/lowpassspectrum.h"
#include "algorithms/messages.h"
#include "algorithms/modelchecks.h"
#include "algorithms/passivity.h"
#include "algorithms/stepresponse.h"
#include "algorithms/timegatingtransmission.h"

#include <QCoreApplication>
#include <QDebug>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <utility>

namespace Algorithms {

namespace {

constexpr double kPi = 3.14159265358979323846;

void connectPortErrors(FixturePort *port, IProcessMethod *process)
{
    QObject::connect(port, &FixturePort::error, process, &IProcessMethod::error, Qt::UniqueConnection);
}

void disconnectPortErrors(FixturePort *port, IProcessMethod *process)
{
    if (port)
        QObject::disconnect(port, &FixturePort::error, process, &IProcessMethod::error);
}

bool isUsableResponse(const TimeDomainResponse &response)
{
    return !response.values.empty() && !response.time.empty() && response.values.size() == response.time.size()
           && isFiniteComplexVector(response.values) && isFiniteVector(response.time);
}

} // namespace

bool hasFiniteVectors(const SParametersTwoPort &s)
{
    return isFiniteComplexVector(s.s11()) && isFiniteComplexVector(s.s12()) && isFiniteComplexVector(s.s21())
           && isFiniteComplexVector(s.s22());
}

bool isUsableOnePort(const SParametersOnePort &s)
{
    return s.isValid() && isFiniteVector(s.frequency()) && isFiniteComplexVector(s.s11());
}

IProcessMethod::IProcessMethod(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<ModelNotice>("Algorithms::ModelNotice");
}

// A grid the transforms can work on: at least 3 finite, positive, strictly
// ascending and uniformly spaced frequencies (within 1 Hz or 1e-9 of the
// highest frequency), and at least 10 points when it is harmonic, so that
// the DC extrapolation of the low-pass transforms has data to fit.
QString IProcessMethod::gridFault(const RealVector &f)
{
    if (f.size() < 3)
        return tr("The frequency grid has fewer than 3 points");
    if (!isFiniteVector(f) || !(f.front() > 0.0))
        return tr("The frequency grid holds a frequency that is not finite or not positive");
    const double step = f[1] - f[0];
    const double tolerance = std::max(1.0, 1e-9 * std::abs(f.back()));
    for (size_t i = 1; i < f.size(); ++i) {
        const double d = f[i] - f[i - 1];
        if (!(d > 0.0) || !(step > 0.0) || std::abs(d - step) > tolerance)
            return tr("The frequency grid is not uniformly spaced. Use a linear sweep");
    }
    const std::optional<GridMode> mode = frequencyGridMode(f);
    if (!mode)
        return tr("The frequency grid cannot be classified");
    if (*mode == GridMode::LowPass && f.size() < 10)
        return tr("Too few frequency points for the low-pass transform: at least 10 are needed");
    return QString();
}

QString IProcessMethod::dataFault(const RealVector &f,
                                  const std::vector<std::pair<QString, const ComplexVector *>> &data)
{
    for (const auto &[name, values] : data) {
        if (!values || values->size() != f.size())
            return tr("The measured %1 has %2 points, the frequency grid %3")
                .arg(name)
                .arg(values ? values->size() : 0)
                .arg(f.size());
    }
    // Point by point, so that the first bad point is named whichever
    // parameter holds it.
    for (size_t i = 0; i < f.size(); ++i) {
        for (const auto &[name, values] : data) {
            const Complex v = (*values)[i];
            if (isFiniteComplex(v))
                continue;
            const bool nan = std::isnan(v.real()) || std::isnan(v.imag());
            const QString where =
                isFiniteValue(f[i]) ? tr("%1 GHz").arg(f[i] / 1e9, 0, 'g', 6) : tr("an invalid frequency");
            return (nan ? tr("The measured %1 is not a number (NaN) at %2, point %3 of %4")
                        : tr("The measured %1 is infinite at %2, point %3 of %4"))
                .arg(name, where)
                .arg(i + 1)
                .arg(f.size());
        }
    }
    return QString();
}

bool IProcessMethod::run()
{
    if (!m_parameters)
        return false;
    struct ClearOnExit
    {
        std::atomic<unsigned char> &flag;
        ~ClearOnExit() { flag.store(0); }
    } clear{m_interrupted};
    m_modelNotices.clear();
    const bool ok = calculate();
    if (ok && m_checksModels)
        reportModelFaults();
    return ok;
}

void IProcessMethod::setPortNames(const QString &first, const QString &second)
{
    m_firstPortName = first;
    m_secondPortName = second;
}

std::optional<ModelNotice> IProcessMethod::passivityNotice(const QString &portName, const SParametersTwoPort &model)
{
    const std::optional<PassivityViolation> v = findPassivityViolation(model);
    if (!v)
        return std::nullopt;
    return ModelNotice{portName,
                       tr("The fixture model of %1 is not passive %2").arg(portName, bandText(v->from, v->to)),
                       tr("Its largest singular value reaches %1 (a gain of %2 dB) at %3 GHz, above 1 + %4. DUT data "
                          "de-embedded with it are wrong there; check the measurement or choose another correction "
                          "method.")
                           .arg(v->worst, 0, 'f', 4)
                           .arg(20.0 * std::log10(v->worst), 0, 'f', 2)
                           .arg(v->worstFrequency / 1e9, 0, 'g', 6)
                           .arg(kPassivityTolerance)};
}

QString IProcessMethod::passivityFault(const QString &portName, const SParametersTwoPort &model)
{
    const std::optional<ModelNotice> notice = passivityNotice(portName, model);
    return notice ? notice->text() : QString();
}

void IProcessMethod::addModelNotice(const FixturePort *port, const QString &summary, const QString &detail)
{
    m_modelNotices.push_back({port, ModelNotice{QString(), summary, detail}});
}

std::vector<ModelNotice> IProcessMethod::takeModelNotices(const FixturePort *port)
{
    std::vector<ModelNotice> taken;
    const auto kept = std::stable_partition(m_modelNotices.begin(), m_modelNotices.end(),
                                            [port](const auto &entry) { return entry.first != port; });
    for (auto it = kept; it != m_modelNotices.end(); ++it)
        taken.push_back(it->second);
    m_modelNotices.erase(kept, m_modelNotices.end());
    return taken;
}

void IProcessMethod::reportModelFaults()
{
    // Told once: a later DUT correction checks the models again.
    const std::vector<std::pair<const FixturePort *, ModelNotice>> found = std::exchange(m_modelNotices, {});
    for (const auto &[name, port] : computedPorts()) {
        std::vector<ModelNotice> notices;
        for (const auto &[noticePort, notice] : found)
            if (noticePort == port)
                notices.push_back(notice);
        if (port && port->uncorrectedSParameters()) {
            if (const std::optional<ModelNotice> passivity = passivityNotice(name, *port->uncorrectedSParameters()))
                notices.push_back(*passivity);
        }
        if (notices.empty())
            continue;
        // One entry per port: the first doubt leads, the others follow it.
        ModelNotice told{name, notices.front().summary, notices.front().detail};
        for (std::size_t i = 1; i < notices.size(); ++i) {
            QStringList parts{told.detail, notices[i].summary, notices[i].detail};
            parts.removeAll(QString());
            told.detail = parts.join(QLatin1Char('\n'));
        }
        emit modelNotice(told);
    }
}

void IProcessMethod::interrupt()
{
    m_interrupted.store(1);
    emit error(tr("The measurement was canceled"));
}

bool IProcessMethod::isInterrupted()
{
    QCoreApplication::processEvents();
    return m_interrupted.load() != 0;
}

bool IProcessMethod::prepareParametersForGrid(const RealVector &grid, int nBandPass, int nLowPass)
{
    if (!m_parameters)
        return false;
    const QString fault = gridFault(grid);
    if (!fault.isEmpty()) {
        m_gridFault = fault;
        return false;
    }
    m_gridFault.clear();
    const GridMode mode = frequencyGridMode(grid).value_or(GridMode::BandPass);
    const double fmax = *std::max_element(grid.begin(), grid.end());
    m_parameters->setRiseTime(m_parameters->normalizingValue() / fmax);
    m_parameters->setGatingMode(mode);
    m_parameters->setPulseMode(mode);
    m_parameters->setStartZero(-0.5 / (grid[1] - grid[0]));
    if (!m_parameters->isTestMode())
        m_parameters->setNRiseTime(mode == GridMode::LowPass ? nLowPass : nBandPass);
    return true;
}

ReflectProcess::ReflectProcess(QObject *parent) : IProcessMethod(parent)
{
    m_firstPortName = tr("the fixture port");
}

std::vector<std::pair<QString, const FixturePort *>> ReflectProcess::computedPorts() const
{
    return {{m_firstPortName, m_port}};
}

bool ReflectProcess::prepareParameters()
{
    if (!m_parameters)
        return false;
    if (!prepareParametersForGrid(frequencies(), 4, 2)) {
        emit error(tr("Reflection. Invalid input data"));
        if (!m_gridFault.isEmpty())
            emit error(m_gridFault);
        return false;
    }
    return true;
}

bool ReflectProcess::calculateDUT(const SParametersOnePort &)
{
    emit error(tr("The correction method does not support this measurement"));
    return false;
}

bool ReflectProcess::setFixturesForCalculate(FixturePort *port)
{
    if (!port)
        return false;
    if (!port->portZ0()) {
        qCDebug(lcAlgorithms) << "ReflectProcess::setFixturesForCalculate: not enough parameters";
        return false;
    }
    if (m_port != port)
        disconnectPortErrors(m_port, this);
    m_port = port;
    connectPortErrors(port, this);
    if (port->side() && port->uncorrectedSParameters() && port->uncorrectedSParameters()->isValid())
        port->swapSides();
    port->setSide(false);
    return true;
}

TransmissionProcess::TransmissionProcess(QObject *parent) : IProcessMethod(parent)
{
    m_firstPortName = tr("the left fixture port");
    m_secondPortName = tr("the right fixture port");
}

std::vector<std::pair<QString, const FixturePort *>> TransmissionProcess::computedPorts() const
{
    return {{m_firstPortName, m_left}, {m_secondPortName, m_right}};
}

bool TransmissionProcess::prepareParameters()
{
    if (!m_parameters)
        return false;
    if (!prepareParametersForGrid(m_input.frequency(), 8, 4)) {
        emit error(tr("Transmission. Invalid input data"));
        if (!m_gridFault.isEmpty())
            emit error(m_gridFault);
        return false;
    }
    return true;
}

bool TransmissionProcess::calculateDUT(const SParametersOnePort &, const SParametersOnePort &)
{
    emit error(tr("This process does not have a DUT calculation method"));
    return false;
}

bool TransmissionProcess::checkFixtureDelay(double)
{
    return true;
}

bool TransmissionProcess::setFixturesForCalculate(FixturePort *left, FixturePort *right)
{
    if (!left || !right || left == right)
        return false;
    if (!left->portZ0() || !right->portZ0()) {
        qCDebug(lcAlgorithms) << "TransmissionProcess::setFixturesForCalculate: not enough parameters";
        return false;
    }
    if (m_left != left && m_left != right)
        disconnectPortErrors(m_left, this);
    if (m_right != left && m_right != right)
        disconnectPortErrors(m_right, this);
    m_left = left;
    m_right = right;
    connectPortErrors(left, this);
    connectPortErrors(right, this);

    const auto holdsValidModel = [](const FixturePort *port) {
        return port->uncorrectedSParameters() && port->uncorrectedSParameters()->isValid();
    };
    if (left->side() && holdsValidModel(left))
        left->swapSides();
    if (!right->side() && holdsValidModel(right))
        right->swapSides();
    left->setSide(false);
    right->setSide(true);
    return true;
}

void TransmissionProcess::setInputData(const SParametersTwoPort &input)
{
    m_input.setFrequency(input.frequency());
    m_input.setS11(input.s11());
    m_input.setS12(input.s12());
    m_input.setS21(input.s21());
    m_input.setS22(input.s22());
}

bool TransmissionProcess::calculate()
{
    if (!m_left || !m_right || !m_input.isValid() || !hasFiniteVectors(m_input)) {
        emit error(tr("Transmission. Invalid input data"));
        const QString fault = dataFault(m_input.frequency(), {{QStringLiteral("S11"), &m_input.s11()},
                                                              {QStringLiteral("S21"), &m_input.s21()},
                                                              {QStringLiteral("S12"), &m_input.s12()},
                                                              {QStringLiteral("S22"), &m_input.s22()}});
        if (!fault.isEmpty() && !m_input.frequency().empty())
            emit error(fault);
        return false;
    }
    if (!prepareParameters())
        return false;
    if (!calculateImpulseAndGating())
        return false;
    if (isInterrupted())
        return false;

    const bool lowPass = m_parameters->gatingMode() == GridMode::LowPass;
    const bool anyConversion =
        m_left->conversionType() != Z0ConversionType::None || m_right->conversionType() != Z0ConversionType::None;
    if (lowPass && anyConversion && !calculateStepResponse())
        return false;

    if (isInterrupted())
        return false;
    if (!calculateFixtures())
        return false;
    if (isInterrupted())
        return false;
    checkFixtures();

    for (FixturePort *port : {m_left, m_right}) {
        if (!port->setDefaultSParameters(*port->uncorrectedSParameters()))
            return false;
    }

    if (m_parameters->gatingMode() == GridMode::LowPass) {
        for (FixturePort *port : {m_left, m_right}) {
            if (port->conversionType() == Z0ConversionType::None)
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

namespace {

// What each fixture shows toward the thru once its analyser-side reflection
// is known (a left, b right).
void thruSideReflections(const SParametersTwoPort &thru, const ComplexVector &a, const ComplexVector &b,
                         ComplexVector &x, ComplexVector &y)
{
    const size_t n = thru.frequency().size();
    x.resize(n);
    y.resize(n);
    for (size_t i = 0; i < n; ++i) {
        x[i] = (thru.s11()[i] - a[i]) / thru.s21()[i];
        y[i] = (thru.s22()[i] - b[i]) / thru.s12()[i];
    }
}

// The transmission both fixtures share: the mean of the roots of
// s21 (1 - x y) and s12 (1 - x y).
ComplexVector thruTransmission(const SParametersTwoPort &thru, const ComplexVector &x, const ComplexVector &y,
                               double phase)
{
    const size_t n = thru.frequency().size();
    ComplexVector p(n), q(n);
    for (size_t i = 0; i < n; ++i) {
        const Complex mismatch = 1.0 - x[i] * y[i];
        p[i] = thru.s21()[i] * mismatch;
        q[i] = thru.s12()[i] * mismatch;
    }
    const ComplexVector pRoot = continuousPhaseSquareRoot(p, phase);
    const ComplexVector qRoot = continuousPhaseSquareRoot(q, phase);
    ComplexVector t(n);
    for (size_t i = 0; i < n; ++i)
        t[i] = (pRoot[i] + qRoot[i]) / 2.0;
    return t;
}

SParametersTwoPort twoPortOf(const RealVector &f, const ComplexVector &s11, const ComplexVector &s12,
                             const ComplexVector &s21, const ComplexVector &s22)
{
    SParametersTwoPort s;
    s.setFrequency(f);
    s.setS11(s11);
    s.setS12(s12);
    s.setS21(s21);
    s.setS22(s22);
    return s;
}

} // namespace

bool TransmissionProcess::splitThru(const ComplexVector &a, const ComplexVector &b)
{
    ComplexVector x, y;
    thruSideReflections(m_input, a, b, x, y);
    if (isInterrupted())
        return false;
    const ComplexVector t = thruTransmission(m_input, x, y, referencePhase());
    if (isInterrupted())
        return false;
    return storeFixtureResults(a, t, t, y, x, t, t, b);
}

void TransmissionProcess::compareWithTimeGating(const QString &summary)
{
    if (!m_left || !m_right || !m_left->impulseResponse() || !m_right->impulseResponse()
        || !m_left->uncorrectedSParameters() || !m_right->uncorrectedSParameters())
        return;
    // The time-gating method's split of this thru, not stored: two gated
    // reflections and the algebra of splitThru.
    const RealVector &f = m_input.frequency();
    const std::optional<ComplexVector> a = gateReflection(m_input.s11(), f, m_left->impulseResponse()->delay);
    const std::optional<ComplexVector> b = gateReflection(m_input.s22(), f, m_right->impulseResponse()->delay);
    if (!a || !b)
        return; // no yardstick: the model stands as computed
    ComplexVector x, y;
    thruSideReflections(m_input, *a, *b, x, y);
    const ComplexVector t = thruTransmission(m_input, x, y, referencePhase());
    const SParametersTwoPort gatedLeft = twoPortOf(f, *a, t, t, y);
    const SParametersTwoPort gatedRight = twoPortOf(f, x, t, t, *b);

    const CheckedBand band = checkedBand(f, true);
    const std::pair<const FixturePort *, const SParametersTwoPort *> sides[] = {{m_left, &gatedLeft},
                                                                                {m_right, &gatedRight}};
    const QString names[] = {m_firstPortName, m_secondPortName};
    for (size_t side = 0; side < 2; ++side) {
        const SParametersTwoPort &model = *sides[side].first->uncorrectedSParameters();
        const SParametersTwoPort &gated = *sides[side].second;
        if (model.s11().size() != f.size() || model.s22().size() != f.size() || model.s21().size() != f.size())
            continue;
        const auto reflectionDifference = [&](size_t i) {
            return std::max(std::abs(model.s11()[i] - gated.s11()[i]), std::abs(model.s22()[i] - gated.s22()[i]));
        };
        const std::optional<DisagreementBand> d =
            disagreementBand(f, band, [&](size_t i) { return reflectionDifference(i) / kThruModelTolerance; });
        if (!d)
            continue;
        double db = 0.0, degrees = 0.0;
        for (size_t i = 0; i < f.size(); ++i) {
            if (f[i] < d->from || f[i] > d->to)
                continue;
            const Complex ratio = model.s21()[i] / gated.s21()[i];
            if (!isFiniteComplex(ratio) || ratio == Complex(0.0, 0.0))
                continue;
            db = std::max(db, std::abs(20.0 * std::log10(std::abs(ratio))));
            degrees = std::max(degrees, std::abs(std::arg(ratio)) * 180.0 / kPi);
        }
        addModelNotice(sides[side].first, summary.arg(names[side], bandText(d->from, d->to)),
                       tr("Its reflections differ from those of the time-gated model of the same 2x-thru by up to %1 "
                          "(worst at %2 GHz), its transmission by up to %3 dB and %4°. One of the two models is wrong "
                          "there, and DUT data de-embedded with this one may be off by as much. Time gating is the "
                          "more reliable method where the fixture's reflections are apart from its DUT end; check "
                          "also that both halves of the 2x-thru are alike.")
                           .arg(d->worst * kThruModelTolerance, 0, 'f', 3)
                           .arg(d->worstFrequency / 1e9, 0, 'g', 4)
                           .arg(db, 0, 'f', 2)
                           .arg(degrees, 0, 'f', 1));
    }
}

std::optional<ImpulseResponse> IProcessMethod::calculateImpulseResponse(const ComplexVector &spectrum,
                                                                        const RealVector &grid, int n, double riseTime,
                                                                        GridMode mode)
{
    const TimeDomainResponse coarse = computeImpulseResponse(spectrum, grid, 0.0, 0.0, 0.0, mode);
    if (!isUsableResponse(coarse)) {
        emit error(Messages::noisySignal);
        return std::nullopt;
    }
    // Data without any signal (an open port, fixtures not connected) have
    // no delay to find: the peak would be wherever the noise is largest.
    double level = 0.0;
    for (const Complex &v : spectrum)
        level = std::max(level, std::abs(v));
    if (level < kNoSignalLevel) {
        // The one cause: the signal is absent, not noisy.
        emit error(tr("There is no signal: the largest magnitude of the measured data is %1 dB. "
                      "Check that the fixtures are connected.")
                       .arg(level > 0.0 ? 20.0 * std::log10(level) : -HUGE_VAL, 0, 'f', 1));
        return std::nullopt;
    }
    const double coarsePeak = coarse.time[findPeak(coarse.values).index];

    const double halfSpan = n * riseTime;
    const TimeDomainResponse fine =
        computeImpulseResponse(spectrum, grid, coarsePeak - halfSpan, coarsePeak + halfSpan, 3.0, mode);
    if (!isUsableResponse(fine)) {
        emit error(Messages::noisySignal);
        return std::nullopt;
    }
    double delay = fine.time[findPeak(fine.values).index];
    // The time grid is accumulated from its start, so a peak at t = 0 (a
    // zero-length thru) can come out as a rounding residue of either sign.
    const double step = fine.time.size() > 1 ? std::abs(fine.time[1] - fine.time[0]) : 0.0;
    if (std::abs(delay) <= 1e-6 * step)
        delay = 0.0;
    if (delay < 0.0) {
        emit error(tr("A negative fixture delay. Check measured data for validity"));
        // A passive fixture has no negative delay: either its delay is longer
        // than the grid resolves and wraps around, or the analyser shifts
        // the data in time.
        const double step = grid.size() > 1 ? std::abs(grid[1] - grid[0]) : 0.0;
        if (step > 0.0)
            emit error(tr("The impulse response peaks at %1 ps. At a frequency step of %2 MHz the "
                          "response repeats every %3 ns, so a longer fixture wraps around to "
                          "negative times: use more points or a smaller span. Otherwise check the "
                          "electrical delay and port extensions set on the analyser.")
                           .arg(delay * 1e12, 0, 'f', 1)
                           .arg(step / 1e6, 0, 'g', 6)
                           .arg(1e9 / step, 0, 'g', 4));
        return std::nullopt;
    }
    return ImpulseResponse{fine.values, fine.time, delay, coarsePeak};
}

std::optional<ImpulseResponse> IProcessMethod::usableImpulseResponse(const ComplexVector &spectrum,
                                                                     const RealVector &grid)
{
    std::optional<ImpulseResponse> impulse = calculateImpulseResponse(
        spectrum, grid, m_parameters->nRiseTime(), m_parameters->riseTime(), m_parameters->pulseMode());
    if (impulse && !impulse->isValid()) {
        emit error(Messages::noisySignal);
        return std::nullopt;
    }
    return impulse;
}

std::optional<Gating> IProcessMethod::usableGating(const ComplexVector &spectrum, const RealVector &grid, double delay)
{
    std::optional<Gating> gating =
        calculateGating(spectrum, grid, delay, m_parameters->timeMin(), m_parameters->pulseMode());
    if (!gating || !gating->isValid()) {
        emit error(Messages::noisySignal);
        return std::nullopt;
    }
    return gating;
}

std::optional<Gating> IProcessMethod::calculateGating(const ComplexVector &spectrum, const RealVector &grid,
                                                      double delay, double start, GridMode mode)
{
    const TimeDomainResponse response = computeImpulseResponse(spectrum, grid, start, 2.0 * delay, 6.0, mode);
    if (!isUsableResponse(response))
        return std::nullopt;

    RealVector magnitude(response.values.size());
    for (size_t i = 0; i < magnitude.size(); ++i)
        magnitude[i] = std::hypot(response.values[i].real(), response.values[i].imag());

    // A delay outside the time grid has no magnitude to show: fail instead
    // of keeping the interpolation's failure value.
    const RealVector &t = response.time;
    const bool inside =
        (delay >= t.front() || fuzzyEqual(delay, t.front())) && (delay <= t.back() || fuzzyEqual(delay, t.back()));
    if (!inside)
        return std::nullopt;
    const double value = interp1(t, magnitude, delay);
    if (!isFiniteValue(value) || value < 0.0)
        return std::nullopt;
    return Gating{response.values, response.time, value};
}

namespace {

GateParameters reflectionGate(const ProcessInputParameters &parameters, double delay)
{
    const double timeMin = parameters.timeMin();
    GateParameters gate;
    gate.start = timeMin;
    gate.stop = delay;
    gate.beta = parameters.kaiserBeta();
    gate.betaX = parameters.kaiserBetaX();
    gate.centre = (timeMin + delay) / 2.0;
    gate.halfWidth = (delay - timeMin) / 2.0;
    gate.reserved = 0.0;
    return gate;
}

} // namespace

std::optional<double> IProcessMethod::gateReflectionCentre(const ComplexVector &spectrum, const RealVector &grid,
                                                           double delay)
{
    if (!m_parameters)
        return std::nullopt;
    const std::optional<double> centre =
        refineGateCentre(spectrum, grid, m_parameters->lowSignalCenterMode(), reflectionGate(*m_parameters, delay),
                         m_parameters->gatingMode());
    if (!centre || !isFiniteValue(*centre))
        return std::nullopt;
    return centre;
}

std::optional<ComplexVector> IProcessMethod::gateReflection(const ComplexVector &spectrum, const RealVector &grid,
                                                            double delay, std::optional<double> centre)
{
    if (!m_parameters)
        return std::nullopt;
    GateParameters gate = reflectionGate(*m_parameters, delay);
    if (!centre)
        centre = gateReflectionCentre(spectrum, grid, delay);
    if (!centre || !isFiniteValue(*centre))
        return std::nullopt;
    gate.centre = *centre;

    ComplexVector gated = gateSpectrum(spectrum, grid, m_parameters->gatingMode(), gate);
    if (gated.size() != spectrum.size() || !isFiniteComplexVector(gated))
        return std::nullopt;
    return gated;
}

} // namespace Algorithms
