// Inside the converters: the formats by name, the plain per-pixel rows every faster row
// must agree with, and the rows per processor level, so tests can reach every variant.
#pragma once

#include <cstdint>

#include "display/convert.h"

enum class PixelFormat { xrgb8888, xbgr8888, rgb888, bgr888, rgb565, bgr565, rgb555, bgr555 };
constexpr int pixel_format_count = 8;

std::uint32_t bytes_per_pixel(PixelFormat format);

// Each pixel straight from the format's bit fields: the yardstick for every other row.
PixelConverter reference_row(PixelFormat format);

// The portable 64-bit-word block path: the named convert_to_... of the format.
PixelConverter block_row(PixelFormat format);

// Instruction set levels above the portable path, lowest first.
enum class SimdLevel { none, sse2, ssse3, avx2 };
const char* simd_level_name(SimdLevel level);

// The highest level this processor supports (asks the CPU: ask once).
SimdLevel cpu_simd_level();

// The row written for exactly that level, or null when the format has none there
// (or the build is not for x86). Runs only on a processor that has the level.
PixelConverter simd_row(PixelFormat format, SimdLevel level);

PixelConverter fastest_row(PixelFormat format, SimdLevel level);
