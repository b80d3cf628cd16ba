// Time of one whole frame of the renderer, over a spread of frames of the curve.
#include <benchmark/benchmark.h>

#include "demo/precision.h"
#include "demo/render.h"

static void BM_render_frame_reference(benchmark::State& state)
{
    precision_setup();
    render_setup();
    std::int32_t frame = 1;
    for (auto _ : state) {
        render_seek(frame);
        render_frame();
        benchmark::DoNotOptimize(frame_buffer[frame_pixel_count / 2]);
        frame = frame % 360 + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_render_frame_reference)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
