// The console table, then each benchmark's processor time against its baseline's
// (on a shared machine the wall time is mostly other work): runs named
// "group/variant" are compared with "group/<baseline>".
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::string baseline) : baseline_(std::move(baseline)) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration)
                times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const auto& [name, time] : times_) {
            const std::size_t slash = name.find('/');
            if (slash == std::string::npos)
                continue;
            const auto base = times_.find(name.substr(0, slash + 1) + baseline_);
            if (base == times_.end() || base->first == name)
                continue;
            std::printf("%-28s %.2fx the speed of %s (%.2fx its time)\n", name.c_str(), base->second / time,
                        base->first.c_str(), time / base->second);
        }
    }

private:
    std::string baseline_;
    std::map<std::string, double> times_;
};
