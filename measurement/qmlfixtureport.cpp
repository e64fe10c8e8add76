#include "measurement/qmlfixtureport.h"

#include "algorithms/ranges.h"
#include "algorithms/vectorhelpers.h"

#include <QDebug>

#include <cmath>
#include <stdexcept>

namespace {

class InvalidSParameter : public std::exception
{
public:
    const char *what() const noexcept override { return "SParam is inf or nan"; }
};

// x from the first vector, y = f(element of the second), element by element.
template <typename X, typename Y, typename F>
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

    connect(this, &FixturePort::uncorrectedSParametersChanged, this, [this] {
        rebuildSParameters();
        emit isMeasuredChanged();
    });
    connect(this, &FixturePort::stepResponseChanged, this, [this] {
        rebuildStepResponse();
        emit isMeasuredChanged();
    });
    connect(this, &FixturePort::impulseResponseChanged, this, [this] {
        rebuildImpulseResponse();
        emit isMeasuredChanged();
    });
    connect(this, &FixturePort::gatingChanged, this, [this] { rebuildGating(); });
    connect(this, &FixturePort::impedanceTransformChanged, this, [this] {
        emit impedanceChangedQml();
        emit z0TransformChangedQml();
        emit isMeasuredChanged();
    });
}

bool QmlFixturePort::isLowPass() const
{
    const auto mode = gridMode();
    return mode && *mode == 0;
}

QVariant QmlFixturePort::lengthVariant() const
{
    return toVariant(length());
}

QVariant QmlFixturePort::lengthWithoutOffsetVariant() const
{
    if (!m_defaultImpulse)
        return QVariant();
    return QVariant(m_defaultImpulse->delay);
}

QVariant QmlFixturePort::impedanceVariant() const
{
    return toVariant(impedance());
}

QVariant QmlFixturePort::impedanceReferenceLengthVariant() const
{
    return toVariant(impedanceReferenceLength());
}

QVariant QmlFixturePort::z0TransformVariant() const
{
    if (m_conversionType == Algorithms::Z0ConversionNone)
        return QVariant();
    return toVariant(m_z0Transform);
}

QVariant QmlFixturePort::gatingValueVariant() const
{
    return toVariant(gatingValue());
}

QmlFixturePort::CalibrationStates QmlFixturePort::flagsOfDataState(int dataState)
{
    CalibrationStates flags;
    switch (dataState) {
    case 1: flags = Converted; break;
    case 2: flags = Offset; break;
    case 3: flags = CalibrationStates(Converted) | Offset; break;
    case 4: flags = DutCorrected; break;
    case 5: flags = CalibrationStates(Offset) | DutCorrected; break;
    case 6: flags = CalibrationStates(Converted) | DutCorrected; break;
    case 7: flags = CalibrationStates(Converted) | Offset | DutCorrected; break;
    default: break;
    }
    return flags;
}

QmlFixturePort::CalibrationStates QmlFixturePort::calibrationState() const
{
    const CalibrationStates flags = flagsOfDataState(m_dataState);
    qDebug() << "Calibration state: converted" << flags.testFlag(Converted) << "offset"
             << flags.testFlag(Offset) << "DUT-corrected" << flags.testFlag(DutCorrected);
    return flags;
}

void QmlFixturePort::rebuildSParameters()
{
    try {
        if (m_current) {
            const Algorithms::RealVector &f = m_current->frequency();
            QVector<QPointF> s11 = dbSeries(f, m_current->s11());
            QVector<QPointF> s21 = dbSeries(f, m_current->s21());
            QVector<QPointF> s12 = dbSeries(f, m_current->s12());
            QVector<QPointF> s22 = dbSeries(f, m_current->s22());
            m_s11Series.swap(s11);
            m_s21Series.swap(s21);
            m_s12Series.swap(s12);
            m_s22Series.swap(s22);
        } else {
            m_s11Series.clear();
            m_s21Series.clear();
            m_s12Series.clear();
            m_s22Series.clear();
        }
    } catch (const std::exception &e) {
        m_s11Series.clear();
        m_s21Series.clear();
        m_s12Series.clear();
        m_s22Series.clear();
        emit error(QString::fromUtf8(e.what()));
    }
    emit S11ChangedQml();
    emit S21ChangedQml();
    emit S12ChangedQml();
    emit S22ChangedQml();
    emit calibrationStateChanged();
}

void QmlFixturePort::rebuildStepResponse()
{
    try {
        if (m_stepResponse)
            m_stepSeries = pairUp(m_stepResponse->time, m_stepResponse->impedanceProfile,
                                  [](double z) { return z; });
        else
            m_stepSeries.clear();
    } catch (const std::exception &e) {
        m_stepSeries.clear();
        emit error(QString::fromUtf8(e.what()));
    }
    emit stepResponseChangedQml();
}

void QmlFixturePort::rebuildImpulseResponse()
{
    try {
        if (m_impulse)
            m_impulseSeries = pairUp(m_impulse->time, m_impulse->values,
                                     [](const Algorithms::Complex &v) { return std::abs(v); });
        else
            m_impulseSeries.clear();
    } catch (const std::exception &e) {
        m_impulseSeries.clear();
        emit error(QString::fromUtf8(e.what()));
    }
    emit impulseResponseChangedQml();
}

void QmlFixturePort::rebuildGating()
{
    try {
        if (m_gating)
            m_gatingSeries = pairUp(m_gating->time, m_gating->values,
                                    [](const Algorithms::Complex &v) { return std::abs(v); });
        else
            m_gatingSeries.clear();
    } catch (const std::exception &e) {
        m_gatingSeries.clear();
        emit error(QString::fromUtf8(e.what()));
    }
    emit gatingChangedQml();
    emit gatingValueChangedQml();
}
