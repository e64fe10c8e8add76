#pragma once
// Ratios between benchmarks of one run: each benchmark file names the pairs
// (a measurement and its floor or reference) and the goal of their ratio;
// after the usual table the ratios are printed with their goals beside
// them. Times are the medians of the repetitions when the run repeats
// (--benchmark_repetitions), otherwise the single measurement; CPU time,
// or wall time for benchmarks that measure latency.
//
// A benchmark file uses BENCH_RATIOS_MAIN(list) in place of linking the
// library's main.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace BenchRatios {

struct Ratio
{
    Ratio(std::string numerator, std::string denominator, double goal = 0.0, bool wallTime = false,
          std::string counter = {})
        : numerator(std::move(numerator)),
          denominator(std::move(denominator)),
          goal(goal),
          wallTime(wallTime),
          counter(std::move(counter))
    {}

    std::string numerator; // benchmark name, e.g. "BM_ChirpZ/1601"
    std::string denominator; // its floor or reference in the same run
    double goal; // the ratio must not exceed it; 0: no goal
    bool wallTime; // compare wall-clock times
    std::string counter; // compare this user counter of both instead of their times
};

class Reporter : public benchmark::ConsoleReporter
{
public:
    Reporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        benchmark::ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred || run.iterations == 0)
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median)
                continue;
            const std::string name = run.run_name.str();
            Seconds &s = times[name];
            if (median || !s.fromMedian) {
                const double perUnit = benchmark::GetTimeUnitMultiplier(run.time_unit);
                s.cpu = run.GetAdjustedCPUTime() / perUnit;
                s.wall = run.GetAdjustedRealTime() / perUnit;
                s.counters.clear();
                for (const auto &counter : run.counters)
                    s.counters[counter.first] = counter.second.value;
                s.fromMedian = median;
            }
        }
    }

    void printRatios(const std::vector<Ratio> &ratios) const
    {
        std::printf("\n%-44s %-34s %9s %9s  %s\n", "benchmark", "over", "ratio", "goal", "");
        for (const Ratio &r : ratios) {
            const auto a = times.find(r.numerator);
            const auto b = times.find(r.denominator);
            if (a == times.end() || b == times.end())
                continue; // not run (filtered out)
            double ta = r.wallTime ? a->second.wall : a->second.cpu;
            double tb = r.wallTime ? b->second.wall : b->second.cpu;
            if (!r.counter.empty()) {
                const auto ca = a->second.counters.find(r.counter);
                const auto cb = b->second.counters.find(r.counter);
                if (ca == a->second.counters.end() || cb == b->second.counters.end())
                    continue; // skipped with an error
                ta = ca->second;
                tb = cb->second;
            }
            const double ratio = ta / tb;
            const std::string over = r.counter.empty() ? r.denominator : r.denominator + " (" + r.counter + ")";
            if (r.goal > 0.0) {
                std::printf("%-44s %-34s %9.3f %9.3f  %s\n", r.numerator.c_str(), over.c_str(), ratio, r.goal,
                            ratio <= r.goal ? "met" : "NOT MET");
            } else {
                std::printf("%-44s %-34s %9.3f %9s\n", r.numerator.c_str(), over.c_str(), ratio, "-");
            }
        }
        std::fflush(stdout);
    }

private:
    struct Seconds
    {
        double cpu = 0.0;
        double wall = 0.0;
        std::map<std::string, double> counters;
        bool fromMedian = false;
    };
    std::map<std::string, Seconds> times;
};

inline int run(int argc, char **argv, const std::vector<Ratio> &ratios)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios(ratios);
    benchmark::Shutdown();
    return 0;
}

} // namespace BenchRatios

#define BENCH_RATIOS_MAIN(ratios)                                                                                      \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        return BenchRatios::run(argc, argv, ratios);                                                                   \
    }
