// The end of every bench's main: the registered benchmarks in the console table,
// then `summary` of their runs (every repetition, no aggregates), for the bench's
// own comparisons.
#pragma once

#include <benchmark/benchmark.h>

#include <vector>

using BenchRuns = std::vector<benchmark::BenchmarkReporter::Run>;

// 1 when the command line has arguments the library does not know, else 0.
inline int run_benchmarks(int& argc, char** argv, void (*summary)(const BenchRuns&))
{
    struct Collector : benchmark::ConsoleReporter {
        BenchRuns runs;
        void ReportRuns(const BenchRuns& these) override
        {
            for (const Run& run : these)
                if (run.run_type == Run::RT_Iteration)
                    runs.push_back(run);
            ConsoleReporter::ReportRuns(these);
        }
    } reporter;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    summary(reporter.runs);
    benchmark::Shutdown();
    return 0;
}
