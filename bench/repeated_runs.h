// On a shared machine the best of several short runs spread over time is the steadiest figure:
// these benchmarks repeat in random interleaving and report the minimum beside the usual
// statistics.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

inline benchmark::internal::Benchmark* reportBest(benchmark::internal::Benchmark* b)
{
    return b->ComputeStatistics(
        "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

// Repeated, interleaved short runs reported as their statistics, unless the command line says
// otherwise (later flags win).
inline void initRepeatedRuns(int argc, char** argv)
{
    static char reps[] = "--benchmark_repetitions=7",
                mix[] = "--benchmark_enable_random_interleaving=true",
                minTime[] = "--benchmark_min_time=0.05",
                brief[] = "--benchmark_report_aggregates_only=true";
    std::vector<char*> args(argv, argv + argc);
    args.insert(args.begin() + 1, {reps, mix, minTime, brief});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
}
