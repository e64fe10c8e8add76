#include "algorithms/fixtureport.h"

#include "algorithms/logging.h"
#include "algorithms/lowpassspectrum.h"
#include "algorithms/passivity.h"
#include "algorithms/renormalization.h"

#include <QDebug>

#include <array>
#include <cmath>
#include <limits>

namespace Algorithms {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = 3.14159265358979323846;

bool isValidImpulse(const std::optional<ImpulseResponse> &impulse)
{
    return impulse && impulse->isValid();
}

bool isValidModel(const std::optional<SParametersTwoPort> &model)
{
    return model && model->isValid();
}

bool isUsableImpedance(double z)
{
    return isFiniteValue(z) && z > 0.0;
}

bool hasFiniteParameters(const SParametersTwoPort &model)
{
    return isFiniteComplexVector(model.s11()) && isFiniteComplexVector(model.s12())
           && isFiniteComplexVector(model.s21()) && isFiniteComplexVector(model.s22());
}

void swapIfPresent(std::optional<SParametersTwoPort> &model)
{
    if (model)
        model->swapPorts();
}

// The transmission and the DUT-side reflection of a model moved as a line.
struct MovedLine
{
    ComplexVector transmission;
    ComplexVector reflection;
};

// The unwrapped phase of the transmission s. The scaled phase is p times the
// whole phase of the line, not of its principal value: on a grid that starts
// high the first point has turned by many periods. The unwrapped phase is
// anchored to the fixture's own delay (half the round-trip delay length), as
// the transmission roots were.
RealVector linePhase(const ComplexVector &s, double firstFrequency, double length)
{
    const size_t n = s.size();
    RealVector phase(n);
    for (size_t i = 0; i < n; ++i)
        phase[i] = std::arg(s[i]);
    phase = unwrapPhase(phase);
    if (n > 0) {
        const double expected = -kPi * firstFrequency * length;
        const double turns = std::round((expected - phase[0]) / (2.0 * kPi));
        for (double &value : phase)
            value += 2.0 * kPi * turns;
    }
    return phase;
}

// The model base (of a fixture of round-trip delay length) scaled as a line p
// times as long: the transmission to the power p, the DUT-side reflection
// (S11 on side true, S22 on side false) turned by the doubled change of the
// transmission. Empty when either holds a non-finite value.
std::optional<MovedLine> moveAsLine(const SParametersTwoPort &base, bool side, double length, double p)
{
    const ComplexVector &s = base.s21();
    const ComplexVector &r = side ? base.s11() : base.s22();
    const size_t n = s.size();
    const RealVector phase = linePhase(s, n > 0 ? base.frequency().front() : 0.0, length);

    MovedLine moved{ComplexVector(n), ComplexVector(n)};
    bool finite = true;
    for (size_t i = 0; i < n; ++i) {
        const double magnitude = std::pow(std::abs(s[i]), p);
        moved.transmission[i] = Complex(magnitude * std::cos(p * phase[i]), magnitude * std::sin(p * phase[i]));
        const bool divisible = std::abs(s[i]) > 0.0 && isFiniteComplex(s[i]);
        const Complex q = divisible ? moved.transmission[i] / s[i] : Complex(kNaN, kNaN);
        moved.reflection[i] = r[i] * q * q;
        finite = finite && isFiniteComplex(moved.transmission[i]) && isFiniteComplex(moved.reflection[i]);
    }
    if (!finite)
        return std::nullopt;
    return moved;
}

} // namespace

bool ImpulseResponse::isValid() const
{
    const bool ok = !values.empty() && !time.empty() && isFiniteComplexVector(values) && isFiniteVector(time)
                    && isFiniteValue(delay) && isFiniteValue(coarsePeak) && values.size() == time.size()
                    && values.size() >= 3;
    if (!ok)
        qCDebug(lcAlgorithms) << "ImpulseResponse::isValid returned false";
    return ok;
}

bool Gating::isValid() const
{
    const bool ok = !values.empty() && !time.empty() && isFiniteComplexVector(values) && isFiniteVector(time)
                    && values.size() == time.size();
    if (!ok)
        qCDebug(lcAlgorithms) << "Gating::isValid returned false";
    return ok;
}

namespace ReflectData {
bool StepResponse::isValid() const
{
    const bool ok = !impedanceProfile.empty() && !time.empty() && isFiniteVector(impedanceProfile)
                    && isFiniteVector(time) && impedanceProfile.size() == time.size() && time.size() >= 3
                    && isFiniteValue(referenceTime) && isFiniteValue(impedance);
    if (!ok)
        qCDebug(lcAlgorithms) << "ReflectData::StepResponse::isValid returned false";
    return ok;
}
} // namespace ReflectData

FixturePort::FixturePort(QObject *parent) : QObject(parent) {}

FixturePort::FixturePort(const FixturePort &source, QObject *parent)
    : QObject(parent),
      m_side(source.m_side),
      m_dataState(DataState::Default),
      m_conversionType(source.m_conversionType),
      m_portZ0(source.m_portZ0),
      m_z0Transform(source.m_z0Transform),
      m_current(source.m_current),
      m_impulse(source.m_impulse),
      m_stepResponse(source.m_stepResponse),
      m_fixtureImpedance(source.m_fixtureImpedance),
      m_customImpedance(source.m_customImpedance),
      m_default(source.m_default),
      m_defaultImpulse(source.m_defaultImpulse),
      m_converted(source.m_converted),
      m_offset(source.m_offset),
      m_offsetImpulse(source.m_offsetImpulse),
      m_noticeName(source.m_noticeName)
{}

QString FixturePort::noticeName() const
{
    return m_noticeName.isEmpty() ? tr("this port") : m_noticeName;
}

std::optional<ModelNotice> FixturePort::offsetPassivityNotice(const SParametersTwoPort &model) const
{
    const std::optional<PassivityViolation> v = findPassivityViolation(model);
    if (!v)
        return std::nullopt;
    const QString name = noticeName();
    return ModelNotice{name,
                       tr("The offset model of %1 is not passive from %2 to %3 GHz")
                           .arg(name)
                           .arg(v->from / 1e9, 0, 'g', 4)
                           .arg(v->to / 1e9, 0, 'g', 4),
                       tr("Its largest singular value reaches %1 (a gain of %2 dB) at %3 GHz: with the plane moved "
                          "so far the model shows gain. DUT data de-embedded with it are wrong in that band; check "
                          "the offset and the measurement.")
                           .arg(v->worst, 0, 'f', 4)
                           .arg(20.0 * std::log10(v->worst), 0, 'f', 2)
                           .arg(v->worstFrequency / 1e9, 0, 'g', 6)};
}

bool FixturePort::setZ0Impedance(double z0)
{
    if (!isUsableImpedance(z0)) {
        emit error(tr("Invalid Z0 impedance. It is recommended using the latest VNA software version"));
        return false;
    }
    // A conversion target equal to the new value must not hide a real change
    // of the analyser port impedance, so compare with the port impedance.
    if (m_portZ0 && *m_portZ0 == z0)
        return true;
    m_portZ0 = z0;
    m_z0Transform = z0;
    return true;
}

bool FixturePort::setCustomImpedance(double z)
{
    if (!isUsableImpedance(z)) {
        emit error(tr("Invalid custom impedance value."));
        return false;
    }
    if (!m_customImpedance || *m_customImpedance != z)
        m_customImpedance = z;
    return true;
}

bool FixturePort::setConversionType(Z0ConversionType type)
{
    if (m_conversionType != type)
        m_conversionType = type;
    return true;
}

bool FixturePort::setFixtureImpedance(double z)
{
    if (!isUsableImpedance(z))
        return false;
    if (!m_fixtureImpedance || *m_fixtureImpedance != z)
        m_fixtureImpedance = z;
    return true;
}

bool FixturePort::setImpulseResponse(const ImpulseResponse &impulse)
{
    if (!impulse.isValid()) {
        emit error(tr("Invalid impulse response. NaN or Inf value found. Check measured data for validity"));
        return false;
    }
    m_impulse = impulse;
    emit impulseResponseChanged();
    return true;
}

bool FixturePort::setDefaultImpulseResponse(const ImpulseResponse &impulse)
{
    if (!impulse.isValid()) {
        emit error(tr("Invalid impulse response"));
        return false;
    }
    m_defaultImpulse = impulse;
    return true;
}

bool FixturePort::setGating(const Gating &gating)
{
    if (!gating.isValid()) {
        emit error(tr("Invalid gating"));
        return false;
    }
    m_gating = gating;
    emit gatingChanged();
    return true;
}

bool FixturePort::setStepResponse(const ReflectData::StepResponse &stepResponse)
{
    if (!stepResponse.isValid()) {
        emit error(tr("Invalid step response. NaN or Inf value found. Check the measured data for validity"));
        return false;
    }
    m_stepResponse = stepResponse;
    emit stepResponseChanged();
    return true;
}

bool FixturePort::setCalculatedSParameters(const SParametersTwoPort &model)
{
    if (!model.isValid() || !hasFiniteParameters(model)) {
        emit error(tr("Invalid calculated data. NaN or Inf value found. Check measured data for validity"));
        return false;
    }
    m_current = model;
    return true;
}

bool FixturePort::setDefaultSParameters(const SParametersTwoPort &model)
{
    if (!model.isValid()) {
        emit error(tr("Invalid uncorrected fixture SParameters default"));
        return false;
    }
    m_default = model;
    m_dataState = DataState::Default;
    return true;
}

bool FixturePort::setConvertedSParameters(const SParametersTwoPort &model)
{
    if (!model.isValid()) {
        emit error(tr("Invalid uncorrected fixture SParameters z conversion"));
        return false;
    }
    m_dataState = DataState::Converted;
    m_converted = model;
    return true;
}

bool FixturePort::useDefaultData()
{
    if (!m_default || !m_defaultImpulse)
        return false;
    m_current = m_default;
    m_impulse = m_defaultImpulse;
    m_dataState = DataState::Default;
    emit uncorrectedSParametersChanged();
    emit impulseResponseChanged();
    return true;
}

bool FixturePort::useOffsetData()
{
    if (!m_offset || !m_offsetImpulse)
        return false;
    m_current = m_offset;
    m_impulse = m_offsetImpulse;
    m_dataState = DataState::Offset;
    emit uncorrectedSParametersChanged();
    emit impulseResponseChanged();
    return true;
}

std::optional<GridMode> FixturePort::gridMode() const
{
    if (!m_current || m_current->frequency().empty() || !isFiniteVector(m_current->frequency()))
        return std::nullopt;
    return frequencyGridMode(m_current->frequency());
}

std::optional<double> FixturePort::length() const
{
    if (!m_impulse)
        return std::nullopt;
    return m_impulse->delay;
}

std::optional<double> FixturePort::gatingValue() const
{
    if (!m_gating)
        return std::nullopt;
    return m_gating->value;
}

std::optional<double> FixturePort::impedance() const
{
    if (m_conversionType == Z0ConversionType::None || !m_stepResponse)
        return std::nullopt;
    return m_stepResponse->impedance;
}

std::optional<double> FixturePort::impedanceReferenceLength() const
{
    if (m_conversionType == Z0ConversionType::None || !m_stepResponse || !m_stepResponse->isValid())
        return std::nullopt;
    return m_stepResponse->referenceTime;
}

bool FixturePort::isMeasured() const
{
    if (!m_current || !m_impulse || !m_default)
        return false;
    if (!m_current->isValid() || !m_default->isValid() || !m_impulse->isValid())
        return false;
    if (m_stepResponse)
        return m_stepResponse->isValid() && m_z0Transform && m_fixtureImpedance;
    return true;
}

void FixturePort::reset()
{
    // An emptied port must not show a converted, offset or DUT-corrected state.
    m_dataState = DataState::Default;
    m_side = false;
    m_conversionType = Z0ConversionType::System;
    m_portZ0.reset();
    m_z0Transform.reset();
    m_fixtureImpedance.reset();
    m_customImpedance.reset();
    m_current.reset();
    m_impulse.reset();
    m_gating.reset();
    m_stepResponse.reset();
    m_default.reset();
    m_defaultImpulse.reset();
    m_converted.reset();
    m_offset.reset();
    m_offsetImpulse.reset();
    m_offsetNotice.reset();
    emit impulseResponseChanged();
    emit uncorrectedSParametersChanged();
    emit stepResponseChanged();
    emit impedanceTransformChanged();
    emit gatingChanged();
}

bool FixturePort::swapSides()
{
    if (!m_current || !m_current->isValid())
        return false;
    // Every stored version follows the side flag, so switching back to the
    // default, converted or offset model keeps the orientation right.
    swapIfPresent(m_current);
    swapIfPresent(m_default);
    swapIfPresent(m_converted);
    swapIfPresent(m_offset);
    m_side = !m_side;
    return true;
}

bool FixturePort::convertImpedance()
{
    if (!m_stepResponse || !m_stepResponse->isValid() || !m_fixtureImpedance || !m_current || !m_current->isValid()
        || !m_portZ0) {
        emit error(tr("Invalid input data for impedance conversion"));
        return false;
    }

    std::optional<double> target;
    switch (m_conversionType) {
    case Z0ConversionType::System:
        target = m_portZ0;
        break;
    case Z0ConversionType::Fixture:
        target = m_fixtureImpedance;
        break;
    case Z0ConversionType::User:
        target = m_customImpedance;
        break;
    default:
        break;
    }
    if (!target)
        return false;

    const double stepImpedance = m_stepResponse->impedance;
    const std::array<double, 2> zFrom =
        m_side ? std::array<double, 2>{stepImpedance, *m_portZ0} : std::array<double, 2>{*m_portZ0, stepImpedance};
    const std::array<double, 2> zTo{*target, *target};

    SParametersTwoPort converted = *m_current;
    const size_t n = converted.frequency().size();
    for (size_t i = 0; i < n; ++i) {
        const std::array<Complex, 4> s{converted.s11()[i], converted.s21()[i], converted.s12()[i], converted.s22()[i]};
        const std::array<Complex, 4> r = renormalizeTwoPort(s, zFrom, zTo);
        bool allZero = true;
        bool finite = true;
        for (const Complex &v : r) {
            allZero = allZero && std::norm(v) <= 1e-24;
            finite = finite && isFiniteComplex(v);
        }
        if (allZero || !finite) {
            emit error(tr("Invalid converted data. Check system and fixture impedances"));
            return false;
        }
        converted.s11()[i] = r[0];
        converted.s21()[i] = r[1];
        converted.s12()[i] = r[2];
        converted.s22()[i] = r[3];
    }

    // The target is set only once the whole model converted.
    m_z0Transform = target;
    emit impedanceTransformChanged();
    m_current = std::move(converted);
    return true;
}

void FixturePort::markDutCorrected(bool converted)
{
    if (m_dataState == DataState::Offset)
        m_dataState = converted ? DataState::DutCorrectedOffsetConverted : DataState::DutCorrectedOffset;
    else if (m_dataState == DataState::Default)
        m_dataState = converted ? DataState::DutCorrectedConverted : DataState::DutCorrected;
}

void FixturePort::useUnoffsetData()
{
    m_offsetNotice.reset();
    if (m_converted) {
        m_current = m_converted;
        m_dataState = DataState::Converted;
    } else {
        m_current = m_default;
        m_dataState = DataState::Default;
    }
    m_impulse = m_defaultImpulse;
    emit uncorrectedSParametersChanged();
    emit impulseResponseChanged();
}

void FixturePort::storeOffsetModel(const ComplexVector &transmission, const ComplexVector &reflection, double delay)
{
    m_impulse->delay = delay;
    SParametersTwoPort moved = *m_default;
    moved.setS12(transmission);
    moved.setS21(transmission);
    if (m_side)
        moved.setS11(reflection);
    else
        moved.setS22(reflection);
    m_current = std::move(moved);
    m_offsetNotice.reset();

    if (m_impulse->isValid())
        m_offsetImpulse = m_impulse;
    else
        emit error(tr("Invalid impulse response offset"));
    if (m_current->isValid()) {
        m_dataState = DataState::Offset;
        m_offset = m_current;
        // Moving the plane toward the analyser undoes loss and turns the
        // DUT-side reflection up: the moved model can show gain. It is kept,
        // and the doubt goes with it.
        m_offsetNotice = offsetPassivityNotice(*m_current);
    } else {
        emit error(tr("Invalid uncorrected fixture SParameters offset"));
    }
}

bool FixturePort::applyOffset(double offset)
{
    if (!isValidModel(m_current) || !isValidModel(m_default) || !isValidImpulse(m_defaultImpulse)
        || !isValidImpulse(m_impulse)) {
        emit error(tr("Offset was not performed. Check measured data for validity"));
        return false;
    }

    if (fuzzyEqual(offset, 0.0)) {
        useUnoffsetData();
        return true;
    }

    // The model is scaled as a line p = (L + a) / L times as long. Only a
    // fixture of positive length can be scaled, and p must stay >= 0: a
    // negative length would be a fixture with gain.
    const double length = m_defaultImpulse->delay;
    if (!(length > 0.0)) {
        emit error(tr("Offset was not performed. Check measured data for validity"));
        return false;
    }
    if (!isFiniteValue(offset) || offset < -length) {
        emit error(tr("Offset was not performed. Check offset value"));
        return false;
    }
    const double p = (length + offset) / length;

    // Always from the default model, so offsets do not accumulate.
    const std::optional<MovedLine> moved = moveAsLine(*m_default, m_side, length, p);
    if (!moved) {
        emit error(tr("Offset was not performed. Check offset value"));
        return false;
    }
    storeOffsetModel(moved->transmission, moved->reflection, length + offset);

    if (m_conversionType != Z0ConversionType::None && gridMode() == std::optional<GridMode>(GridMode::LowPass)) {
        if (convertImpedance()) {
            m_dataState = DataState::OffsetConverted;
            emit uncorrectedSParametersChanged();
            emit impulseResponseChanged();
            return true;
        }
        if (m_offset && m_offsetImpulse) {
            m_current = m_offset;
            m_impulse = m_offsetImpulse;
            m_dataState = DataState::Offset;
        }
        emit uncorrectedSParametersChanged();
        emit impulseResponseChanged();
        return false;
    }

    emit uncorrectedSParametersChanged();
    emit impulseResponseChanged();
    return true;
}

} // namespace Algorithms
