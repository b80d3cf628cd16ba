// Faster rows for x86: SSE2 (the baseline of both the x86-64 and the i686 builds), and
// SSSE3 and AVX2 compiled per function, run only where select_converter found them.
// Every row converts whole blocks and hands what is left to a narrower row, ending in
// the portable converter, so the tail gives the same bytes and no store passes `count`.
// Only XMM/YMM registers are used: nothing is shared with the x87 unit, so no EMMS.
#include "display/convert_rows.h"

#include "display/cpu_features.h"

#if defined(__SSE2__)
#include <immintrin.h>

#include <array>

#define VORLIX_SSSE3 __attribute__((target("ssse3")))
#define VORLIX_AVX2 __attribute__((target("avx2")))

namespace {

using Bytes = std::uint8_t*;
using Pixels = const std::uint32_t*;

__m128i load128(Pixels source) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(source)); }
void store128(Bytes destination, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(destination), v); }

VORLIX_AVX2 __m256i load256(Pixels source) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source)); }
VORLIX_AVX2 void store256(Bytes destination, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination), v);
}

// ---- 32-bit formats ----

void xrgb8888_sse2(Pixels source, Bytes destination, std::uint32_t count)
{
    std::uint32_t i = 0;
    for (; count - i >= 16; i += 16, destination += 64) {
        const __m128i a = load128(source + i), b = load128(source + i + 4);
        const __m128i c = load128(source + i + 8), d = load128(source + i + 12);
        store128(destination, a);
        store128(destination + 16, b);
        store128(destination + 32, c);
        store128(destination + 48, d);
    }
    xrgb8888_block(source + i, destination, count - i);
}

VORLIX_AVX2 void xrgb8888_avx2(Pixels source, Bytes destination, std::uint32_t count)
{
    std::uint32_t i = 0;
    for (; count - i >= 32; i += 32, destination += 128) {
        const __m256i a = load256(source + i), b = load256(source + i + 8);
        const __m256i c = load256(source + i + 16), d = load256(source + i + 24);
        store256(destination, a);
        store256(destination + 32, b);
        store256(destination + 64, c);
        store256(destination + 96, d);
    }
    xrgb8888_sse2(source + i, destination, count - i);
}

__m128i swap_red_blue_sse2(__m128i p)
{
    const __m128i low_byte = _mm_set1_epi32(0xFF);
    const __m128i g = _mm_and_si128(p, _mm_set1_epi32(0xFF00));
    const __m128i b = _mm_slli_epi32(_mm_and_si128(p, low_byte), 16);
    const __m128i r = _mm_and_si128(_mm_srli_epi32(p, 16), low_byte);
    return _mm_or_si128(_mm_or_si128(g, b), r);
}

void xbgr8888_sse2(Pixels source, Bytes destination, std::uint32_t count)
{
    std::uint32_t i = 0;
    for (; count - i >= 8; i += 8, destination += 32) {
        store128(destination, swap_red_blue_sse2(load128(source + i)));
        store128(destination + 16, swap_red_blue_sse2(load128(source + i + 4)));
    }
    xbgr8888_block(source + i, destination, count - i);
}

// R, G, B, zero for each pixel.
VORLIX_SSSE3 __m128i xbgr_shuffle() { return _mm_setr_epi8(2, 1, 0, -1, 6, 5, 4, -1, 10, 9, 8, -1, 14, 13, 12, -1); }

VORLIX_SSSE3 void xbgr8888_ssse3(Pixels source, Bytes destination, std::uint32_t count)
{
    const __m128i order = xbgr_shuffle();
    std::uint32_t i = 0;
    for (; count - i >= 8; i += 8, destination += 32) {
        store128(destination, _mm_shuffle_epi8(load128(source + i), order));
        store128(destination + 16, _mm_shuffle_epi8(load128(source + i + 4), order));
    }
    xbgr8888_block(source + i, destination, count - i);
}

VORLIX_AVX2 void xbgr8888_avx2(Pixels source, Bytes destination, std::uint32_t count)
{
    const __m256i order = _mm256_broadcastsi128_si256(xbgr_shuffle());
    std::uint32_t i = 0;
    for (; count - i >= 16; i += 16, destination += 64) {
        store256(destination, _mm256_shuffle_epi8(load256(source + i), order));
        store256(destination + 32, _mm256_shuffle_epi8(load256(source + i + 8), order));
    }
    xbgr8888_ssse3(source + i, destination, count - i);
}

// ---- 24-bit formats ----

// Four pixels' low three bytes, back to back in bytes 0-11; bytes 12-15 zero.
__m128i pack24_sse2(__m128i p)
{
    const __m128i first = _mm_and_si128(p, _mm_set_epi32(0, 0xFFFFFF, 0, 0xFFFFFF));
    const __m128i second = _mm_and_si128(_mm_srli_epi64(p, 8), _mm_set_epi32(0xFFFF, -0x1000000, 0xFFFF, -0x1000000));
    const __m128i halves = _mm_or_si128(first, second);  // bytes 0-5 and 8-13
    const __m128i upper = _mm_srli_si128(_mm_unpackhi_epi64(_mm_setzero_si128(), halves), 2);
    return _mm_or_si128(_mm_move_epi64(halves), upper);
}

__m128i as_is(__m128i p) { return p; }

// Sixteen pixels, each four arranged and packed as above, into 48 bytes.
template <__m128i (*arrange)(__m128i), PixelConverter rest>
void x888_sse2(Pixels source, Bytes destination, std::uint32_t count)
{
    std::uint32_t i = 0;
    for (; count - i >= 16; i += 16, destination += 48) {
        const __m128i a = pack24_sse2(arrange(load128(source + i)));
        const __m128i b = pack24_sse2(arrange(load128(source + i + 4)));
        const __m128i c = pack24_sse2(arrange(load128(source + i + 8)));
        const __m128i d = pack24_sse2(arrange(load128(source + i + 12)));
        store128(destination, _mm_or_si128(a, _mm_slli_si128(b, 12)));
        store128(destination + 16, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
        store128(destination + 32, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
    }
    rest(source + i, destination, count - i);
}

// Byte shuffles that build 48 output bytes from four registers of four pixels:
// output register o takes from source registers o and o + 1.
struct Shuffles24 {
    alignas(16) std::int8_t from[3][2][16];
};

constexpr Shuffles24 make_shuffles24(bool swap_red_blue)
{
    Shuffles24 s{};
    for (int o = 0; o < 3; ++o)
        for (int k = 0; k < 2; ++k)
            for (int j = 0; j < 16; ++j) {
                const int byte = 16 * o + j, pixel = byte / 3, channel = byte % 3;
                const bool here = pixel / 4 == o + k;
                s.from[o][k][j] =
                    static_cast<std::int8_t>(here ? (pixel % 4) * 4 + (swap_red_blue ? 2 - channel : channel) : -1);
            }
    return s;
}

constexpr Shuffles24 rgb888_shuffles = make_shuffles24(false);
constexpr Shuffles24 bgr888_shuffles = make_shuffles24(true);

VORLIX_SSSE3 __m128i shuffle_mask(const std::int8_t* mask)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(mask));
}

template <const Shuffles24& shuffles, PixelConverter rest>
VORLIX_SSSE3 void x888_ssse3(Pixels source, Bytes destination, std::uint32_t count)
{
    __m128i m[3][2];
    for (int o = 0; o < 3; ++o)
        for (int k = 0; k < 2; ++k)
            m[o][k] = shuffle_mask(shuffles.from[o][k]);
    std::uint32_t i = 0;
    for (; count - i >= 16; i += 16, destination += 48) {
        const __m128i p[4] = {load128(source + i), load128(source + i + 4), load128(source + i + 8),
                              load128(source + i + 12)};
        for (int o = 0; o < 3; ++o)
            store128(destination + 16 * o,
                     _mm_or_si128(_mm_shuffle_epi8(p[o], m[o][0]), _mm_shuffle_epi8(p[o + 1], m[o][1])));
    }
    rest(source + i, destination, count - i);
}

// AVX2: each 128-bit lane packs its four pixels into 12 bytes, a dword permute closes the
// gap, and the 24 bytes go out as one 32-byte store whose last 8 bytes land on pixels that
// the next block rewrites. Only where those pixels exist; the final block stores 16 + 8.
template <const Shuffles24& shuffles, PixelConverter rest>
VORLIX_AVX2 void x888_avx2(Pixels source, Bytes destination, std::uint32_t count)
{
    // Output register 0 built from source register 0 alone is one lane's 12-byte packing.
    const __m256i pack = _mm256_broadcastsi128_si256(shuffle_mask(shuffles.from[0][0]));
    const __m256i close_gap = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
    std::uint32_t i = 0;
    for (; count - i >= 11; i += 8, destination += 24)
        store256(destination, _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(load256(source + i), pack), close_gap));
    for (; count - i >= 8; i += 8, destination += 24) {
        const __m256i v = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(load256(source + i), pack), close_gap);
        store128(destination, _mm256_castsi256_si128(v));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + 16), _mm256_extracti128_si256(v, 1));
    }
    rest(source + i, destination, count - i);
}

// ---- 16-bit formats ----

// The four formats by Layout16's routine in one multiply-add of the 16-bit halves of
// each pixel. The pack to 16 bits is signed, so the shift goes left then arithmetic right
// to sign-extend the 16-bit result.
template <const Layout16& layout>
__m128i to16_sse2(__m128i p)
{
    const __m128i channels = _mm_and_si128(p, _mm_set1_epi32(0x00F800F8));
    const __m128i factors = _mm_set1_epi32(layout.red_factor << 16 | layout.blue_factor);
    const __m128i fields =
        _mm_or_si128(_mm_madd_epi16(channels, factors), _mm_and_si128(p, _mm_set1_epi32(layout.green_mask)));
    return _mm_srai_epi32(_mm_slli_epi32(fields, 16 - layout.shift), 16);
}

template <const Layout16& layout, PixelConverter rest>
void x16_sse2(Pixels source, Bytes destination, std::uint32_t count)
{
    std::uint32_t i = 0;
    for (; count - i >= 8; i += 8, destination += 16)
        store128(destination,
                 _mm_packs_epi32(to16_sse2<layout>(load128(source + i)), to16_sse2<layout>(load128(source + i + 4))));
    rest(source + i, destination, count - i);
}

template <const Layout16& layout>
VORLIX_AVX2 __m256i to16_avx2(__m256i p)
{
    const __m256i channels = _mm256_and_si256(p, _mm256_set1_epi32(0x00F800F8));
    const __m256i factors = _mm256_set1_epi32(layout.red_factor << 16 | layout.blue_factor);
    const __m256i fields = _mm256_or_si256(_mm256_madd_epi16(channels, factors),
                                           _mm256_and_si256(p, _mm256_set1_epi32(layout.green_mask)));
    return _mm256_srai_epi32(_mm256_slli_epi32(fields, 16 - layout.shift), 16);
}

template <const Layout16& layout, PixelConverter rest>
VORLIX_AVX2 void x16_avx2(Pixels source, Bytes destination, std::uint32_t count)
{
    std::uint32_t i = 0;
    for (; count - i >= 16; i += 16, destination += 32) {
        // The pack interleaves per 128-bit lane; the qword permute puts pixels back in order.
        const __m256i packed =
            _mm256_packs_epi32(to16_avx2<layout>(load256(source + i)), to16_avx2<layout>(load256(source + i + 8)));
        store256(destination, _mm256_permute4x64_epi64(packed, 0xD8));
    }
    rest(source + i, destination, count - i);
}

constexpr auto rgb888_ssse3 = x888_ssse3<rgb888_shuffles, rgb888_block>;
constexpr auto bgr888_ssse3 = x888_ssse3<bgr888_shuffles, bgr888_block>;
constexpr auto rgb565_sse2 = x16_sse2<rgb565_layout, x16_block<rgb565_layout>>;
constexpr auto bgr565_sse2 = x16_sse2<bgr565_layout, x16_block<bgr565_layout>>;
constexpr auto rgb555_sse2 = x16_sse2<rgb555_layout, x16_block<rgb555_layout>>;
constexpr auto bgr555_sse2 = x16_sse2<bgr555_layout, x16_block<bgr555_layout>>;

// Indexed by SimdLevel (from sse2) and PixelFormat; null where a level adds nothing.
constexpr std::array<std::array<PixelConverter, pixel_format_count>, 3> rows_by_level = {{
    {xrgb8888_sse2, xbgr8888_sse2, x888_sse2<as_is, rgb888_block>, x888_sse2<swap_red_blue_sse2, bgr888_block>,
     rgb565_sse2, bgr565_sse2, rgb555_sse2, bgr555_sse2},
    {nullptr, xbgr8888_ssse3, rgb888_ssse3, bgr888_ssse3, nullptr, nullptr, nullptr, nullptr},
    {xrgb8888_avx2, xbgr8888_avx2, x888_avx2<rgb888_shuffles, rgb888_ssse3>, x888_avx2<bgr888_shuffles, bgr888_ssse3>,
     x16_avx2<rgb565_layout, rgb565_sse2>, x16_avx2<bgr565_layout, bgr565_sse2>,
     x16_avx2<rgb555_layout, rgb555_sse2>, x16_avx2<bgr555_layout, bgr555_sse2>},
}};

}  // namespace

SimdLevel cpu_simd_level()
{
    const CpuFeatures cpu = cpu_features();
    return cpu.avx2 ? SimdLevel::avx2 : cpu.ssse3 ? SimdLevel::ssse3 : SimdLevel::sse2;
}

PixelConverter simd_row(PixelFormat format, SimdLevel level)
{
    if (level == SimdLevel::none)
        return nullptr;
    return rows_by_level[static_cast<int>(level) - 1][static_cast<int>(format)];
}

#else  // no SSE2: the portable converters are the fastest rows

SimdLevel cpu_simd_level() { return SimdLevel::none; }
PixelConverter simd_row(PixelFormat, SimdLevel) { return nullptr; }

#endif

const char* simd_level_name(SimdLevel level)
{
    constexpr const char* names[] = {"none", "sse2", "ssse3", "avx2"};
    return names[static_cast<int>(level)];
}
