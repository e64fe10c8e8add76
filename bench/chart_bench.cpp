// Costs inside one 33 ms chart beat: taking a new series into the fixed
// 4096-point block, refreshing the projections of the shown traces on the
// pool, and looking up curve values for the markers. A series copy is shown
// beside the replace as its floor. The GUI thread waits for the pool's
// refresh at every beat: the ratios show that wait as a share of the beat,
// and the refresh against the same work done on the calling thread.
#include "bench/benchratios.h"
#include "frontend/trace.h"

#include <QtConcurrent>

#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

QVector<QPointF> makeSeries(int n)
{
    QVector<QPointF> out;
    out.reserve(n);
    for (int i = 0; i < n; ++i) {
        const double f = 1e6 + 1e10 * i / std::max(1, n - 1);
        out.append(QPointF(f, -20.0 * std::log10(1.0 + f / 1e9) + 0.1 * std::sin(i * 0.37)));
    }
    return out;
}

void BM_SeriesCopy(benchmark::State &state)
{
    const QVector<QPointF> data = makeSeries(int(state.range(0)));
    for (auto _ : state) {
        QVector<QPointF> copy(data);
        copy.detach();
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SeriesCopy)->Arg(1601)->Arg(4096)->Arg(100001);

void BM_TraceReplace(benchmark::State &state)
{
    const QVector<QPointF> data = makeSeries(int(state.range(0)));
    Trace trace;
    for (auto _ : state) {
        trace.replace(data);
        benchmark::DoNotOptimize(trace.renderData()->points.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TraceReplace)->Arg(201)->Arg(1601)->Arg(4096)->Arg(4097)->Arg(16384)->Arg(100001);

// Traces of 1601 points in a plot of 1200 x 600 pixels.
struct ShownTraces
{
    explicit ShownTraces(int count)
    {
        for (int i = 0; i < count; ++i) {
            traces.push_back(std::make_unique<Trace>());
            traces.back()->domain()->setXRange(QPointF(1e6, 1e10));
            traces.back()->domain()->setYRange(QPointF(-60, 5));
            traces.back()->domain()->setSize(QSizeF(1200, 600));
            traces.back()->replace(makeSeries(1601));
            list.push_back(traces.back().get());
        }
    }
    std::vector<std::unique_ptr<Trace>> traces;
    std::vector<Korvel::Frontend::AbstractTrace *> list;
};

// One beat of the chart: every trace's update() in the global pool, the
// caller (the GUI thread) waiting for all of them.
void BM_BeatOfTraces(benchmark::State &state)
{
    ShownTraces shown(int(state.range(0)));
    for (auto _ : state)
        QtConcurrent::blockingMap(shown.list, [](Korvel::Frontend::AbstractTrace *t) { t->update(); });
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BeatOfTraces)->Arg(1)->Arg(16)->UseRealTime();

// The same updates one after the other on the calling thread: the work the
// pool is handed.
void BM_TraceUpdatesHere(benchmark::State &state)
{
    ShownTraces shown(int(state.range(0)));
    for (auto _ : state)
        for (Korvel::Frontend::AbstractTrace *t : shown.list)
            t->update();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TraceUpdatesHere)->Arg(1)->Arg(16)->UseRealTime();

// The chart's beat itself, the floor the GUI thread's wait is measured on.
void BM_ChartBeatInterval(benchmark::State &state)
{
    for (auto _ : state)
        std::this_thread::sleep_for(std::chrono::milliseconds(33));
}
BENCHMARK(BM_ChartBeatInterval)->UseRealTime()->Iterations(10);

void BM_DomainY(benchmark::State &state)
{
    Trace trace;
    trace.replace(makeSeries(int(state.range(0))));
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> x(1e6, 1e10);
    std::vector<double> queries(1024);
    for (double &q : queries)
        q = x(rng);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(trace.domainY(queries[i]));
        i = (i + 1) & 1023;
    }
}
BENCHMARK(BM_DomainY)->Arg(1601)->Arg(100001);

} // namespace

// The GUI thread's wait at every beat, as a share of the beat (goal: under
// 1 %), and the pool's refresh against the same work on the calling thread
// (no goal: the hand-over costs more than the work, but it stays a small
// share of the beat).
BENCH_RATIOS_MAIN((std::vector<BenchRatios::Ratio>{
    {"BM_BeatOfTraces/16/real_time", "BM_ChartBeatInterval/iterations:10/real_time", 0.01, true},
    {"BM_BeatOfTraces/1/real_time", "BM_ChartBeatInterval/iterations:10/real_time", 0.01, true},
    {"BM_BeatOfTraces/16/real_time", "BM_TraceUpdatesHere/16/real_time", 0.0, true},
}))
