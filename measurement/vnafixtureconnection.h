#pragma once
// Which analyser port each port of one fixture side is plugged into, and the
// measured ports of that side. Row i of attachedPorts is the 0-based analyser
// port of fixture port i; row i of measureData is fixture port i. Both follow
// the fixture's port count. GUI thread.

#include "device/listmodels.h"
#include "measurement/fixture.h"
#include "measurement/measuredfixtureport.h"

#include <QAbstractListModel>
#include <QObject>

#include <cstddef>
#include <optional>

class SyncedVnaDevice;

class VNAFixtureConnection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Fixture *fixture READ fixture CONSTANT)
    Q_PROPERTY(QAbstractListModel *attachedPorts READ attachedPortsModel CONSTANT)
    Q_PROPERTY(QAbstractListModel *measureData READ measureDataModel CONSTANT)

public:
    // The fixture is not reparented; the device is not owned and may be null
    // (then it counts as an analyser with one port).
    VNAFixtureConnection(Fixture *fixture, SyncedVnaDevice *device, QObject *parent = nullptr);
    ~VNAFixtureConnection() override;

    Fixture *fixture() const { return m_fixture; }
    SyncedVnaDevice *device() const { return m_device; }
    QAbstractListModel *attachedPortsModel() { return &m_attachedPorts; }
    QAbstractListModel *measureDataModel() { return &m_measureData; }
    const ValueModel<uint> &attachedPorts() const { return m_attachedPorts; }
    const UniquePtr_Model<MeasuredFixturePort> &measureData() const { return m_measureData; }

    // Stores value in row i and reports the change; an index outside the
    // rows does nothing.
    void setAttachedVnaPort(size_t i, uint value);
    // Resizes measureData to count rows.
    void setPortsCount(uint count);
    // Empties the fixture model of every port.
    void resetPorts();
    // A connection over a new fixture with the same port count, device and
    // attached analyser ports, with fresh, empty ports; owned by the caller.
    VNAFixtureConnection *create() const;

    // The number of analyser ports, at least 1 (1 while not reported).
    uint analyserPortsCount() const;

signals:
    // The notices of a port's model changed, or a port with its model went.
    void noticesChanged();

public slots:
    // Row i of attachedPorts; 0 outside the rows.
    uint getAttachedVnaPort(size_t i) const;
    // Row i of measureData; null outside the rows.
    MeasuredFixturePort *getFixturePort(int i) const;

private:
    void synchronizePorts();
    void clampPorts();

    // Notes the analyser's port count the attached ports were chosen for
    // (empty when chosen while it was unknown).
    void notePortsChosen();

    SyncedVnaDevice *m_device;
    // The analyser's port count the attached ports were last chosen or
    // clamped for.
    std::optional<uint> m_portsCountSeen;
    Fixture *m_fixture;
    ValueModel<uint> m_attachedPorts;
    UniquePtr_Model<MeasuredFixturePort> m_measureData;
};
