#include "measurement/connections.h"

#include <QAbstractItemModel>

#include <utility>

ConnectionBase::ConnectionBase(Algorithms::ProcessInputParameters *parameters, QObject *parent)
    : QObject(parent),
      m_parameters(parameters)
{}

ConnectionBase::~ConnectionBase() = default;

void ConnectionBase::addProcess(ProcessPointer process)
{
    if (!process)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_processes.push_back(std::move(process));
}

void ConnectionBase::clearProcesses()
{
    std::vector<ProcessPointer> dropped;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        dropped.swap(m_processes);
    }
    // Released outside the lock.
}

std::vector<ConnectionBase::ProcessPointer> ConnectionBase::processes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_processes;
}

size_t ConnectionBase::processCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_processes.size();
}

void ConnectionBase::watchSide(VNAFixtureConnection *side)
{
    if (!side)
        return;
    QAbstractItemModel *ports = side->measureDataModel();
    connect(
        ports, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { clearProcesses(); }, Qt::DirectConnection);
    connect(
        ports, &QAbstractItemModel::modelAboutToBeReset, this, [this] { clearProcesses(); }, Qt::DirectConnection);
    connect(
        side, &QObject::destroyed, this, [this] { clearProcesses(); }, Qt::DirectConnection);
}

ConnectionReflect::ConnectionReflect(VNAFixtureConnection *fixt, Algorithms::ProcessInputParameters *parameters,
                                     QObject *parent)
    : ConnectionBase(parameters, parent),
      m_fixt(fixt)
{
    watchSide(fixt);
}

ConnectionTransmisson::ConnectionTransmisson(VNAFixtureConnection *left, VNAFixtureConnection *right,
                                             Algorithms::ProcessInputParameters *parameters, QObject *parent)
    : ConnectionBase(parameters, parent),
      m_left(left),
      m_right(right)
{
    watchSide(left);
    if (right != left)
        watchSide(right);
}

std::optional<int> ConnectionTransmisson::sideOf(const VNAFixtureConnection *side) const
{
    if (!side)
        return std::nullopt;
    if (side == m_left.data())
        return 0;
    if (side == m_right.data())
        return 1;
    return std::nullopt;
}
