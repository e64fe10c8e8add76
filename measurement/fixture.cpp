#include "measurement/fixture.h"

Fixture::Fixture(QObject *parent) : QObject(parent) {}

void Fixture::setName(const QString &name)
{
    m_name = name;
    emit nameChanged();
}

void Fixture::setPortsCount(uint count)
{
    if (count == m_portsCount)
        return;
    m_portsCount = count;
    emit portsCountChanged();
}
