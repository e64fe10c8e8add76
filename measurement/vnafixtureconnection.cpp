#include "measurement/vnafixtureconnection.h"

#include "device/syncedvnadevice.h"

#include <algorithm>
#include <memory>
#include <vector>

VNAFixtureConnection::VNAFixtureConnection(Fixture *fixture, SyncedVnaDevice *device, QObject *parent)
    : QObject(parent),
      m_device(device),
      m_fixture(fixture)
{
    if (m_fixture)
        connect(m_fixture, &Fixture::portsCountChanged, this, &VNAFixtureConnection::synchronizePorts);
    if (m_device)
        connect(m_device, &SyncedVnaDevice::portsCountChanged, this, &VNAFixtureConnection::clampPorts);
    synchronizePorts();
    notePortsChosen();
}

void VNAFixtureConnection::notePortsChosen()
{
    m_portsCountSeen = m_device ? m_device->portsCount() : std::nullopt;
}

VNAFixtureConnection::~VNAFixtureConnection() = default;

uint VNAFixtureConnection::analyserPortsCount() const
{
    const auto count = m_device ? m_device->portsCount() : std::nullopt;
    return count && *count > 0 ? *count : 1u;
}

uint VNAFixtureConnection::getAttachedVnaPort(size_t i) const
{
    if (i >= static_cast<size_t>(m_attachedPorts.size()))
        return 0;
    return m_attachedPorts.at(static_cast<int>(i));
}

MeasuredFixturePort *VNAFixtureConnection::getFixturePort(int i) const
{
    if (i < 0 || i >= m_measureData.size())
        return nullptr;
    return m_measureData.at(i).get();
}

void VNAFixtureConnection::setAttachedVnaPort(size_t i, uint value)
{
    if (i >= static_cast<size_t>(m_attachedPorts.size()))
        return;
    m_attachedPorts.setData(m_attachedPorts.index(static_cast<int>(i)), QVariant::fromValue(value),
                            details::Base::ValueRole);
    notePortsChosen();
}

// New fixture ports take the analyser ports after the last attached one. The
// highest index handed out is the last analyser port, so every row names a
// port the analyser has.
void VNAFixtureConnection::synchronizePorts()
{
    const uint count = m_fixture ? m_fixture->portsCount() : 0;
    const int rows = m_attachedPorts.size();
    if (static_cast<int>(count) != rows) {
        if (count < 1) {
            m_attachedPorts.clear();
            return;
        }
        if (m_attachedPorts.size() == 0)
            m_attachedPorts.appendItem(0);
        const uint lastPort = analyserPortsCount() - 1;
        uint last = m_attachedPorts.at(m_attachedPorts.size() - 1);
        while (m_attachedPorts.size() < static_cast<int>(count)) {
            ++last;
            if (last > lastPort) {
                const std::vector<uint> rest(count - static_cast<uint>(m_attachedPorts.size()), lastPort);
                m_attachedPorts.append(rest);
                break;
            }
            m_attachedPorts.appendItem(last);
        }
        while (m_attachedPorts.size() > static_cast<int>(count))
            m_attachedPorts.removeAt(m_attachedPorts.size() - 1);
        notePortsChosen();
    }
    setPortsCount(count);
}

void VNAFixtureConnection::setPortsCount(uint count)
{
    bool removed = false;
    while (m_measureData.size() > static_cast<int>(count)) {
        m_measureData.removeAt(m_measureData.size() - 1);
        removed = true;
    }
    while (m_measureData.size() < static_cast<int>(count)) {
        auto port = std::make_shared<MeasuredFixturePort>();
        connect(port.get(), &MeasuredFixturePort::noticesChanged, this, &VNAFixtureConnection::noticesChanged);
        m_measureData.appendItem(std::move(port));
    }
    if (removed)
        emit noticesChanged();
}

void VNAFixtureConnection::clampPorts()
{
    // While the analyser's count is unknown (link down) nothing is clamped:
    // the analyser coming back must find the ports the user set. Nor is
    // anything clamped for the count the ports were chosen for: the count's
    // signal comes queued, after the proxy's cache holds it, so ports may
    // have been chosen for it (by a recall, by the user) before it arrives.
    if (!m_device || !m_device->portsCount() || m_device->portsCount() == m_portsCountSeen)
        return;
    m_portsCountSeen = m_device->portsCount();
    const uint lastPort = analyserPortsCount() - 1;
    for (int i = 0; i < m_attachedPorts.size(); ++i) {
        if (m_attachedPorts.at(i) > lastPort)
            setAttachedVnaPort(static_cast<size_t>(i), lastPort);
    }
}

void VNAFixtureConnection::resetPorts()
{
    for (const auto &port : m_measureData.items())
        port->reset();
}

VNAFixtureConnection *VNAFixtureConnection::create() const
{
    auto *fixture = new Fixture();
    fixture->setPortsCount(m_fixture ? m_fixture->portsCount() : 0);
    auto *copy = new VNAFixtureConnection(fixture, m_device, nullptr);
    fixture->setParent(copy);
    for (int i = 0; i < m_attachedPorts.size(); ++i)
        copy->setAttachedVnaPort(static_cast<size_t>(i), m_attachedPorts.at(i));
    return copy;
}
