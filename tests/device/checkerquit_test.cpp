// A wait that is still running when the application begins to quit: every
// new event loop of the thread then returns at once, yet the wait must
// neither spin nor stop delivering the thread's events (a job may call into
// the waiting thread before it completes).
#include "device/checker.h"
#include "device/workerthread.h"

#include "../support/watchdog.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>

namespace {

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

using TestSupport::Watchdog;

TEST(CheckerAfterQuit, WaitsWithoutSpinningAndServesTheJobsCallIntoItsThread)
{
    WorkerThread worker;
    QObject target; // lives on this thread
    bool served = false;
    bool waited = false;
    double cpuMs = -1.0;
    QTimer::singleShot(0, [&] {
        QCoreApplication::exit(0); // the quit begins while a job is still to run
        Checker checker;
        worker.push([&target, &served, done = WaitCompletion<void>(checker)] {
            QThread::msleep(300);
            // Blocks until the waiting thread has run it.
            QMetaObject::invokeMethod(
                &target, [&served] { served = true; }, Qt::BlockingQueuedConnection);
            done();
        });
        const double before = threadCpuMs();
        checker.wait();
        cpuMs = threadCpuMs() - before;
        waited = true;
    });
    {
        Watchdog watchdog(20000, "the wait's return after the quit began");
        QCoreApplication::exec();
    }
    EXPECT_TRUE(waited);
    EXPECT_TRUE(served);
    // The job took 300 ms; a waiting thread uses a small part of that.
    EXPECT_LT(cpuMs, 150.0) << "the wait spun";
}

} // namespace
