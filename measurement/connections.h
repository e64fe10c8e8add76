#pragma once
// What a step measures: one fixture side (1x-reflect) or two (2x-thru), the
// shared tuning parameters, and the processes of the step's last calculation,
// which the DUT step reuses. A connection does not own its sides.

#include "algorithms/processinputparameters.h"
#include "algorithms/processmethod.h"
#include "measurement/vnafixtureconnection.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class ConnectionBase : public QObject
{
    Q_OBJECT
public:
    using ProcessPointer = std::shared_ptr<Algorithms::IProcessMethod>;

    explicit ConnectionBase(Algorithms::ProcessInputParameters *parameters, QObject *parent = nullptr);
    ~ConnectionBase() override;

    Algorithms::ProcessInputParameters *parameters() const { return m_parameters; }
    void setParameters(Algorithms::ProcessInputParameters *parameters) { m_parameters = parameters; }

    // The kept processes; callable from the step worker and the GUI thread.
    void addProcess(ProcessPointer process);
    void clearProcesses();
    std::vector<ProcessPointer> processes() const;
    size_t processCount() const;

protected:
    // The kept processes point at the ports of side: they are dropped as soon
    // as one of those ports goes away, so no process outlives its ports.
    void watchSide(VNAFixtureConnection *side);

private:
    Algorithms::ProcessInputParameters *m_parameters;
    mutable std::mutex m_mutex;
    std::vector<ProcessPointer> m_processes;
};

class ConnectionReflect : public ConnectionBase
{
    Q_OBJECT
    Q_PROPERTY(VNAFixtureConnection *fixt READ fixt CONSTANT)

public:
    ConnectionReflect(VNAFixtureConnection *fixt, Algorithms::ProcessInputParameters *parameters,
                      QObject *parent = nullptr);

    VNAFixtureConnection *fixt() const { return m_fixt; }

private:
    QPointer<VNAFixtureConnection> m_fixt;
};

class ConnectionTransmisson : public ConnectionBase
{
    Q_OBJECT
    Q_PROPERTY(VNAFixtureConnection *left READ left CONSTANT)
    Q_PROPERTY(VNAFixtureConnection *right READ right CONSTANT)

public:
    ConnectionTransmisson(VNAFixtureConnection *left, VNAFixtureConnection *right,
                          Algorithms::ProcessInputParameters *parameters, QObject *parent = nullptr);

    VNAFixtureConnection *left() const { return m_left; }
    VNAFixtureConnection *right() const { return m_right; }

    // 0 for the left side, 1 for the right side, empty for any other object.
    std::optional<int> sideOf(const VNAFixtureConnection *side) const;

private:
    QPointer<VNAFixtureConnection> m_left;
    QPointer<VNAFixtureConnection> m_right;
};
