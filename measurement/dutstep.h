#pragma once
// The DUT-in-fixture step: measures the reflections of the device under
// test through each fixture side and corrects that side's models with them,
// using the processes the set-up's other steps kept in their connections.

#include "measurement/measureenums.h"
#include "measurement/step.h"

#include <QList>
#include <QString>

#include <vector>

class ConnectionBase;
class DutMeasurer;
class SParameterSource;

class DutStep : public Step
{
    Q_OBJECT
    Q_PROPERTY(bool isDut READ isDut CONSTANT)
    Q_PROPERTY(MeasureEnums::MeasureStatus dutMeasured READ dutMeasured NOTIFY dutMeasuredChanged)

public:
    // connection: a transmission connection over both sides or a reflection
    // connection over the one enabled side; the step becomes its parent.
    // otherConnections: the connections of the set-up's other steps, in step
    // order, whose kept processes correct the models.
    DutStep(ConnectionBase *connection, const QList<ConnectionBase *> &otherConnections, SyncedVnaDevice *device,
            WorkerThread *worker, ProgressManager *progressManager, QObject *parent = nullptr);
    ~DutStep() override;

    bool isDut() const { return true; }
    MeasureEnums::MeasureStatus dutMeasured() const;

    const std::vector<DutMeasurer *> &measurers() const { return m_measurers; }
    // The sides the DUT is measured through: left then right, or the one.
    std::vector<VNAFixtureConnection *> dutSides() const;
    // The DUT step refines the models of the other steps and owns none.
    std::vector<VNAFixtureConnection *> ownedSides() const override { return {}; }

    QObject *connection() const override;
    MeasureEnums::MeasureStatus getMeasureStatus() const override;
    MeasureEnums::MeasureType measureType() const override;
    void clearData() override;

public slots:
    void measureFromVna();
    void measureFromTouchstoneFile(const QString &filePath);

signals:
    void dutMeasuredChanged();

protected:
    // Those of the DUT corrections the models still carry.
    QList<Algorithms::ModelNotice> calculationNotices() const override;

private:
    void runMeasure(const SParameterSource &source, const Progress &progress);

    ConnectionBase *m_connection;
    std::vector<DutMeasurer *> m_measurers;
};
