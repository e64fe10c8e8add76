// Latency of the task queue: an idle worker sleeps in its event dispatcher
// and push() wakes it; a caller that waits at a Checker adds one queued
// signal to its own event loop. The push to an idle worker is set beside a
// thread that polls a queue every 1 ms, as the idle worker used to (goal:
// no slower than that).
#include "device/checker.h"
#include "device/workerthread.h"

#include "bench/benchratios.h"
#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace {

using BenchSupport::application;

// Push to an idle worker and spin until the task has run.
void BM_PushToIdleWorker(benchmark::State &state)
{
    application();
    WorkerThread worker;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (auto _ : state) {
        std::atomic<bool> ran{false};
        worker.push([&ran] { ran = true; });
        while (!ran.load())
            std::this_thread::yield();
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(3)); // idle again
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PushToIdleWorker)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The reference: a thread that looks at its queue every 1 ms when idle.
void BM_PushToPollingThread(benchmark::State &state)
{
    std::mutex mutex;
    std::deque<std::function<void()>> queue;
    std::atomic<bool> quit{false};
    std::thread poller([&] {
        while (!quit) {
            std::function<void()> task;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (!queue.empty()) {
                    task = std::move(queue.front());
                    queue.pop_front();
                }
            }
            if (task)
                task();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (auto _ : state) {
        std::atomic<bool> ran{false};
        {
            std::lock_guard<std::mutex> lock(mutex);
            queue.push_back([&ran] { ran = true; });
        }
        while (!ran.load())
            std::this_thread::yield();
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        state.ResumeTiming();
    }
    quit = true;
    poller.join();
}
BENCHMARK(BM_PushToPollingThread)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The full wait idiom: push, wait in a local event loop, read the result.
void BM_WaitAtChecker(benchmark::State &state)
{
    application();
    WorkerThread worker;
    int value = 0;
    for (auto _ : state) {
        int result = 0;
        Checker checker;
        worker.push([done = WaitCompletion<int>(checker, result), &value] { done(++value); });
        checker.wait();
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_WaitAtChecker)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A burst of tasks on a busy worker runs back to back (no 1 ms pause
// between queued tasks).
void BM_BurstOfTasks(benchmark::State &state)
{
    application();
    WorkerThread worker;
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::atomic<int> ran{0};
        for (int i = 0; i < count; ++i)
            worker.push([&ran] { ++ran; });
        while (ran.load() < count)
            std::this_thread::yield();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_BurstOfTasks)->Arg(1000)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCH_RATIOS_MAIN((std::vector<BenchRatios::Ratio>{
    {"BM_PushToIdleWorker/real_time", "BM_PushToPollingThread/real_time", 1.0, true},
}))
