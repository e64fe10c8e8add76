#pragma once
// The 2x-thru measurer: for every port pair (left port i, right port i) of a
// transmission connection it reads the four S-parameters between the two
// attached analyser ports and runs the correction process, which stores the
// left and right fixture models in the two ports.

#include "algorithms/sparameters.h"
#include "measurement/basemeasurer.h"
#include "measurement/sparametersource.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

class ConnectionTransmisson;
class MeasuredFixturePort;
class TaskProgress;
class VNAFixtureConnection;

class TransmissionMeasurer : public BaseMeasurer
{
    Q_OBJECT
public:
    TransmissionMeasurer(ConnectionTransmisson *connection, SyncedVnaDevice *device, QObject *parent = nullptr);

    // Progress steps of one run: 3 per port pair and 3 more.
    int stepCount() const;
    // The whole run on the calling thread (the step worker); progress may be
    // null.
    bool execute(const SParameterSource &source, TaskProgress *progress);
    using BaseMeasurer::execute;

    void clearResults() override;

    Status status() const { return m_status; }
    ConnectionTransmisson *connection() const { return m_connection; }
    // One two-port per measured pair, with its analyser ports (left, right).
    const QList<Algorithms::SParametersTwoPortVNA> &rawData() const { return m_rawData; }

signals:
    void statusChanged(Status st);

private:
    // Port index of both fixtures and the two fixture connections it is
    // taken from.
    struct PortPair
    {
        VNAFixtureConnection *left;
        VNAFixtureConnection *right;
        uint index;
    };

    bool measurePair(const SParameterSource &source, const std::vector<double> &grid, const PortPair &pair,
                     TaskProgress *progress);
    std::unique_ptr<Algorithms::TransmissionProcess> setupMeasureData(uint a, uint b, MeasuredFixturePort *left,
                                                                      MeasuredFixturePort *right,
                                                                      const SParameterSource &source);
    std::optional<Algorithms::SParametersTwoPort> readSParameters(const SParameterSource &source,
                                                                  const std::vector<double> &grid, uint a, uint b);
    bool fail(TaskProgress *progress);
    void setStatus(Status status);

    Status m_status = Status::NotMeasured;
    QPointer<ConnectionTransmisson> m_connection;
    QList<Algorithms::SParametersTwoPortVNA> m_rawData;
};
