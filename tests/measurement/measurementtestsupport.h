#pragma once
// Shared pieces of the measurement tests: a simulated analyser behind a
// connected proxy, Touchstone files of synthetic networks, a step worker that
// runs a job and waits for it, and a recorder of error texts.

#include "algorithms/modelnotice.h"
#include "analyser-sim/analysersim.h"
#include "device/checker.h"
#include "device/syncedvnadevice.h"
#include "device/touchstoneio.h"
#include "device/workerthread.h"
#include "synthnet/synthnet.h"
#include "tests/device/checkerwait.h"
#include "tests/support/analysertiming.h"
#include "tests/support/eventloop.h"

#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <complex>
#include <functional>
#include <memory>
#include <vector>

namespace MeasurementTest {

inline VnaTiming fastTiming()
{
    return TestSupport::shortAnalyserTiming(500);
}

// A simulated analyser and a proxy that has polled it (twice, so the port
// impedances of every reported port are cached).
class SimRig
{
public:
    explicit SimRig(AnalyserSim::Options options = {}) : sim(std::move(options))
    {
        started = sim.start();
        proxy = std::make_unique<SyncedVnaDevice>(nullptr, fastTiming());
        proxy->setPort(sim.port());
    }

    // One poll; true when the analyser answered.
    bool sync() { return proxy->callAndWait(&SyncedVnaDevice::pushSync); }
    bool settle()
    {
        const bool ok = started && sync() && sync();
        TestSupport::flush();
        return ok;
    }
    // A harmonic grid: f = step, 2 step, ..., points * step.
    void setHarmonicGrid(double step, unsigned points)
    {
        sim.execute(QStringLiteral("SENS1:SWE:POIN %1").arg(points));
        sim.execute(QStringLiteral("SENS1:FREQ:STAR %1").arg(step, 0, 'g', 17));
        sim.execute(QStringLiteral("SENS1:FREQ:STOP %1").arg(step * points, 0, 'g', 17));
    }

    AnalyserSim::Simulator sim;
    std::unique_ptr<SyncedVnaDevice> proxy;
    bool started = false;
};

// Runs job on the worker and waits at a local event loop until it has run,
// as a step does.
inline void runOnWorker(WorkerThread &worker, const std::function<void()> &job)
{
    Checker checker;
    CheckerHandle handle = checker.handle();
    worker.push([job, handle] {
        job();
        handle.complete();
    });
    EXPECT_TRUE(DeviceTest::waitAtMost(checker, 60000)) << "the job never finished";
    TestSupport::flush();
}

// A Touchstone file of n-port matrices (row-major per point).
inline QString writeTouchstone(const QString &path, const std::vector<double> &frequency,
                               const std::vector<std::vector<std::complex<double>>> &matrices, int n,
                               double impedance = 50.0)
{
    TouchstoneData data;
    data.frequencyUnit = TouchstoneData::FrequencyUnit::Hz;
    data.format = TouchstoneData::Format::RI;
    data.impedance = impedance;
    data.portCount = static_cast<uint32_t>(n);
    for (size_t i = 0; i < frequency.size(); ++i) {
        TouchstonePoint point;
        point.frequency = frequency[i];
        point.size = n;
        point.matrix = matrices[i];
        data.points.push_back(point);
    }
    TouchstoneIO io;
    const auto name = io.filePath(path, data);
    EXPECT_TRUE(name && io.write(path, data)) << path.toStdString();
    return name ? *name : QString();
}

// A two-port network's file (matrix S11 S12 / S21 S22).
inline QString writeTwoPort(const QString &path, const Algorithms::SParametersTwoPort &s, double impedance = 50.0)
{
    std::vector<std::vector<std::complex<double>>> m;
    for (size_t i = 0; i < s.frequency().size(); ++i)
        m.push_back({s.s11()[i], s.s12()[i], s.s21()[i], s.s22()[i]});
    return writeTouchstone(path, s.frequency(), m, 2, impedance);
}

inline QString writeOnePort(const QString &path, const Algorithms::SParametersOnePort &s, double impedance = 50.0)
{
    std::vector<std::vector<std::complex<double>>> m;
    for (const auto &v : s.s11())
        m.push_back({v});
    return writeTouchstone(path, s.frequency(), m, 1, impedance);
}

// The error texts of an object, in order (delivered directly when emitted on
// this thread, queued otherwise).
class ErrorLog : public QObject
{
public:
    template<typename Sender, typename Owner>
    explicit ErrorLog(const Sender *sender, void (Owner::*signal)(QString))
    {
        QObject::connect(sender, signal, this, [this](const QString &text) { texts.push_back(text); });
    }
    std::vector<QString> texts;
};

// The model notices an object tells, in order (delivered directly when
// emitted on this thread, queued otherwise).
class NoticeLog : public QObject
{
public:
    template<typename Sender, typename Owner>
    explicit NoticeLog(const Sender *sender, void (Owner::*signal)(Algorithms::ModelNotice))
    {
        QObject::connect(sender, signal, this,
                         [this](const Algorithms::ModelNotice &notice) { notices.push_back(notice); });
    }
    std::vector<Algorithms::ModelNotice> notices;
};

// Largest |a - b| over all four parameters at points with from <= f <= to.
inline double maxDeviation(const Algorithms::SParametersTwoPort &a, const Algorithms::SParametersTwoPort &b,
                           double from = -1e300, double to = 1e300)
{
    double d = 0.0;
    const size_t n = std::min(a.frequency().size(), b.frequency().size());
    if (a.frequency().size() != b.frequency().size())
        return HUGE_VAL;
    for (size_t i = 0; i < n; ++i) {
        const double f = a.frequency()[i];
        if (f < from || f > to)
            continue;
        d = std::max({d, std::abs(a.s11()[i] - b.s11()[i]), std::abs(a.s21()[i] - b.s21()[i]),
                      std::abs(a.s12()[i] - b.s12()[i]), std::abs(a.s22()[i] - b.s22()[i])});
    }
    return d;
}

} // namespace MeasurementTest
