#include "algorithms/processinputparameters.h"

namespace Algorithms {

ProcessInputParameters::ProcessInputParameters(QObject *parent) : QObject(parent) {}

double ProcessInputParameters::timeMin() const
{
    return selected().timeMin;
}
double ProcessInputParameters::normalizingValue() const
{
    return selected().normalizingValue;
}
GateCentreMode ProcessInputParameters::lowSignalCenterMode() const
{
    return selected().lowSignalCenterMode;
}
GateCentreMode ProcessInputParameters::highSignalCenterMode() const
{
    return selected().highSignalCenterMode;
}
double ProcessInputParameters::kaiserBeta() const
{
    return selected().kaiserBeta;
}
double ProcessInputParameters::kaiserBetaX() const
{
    return selected().kaiserBetaX;
}
double ProcessInputParameters::startZero() const
{
    return m_current.startZero;
}
double ProcessInputParameters::riseTime() const
{
    return m_current.riseTime;
}
int ProcessInputParameters::nRiseTime() const
{
    return m_current.nRiseTime;
}
GridMode ProcessInputParameters::gatingMode() const
{
    return m_current.gatingMode;
}
GridMode ProcessInputParameters::pulseMode() const
{
    return m_current.pulseMode;
}

void ProcessInputParameters::setTimeMin(double value)
{
    m_current.timeMin = value;
    emit sigTimeMinChanged();
}

void ProcessInputParameters::setNormalizingValue(double value)
{
    m_current.normalizingValue = value;
    emit sigNormalizingValueChanged();
}

void ProcessInputParameters::setLowSignalCenterMode(GateCentreMode value)
{
    m_current.lowSignalCenterMode = value;
    emit sigLowSignalCenterModeChanged();
}

void ProcessInputParameters::setHighSignalCenterMode(GateCentreMode value)
{
    m_current.highSignalCenterMode = value;
    emit sigHighSignalCenterModeChanged();
}

void ProcessInputParameters::setKaiserBeta(double value)
{
    m_current.kaiserBeta = value;
    emit sigKaiserBetaChanged();
}

void ProcessInputParameters::setKaiserBetaX(double value)
{
    m_current.kaiserBetaX = value;
    emit sigKaiserBetaXChanged();
}

void ProcessInputParameters::setStartZero(double value)
{
    m_current.startZero = value;
    emit sigStartZeroChanged();
}

void ProcessInputParameters::setRiseTime(double value)
{
    m_current.riseTime = value;
    emit sigRiseTimeChanged();
}

void ProcessInputParameters::setNRiseTime(int value)
{
    m_current.nRiseTime = value;
    emit sigNRiseTimeChanged();
}

void ProcessInputParameters::setGatingMode(GridMode value)
{
    m_current.gatingMode = value;
    emit sigGatingModeChanged();
}

void ProcessInputParameters::setPulseMode(GridMode value)
{
    m_current.pulseMode = value;
    emit sigPulseModeChanged();
}

void ProcessInputParameters::setDefault()
{
    setTimeMin(m_default.timeMin);
    setNormalizingValue(m_default.normalizingValue);
    setLowSignalCenterMode(m_default.lowSignalCenterMode);
    setHighSignalCenterMode(m_default.highSignalCenterMode);
    setKaiserBeta(m_default.kaiserBeta);
    setKaiserBetaX(m_default.kaiserBetaX);
    setStartZero(m_default.startZero);
    setRiseTime(m_default.riseTime);
    setNRiseTime(m_default.nRiseTime);
    setGatingMode(m_default.gatingMode);
    setPulseMode(m_default.pulseMode);
}

} // namespace Algorithms
