#pragma once
// Shared pieces of the step, set-up and set-up list tests: the services a
// step needs (simulated analyser behind a proxy, step worker, progress list,
// a private folder for the analyser state backups), a way to hold the worker
// while a test looks at a queued job, recorders of signals, and the truth of
// the simulated fixtures.

#include "measurementtestsupport.h"

#include "device/taskprogress.h"
#include "measurement/connections.h"
#include "measurement/fixture.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/qmlfixtureport.h"
#include "measurement/step.h"
#include "measurement/transmissionstep.h"
#include "measurement/vnafixtureconnection.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace StepTest {

using MeasurementTest::ErrorLog;
using MeasurementTest::SimRig;

// Every job queued so far on the worker has run, and what it signalled to
// this thread has been delivered.
inline void drain(WorkerThread &worker)
{
    MeasurementTest::runOnWorker(worker, [] {});
}

// Holds the worker in a task until release(), so a test can look at a job
// that is queued behind it.
class WorkerHold
{
public:
    explicit WorkerHold(WorkerThread &worker)
    {
        auto opened = std::make_shared<std::promise<void>>();
        m_release = opened;
        std::shared_future<void> gate = opened->get_future().share();
        std::promise<void> entered;
        std::future<void> inside = entered.get_future();
        worker.push([gate, entered = std::make_shared<std::promise<void>>(std::move(entered))] {
            entered->set_value();
            gate.wait();
        });
        inside.wait();
    }
    ~WorkerHold() { release(); }
    void release()
    {
        if (m_release) {
            m_release->set_value();
            m_release.reset();
        }
    }

private:
    std::shared_ptr<std::promise<void>> m_release;
};

// Counts signals as they are emitted (direct connections, any thread) and
// records their order and whether they came from the test's own thread.
class Recorder : public QObject
{
public:
    template<typename Sender, typename Signal>
    void watch(const Sender *sender, Signal signal, const std::string &name)
    {
        QObject::connect(
            sender, signal, this,
            [this, name] {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_order.push_back(name);
                ++m_counts[name];
                if (QThread::currentThread() != thread())
                    m_offThread.push_back(name);
            },
            Qt::DirectConnection);
    }
    int count(const std::string &name) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_counts.find(name);
        return it == m_counts.end() ? 0 : it->second;
    }
    std::vector<std::string> order() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_order;
    }
    bool offThread(const std::string &name) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto &n : m_offThread)
            if (n == name)
                return true;
        return false;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_order;
    std::map<std::string, int> m_counts;
    std::vector<std::string> m_offThread;
};

// The services of a step, with the analyser state backups in a folder of
// the test's own.
struct Services
{
    Services() { Step::setStateBackupDirectory(backups.path()); }
    ~Services()
    {
        drain(worker);
        TestSupport::flush();
        Step::setStateBackupDirectory(QString());
    }
    QTemporaryDir backups;
    WorkerThread worker;
    ProgressManager progress{60000};
};

// The progress rows as the progress list shows them.
inline ProgressWatcher *progressRow(ProgressManager &manager, int row)
{
    auto *model = static_cast<details::Base *>(manager.model());
    return model->get(row).value<ProgressWatcher *>();
}

// One fixture side over the analyser, attached to the given analyser ports.
struct Side
{
    Side(SyncedVnaDevice *device, const std::vector<uint> &ports) : connection(&fixture, device)
    {
        fixture.setPortsCount(static_cast<uint>(ports.size()));
        for (size_t i = 0; i < ports.size(); ++i)
            connection.setAttachedVnaPort(i, ports[i]);
    }
    QmlFixturePort *port(int i) const { return connection.getFixturePort(i)->measureData(); }
    Fixture fixture;
    VNAFixtureConnection connection;
};

// A step held as a set-up holds it.
template<typename T, typename... Args>
std::shared_ptr<T> makeStep(Args &&...args)
{
    return std::shared_ptr<T>(new T(std::forward<Args>(args)...), Step::ObjectDeleter());
}

// A thru step between sides A (analyser port 0) and B (port bPort).
struct ThruStep
{
    ThruStep(SyncedVnaDevice *device, Services &services, uint bPort = 1)
        : a(device, {0}),
          b(device, {bPort}),
          step(makeStep<TransmissionStep>(new ConnectionTransmisson(&a.connection, &b.connection, &parameters), device,
                                          &services.worker, &services.progress))
    {}
    ~ThruStep()
    {
        step.reset();
        TestSupport::flush();
    }
    Algorithms::ProcessInputParameters parameters;
    Side a, b;
    std::shared_ptr<TransmissionStep> step;
};

// The simulated fixture as the analyser sees it, both ends in 50 ohm.
inline Algorithms::SParametersTwoPort truthLeft(const AnalyserSim::FixtureSpec &spec, const std::vector<double> &f)
{
    return SynthNet::toS(AnalyserSim::fixtureNetwork(spec, f));
}

inline Algorithms::SParametersTwoPort truthRight(const AnalyserSim::FixtureSpec &spec, const std::vector<double> &f)
{
    return SynthNet::toS(SynthNet::mirror(AnalyserSim::fixtureNetwork(spec, f)));
}

// Touchstone files of the simulated fixture on a harmonic grid.
inline std::vector<double> harmonicGrid()
{
    return SynthNet::harmonicGrid(100e6, 200);
}

inline QString writeThruFile(const QString &path, const AnalyserSim::FixtureSpec &spec)
{
    const auto f = harmonicGrid();
    const auto fixture = AnalyserSim::fixtureNetwork(spec, f);
    return MeasurementTest::writeTwoPort(path, SynthNet::toS(SynthNet::twoXThru(fixture)));
}

inline QString writeReflectFile(const QString &path, const AnalyserSim::FixtureSpec &spec, double gamma)
{
    const auto f = harmonicGrid();
    const auto fixture = AnalyserSim::fixtureNetwork(spec, f);
    return MeasurementTest::writeOnePort(path, SynthNet::terminate(fixture, gamma));
}

// Index of the first log entry at or after from that starts with prefix, or -1.
inline int logIndex(const AnalyserSim::Simulator &sim, const QString &prefix, int from = 0)
{
    const auto log = sim.log();
    for (int i = std::max(from, 0); i < static_cast<int>(log.size()); ++i)
        if (log[static_cast<size_t>(i)].text.startsWith(prefix))
            return i;
    return -1;
}

inline int lastLogIndex(const AnalyserSim::Simulator &sim, const QString &prefix)
{
    const auto log = sim.log();
    for (int i = static_cast<int>(log.size()) - 1; i >= 0; --i)
        if (log[static_cast<size_t>(i)].text.startsWith(prefix))
            return i;
    return -1;
}

inline std::string joined(const std::vector<QString> &texts)
{
    QString all;
    for (const QString &t : texts)
        all += t + QStringLiteral(" | ");
    return all.toStdString();
}

} // namespace StepTest
