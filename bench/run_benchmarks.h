// The end of every bench's main: the registered benchmarks, reported by `reporter`.
#pragma once

#include <benchmark/benchmark.h>

// 1 when the command line has arguments the library does not know, else 0.
inline int run_benchmarks(int& argc, char** argv, benchmark::BenchmarkReporter& reporter)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
