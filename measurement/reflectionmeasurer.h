#pragma once
// The 1x-reflect measurer: one fixture side terminated by an open, a short
// or both, one standard per run. The side's models are calculated once every
// selected standard has been read; with both, by whichever run completes the
// pair, from the stored traces of the other.

#include "algorithms/reflectionprocess.h"
#include "algorithms/sparameters.h"
#include "measurement/basemeasurer.h"
#include "measurement/measureenums.h"
#include "measurement/sdatameasurer.h"
#include "measurement/sparametersource.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class ConnectionReflect;
class MeasuredFixturePort;
class TaskProgress;

class ReflectionMeasurer : public BaseMeasurer
{
    Q_OBJECT
    Q_PROPERTY(MeasureEnums::FixturePossibleState state READ state WRITE setState NOTIFY stateChanged)
    Q_PROPERTY(Status openStatus READ openStatus NOTIFY openStatusChanged)
    Q_PROPERTY(Status shortStatus READ shortStatus NOTIFY shortStatusChanged)

public:
    ReflectionMeasurer(ConnectionReflect *connection, SyncedVnaDevice *device, QObject *parent = nullptr);

    MeasureEnums::FixturePossibleState state() const { return m_state; }
    Algorithms::MaxSignalEliminationType signalType() const { return m_signalType; }
    Status openStatus() const { return m_openReader->status(); }
    Status shortStatus() const { return m_shortReader->status(); }
    Status calculatingStatus() const { return m_calculatingStatus; }
    ConnectionReflect *connection() const { return m_connection; }

    // Replaces the connection; both readers follow its side.
    void setConnection(ConnectionReflect *connection);

    // One standard's run on the calling thread (the step worker); progress
    // may be null.
    bool measureOpen(const SParameterSource &source, TaskProgress *progress);
    bool measureShort(const SParameterSource &source, TaskProgress *progress);

    void clearResults() override;
    // Clears both readers and raw data lists and every port of the side.
    void reset();

    const QList<Algorithms::SParametersOnePortVNA> &openRawData() const { return m_openRawData; }
    const QList<Algorithms::SParametersOnePortVNA> &shortRawData() const { return m_shortRawData; }
    const SDataMeasurer *openReader() const { return m_openReader; }
    const SDataMeasurer *shortReader() const { return m_shortReader; }

public slots:
    void setState(MeasureEnums::FixturePossibleState state);
    void setSignalType(Algorithms::MaxSignalEliminationType type);

signals:
    void openStatusChanged(Status st);
    void shortStatusChanged(Status st);
    void calculatingStatusChanged(Status st);
    void stateChanged(MeasureEnums::FixturePossibleState state);
    void signalTypeChanged(Algorithms::MaxSignalEliminationType type);

private:
    bool measure(const SParameterSource &source, TaskProgress *progress, bool isShort);
    bool calculate(const std::vector<double> &grid, const SParameterSource &source);
    std::unique_ptr<Algorithms::ReflectProcess> setupProcess(uint v, MeasuredFixturePort *port,
                                                             const SParameterSource &source);
    bool calculateOnePort(size_t i, const std::vector<double> &grid, Algorithms::ReflectProcess *process, uint v);
    void resetSidePorts();
    void setCalculatingStatus(Status status);

    Algorithms::MaxSignalEliminationType m_signalType = Algorithms::MaxSignalEliminationType::Model;
    MeasureEnums::FixturePossibleState m_state = MeasureEnums::FixturePossibleState::OPEN;
    Status m_calculatingStatus = Status::NotMeasured;
    QPointer<ConnectionReflect> m_connection;
    SDataMeasurer *m_openReader;
    SDataMeasurer *m_shortReader;
    QList<Algorithms::SParametersOnePortVNA> m_openRawData;
    QList<Algorithms::SParametersOnePortVNA> m_shortRawData;
};
