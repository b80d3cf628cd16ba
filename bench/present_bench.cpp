// What one presented frame costs on the SDL host, next to what drawing it costs:
// a memcpy of one frame (the yardstick), render_frame, and the demo's per-frame
// work around it, demo_count_frame (the title) and display_update (convert, blit or
// flip, present), each also in frame copies. present is unpaced (VORLIX_VSYNC=0);
// paced_run is the demo's whole loop as the programs run by default, at most one
// frame a refresh, and its processor time a second as a share of one core. Both
// count the frames they show a second, as the demo's title does.
//
// The host is whatever SDL finds: SDL_VIDEODRIVER=dummy for no display at all,
// or an X server (Xvfb) through DISPLAY; SDL_RENDER_DRIVER=opengl keeps the
// accelerated renderer that a software rasteriser would otherwise lose.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "bench/run_benchmarks.h"
#include "demo/demo.h"
#include "demo/precision.h"
#include "demo/render.h"
#include "display/display.h"
#include "platform/core.h"

// Allocations through operator new: the stand-in's own, not SDL's.
static long long allocations = 0;

void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

void frame_copy(benchmark::State& state)
{
    std::vector<std::uint32_t> from(frame_pixel_count, 0x123456), to(frame_pixel_count);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), frame_pixel_count * sizeof(std::uint32_t));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

void render(benchmark::State& state)
{
    for (auto _ : state) {
        render_frame();
        benchmark::DoNotOptimize(frame_buffer[frame_pixel_count / 2]);
    }
}

// The display opened anew, paced to the refresh or not: the host reads its
// settings when the stand-in starts afresh.
bool open_display(bool paced)
{
    setenv("VORLIX_VSYNC", paced ? "1" : "0", 1);
    platform::reset();
    if (!display_open(demo_open_title, frame_width, frame_height))
        return false;
    demo_start();
    return true;
}

void present(benchmark::State& state)
{
    render_frame();
    const long long before = allocations;
    for (auto _ : state) {
        demo_count_frame();
        display_update(frame_buffer);
    }
    state.counters["allocations_per_frame"] =
        benchmark::Counter(static_cast<double>(allocations - before), benchmark::Counter::kAvgIterations);
    state.counters["frames_per_second"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                             benchmark::Counter::kIsRate);
}

// A new window's first frames wait for it to be shown (on Wayland up to half a
// second): they are left out.
void paced_run(benchmark::State& state)
{
    display_close();
    if (!open_display(true)) {
        state.SkipWithError("no display could be opened");
        return;
    }
    for (int frame = 0; frame < 10; ++frame)
        display_update(frame_buffer);
    // The C library's clock is the processor time of the whole process, SDL's threads too.
    const std::clock_t processor_before = std::clock();
    const auto before = std::chrono::steady_clock::now();
    for (auto _ : state) {
        render_frame();
        demo_count_frame();
        display_update(frame_buffer);
        benchmark::DoNotOptimize(key_poll());
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - before;
    const double processor = static_cast<double>(std::clock() - processor_before) / CLOCKS_PER_SEC;
    state.counters["core_percent"] = 100 * processor / elapsed.count();
    state.counters["frames_per_second"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                             benchmark::Counter::kIsRate);
    display_close();
    if (!open_display(false))
        state.SkipWithError("no display could be opened again");
}

// After the console table, every time in frame copies: of wall time, which counts
// the window system's work too, and of this process's processor time, which is
// steadier on a busy machine.
void in_frame_copies(const BenchRuns& runs)
{
    if (runs.empty() || runs.front().benchmark_name() != "frame_copy")
        return;
    const BenchRuns::value_type& copy = runs.front();
    for (const auto& run : runs)
        std::printf("%-24s %8.1f frame copies (%.1f in processor time)\n", run.benchmark_name().c_str(),
                    run.GetAdjustedRealTime() / copy.GetAdjustedRealTime(),
                    run.GetAdjustedCPUTime() / copy.GetAdjustedCPUTime());
}

}  // namespace

int main(int argc, char** argv)
{
    precision_setup();
    if (!open_display(false)) {
        std::fprintf(stderr, "present_bench: no display could be opened\n");
        return 1;
    }
    benchmark::RegisterBenchmark("frame_copy", frame_copy)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("render_frame", render)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("present", present)->Unit(benchmark::kMicrosecond)->UseRealTime();
    benchmark::RegisterBenchmark("paced_run", paced_run)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime()
        ->Iterations(120);
    const int status = run_benchmarks(argc, argv, in_frame_copies);
    display_close();
    return status;
}
