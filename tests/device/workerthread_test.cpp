#include "device/checker.h"
#include "device/workerthread.h"

#include "checkerwait.h"
#include "tests/support/logcapture.h"

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using DeviceTest::waitAtMost;

// Pushes an empty marker task and waits until it has run: everything pushed
// before it has then run or been dropped.
bool drain(WorkerThread &worker)
{
    Checker checker;
    worker.push([h = checker.handle()] { h.complete(); });
    return waitAtMost(checker);
}

void spinUntil(const std::atomic<bool> &flag)
{
    QElapsedTimer timer;
    timer.start();
    while (!flag.load() && timer.elapsed() < 5000)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(flag.load());
}

TEST(WorkerThread, RunsTasksOneAtATimeInPushOrderOnItsOwnThread)
{
    WorkerThread worker;
    std::mutex mutex;
    std::vector<std::string> events;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::atomic<bool> onWorker{true};

    for (int i = 1; i <= 3; ++i) {
        worker.push([&, i] {
            if (running.fetch_add(1) != 0)
                overlapped = true;
            if (QThread::currentThread() != worker.thread() || QThread::currentThread() == qApp->thread())
                onWorker = false;
            {
                std::lock_guard<std::mutex> lock(mutex);
                events.push_back("begin " + std::to_string(i));
            }
            std::this_thread::sleep_for(20ms);
            {
                std::lock_guard<std::mutex> lock(mutex);
                events.push_back("end " + std::to_string(i));
            }
            running.fetch_sub(1);
        });
    }
    ASSERT_TRUE(drain(worker));

    EXPECT_EQ(events, (std::vector<std::string>{"begin 1", "end 1", "begin 2", "end 2", "begin 3", "end 3"}));
    EXPECT_FALSE(overlapped);
    EXPECT_TRUE(onWorker);
}

TEST(WorkerThread, TasksMayPushFurtherTasksWhichRunAfterTheQueuedOnes)
{
    WorkerThread worker;
    std::vector<int> order; // touched only on the worker
    Checker checker;
    // The worker is held until both tasks are queued: otherwise the first
    // may run, and push the third, before this thread pushes the second.
    std::promise<void> bothQueued;
    std::shared_future<void> released = bothQueued.get_future().share();
    worker.push([released] {
        // Bounded: a test that never releases fails below instead of hanging.
        released.wait_for(std::chrono::seconds(10));
    });
    worker.push([&, h = checker.handle()] {
        order.push_back(1);
        worker.push([&, h] {
            order.push_back(3);
            h.complete();
        });
    });
    worker.push([&] { order.push_back(2); });
    bothQueued.set_value();
    ASSERT_TRUE(waitAtMost(checker));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(WorkerThread, ExceptionFromATaskIsLoggedAndTheNextTaskStillRuns)
{
    LogCapture log;
    WorkerThread worker;
    std::atomic<bool> laterRan{false};
    worker.push([] { throw std::runtime_error("sweep exploded"); });
    worker.push([] { throw 42; });
    worker.push([&] { laterRan = true; });
    ASSERT_TRUE(drain(worker));

    EXPECT_TRUE(laterRan);
    const QStringList lines = log.lines();
    EXPECT_TRUE(lines.contains("sweep exploded")) << lines.join('|').toStdString();
    EXPECT_TRUE(lines.contains("UNKNOWN EXCEPTION")) << lines.join('|').toStdString();
}

TEST(WorkerThread, ClearDropsQueuedTasksButNotTheRunningOne)
{
    WorkerThread worker;
    std::atomic<bool> started{false}, release{false}, firstFinished{false};
    std::atomic<int> droppedRan{0};

    worker.push([&] {
        started = true;
        while (!release)
            std::this_thread::sleep_for(1ms);
        firstFinished = true;
    });
    worker.push([&] { ++droppedRan; });
    worker.push([&] { ++droppedRan; });

    spinUntil(started);
    worker.clear();
    release = true;
    ASSERT_TRUE(drain(worker));

    EXPECT_TRUE(firstFinished);
    EXPECT_EQ(droppedRan, 0);
}

TEST(WorkerThread, QueuedCallsReachObjectsLivingOnTheWorker)
{
    WorkerThread worker;
    auto *target = new QObject;
    target->moveToThread(worker.thread());

    Checker checker;
    std::atomic<bool> ranOnWorker{false};
    QMetaObject::invokeMethod(
        target,
        [&, h = checker.handle()] {
            ranOnWorker = QThread::currentThread() == worker.thread();
            h.complete();
        },
        Qt::QueuedConnection);
    ASSERT_TRUE(waitAtMost(checker));
    EXPECT_TRUE(ranOnWorker);

    // Delete on its own thread.
    Checker deleted;
    worker.push([target, h = deleted.handle()] {
        delete target;
        h.complete();
    });
    ASSERT_TRUE(waitAtMost(deleted));
}

TEST(WorkerThread, IdleWorkerSleepsUntilThereIsSomethingToDo)
{
    WorkerThread worker;
    ASSERT_TRUE(drain(worker));

    // Count the worker's returns from its dispatcher while nothing is pushed
    // or posted: an idle worker must not keep waking up to look.
    std::atomic<int> wakeUps{0};
    Checker hooked;
    worker.push([&, h = hooked.handle()] {
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [&] { ++wakeUps; });
        h.complete();
    });
    ASSERT_TRUE(waitAtMost(hooked));
    const int before = wakeUps.load();
    std::this_thread::sleep_for(200ms);
    EXPECT_LE(wakeUps.load() - before, 2);

    // A timer of an object living on the worker still fires when it is due,
    // with no task to wake the worker.
    std::atomic<bool> fired{false};
    auto *timer = new QTimer;
    timer->setSingleShot(true);
    timer->setInterval(30);
    QObject::connect(timer, &QTimer::timeout, timer, [&] { fired = true; });
    timer->moveToThread(worker.thread());
    worker.push([timer] { timer->start(); });
    spinUntil(fired);
    worker.push([timer] { delete timer; });
    EXPECT_TRUE(drain(worker));
}

TEST(WorkerThread, TasksPushedFromManyThreadsToASleepingWorkerAllRunInOrder)
{
    // Pushes race with the worker going to sleep: none may be left waiting
    // in the queue, and each thread's tasks run in the order it pushed them.
    WorkerThread worker;
    constexpr int kThreads = 4, kTasks = 200;
    std::mutex seenMutex;
    std::vector<std::vector<int>> seen(kThreads);
    std::vector<std::thread> pushers;
    for (int t = 0; t < kThreads; ++t) {
        pushers.emplace_back([&, t] {
            for (int i = 0; i < kTasks; ++i) {
                worker.push([&, t, i] {
                    std::lock_guard<std::mutex> lock(seenMutex);
                    seen[t].push_back(i);
                });
                if (i % 7 == 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(50 * t));
            }
        });
    }
    for (std::thread &p : pushers)
        p.join();
    ASSERT_TRUE(drain(worker));
    std::lock_guard<std::mutex> lock(seenMutex);
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), size_t(kTasks)) << "thread " << t;
        EXPECT_TRUE(std::is_sorted(seen[t].begin(), seen[t].end())) << "thread " << t;
    }
}

TEST(WorkerThread, DestructionWaitsForTheRunningTaskAndDropsTheRest)
{
    std::atomic<bool> started{false}, longFinished{false};
    std::atomic<int> queuedRan{0};
    auto worker = std::make_unique<WorkerThread>();
    worker->push([&] {
        started = true;
        std::this_thread::sleep_for(100ms);
        longFinished = true;
    });
    worker->push([&] { ++queuedRan; });
    spinUntil(started);

    worker.reset();
    EXPECT_TRUE(longFinished);
    EXPECT_EQ(queuedRan, 0);
}

TEST(WorkerThread, StopEndsTheThreadAndLaterTasksNeverRun)
{
    WorkerThread worker;
    ASSERT_TRUE(drain(worker));
    worker.stop();
    EXPECT_TRUE(worker.thread()->isFinished());

    std::atomic<bool> ran{false};
    worker.push([&] { ran = true; });
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(ran);
    worker.stop(); // a second stop returns at once
}

// How the task a caller waits for comes to an end.
enum class Ending {
    Completes,
    CompletesTwice,
    ThrowsStdException,
    ThrowsOther,
    Cleared,
    WorkerDestroyed,
    PushedAfterStop
};

struct EndingCase
{
    Ending ending;
    const char *name;
    std::optional<int> expected;
};

class WaiterCompletion : public ::testing::TestWithParam<EndingCase>
{};

// Whatever becomes of the task, the waiter is completed exactly once: with
// the task's value when it delivered one, otherwise with an empty result.
TEST_P(WaiterCompletion, CompletesExactlyOnce)
{
    const EndingCase param = GetParam();
    LogCapture log; // keeps the exception lines out of the test output
    auto worker = std::make_unique<WorkerThread>();

    std::atomic<bool> blockerStarted{false}, release{false};
    if (param.ending == Ending::Cleared || param.ending == Ending::WorkerDestroyed) {
        worker->push([&] {
            blockerStarted = true;
            while (!release)
                std::this_thread::sleep_for(1ms);
        });
        spinUntil(blockerStarted);
    }
    if (param.ending == Ending::PushedAfterStop)
        worker->stop();

    std::optional<int> result = -1;
    Checker checker;
    std::atomic<int> signalled{0};
    QObject::connect(&checker, &Checker::checked, [&] { ++signalled; });
    const Ending ending = param.ending;
    {
        // Only the pushed task holds the completion once this scope ends.
        WaitCompletion<std::optional<int>> completion(checker, result);
        worker->push([completion, ending] {
            switch (ending) {
            case Ending::Completes:
                completion(7);
                break;
            case Ending::CompletesTwice:
                completion(7);
                completion(8);
                break;
            case Ending::ThrowsStdException:
                throw std::runtime_error("no data");
            case Ending::ThrowsOther:
                throw 3;
            default:
                completion(99); // must never run
            }
        });
    }

    if (ending == Ending::Cleared) {
        worker->clear();
        release = true;
    } else if (ending == Ending::WorkerDestroyed) {
        std::thread releaser([&] {
            std::this_thread::sleep_for(30ms);
            release = true;
        });
        worker.reset();
        releaser.join();
    }

    ASSERT_TRUE(waitAtMost(checker)) << param.name;
    QCoreApplication::processEvents(); // deliver any stray second signal
    EXPECT_EQ(result, param.expected) << param.name;
    EXPECT_EQ(signalled, 1) << param.name;
}

INSTANTIATE_TEST_SUITE_P(AllEndings, WaiterCompletion,
                         ::testing::Values(EndingCase{Ending::Completes, "completes", 7},
                                           EndingCase{Ending::CompletesTwice, "completes twice", 7},
                                           EndingCase{Ending::ThrowsStdException, "throws std::exception",
                                                      std::nullopt},
                                           EndingCase{Ending::ThrowsOther, "throws an int", std::nullopt},
                                           EndingCase{Ending::Cleared, "cleared", std::nullopt},
                                           EndingCase{Ending::WorkerDestroyed, "worker destroyed", std::nullopt},
                                           EndingCase{Ending::PushedAfterStop, "pushed after stop", std::nullopt}),
                         [](const auto &info) {
                             std::string name = info.param.name;
                             for (char &c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(WaiterCompletion, DroppedBoolTaskGivesFalse)
{
    WorkerThread worker;
    bool result = true;
    Checker checker;
    {
        WaitCompletion<bool> completion(checker, result);
        worker.stop();
        worker.push([completion] { completion(true); });
    }
    ASSERT_TRUE(waitAtMost(checker));
    EXPECT_FALSE(result);
}

TEST(Checker, WaitReturnsAtOnceWhenTheTaskCompletedFirst)
{
    WorkerThread worker;
    Checker checker;
    worker.push([h = checker.handle()] { h.complete(); });
    QElapsedTimer timer;
    timer.start();
    while (!checker.isDone() && timer.elapsed() < 5000)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(checker.isDone());

    timer.restart();
    checker.wait();
    EXPECT_LT(timer.elapsed(), 100);
}

// While a caller waits, its thread keeps handling events: a timer fires, and
// a second wait can start inside the first. Each wait returns only when its
// own task is done, the inner one first.
TEST(Checker, WaitKeepsTheEventLoopRunningAndMayReenter)
{
    WorkerThread outerWorker;
    WorkerThread innerWorker;
    std::vector<std::string> events; // GUI thread only
    int ticks = 0;

    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);

    std::optional<int> innerResult;
    QTimer::singleShot(20, [&] {
        events.push_back("inner wait starts");
        Checker inner;
        WaitCompletion<std::optional<int>> done(inner, innerResult);
        innerWorker.push([done] {
            std::this_thread::sleep_for(150ms);
            done(2);
        });
        inner.wait();
        events.push_back("inner wait returns");
    });

    std::optional<int> outerResult;
    Checker outer;
    std::atomic<bool> outerTaskDone{false};
    {
        WaitCompletion<std::optional<int>> done(outer, outerResult);
        outerWorker.push([done, &outerTaskDone] {
            std::this_thread::sleep_for(60ms); // ends while the inner wait still runs
            done(1);
            outerTaskDone = true;
        });
    }
    ASSERT_TRUE(waitAtMost(outer));
    events.push_back("outer wait returns");

    EXPECT_EQ(events, (std::vector<std::string>{"inner wait starts", "inner wait returns", "outer wait returns"}));
    EXPECT_EQ(outerResult, 1);
    EXPECT_EQ(innerResult, 2);
    EXPECT_GT(ticks, 5);
}

TEST(Checker, CannotBeDestroyedWhileACompletionIsRunning)
{
    WorkerThread worker;
    std::atomic<bool> storing{false}, stored{false};
    CheckerHandle handle;
    {
        Checker checker;
        handle = checker.handle();
        worker.push([&, h = checker.handle()] {
            h.complete([&] {
                storing = true;
                std::this_thread::sleep_for(100ms);
                stored = true;
            });
        });
        spinUntil(storing);
    } // the destructor must wait for the completion to finish
    EXPECT_TRUE(stored);

    // A completion arriving after the waiter has gone does nothing.
    bool touched = false;
    EXPECT_FALSE(handle.complete([&] { touched = true; }));
    EXPECT_FALSE(touched);
}

TEST(Checker, ManyShortWaitsEachReturnWithTheirOwnResult)
{
    WorkerThread worker;
    for (int i = 0; i < 500; ++i) {
        std::optional<int> result;
        Checker checker;
        worker.push([done = WaitCompletion<std::optional<int>>(checker, result), i] { done(i); });
        ASSERT_TRUE(waitAtMost(checker));
        ASSERT_EQ(result, i);
    }
}

} // namespace
