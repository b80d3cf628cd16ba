// One 320 x 240 frame through each converter, row by row as display_update does it, and
// memcpy of the same rows as the yardstick. Bytes processed are source bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "display/convert.h"
#include "display/convert_rows.h"

namespace {

constexpr std::uint32_t width = 320;
constexpr std::uint32_t height = 240;
constexpr std::int64_t frame_bytes = std::int64_t{width} * height * 4;

void convert_frame(benchmark::State& state, PixelConverter convert, std::uint32_t pixel_bytes)
{
    std::mt19937 random(1);
    std::vector<std::uint32_t> source(width * height);
    for (std::uint32_t& p : source)
        p = static_cast<std::uint32_t>(random()) & 0xFFFFFF;
    const std::uint32_t pitch = width * pixel_bytes;
    std::vector<std::uint8_t> surface(std::size_t{pitch} * height);
    for (auto _ : state) {
        for (std::uint32_t y = 0; y < height; ++y)
            convert(source.data() + y * width, surface.data() + y * pitch, width);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(surface.data());
    state.SetBytesProcessed(state.iterations() * frame_bytes);
}

void memcpy_rows(const std::uint32_t* source, std::uint8_t* destination, std::uint32_t count)
{
    std::memcpy(destination, source, std::size_t{count} * 4);
}

const char* const format_names[pixel_format_count] = {"xrgb8888", "xbgr8888", "rgb888", "bgr888",
                                                      "rgb565",   "bgr565",   "rgb555", "bgr555"};

// Format f's converter `row` as "group/<format>".
void add(const std::string& group, int f, PixelConverter row)
{
    const std::uint32_t pixel_bytes = bytes_per_pixel(static_cast<PixelFormat>(f));
    benchmark::RegisterBenchmark((group + "/" + format_names[f]).c_str(), convert_frame, row, pixel_bytes)
        ->Unit(benchmark::kMicrosecond);
}

bool register_all()
{
    benchmark::RegisterBenchmark("memcpy", convert_frame, memcpy_rows, 4)->Unit(benchmark::kMicrosecond);
    const SimdLevel level = cpu_simd_level();
    // What select_converter hands the display on this processor.
    for (int f = 0; f < pixel_format_count; ++f)
        add("convert", f, fastest_row(static_cast<PixelFormat>(f), level));
    // The portable converters, for comparison: what a processor without SIMD rows gets.
    for (int f = 0; f < pixel_format_count; ++f)
        add("convert_block", f, block_row(static_cast<PixelFormat>(f)));
    // Each lower SIMD level on its own, for processors that stop short of this one's.
    for (SimdLevel lower : {SimdLevel::sse2, SimdLevel::ssse3})
        for (int f = 0; lower < level && f < pixel_format_count; ++f)
            if (PixelConverter row = simd_row(static_cast<PixelFormat>(f), lower))
                add(std::string("convert_") + simd_level_name(lower), f, row);
    return true;
}

const bool registered = register_all();

}  // namespace

BENCHMARK_MAIN();
