// Time of one whole frame with each pixel path on the same frames of the curve,
// the lane paths' speed-up over the reference path, and how many pixels per
// frame the lanes hand back to the reference path.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/run_benchmarks.h"
#include "demo/precision.h"
#include "demo/render.h"
#include "demo/render_rule.h"

namespace {

// The yardstick: the same rule written as a plain loop, the obvious way, with
// nothing held in RenderState but the frame's parameters.
void plain_scalar_pixels()
{
    using Wide = render_rule::reference_wide;
    using std::fabs, std::nearbyint;
    const RenderState& s = render_state;
    std::int32_t last_hit = s.last_hit;
    std::uint32_t* top = frame_buffer;
    std::uint32_t* bottom = frame_buffer + frame_pixel_count - 1;
    for (int py = 0; py < 120; ++py) {
        for (int px = 0; px < 320; ++px) {
            float zx = s.x_coords[px], zy = s.y_coords[py];
            float sx = 0.0f, sy = 0.0f, acc = 0.0f;
            int pass = 0;
            while (pass < 20 && Wide{sx} + sy < 4.0f) {
                sx = static_cast<float>(Wide{zx} * zx);
                sy = static_cast<float>(Wide{zy} * zy);
                const float txy = static_cast<float>(Wide{zy} * zx * 2.0f);
                zx = static_cast<float>(Wide{sx} - sy + s.cx);
                zy = static_cast<float>(Wide{s.cy} + txy);
                const float m = static_cast<float>(Wide{zx} * zx + Wide{zy} * zy);
                if (m < s.ring_hi_sq && m > s.ring_lo_sq && pass > 0) {
                    acc = static_cast<float>(-(fabs(Wide{m} - s.c_abs_sq) / s.ring_width) + acc + 1.0f);
                    last_hit = pass;
                }
                ++pass;
                if (m > 4.0f)
                    break;
            }
            int n = 0;
            if (acc > 0.0f)
                n = static_cast<int>(nearbyint(Wide{std::sqrt(static_cast<double>(acc))} * 500.0));
            int red = 0, green = 0, blue = 0;
            if (n >= 768)
                red = green = blue = 255;
            else if (n >= 512)
                red = green = 255, blue = n - 512;
            else if (n >= 256)
                red = 255, green = n - 256;
            else
                red = n;
            const int blend = (green + red + blue) / 3;
            red = (green + red + blend) / 3;
            green = (blue + green + blend) / 3;
            blue = (red + blue + blend) / 3;
            std::uint32_t colour;
            switch (last_hit % 3) {
            case 1: colour = std::uint32_t(green) << 16 | std::uint32_t(blue) << 8 | std::uint32_t(red); break;
            case 2: colour = std::uint32_t(blue) << 16 | std::uint32_t(red) << 8 | std::uint32_t(green); break;
            default: colour = std::uint32_t(red) << 16 | std::uint32_t(green) << 8 | std::uint32_t(blue); break;
            }
            *top++ = colour;
            *bottom-- = colour;
        }
    }
    render_state.last_hit = last_hit;
}

// path: a RenderPath, or none for the plain loop.
void render_frame_with(benchmark::State& state, std::optional<RenderPath> path)
{
    precision_setup();
    render_setup();
    if (path)
        render_select_path(*path);
    std::int32_t frame = 1;
    double fallbacks = 0;
    for (auto _ : state) {
        render_seek(frame);
        if (path) {
            render_frame();
            fallbacks += render_fallback_count();
        } else {
            render_advance();
            plain_scalar_pixels();
        }
        benchmark::DoNotOptimize(frame_buffer[frame_pixel_count / 2]);
        frame = frame % 360 + 1;
    }
    if (path) {
        state.SetItemsProcessed(state.iterations());
        state.counters["fallbacks_per_frame"] = benchmark::Counter(fallbacks, benchmark::Counter::kAvgIterations);
    }
}

// After the console table, one line per path: its time per frame, its speed against
// the reference path's, and the pixels per frame it handed back to the reference
// path. Times are CPU time (the machine may be shared), the best of the repetitions.
void path_table(const BenchRuns& runs)
{
    std::map<std::string, const BenchRuns::value_type*> best;  // each benchmark's fastest repetition
    for (const auto& run : runs) {
        const BenchRuns::value_type*& kept = best[run.run_name.function_name];
        if (!kept || run.GetAdjustedCPUTime() < kept->GetAdjustedCPUTime())
            kept = &run;
    }
    const auto reference = best.find("render_frame/reference");
    if (reference == best.end())
        return;
    const double reference_ms = reference->second->GetAdjustedCPUTime();
    std::printf("\n%-14s %10s %14s %20s\n", "path", "ms/frame", "vs reference", "fallback px/frame");
    std::vector<std::string> names = {"plain_scalar"};
    for (RenderPath path : all_render_paths())
        names.push_back(render_path_name(path));
    for (const std::string& name : names) {
        const auto found = best.find("render_frame/" + name);
        if (found == best.end())
            continue;
        const double ms = found->second->GetAdjustedCPUTime();
        std::printf("%-14s %10.3f %13.2fx", name.c_str(), ms, reference_ms / ms);
        const auto& counters = found->second->counters;
        if (const auto fallbacks = counters.find("fallbacks_per_frame"); fallbacks != counters.end())
            std::printf(" %20.3f", fallbacks->second.value);
        std::printf("\n");
    }
    const auto plain = best.find("render_frame/plain_scalar");
    if (plain != best.end())
        std::printf("the reference path is %.2fx the plain scalar loop\n",
                    plain->second->GetAdjustedCPUTime() / reference_ms);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("render_frame/plain_scalar", render_frame_with, std::nullopt)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(3);
    for (RenderPath path : all_render_paths())
        if (render_path_available(path))
            benchmark::RegisterBenchmark((std::string("render_frame/") + render_path_name(path)).c_str(),
                                         render_frame_with, path)
                ->Unit(benchmark::kMillisecond)->Repetitions(3);
    return run_benchmarks(argc, argv, path_table);
}
