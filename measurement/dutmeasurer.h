#pragma once
// The DUT measurer: reads the reflections of the DUT through one fixture
// side and corrects that side's fixture models with them, using the
// processes that the thru or reflect calculation kept in its connection.

#include "algorithms/sparameters.h"
#include "measurement/basemeasurer.h"
#include "measurement/sdatameasurer.h"
#include "measurement/sparametersource.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

namespace Algorithms {
class FixturePort;
}
class ConnectionBase;
class TaskProgress;
class VNAFixtureConnection;

class DutMeasurer : public BaseMeasurer
{
    Q_OBJECT
public:
    // side: the fixture side the DUT is measured through; processConnection:
    // the transmission or reflection connection whose processes correct it.
    DutMeasurer(VNAFixtureConnection *side, ConnectionBase *processConnection, SyncedVnaDevice *device,
                QObject *parent = nullptr);

    bool execute(const SParameterSource &source, TaskProgress *progress);
    using BaseMeasurer::execute;

    void clearResults() override;

    Status status() const { return m_status; }
    VNAFixtureConnection *side() const { return m_side; }
    ConnectionBase *processConnection() const { return m_processConnection; }
    const QList<Algorithms::SParametersOnePortVNA> &rawData() const { return m_rawData; }

signals:
    void statusChanged(Status st);

private:
    bool readRawData(const SParameterSource &source, const std::vector<double> &grid, uint n);
    bool correctModels(const SParameterSource &source, const std::vector<double> &grid, uint n, TaskProgress *progress);
    bool correctThruModels(const std::vector<std::shared_ptr<Algorithms::IProcessMethod>> &processes,
                           const std::vector<double> &grid, int side, TaskProgress *progress);
    bool correctReflectModels(const std::vector<std::shared_ptr<Algorithms::IProcessMethod>> &processes,
                              const std::vector<double> &grid, TaskProgress *progress);
    bool referenceImpedancesMatch(const SParameterSource &source, const std::vector<Algorithms::FixturePort *> &models);
    bool fail(TaskProgress *progress);
    void setStatus(Status status);

    Status m_status = Status::NotMeasured;
    QPointer<VNAFixtureConnection> m_side;
    QPointer<ConnectionBase> m_processConnection;
    QList<Algorithms::SParametersOnePortVNA> m_rawData;
    SDataMeasurer *m_reader;
};
