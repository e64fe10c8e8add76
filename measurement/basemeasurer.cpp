#include "measurement/basemeasurer.h"

#include "algorithms/vectorhelpers.h"
#include "device/syncedvnadevice.h"

#include <QDebug>

#include <exception>

void registerMeasurerStatusType()
{
    qRegisterMetaType<Status>("Status");
}

BaseMeasurer::BaseMeasurer(SyncedVnaDevice *device, QObject *parent) : QObject(parent), m_device(device)
{
    registerMeasurerStatusType();
    qRegisterMetaType<Algorithms::CalcMethod>("Algorithms::CalcMethod");
    qRegisterMetaType<Algorithms::Z0ConversionType>("Algorithms::Z0ConversionType");
}

void BaseMeasurer::setCalcMethod(Algorithms::CalcMethod method)
{
    if (method == m_calcMethod)
        return;
    m_calcMethod = method;
    emit calcMethodChanged(method);
}

void BaseMeasurer::setConversionT(Algorithms::Z0ConversionType conversionT)
{
    if (conversionT == m_conversionT)
        return;
    m_conversionT = conversionT;
    emit conversionTChanged(conversionT);
}

void BaseMeasurer::setUserDefZ0(double z0)
{
    if (Algorithms::fuzzyEqual(z0, m_userDefZ0))
        return;
    m_userDefZ0 = z0;
    emit userDefZ0Changed(z0);
}

void BaseMeasurer::interrupt()
{
    qDebug() << " Base measurer interrupt";
    m_interrupted.store(true);
    emit interrupted();
}

bool BaseMeasurer::execute(Algorithms::IProcessMethod *process)
{
    qDebug() << "Start execute" << process;
    if (!process)
        return false;
    try {
        return process->run();
    } catch (const std::exception &e) {
        emit error(tr("Error ") + QString::fromUtf8(e.what()));
    } catch (...) {
        // Not every library the processes use throws standard exceptions.
        emit error(tr("Error ") + tr("unknown failure in the calculation"));
    }
    return false;
}

bool BaseMeasurer::setupFixture(Algorithms::FixturePort *port, double z0)
{
    qDebug() << "Setup fixture";
    qDebug() << "Conversion Type" << m_conversionT;
    qDebug() << "User entered impedance" << m_userDefZ0;
    qDebug() << "Port impedance" << z0;
    if (!port)
        return false;
    port->setConversionType(m_conversionT);
    port->setCustomImpedance(m_userDefZ0);
    return port->setZ0Impedance(z0);
}

void BaseMeasurer::reset()
{
    m_interrupted.store(false);
    if (m_device) {
        m_device->setDeembeddingState(false);
        m_device->setFixtureSimulationState(false);
        m_device->setGraphicsLayout(1);
    }
    clearResults();
}

void BaseMeasurer::attachProcess(Algorithms::IProcessMethod *process)
{
    connect(process, &Algorithms::IProcessMethod::error, this, &BaseMeasurer::error, Qt::DirectConnection);
    connect(this, &BaseMeasurer::interrupted, process, &Algorithms::IProcessMethod::interrupt,
            Qt::DirectConnection);
}
