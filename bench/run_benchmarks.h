// The end of every bench's main: the registered benchmarks in the console table,
// then `summary` of their runs (every repetition, no aggregates), for the bench's
// own comparisons.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <utility>
#include <vector>

using BenchRuns = std::vector<benchmark::BenchmarkReporter::Run>;

// 1 when the command line has arguments the library does not know, else 0.
inline int run_benchmarks(int& argc, char** argv, std::function<void(const BenchRuns&)> summary)
{
    class Reporter : public benchmark::ConsoleReporter {
    public:
        explicit Reporter(std::function<void(const BenchRuns&)> summary) : summary_(std::move(summary)) {}
        void ReportRuns(const BenchRuns& runs) override
        {
            for (const Run& run : runs)
                if (run.run_type == Run::RT_Iteration)
                    runs_.push_back(run);
            ConsoleReporter::ReportRuns(runs);
        }
        void Finalize() override
        {
            ConsoleReporter::Finalize();
            summary_(runs_);
        }

    private:
        std::function<void(const BenchRuns&)> summary_;
        BenchRuns runs_;
    };
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Reporter reporter(std::move(summary));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
