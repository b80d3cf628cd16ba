// Time of one whole frame with each pixel path on the same frames of the curve,
// the lane paths' speed-up over the reference path, and how many pixels per
// frame the lanes hand back to the reference path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "demo/precision.h"
#include "demo/render.h"

namespace {

struct PathName {
    RenderPath path;
    const char* name;
};
constexpr PathName path_names[] = {
    {RenderPath::reference, "reference"},
    {RenderPath::sse2, "sse2"},
    {RenderPath::avx2, "avx2"},
    {RenderPath::avx512, "avx512"},
};

void render_frame_with(benchmark::State& state, RenderPath path)
{
    precision_setup();
    render_setup();
    render_select_path(path);
    std::int32_t frame = 1;
    double fallbacks = 0;
    for (auto _ : state) {
        render_seek(frame);
        render_frame();
        benchmark::DoNotOptimize(frame_buffer[frame_pixel_count / 2]);
        fallbacks += render_fallback_count();
        frame = frame % 360 + 1;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["fallbacks_per_frame"] = benchmark::Counter(fallbacks, benchmark::Counter::kAvgIterations);
}

// The console table, then each lane path's time against the reference path's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration)
                times_[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto reference = times_.find("render_frame/reference");
        if (reference == times_.end())
            return;
        for (const auto& [name, time] : times_)
            if (name != reference->first)
                std::printf("%-24s %.2fx the reference path\n", name.c_str(), reference->second / time);
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv)
{
    for (const PathName& p : path_names)
        if (render_path_available(p.path))
            benchmark::RegisterBenchmark((std::string("render_frame/") + p.name).c_str(), render_frame_with, p.path)
                ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
