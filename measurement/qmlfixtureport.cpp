#include "measurement/qmlfixtureport.h"

#include "algorithms/ranges.h"
#include "algorithms/vectorhelpers.h"
#include "measurement/logging.h"

#include <QDebug>
#include <QMetaObject>
#include <QThread>

#include <cmath>
#include <stdexcept>

namespace {

class InvalidSParameter : public std::exception
{
public:
    const char *what() const noexcept override { return "SParam is inf or nan"; }
};

// x from the first vector, y = f(element of the second), element by element.
template<typename X, typename Y, typename F>
QVector<QPointF> pairUp(const X &x, const Y &y, F f)
{
    QVector<QPointF> series;
    series.reserve(static_cast<int>(x.size()));
    for (auto &&[xi, yi] : Helpers::Ranges::zip(x, y))
        series.append(QPointF(xi, f(yi)));
    return series;
}

QVector<QPointF> dbSeries(const Algorithms::RealVector &frequency, const Algorithms::ComplexVector &s)
{
    return pairUp(frequency, s, [](const Algorithms::Complex &value) {
        const double db = 20.0 * std::log10(std::abs(value));
        if (!std::isfinite(db))
            throw InvalidSParameter();
        return db;
    });
}

QVariant toVariant(const std::optional<double> &value)
{
    return value ? QVariant(*value) : QVariant();
}

} // namespace

QmlFixturePort::QmlFixturePort(QObject *parent) : Algorithms::FixturePort(parent)
{
    qRegisterMetaType<QVector<QPointF> *>("QVector<QPointF>*");

    // The base signals come from the thread that has just changed the data,
    // the step worker during a calculation. The series are built right there,
    // from data that thread owns, and only the finished series go to the
    // port's own thread: reading the model later from there would race with
    // the worker's next change of it.
    connect(
        this, &FixturePort::uncorrectedSParametersChanged, this, [this] { rebuildSParameters(); },
        Qt::DirectConnection);
    connect(
        this, &FixturePort::stepResponseChanged, this, [this] { rebuildStepResponse(); }, Qt::DirectConnection);
    connect(
        this, &FixturePort::impulseResponseChanged, this, [this] { rebuildImpulseResponse(); }, Qt::DirectConnection);
    connect(
        this, &FixturePort::gatingChanged, this, [this] { rebuildGating(); }, Qt::DirectConnection);
    connect(
        this, &FixturePort::impedanceTransformChanged, this,
        [this] {
            const Values values = readValues();
            onPortThread([this, values] {
                const Values old = storeValues(values);
                emit impedanceChangedQml();
                emit z0TransformChangedQml();
                emit isMeasuredChanged();
                announceValues(old, Announced(Announce::Impedance) | Announce::Z0 | Announce::Measured);
            });
        },
        Qt::DirectConnection);
    m_values = readValues();
}

bool QmlFixturePort::Values::operator==(const Values &other) const
{
    return isMeasured == other.isMeasured && isLowPass == other.isLowPass && length == other.length
           && lengthWithoutOffset == other.lengthWithoutOffset && impedance == other.impedance
           && impedanceReferenceLength == other.impedanceReferenceLength && z0Transform == other.z0Transform
           && gatingValue == other.gatingValue && dataState == other.dataState;
}

QmlFixturePort::Values QmlFixturePort::readValues() const
{
    Values values;
    values.isMeasured = isMeasured();
    const auto mode = gridMode();
    values.isLowPass = mode && *mode == Algorithms::GridMode::LowPass;
    values.length = length();
    if (m_defaultImpulse)
        values.lengthWithoutOffset = m_defaultImpulse->delay;
    values.impedance = impedance();
    values.impedanceReferenceLength = impedanceReferenceLength();
    if (m_conversionType != Algorithms::Z0ConversionType::None)
        values.z0Transform = m_z0Transform;
    values.gatingValue = gatingValue();
    values.dataState = m_dataState;
    return values;
}

QmlFixturePort::Values QmlFixturePort::storeValues(const Values &values)
{
    Values old = m_values;
    m_values = values;
    return old;
}

void QmlFixturePort::announceValues(const Values &old, Announced announced)
{
    const Values &now = m_values;
    const auto due = [announced](Announce change, bool changed) { return changed && !announced.testFlag(change); };
    if (due(Announce::Measured, old.isMeasured != now.isMeasured || old.isLowPass != now.isLowPass))
        emit isMeasuredChanged();
    if (due(Announce::Length, old.length != now.length || old.lengthWithoutOffset != now.lengthWithoutOffset))
        emit impulseResponseChangedQml();
    if (due(Announce::Impedance,
            old.impedance != now.impedance || old.impedanceReferenceLength != now.impedanceReferenceLength))
        emit impedanceChangedQml();
    if (due(Announce::Z0, old.z0Transform != now.z0Transform))
        emit z0TransformChangedQml();
    if (due(Announce::Gating, old.gatingValue != now.gatingValue))
        emit gatingValueChangedQml();
    if (due(Announce::State, old.dataState != now.dataState))
        emit calibrationStateChanged();
}

void QmlFixturePort::onPortThread(std::function<void()> update)
{
    if (QThread::currentThread() == thread())
        update();
    else
        QMetaObject::invokeMethod(this, std::move(update), Qt::QueuedConnection);
}

bool QmlFixturePort::isLowPass() const
{
    return m_values.isLowPass;
}

QVariant QmlFixturePort::lengthVariant() const
{
    return toVariant(m_values.length);
}

QVariant QmlFixturePort::lengthWithoutOffsetVariant() const
{
    return toVariant(m_values.lengthWithoutOffset);
}

QVariant QmlFixturePort::impedanceVariant() const
{
    return toVariant(m_values.impedance);
}

QVariant QmlFixturePort::impedanceReferenceLengthVariant() const
{
    return toVariant(m_values.impedanceReferenceLength);
}

QVariant QmlFixturePort::z0TransformVariant() const
{
    return toVariant(m_values.z0Transform);
}

QVariant QmlFixturePort::gatingValueVariant() const
{
    return toVariant(m_values.gatingValue);
}

QmlFixturePort::CalibrationStates QmlFixturePort::flagsOfDataState(DataState dataState)
{
    CalibrationStates flags;
    switch (dataState) {
    case DataState::Default:
        break;
    case DataState::Converted:
        flags = CalibrationState::Converted;
        break;
    case DataState::Offset:
        flags = CalibrationState::Offset;
        break;
    case DataState::OffsetConverted:
        flags = CalibrationStates(CalibrationState::Converted) | CalibrationState::Offset;
        break;
    case DataState::DutCorrected:
        flags = CalibrationState::DutCorrected;
        break;
    case DataState::DutCorrectedOffset:
        flags = CalibrationStates(CalibrationState::Offset) | CalibrationState::DutCorrected;
        break;
    case DataState::DutCorrectedConverted:
        flags = CalibrationStates(CalibrationState::Converted) | CalibrationState::DutCorrected;
        break;
    case DataState::DutCorrectedOffsetConverted:
        flags =
            CalibrationStates(CalibrationState::Converted) | CalibrationState::Offset | CalibrationState::DutCorrected;
        break;
    }
    return flags;
}

QmlFixturePort::CalibrationStates QmlFixturePort::calibrationState() const
{
    const CalibrationStates flags = flagsOfDataState(m_values.dataState);
    qCDebug(lcMeasurement) << "Calibration state: converted" << flags.testFlag(CalibrationState::Converted) << "offset"
                           << flags.testFlag(CalibrationState::Offset) << "DUT-corrected"
                           << flags.testFlag(CalibrationState::DutCorrected);
    return flags;
}

void QmlFixturePort::rebuildSParameters()
{
    QVector<QPointF> s11, s21, s12, s22;
    QString failure;
    const Values values = readValues();
    try {
        if (m_current) {
            const Algorithms::RealVector &f = m_current->frequency();
            s11 = dbSeries(f, m_current->s11());
            s21 = dbSeries(f, m_current->s21());
            s12 = dbSeries(f, m_current->s12());
            s22 = dbSeries(f, m_current->s22());
        }
    } catch (const std::exception &e) {
        s11.clear();
        s21.clear();
        s12.clear();
        s22.clear();
        failure = QString::fromUtf8(e.what());
    }
    onPortThread([this, s11, s21, s12, s22, failure, values] {
        const Values old = storeValues(values);
        m_s11Series = s11;
        m_s21Series = s21;
        m_s12Series = s12;
        m_s22Series = s22;
        if (!failure.isEmpty())
            emit error(failure);
        emit S11ChangedQml();
        emit S21ChangedQml();
        emit S12ChangedQml();
        emit S22ChangedQml();
        emit calibrationStateChanged();
        emit isMeasuredChanged();
        announceValues(old, Announced(Announce::State) | Announce::Measured);
    });
}

void QmlFixturePort::rebuildStepResponse()
{
    QVector<QPointF> series;
    QString failure;
    const Values values = readValues();
    try {
        if (m_stepResponse)
            series = pairUp(m_stepResponse->time, m_stepResponse->impedanceProfile, [](double z) { return z; });
    } catch (const std::exception &e) {
        series.clear();
        failure = QString::fromUtf8(e.what());
    }
    onPortThread([this, series, failure, values] {
        const Values old = storeValues(values);
        m_stepSeries = series;
        if (!failure.isEmpty())
            emit error(failure);
        emit stepResponseChangedQml();
        emit isMeasuredChanged();
        announceValues(old, Announce::Measured);
    });
}

void QmlFixturePort::rebuildImpulseResponse()
{
    QVector<QPointF> series;
    QString failure;
    const Values values = readValues();
    try {
        if (m_impulse)
            series =
                pairUp(m_impulse->time, m_impulse->values, [](const Algorithms::Complex &v) { return std::abs(v); });
    } catch (const std::exception &e) {
        series.clear();
        failure = QString::fromUtf8(e.what());
    }
    onPortThread([this, series, failure, values] {
        const Values old = storeValues(values);
        m_impulseSeries = series;
        if (!failure.isEmpty())
            emit error(failure);
        emit impulseResponseChangedQml();
        emit isMeasuredChanged();
        announceValues(old, Announced(Announce::Length) | Announce::Measured);
    });
}

void QmlFixturePort::rebuildGating()
{
    QVector<QPointF> series;
    QString failure;
    const Values values = readValues();
    try {
        if (m_gating)
            series = pairUp(m_gating->time, m_gating->values, [](const Algorithms::Complex &v) { return std::abs(v); });
    } catch (const std::exception &e) {
        series.clear();
        failure = QString::fromUtf8(e.what());
    }
    onPortThread([this, series, failure, values] {
        const Values old = storeValues(values);
        m_gatingSeries = series;
        if (!failure.isEmpty())
            emit error(failure);
        emit gatingChangedQml();
        emit gatingValueChangedQml();
        announceValues(old, Announce::Gating);
    });
}
