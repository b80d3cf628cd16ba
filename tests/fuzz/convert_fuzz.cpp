// Every converter row this processor runs, against the per-pixel reference, on inputs of
// the fuzzer's choosing. Input: byte 0 picks the format (bits 0-2) and the destination
// offset (bits 3-5); bytes 1-2 the count (low 12 bits) and the bytes kept after the run
// (high 4 bits); byte 3 the sentinel value; the rest are source pixels, little-endian,
// repeated with a step when the run is longer than the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "display/convert.h"
#include "display/convert_rows.h"

namespace {

// Row 0 is the reference, then those of rows_to_check in order.
[[noreturn]] void fail(const char* what, int format, std::size_t row, std::uint32_t count, std::size_t offset)
{
    std::fprintf(stderr, "%s: format %d, row %zu, count %u, offset %zu\n", what, format, row, count, offset);
    std::abort();
}

// The masks select_converter is asked with, read off the reference row itself: a pure
// channel converted is that channel's mask, so the table of formats is not copied here.
std::uint32_t channel_mask(PixelFormat format, std::uint32_t channel)
{
    std::uint8_t bytes[4] = {};
    reference_row(format)(&channel, bytes, 1);
    std::uint32_t mask;
    std::memcpy(&mask, bytes, sizeof mask);
    return mask;
}

// The rows compared with the reference: the portable block path, each SIMD level the
// processor has, and the one select_converter hands the display.
std::vector<PixelConverter> rows_to_check(PixelFormat format)
{
    std::vector<PixelConverter> rows{block_row(format)};
    const SimdLevel cpu = cpu_simd_level();
    for (int level = static_cast<int>(SimdLevel::sse2); level <= static_cast<int>(cpu); ++level)
        if (PixelConverter row = simd_row(format, static_cast<SimdLevel>(level)))
            rows.push_back(row);
    rows.push_back(select_converter(bytes_per_pixel(format) * 8, channel_mask(format, 0xFF0000),
                                    channel_mask(format, 0xFF00), channel_mask(format, 0xFF)));
    return rows;
}

struct Destination {
    std::unique_ptr<std::uint8_t[]> bytes;  // exactly offset + run + after, for ASan
    std::size_t size;
};

Destination converted(PixelConverter convert, const std::uint32_t* source, std::uint32_t count,
                      std::size_t offset, std::size_t run, std::size_t after, std::uint8_t sentinel)
{
    Destination d{std::make_unique<std::uint8_t[]>(offset + run + after), offset + run + after};
    std::memset(d.bytes.get(), sentinel, d.size);
    convert(source, d.bytes.get() + offset, count);
    return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const auto rows = [] {
        std::vector<std::vector<PixelConverter>> all;
        for (int f = 0; f < pixel_format_count; ++f)
            all.push_back(rows_to_check(static_cast<PixelFormat>(f)));
        return all;
    }();
    if (size < 4)
        return -1;  // not worth keeping in the corpus
    const int format_index = data[0] & 7;
    const auto format = static_cast<PixelFormat>(format_index);
    const std::size_t offset = data[0] >> 3 & 7;
    const std::uint32_t count = (data[1] | data[2] << 8) & 0xFFF;
    const std::size_t after = data[2] >> 4;
    const std::uint8_t sentinel = data[3];
    data += 4;
    size -= 4;

    // An exact-size block, so ASan sees a read of even one pixel too many.
    const std::size_t words = size / 4;
    auto source = std::make_unique<std::uint32_t[]>(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t word = 0;
        if (words > 0)
            std::memcpy(&word, data + 4 * (i % words), sizeof word);
        // Repeats differ from their originals, so a misplaced pixel cannot hide.
        source[i] = word + static_cast<std::uint32_t>(i / (words > 0 ? words : 1)) * 0x9E3779B9u;
    }

    const std::size_t run = std::size_t{count} * bytes_per_pixel(format);
    const Destination want = converted(reference_row(format), source.get(), count, offset, run, after, sentinel);
    for (std::size_t i = 0; i < want.size; ++i)
        if ((i < offset || i >= offset + run) && want.bytes[i] != sentinel)
            fail("reference wrote outside the run", format_index, 0, count, offset);
    const std::vector<PixelConverter>& format_rows = rows[format_index];
    for (std::size_t r = 0; r < format_rows.size(); ++r) {
        if (!format_rows[r])
            fail("no converter selected", format_index, r + 1, count, offset);
        const Destination got = converted(format_rows[r], source.get(), count, offset, run, after, sentinel);
        if (std::memcmp(got.bytes.get(), want.bytes.get(), want.size) != 0)
            fail("bytes differ from the reference", format_index, r + 1, count, offset);
    }
    return 0;
}
