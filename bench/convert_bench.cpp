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

std::vector<std::uint32_t> picture()
{
    std::mt19937 random(1);
    std::vector<std::uint32_t> pixels(width * height);
    for (std::uint32_t& p : pixels)
        p = static_cast<std::uint32_t>(random()) & 0xFFFFFF;
    return pixels;
}

void convert_frame(benchmark::State& state, PixelConverter convert, std::uint32_t pixel_bytes)
{
    const std::vector<std::uint32_t> source = picture();
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

void add(const std::string& name, PixelConverter row, std::uint32_t pixel_bytes)
{
    benchmark::RegisterBenchmark(name.c_str(), convert_frame, row, pixel_bytes)->Unit(benchmark::kMicrosecond);
}

bool register_all()
{
    add("memcpy", memcpy_rows, 4);
    const SimdLevel level = cpu_simd_level();
    const auto format = [](int f) { return static_cast<PixelFormat>(f); };
    // What select_converter hands the display on this processor.
    for (int f = 0; f < pixel_format_count; ++f)
        add(std::string("convert/") + format_names[f], fastest_row(format(f), level), bytes_per_pixel(format(f)));
    // The portable converters, for comparison: what a processor without SIMD rows gets.
    for (int f = 0; f < pixel_format_count; ++f)
        add(std::string("convert_block/") + format_names[f], block_row(format(f)), bytes_per_pixel(format(f)));
    // Each lower SIMD level on its own, for processors that stop short of this one's.
    for (SimdLevel lower : {SimdLevel::sse2, SimdLevel::ssse3})
        for (int f = 0; lower < level && f < pixel_format_count; ++f)
            if (PixelConverter row = simd_row(format(f), lower))
                add(std::string("convert_") + simd_level_name(lower) + "/" + format_names[f], row,
                    bytes_per_pixel(format(f)));
    return true;
}

const bool registered = register_all();

}  // namespace

BENCHMARK_MAIN();
