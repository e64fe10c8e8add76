#include "measurement/measuredfixtureport.h"

#include "algorithms/vectorhelpers.h"

MeasuredFixturePort::MeasuredFixturePort(QObject *parent) : QObject(parent), m_measureData(new QmlFixturePort(this))
{
    connect(m_measureData, &Algorithms::FixturePort::error, this, &MeasuredFixturePort::error);
}

void MeasuredFixturePort::setMeasuredPort(uint port)
{
    if (port == m_measuredPort)
        return;
    m_measuredPort = port;
    emit measuredPortChanged(port);
}

void MeasuredFixturePort::setZ0Port(double z0)
{
    if (Algorithms::fuzzyEqual(m_z0Port, z0))
        return;
    m_z0Port = z0;
    emit z0PortChanged(z0);
}

void MeasuredFixturePort::setInLowPasMode(bool lowPass)
{
    if (lowPass == m_inLowPasMode)
        return;
    m_inLowPasMode = lowPass;
    emit inLowPassModeChanged(lowPass);
}

void MeasuredFixturePort::reset()
{
    m_measureData->reset();
}
