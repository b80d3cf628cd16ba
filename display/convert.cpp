// The reference rows, the portable block paths (the named converters) and the selection.
#include "display/convert.h"

#include <bit>
#include <cstring>

#include "display/convert_rows.h"

// The block paths move whole 64-bit words and rely on the first pixel of a word being
// its low half, as on every target of this library.
static_assert(std::endian::native == std::endian::little);

namespace {

// ---- Reference: each destination pixel from its bit fields, stored byte by byte ----

std::uint32_t red(std::uint32_t pixel) { return (pixel >> 16) & 0xFF; }
std::uint32_t green(std::uint32_t pixel) { return (pixel >> 8) & 0xFF; }
std::uint32_t blue(std::uint32_t pixel) { return pixel & 0xFF; }

std::uint32_t pack_xrgb8888(std::uint32_t p) { return p; }
std::uint32_t pack_rgb888(std::uint32_t p) { return red(p) << 16 | green(p) << 8 | blue(p); }
std::uint32_t pack_bgr888(std::uint32_t p) { return blue(p) << 16 | green(p) << 8 | red(p); }  // xbgr8888 too
std::uint32_t pack_rgb565(std::uint32_t p) { return (red(p) >> 3) << 11 | (green(p) >> 2) << 5 | blue(p) >> 3; }
std::uint32_t pack_bgr565(std::uint32_t p) { return (blue(p) >> 3) << 11 | (green(p) >> 2) << 5 | red(p) >> 3; }
std::uint32_t pack_rgb555(std::uint32_t p) { return (red(p) >> 3) << 10 | (green(p) >> 3) << 5 | blue(p) >> 3; }
std::uint32_t pack_bgr555(std::uint32_t p) { return (blue(p) >> 3) << 10 | (green(p) >> 3) << 5 | red(p) >> 3; }

template <std::uint32_t (*pack)(std::uint32_t), int bytes>
void reference(const std::uint32_t* source, std::uint8_t* destination, std::uint32_t count)
{
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t value = pack(source[i]);
        for (int b = 0; b < bytes; ++b)
            *destination++ = static_cast<std::uint8_t>(value >> (8 * b));
    }
}

// ---- Helpers of the block paths ----

std::uint64_t load64(const std::uint32_t* source)
{
    std::uint64_t word;
    std::memcpy(&word, source, sizeof word);
    return word;
}

void store64(std::uint8_t* destination, std::uint64_t word) { std::memcpy(destination, &word, sizeof word); }
void store32(std::uint8_t* destination, std::uint32_t word) { std::memcpy(destination, &word, sizeof word); }

// Two 16-bit pixels sitting in the low halves of a word's two 32-bit lanes, side by side.
std::uint32_t pair16(std::uint64_t word) { return static_cast<std::uint32_t>(word | word >> 16); }

constexpr std::uint64_t both_lanes(std::uint32_t mask) { return std::uint64_t{mask} << 32 | mask; }

// One word's two pixels in a 16-bit layout, each in the low half of its 32-bit lane.
template <const Layout16& layout>
std::uint64_t word16(std::uint64_t w)
{
    const std::uint64_t channels = w & 0x00F800F800F800F8;
    const std::uint64_t blues = channels & both_lanes(0xFFFF);
    const std::uint64_t reds = channels >> 16 & both_lanes(0xFFFF);
    // Lane-wise products: neither reaches bit 21, so nothing carries into the next pixel;
    // the lowest bit set is bit `shift`, so the shift takes nothing across lanes either.
    const std::uint64_t green = w & both_lanes(static_cast<std::uint32_t>(layout.green_mask));
    return ((blues * layout.blue_factor + reds * layout.red_factor) | green) >> layout.shift;
}

}  // namespace

// ---- The portable block paths ----

template <const Layout16& layout>
void x16_block(const std::uint32_t* source, std::uint8_t* destination, std::uint32_t count)
{
    std::uint32_t i = 0;
    for (; count - i >= 4; i += 4, destination += 8) {
        const std::uint64_t low = word16<layout>(load64(source + i));
        const std::uint64_t high = word16<layout>(load64(source + i + 2));
        store64(destination, std::uint64_t{pair16(high)} << 32 | pair16(low));
    }
    for (; i < count; ++i, destination += 2) {
        const auto value = static_cast<std::uint16_t>(word16<layout>(source[i]));
        std::memcpy(destination, &value, sizeof value);
    }
}

template void x16_block<rgb565_layout>(const std::uint32_t*, std::uint8_t*, std::uint32_t);
template void x16_block<bgr565_layout>(const std::uint32_t*, std::uint8_t*, std::uint32_t);
template void x16_block<rgb555_layout>(const std::uint32_t*, std::uint8_t*, std::uint32_t);
template void x16_block<bgr555_layout>(const std::uint32_t*, std::uint8_t*, std::uint32_t);

void xrgb8888_block(const std::uint32_t* source, std::uint8_t* destination, std::uint32_t count)
{
    std::uint32_t i = 0;
    for (; count - i >= 16; i += 16, destination += 64)
        for (int w = 0; w < 8; ++w)
            store64(destination + 8 * w, load64(source + i + 2 * w));
    const auto* rest = reinterpret_cast<const std::uint8_t*>(source + i);
    for (std::uint32_t b = 0; b < (count - i) * 4; ++b)
        destination[b] = rest[b];
}

void xbgr8888_block(const std::uint32_t* source, std::uint8_t* destination, std::uint32_t count)
{
    for (std::uint32_t i = 0; i < count; ++i, destination += 4) {
        // 0xTTRRGGBB reversed is 0xBBGGRRTT; the shift drops the top byte.
        store32(destination, __builtin_bswap32(source[i]) >> 8);
    }
}

void rgb888_block(const std::uint32_t* source, std::uint8_t* destination, std::uint32_t count)
{
    std::uint32_t i = 0;
    for (; count - i >= 4; i += 4, destination += 12) {
        const std::uint64_t first = load64(source + i);  // pixels 0 and 1
        const std::uint64_t second = load64(source + i + 2);  // pixels 2 and 3
        // Bytes 0-7: B G R of pixel 0, B G R of pixel 1, B G of pixel 2.
        store64(destination, (first & 0xFFFFFF) | (first >> 8 & 0xFFFFFF000000) | second << 48);
        // Bytes 8-11: R of pixel 2, B G R of pixel 3.
        store32(destination + 8, static_cast<std::uint32_t>((second >> 16 & 0xFF) | (second >> 24 & 0xFFFFFF00)));
    }
    for (; i < count; ++i, destination += 3) {
        const std::uint32_t p = source[i];
        destination[0] = static_cast<std::uint8_t>(p);
        destination[1] = static_cast<std::uint8_t>(p >> 8);
        destination[2] = static_cast<std::uint8_t>(p >> 16);
    }
}

void bgr888_block(const std::uint32_t* source, std::uint8_t* destination, std::uint32_t count)
{
    for (std::uint32_t i = 0; i < count; ++i, destination += 3) {
        const std::uint32_t p = source[i];
        destination[0] = static_cast<std::uint8_t>(p >> 16);
        destination[1] = static_cast<std::uint8_t>(p >> 8);
        destination[2] = static_cast<std::uint8_t>(p);
    }
}

// ---- Formats, rows and selection ----

namespace {

// Indexed by PixelFormat: the surface's bit count and colour masks, and the rows.
struct FormatRows {
    std::uint32_t bit_count, red_mask, green_mask, blue_mask;
    PixelConverter reference;
    PixelConverter block;
};

constexpr FormatRows format_rows[pixel_format_count] = {
    {32, 0xFF0000, 0xFF00, 0xFF, reference<pack_xrgb8888, 4>, xrgb8888_block},
    {32, 0xFF, 0xFF00, 0xFF0000, reference<pack_bgr888, 4>, xbgr8888_block},
    {24, 0xFF0000, 0xFF00, 0xFF, reference<pack_rgb888, 3>, rgb888_block},
    {24, 0xFF, 0xFF00, 0xFF0000, reference<pack_bgr888, 3>, bgr888_block},
    {16, 0xF800, 0x07E0, 0x001F, reference<pack_rgb565, 2>, x16_block<rgb565_layout>},
    {16, 0x001F, 0x07E0, 0xF800, reference<pack_bgr565, 2>, x16_block<bgr565_layout>},
    {16, 0x7C00, 0x03E0, 0x001F, reference<pack_rgb555, 2>, x16_block<rgb555_layout>},
    {16, 0x001F, 0x03E0, 0x7C00, reference<pack_bgr555, 2>, x16_block<bgr555_layout>},
};

}  // namespace

std::uint32_t bytes_per_pixel(PixelFormat format) { return format_rows[static_cast<int>(format)].bit_count / 8; }
PixelConverter reference_row(PixelFormat format) { return format_rows[static_cast<int>(format)].reference; }
PixelConverter block_row(PixelFormat format) { return format_rows[static_cast<int>(format)].block; }

PixelConverter fastest_row(PixelFormat format, SimdLevel level)
{
    for (int l = static_cast<int>(level); l > static_cast<int>(SimdLevel::none); --l)
        if (PixelConverter row = simd_row(format, static_cast<SimdLevel>(l)))
            return row;
    return block_row(format);
}

PixelConverter select_converter(std::uint32_t bit_count, std::uint32_t red_mask, std::uint32_t green_mask,
                                std::uint32_t blue_mask)
{
    // Exact matches only: a format that agrees with a row in part gets no converter.
    for (int f = 0; f < pixel_format_count; ++f) {
        const FormatRows& rows = format_rows[f];
        if (rows.bit_count == bit_count && rows.red_mask == red_mask && rows.green_mask == green_mask &&
            rows.blue_mask == blue_mask)
            return fastest_row(static_cast<PixelFormat>(f), cpu_simd_level());
    }
    return nullptr;
}
