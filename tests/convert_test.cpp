// The converters: known pixels through every row, every faster row against the per-pixel
// reference at all short counts and unaligned destinations, and the selection table.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "display/convert.h"
#include "display/convert_rows.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr PixelFormat all_formats[] = {PixelFormat::xrgb8888, PixelFormat::xbgr8888, PixelFormat::rgb888,
                                       PixelFormat::bgr888,   PixelFormat::rgb565,   PixelFormat::bgr565,
                                       PixelFormat::rgb555,   PixelFormat::bgr555};

const char* format_name(PixelFormat format)
{
    constexpr const char* names[] = {"xrgb8888", "xbgr8888", "rgb888", "bgr888",
                                     "rgb565",   "bgr565",   "rgb555", "bgr555"};
    return names[static_cast<int>(format)];
}

struct Row {
    PixelFormat format;
    std::string level;
    PixelConverter convert;
};

// Every row this processor can run: the reference, the portable block path, and each
// SIMD level up to the CPU's own.
std::vector<Row> all_rows()
{
    std::vector<Row> rows;
    const SimdLevel cpu = cpu_simd_level();
    for (PixelFormat format : all_formats) {
        rows.push_back({format, "reference", reference_row(format)});
        rows.push_back({format, "block", block_row(format)});
        for (SimdLevel level : {SimdLevel::sse2, SimdLevel::ssse3, SimdLevel::avx2})
            if (level <= cpu)
                if (PixelConverter row = simd_row(format, level))
                    rows.push_back({format, simd_level_name(level), row});
    }
    return rows;
}

void PrintTo(const Row& row, std::ostream* os) { *os << format_name(row.format) << " " << row.level; }

std::string row_name(const testing::TestParamInfo<Row>& info)
{
    return std::string(format_name(info.param.format)) + "_" + info.param.level;
}

// Source pixels in a heap block of exactly `count` pixels, so a read past the run is an
// AddressSanitizer error.
std::unique_ptr<std::uint32_t[]> exact_source(const std::vector<std::uint32_t>& pixels)
{
    auto source = std::make_unique<std::uint32_t[]>(pixels.size());
    std::copy(pixels.begin(), pixels.end(), source.get());
    return source;
}

// Converts into a sentinel-filled buffer: `offset` bytes before the row, 16 after.
Bytes run(PixelConverter convert, PixelFormat format, const std::vector<std::uint32_t>& pixels, std::size_t offset)
{
    Bytes destination(offset + pixels.size() * bytes_per_pixel(format) + 16);
    for (std::size_t i = 0; i < destination.size(); ++i)
        destination[i] = static_cast<std::uint8_t>(0xA5 ^ i);
    const auto source = exact_source(pixels);
    convert(source.get(), destination.data() + offset, static_cast<std::uint32_t>(pixels.size()));
    return destination;
}

class ConverterRow : public testing::TestWithParam<Row> {};

// Values worked out by hand from the format tables; each pixel fills a 40-pixel run, so the
// block paths and the per-pixel tails of every row are both checked.
struct KnownPixel {
    std::uint32_t source;
    Bytes xrgb8888, xbgr8888, rgb888, bgr888;
    std::uint16_t rgb565, bgr565, rgb555, bgr555;
};

const KnownPixel known_pixels[] = {
    // Pure red and white.
    {0x00FF0000, {0, 0, 0xFF, 0}, {0xFF, 0, 0, 0}, {0, 0, 0xFF}, {0xFF, 0, 0}, 0xF800, 0x001F, 0x7C00, 0x001F},
    {0x00FFFFFF, {0xFF, 0xFF, 0xFF, 0}, {0xFF, 0xFF, 0xFF, 0}, {0xFF, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
     0xFFFF, 0xFFFF, 0x7FFF, 0x7FFF},
    // Truncation: 7 and 3 vanish, 8 (and green 4 in 565) is the first step, 248 and 252 are full.
    {0x00070307, {7, 3, 7, 0}, {7, 3, 7, 0}, {7, 3, 7}, {7, 3, 7}, 0, 0, 0, 0},
    {0x000804F7, {0xF7, 4, 8, 0}, {8, 4, 0xF7, 0}, {0xF7, 4, 8}, {8, 4, 0xF7}, 0x083E, 0xF021, 0x041E, 0x7801},
    {0x00F8FCF8, {0xF8, 0xFC, 0xF8, 0}, {0xF8, 0xFC, 0xF8, 0}, {0xF8, 0xFC, 0xF8}, {0xF8, 0xFC, 0xF8},
     0xFFFF, 0xFFFF, 0x7FFF, 0x7FFF},
    {0x00000800, {0, 8, 0, 0}, {0, 8, 0, 0}, {0, 8, 0}, {0, 8, 0}, 0x0040, 0x0040, 0x0020, 0x0020},
    // A top byte: kept by xrgb8888 alone, ignored by every other format.
    {0xAB123456, {0x56, 0x34, 0x12, 0xAB}, {0x12, 0x34, 0x56, 0}, {0x56, 0x34, 0x12}, {0x12, 0x34, 0x56},
     0x11AA, 0x51A2, 0x08CA, 0x28C2},
    {0xFF000000, {0, 0, 0, 0xFF}, {0, 0, 0, 0}, {0, 0, 0}, {0, 0, 0}, 0, 0, 0, 0},
};

Bytes expected_bytes(const KnownPixel& k, PixelFormat format)
{
    auto le16 = [](std::uint16_t v) { return Bytes{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}; };
    switch (format) {
    case PixelFormat::xrgb8888: return k.xrgb8888;
    case PixelFormat::xbgr8888: return k.xbgr8888;
    case PixelFormat::rgb888: return k.rgb888;
    case PixelFormat::bgr888: return k.bgr888;
    case PixelFormat::rgb565: return le16(k.rgb565);
    case PixelFormat::bgr565: return le16(k.bgr565);
    case PixelFormat::rgb555: return le16(k.rgb555);
    case PixelFormat::bgr555: return le16(k.bgr555);
    }
    return {};
}

TEST_P(ConverterRow, KnownPixels)
{
    const Row& row = GetParam();
    const std::size_t size = bytes_per_pixel(row.format);
    for (const KnownPixel& k : known_pixels) {
        const Bytes out = run(row.convert, row.format, std::vector<std::uint32_t>(40, k.source), 0);
        const Bytes want = expected_bytes(k, row.format);
        for (std::size_t i = 0; i < 40; ++i)
            ASSERT_EQ(Bytes(out.begin() + i * size, out.begin() + (i + 1) * size), want)
                << std::hex << "source 0x" << k.source << std::dec << ", pixel " << i;
    }
}

// Every count from 0 to 70 (all block/tail splits of every row) and some long runs, at
// destination offsets 0-7, must give the reference's bytes and leave every byte around the
// row as it was.
TEST_P(ConverterRow, MatchesReferenceAtEveryCountAndOffset)
{
    const Row& row = GetParam();
    std::mt19937 random(static_cast<std::uint32_t>(row.format) * 977 + 1);
    std::vector<std::uint32_t> counts;
    for (std::uint32_t count = 0; count <= 70; ++count)
        counts.push_back(count);
    for (std::uint32_t count : {255u, 320u, 1021u, 4099u})
        counts.push_back(count);
    for (std::uint32_t count : counts) {
        std::vector<std::uint32_t> pixels(count);
        for (std::uint32_t& p : pixels)
            p = static_cast<std::uint32_t>(random());  // top bytes included
        for (std::size_t offset = 0; offset < 8; ++offset)
            ASSERT_EQ(run(row.convert, row.format, pixels, offset),
                      run(reference_row(row.format), row.format, pixels, offset))
                << "count " << count << ", offset " << offset;
    }
}

// A run whose pixels all differ must come out all different and in order: catches rows
// that duplicate, drop or reorder pixels within a block, which equal pixels would hide.
TEST_P(ConverterRow, DistinctPixelsStayDistinctAndInOrder)
{
    const Row& row = GetParam();
    const std::size_t size = bytes_per_pixel(row.format);
    std::vector<std::uint32_t> pixels(333);
    for (std::uint32_t i = 0; i < pixels.size(); ++i)  // steps of 8 per channel survive 5-bit fields
        pixels[i] = (i % 32) << 3 | (i / 32 % 32) << 11 | (i / 1024) << 19 | (i * 37 % 256) << 24;
    const Bytes out = run(row.convert, row.format, pixels, 3);
    EXPECT_EQ(out, run(reference_row(row.format), row.format, pixels, 3));
    std::set<Bytes> seen;
    for (std::size_t i = 0; i < pixels.size(); ++i)
        seen.insert(Bytes(out.begin() + 3 + i * size, out.begin() + 3 + (i + 1) * size));
    EXPECT_EQ(seen.size(), pixels.size());
}

INSTANTIATE_TEST_SUITE_P(AllRows, ConverterRow, testing::ValuesIn(all_rows()), row_name);

// The row set must cover what the processor has, or the comparisons above prove little.
TEST(ConverterRows, EveryLevelTheProcessorHasHasRows)
{
    const SimdLevel cpu = cpu_simd_level();
#if defined(__SSE2__)
    EXPECT_GE(cpu, SimdLevel::sse2);
#endif
    for (SimdLevel level : {SimdLevel::sse2, SimdLevel::ssse3, SimdLevel::avx2})
        if (level <= cpu) {
            int rows = 0;
            for (PixelFormat format : all_formats)
                rows += simd_row(format, level) != nullptr;
            EXPECT_GT(rows, 0) << simd_level_name(level);
        }
}

struct Selection {
    std::uint32_t bit_count, red, green, blue;
    bool supported;
    PixelFormat format;
};

const Selection selections[] = {
    {32, 0xFF0000, 0xFF00, 0xFF, true, PixelFormat::xrgb8888},
    {32, 0xFF, 0xFF00, 0xFF0000, true, PixelFormat::xbgr8888},
    {24, 0xFF0000, 0xFF00, 0xFF, true, PixelFormat::rgb888},
    {24, 0xFF, 0xFF00, 0xFF0000, true, PixelFormat::bgr888},
    {16, 0xF800, 0x07E0, 0x001F, true, PixelFormat::rgb565},
    {16, 0x001F, 0x07E0, 0xF800, true, PixelFormat::bgr565},
    {16, 0x7C00, 0x03E0, 0x001F, true, PixelFormat::rgb555},
    {16, 0x001F, 0x03E0, 0x7C00, true, PixelFormat::bgr555},
    // Near misses: part of a row matches, or a row with another bit count.
    {16, 0xF800, 0x03E0, 0x001F, false, {}},
    {16, 0x001F, 0x07E0, 0x7C00, false, {}},
    {16, 0x7C00, 0x07E0, 0x001F, false, {}},
    {15, 0x7C00, 0x03E0, 0x001F, false, {}},
    {15, 0x001F, 0x03E0, 0x7C00, false, {}},
    {8, 0, 0, 0, false, {}},
    {0, 0, 0, 0, false, {}},
    {24, 0xF800, 0x07E0, 0x001F, false, {}},
    {32, 0xF800, 0x07E0, 0x001F, false, {}},
    {16, 0xFF0000, 0xFF00, 0xFF, false, {}},
    {32, 0xFF0000, 0xFF00, 0xFF0000, false, {}},
    {32, 0xFF000000, 0xFF0000, 0xFF00, false, {}},
    {32, 0xFF0000, 0xFF00, 0x1FF, false, {}},
    {16, 0x1F800, 0x07E0, 0x001F, false, {}},
    {16 + 0x10000, 0xF800, 0x07E0, 0x001F, false, {}},
};

TEST(SelectConverter, Table)
{
    std::mt19937 random(5);
    std::vector<std::uint32_t> pixels(333);
    for (std::uint32_t& p : pixels)
        p = static_cast<std::uint32_t>(random());
    for (const Selection& s : selections) {
        const PixelConverter chosen = select_converter(s.bit_count, s.red, s.green, s.blue);
        SCOPED_TRACE(testing::Message() << std::hex << s.bit_count << " " << s.red << " " << s.green << " " << s.blue);
        if (!s.supported) {
            EXPECT_EQ(chosen, nullptr);
            continue;
        }
        ASSERT_NE(chosen, nullptr);
        EXPECT_EQ(chosen, fastest_row(s.format, cpu_simd_level()));
        EXPECT_EQ(run(chosen, s.format, pixels, 1), run(reference_row(s.format), s.format, pixels, 1));
    }
}

}  // namespace
