// Inside the converters: the formats by name, the plain per-pixel rows every faster row
// must agree with, and the rows per processor level, so tests can reach every variant.
#pragma once

#include <cstdint>

#include "display/convert.h"

enum class PixelFormat { xrgb8888, xbgr8888, rgb888, bgr888, rgb565, bgr565, rgb555, bgr555 };
constexpr int pixel_format_count = 8;

std::uint32_t bytes_per_pixel(PixelFormat format);

// The four 16-bit formats are packed by one routine, portable and SIMD alike: blue and
// red, each with its low three bits cleared, are scaled into place by the factor pair,
// green's top bits stay where they are, and one shift down lands all three in the format.
struct Layout16 {
    std::int16_t blue_factor, red_factor;
    std::int32_t green_mask;
    int shift;
};

inline constexpr Layout16 rgb565_layout{4, 8192, 0xFC00, 5};
inline constexpr Layout16 bgr565_layout{8192, 4, 0xFC00, 5};
inline constexpr Layout16 rgb555_layout{8, 8192, 0xF800, 6};
inline constexpr Layout16 bgr555_layout{8192, 8, 0xF800, 6};

// Each pixel straight from the format's bit fields: the yardstick for every other row.
PixelConverter reference_row(PixelFormat format);

// The portable 64-bit-word block path, by format or by name (where the SIMD rows end).
PixelConverter block_row(PixelFormat format);
void xrgb8888_block(const std::uint32_t* source, std::uint8_t* destination, std::uint32_t count);
void xbgr8888_block(const std::uint32_t* source, std::uint8_t* destination, std::uint32_t count);
void rgb888_block(const std::uint32_t* source, std::uint8_t* destination, std::uint32_t count);
void bgr888_block(const std::uint32_t* source, std::uint8_t* destination, std::uint32_t count);
template <const Layout16& layout>
void x16_block(const std::uint32_t* source, std::uint8_t* destination, std::uint32_t count);

// Instruction set levels above the portable path, lowest first.
enum class SimdLevel { none, sse2, ssse3, avx2 };
const char* simd_level_name(SimdLevel level);

// The highest level this processor supports (asks the CPU: ask once).
SimdLevel cpu_simd_level();

// The row written for exactly that level, or null when the format has none there
// (or the build is not for x86). Runs only on a processor that has the level.
PixelConverter simd_row(PixelFormat format, SimdLevel level);

PixelConverter fastest_row(PixelFormat format, SimdLevel level);
