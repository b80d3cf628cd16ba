// The lane paths of the pixel loop: several orbits at once in double precision,
// SSE2 everywhere and AVX2 or AVX-512 where the processor has them on x86, NEON
// on aarch64, with every pixel they cannot vouch for redone by ring_accumulate.
// The frame parameters always come from render_advance. Elsewhere there are no
// lanes, and the fastest path is the reference one.
#if defined(__i386__) || defined(__x86_64__)
#define VORLIX_X86_LANES 1
#include <immintrin.h>
#else
#define VORLIX_X86_LANES 0
#endif
#if defined(__aarch64__)
#define VORLIX_NEON_LANES 1
#include <arm_neon.h>
#else
#define VORLIX_NEON_LANES 0
#endif

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "render.h"
#include "render_lanes.h"

namespace {

// The frame's constants, as the lanes read them. The lanes hold m as the double
// r it is rounded from; fl24(r) < b exactly when r < below(b), fl24(r) > b
// exactly when r > above(b) (see lane_frame).
struct LaneFrame {
    float cx, cy, c_abs_sq, ring_width, ring_lo_sq, ring_hi_sq;
    double ring_hi_below, ring_lo_above;
    float near_lo, near_hi;  // where m may reach the ring's outer midpoints (see shade_block)
    double inverse_width;  // 1 / ring_width, rounded once
    float plain_square;  // see difference_sum
};

// One row's orbits: intensity, pass of the last ring hit (0 for none: pass 0
// never counts) and, in reading order, the pixels the lanes doubt.
struct LaneRow {
    std::int32_t intensity[frame_width];
    std::int32_t last_hit[frame_width];
    std::int16_t doubtful[frame_width];
    int doubt_count;
};

// The least square that lets zx skip its full test on a frame with this cx
// (see difference_sum); a c this small leaves every pass to the full test.
float plain_square_for(float cx) { return std::fabs(cx) >= 0x1p-20f ? 0x1p-26f : INFINITY; }

// Each pass's number as a double, so that a lane takes it with a load.
constexpr double pass_numbers[ring_max_passes] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};

// A block logs which lanes were near the ring on each pass in a byte, a row of
// bytes for each group, which nonzero_bytes scans whole.
constexpr int near_bytes = 32;
static_assert(near_bytes >= ring_max_passes, "a group's passes fit its row of bytes");

// The lane masks for each pattern of a group's near bits, so that a ring pass
// takes its mask with a load.
template <int lanes>
struct LaneBitMasks {
    std::uint64_t masks[1 << lanes][lanes];
};

template <int lanes>
constexpr LaneBitMasks<lanes> lane_bit_masks()
{
    LaneBitMasks<lanes> table{};
    for (int pattern = 0; pattern < 1 << lanes; ++pattern)
        for (int lane = 0; lane < lanes; ++lane)
            table.masks[pattern][lane] = (pattern >> lane & 1) != 0 ? ~std::uint64_t{0} : 0;
    return table;
}

// The lane paths take their colours from a table of ring_colour, filled once,
// by the pass of the last hit (0 to 19) and the intensity; every intensity from
// 767 up is white in every rotation, so the table stops there.
constexpr int colour_intensities = 768;
constexpr int colour_hits = ring_max_passes;

struct LanePathState {
    int chosen;  // 0 until a path is selected
    RenderPath path;
    int fallback_count;
    int colours_filled;
    std::uint32_t colours[colour_hits][colour_intensities];  // [last hit][intensity]
};
LanePathState lane_path_state;

bool even_float(float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return (bits & 1u) == 0;
}

// The midpoints of b and the floats beside it (midpoints of floats are doubles).
double midpoint_below(float b) { return (double{std::nextafter(b, -INFINITY)} + b) / 2; }
double midpoint_above(float b) { return (double{b} + std::nextafter(b, INFINITY)) / 2; }

// fl24(r) <= p, the float below b, exactly when r lies below the midpoint of p
// and b, or on it when the tie goes to p (p even).
double below(float b)
{
    const double mid = midpoint_below(b);
    return even_float(std::nextafter(b, -INFINITY)) ? std::nextafter(mid, INFINITY) : mid;
}

// fl24(r) >= n, the float above b, exactly when r lies above the midpoint of b
// and n, or on it when the tie goes to n.
double above(float b)
{
    const double mid = midpoint_above(b);
    return even_float(std::nextafter(b, INFINITY)) ? std::nextafter(mid, -INFINITY) : mid;
}

// The float at or below x, and at or above it.
float float_below(double x)
{
    const float f = static_cast<float>(x);
    return f > x ? std::nextafter(f, -INFINITY) : f;
}

float float_above(double x)
{
    const float f = static_cast<float>(x);
    return f < x ? std::nextafter(f, INFINITY) : f;
}

// Where mf must lie for m's double r to reach the ring's outer midpoints (see
// shade_block).
float near_low(float ring_lo_sq) { return float_below(midpoint_above(ring_lo_sq) * (1 - 0x1p-21) - 0x1p-140); }
float near_high(float ring_hi_sq) { return float_above(midpoint_below(ring_hi_sq) * (1 + 0x1p-21) + 0x1p-140); }

}  // namespace

#if VORLIX_X86_LANES
namespace {
// Bit i set where byte i of the 32 at p (aligned) is not zero.
__attribute__((target("sse2"))) inline unsigned nonzero_bytes(const std::uint8_t* p)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i* v = reinterpret_cast<const __m128i*>(p);
    const unsigned low = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(v), zero)));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(v + 1), zero)));
    return ~(low | high << 16);
}
}  // namespace

namespace sse2_lanes {
namespace {
#define LANES_TARGET __attribute__((target("sse2")))
using vd = __m128d;
using mask = __m128d;
constexpr int lanes = 2;
// Independent groups in flight, so that one orbit's latency hides behind the
// others'; more make a block wait longer for its slowest orbit (a float
// vector whose orbits have all left sits the rest out). Four pay for that
// here, in 32-bit code as well, where the eight registers make them spill.
constexpr int groups = 4;
LANES_TARGET inline vd set1(double x) { return _mm_set1_pd(x); }
LANES_TARGET inline vd add(vd a, vd b) { return _mm_add_pd(a, b); }
LANES_TARGET inline vd sub(vd a, vd b) { return _mm_sub_pd(a, b); }
LANES_TARGET inline vd mul(vd a, vd b) { return _mm_mul_pd(a, b); }
LANES_TARGET inline vd sqrt(vd a) { return _mm_sqrt_pd(a); }
LANES_TARGET inline vd min(vd a, vd b) { return _mm_min_pd(a, b); }
LANES_TARGET inline vd max(vd a, vd b) { return _mm_max_pd(a, b); }
LANES_TARGET inline vd abs(vd a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
LANES_TARGET inline vd exponent(vd a)
{
    return _mm_and_pd(a, _mm_castsi128_pd(_mm_set1_epi64x(0x7FF0000000000000)));
}
LANES_TARGET inline vd to_float(vd a) { return _mm_cvtps_pd(_mm_cvtpd_ps(a)); }
// Two groups' lanes in single precision fill one vector, each group a half.
using vf = __m128;
constexpr int pack = 2;
LANES_TARGET inline vf set1f(float x) { return _mm_set1_ps(x); }
LANES_TARGET inline vf fadd(vf a, vf b) { return _mm_add_ps(a, b); }
LANES_TARGET inline vf fmul(vf a, vf b) { return _mm_mul_ps(a, b); }
LANES_TARGET inline vd widen(vf a, int part) { return _mm_cvtps_pd(part == 0 ? a : _mm_movehl_ps(a, a)); }
LANES_TARGET inline vf narrow(const vd* parts) { return _mm_movelh_ps(_mm_cvtpd_ps(parts[0]), _mm_cvtpd_ps(parts[1])); }
LANES_TARGET inline vf load_singles(const float* p) { return _mm_loadu_ps(p); }
LANES_TARGET inline void store_floats(float* p, vd a)
{
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(_mm_cvtpd_ps(a)));
}
LANES_TARGET inline void store_ints(std::int32_t* p, vd a)
{
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_cvttpd_epi32(a));
}
LANES_TARGET inline mask lt(vd a, vd b) { return _mm_cmplt_pd(a, b); }
LANES_TARGET inline mask gt(vd a, vd b) { return _mm_cmpgt_pd(a, b); }
LANES_TARGET inline mask ge(vd a, vd b) { return _mm_cmpge_pd(a, b); }
LANES_TARGET inline mask eq(vd a, vd b) { return _mm_cmpeq_pd(a, b); }
LANES_TARGET inline mask ne(vd a, vd b) { return _mm_cmpneq_pd(a, b); }
// No 64-bit integer compare in SSE2: both 32-bit halves must match.
LANES_TARGET inline mask low_bits_are(vd a, long long low_mask, long long pattern)
{
    const __m128i low = _mm_and_si128(_mm_castpd_si128(a), _mm_set1_epi64x(low_mask));
    const __m128i halves = _mm_cmpeq_epi32(low, _mm_set1_epi64x(pattern));
    return _mm_castsi128_pd(_mm_and_si128(halves, _mm_shuffle_epi32(halves, _MM_SHUFFLE(2, 3, 0, 1))));
}
LANES_TARGET inline mask m_and(mask a, mask b) { return _mm_and_pd(a, b); }
LANES_TARGET inline mask m_or(mask a, mask b) { return _mm_or_pd(a, b); }
LANES_TARGET inline mask m_andnot(mask a, mask b) { return _mm_andnot_pd(a, b); }  // b and not a
LANES_TARGET inline mask none() { return _mm_setzero_pd(); }
LANES_TARGET inline mask all() { return _mm_castsi128_pd(_mm_set1_epi32(-1)); }
LANES_TARGET inline unsigned bits(mask a) { return static_cast<unsigned>(_mm_movemask_pd(a)); }
LANES_TARGET inline bool any(mask a) { return _mm_movemask_pd(a) != 0; }
LANES_TARGET inline vd blend(mask m, vd if_set, vd if_clear)
{
    return _mm_or_pd(_mm_and_pd(m, if_set), _mm_andnot_pd(m, if_clear));
}
// max(a, b) in the lanes of m, a elsewhere, for a and b >= 0.
LANES_TARGET inline vd max_where(mask m, vd a, vd b) { return _mm_max_pd(a, _mm_and_pd(m, b)); }
alignas(16) constexpr LaneBitMasks<lanes> bit_masks = lane_bit_masks<lanes>();
LANES_TARGET inline mask mask_of_bits(unsigned b)
{
    return _mm_load_pd(reinterpret_cast<const double*>(bit_masks.masks[b]));
}
using fmask = __m128;
LANES_TARGET inline fmask lt(vf a, vf b) { return _mm_cmplt_ps(a, b); }
LANES_TARGET inline fmask ge(vf a, vf b) { return _mm_cmpge_ps(a, b); }
LANES_TARGET inline fmask le(vf a, vf b) { return _mm_cmple_ps(a, b); }
LANES_TARGET inline vf fmin(vf a, vf b) { return _mm_min_ps(a, b); }
LANES_TARGET inline vf max_where(fmask m, vf a, vf b) { return _mm_max_ps(a, _mm_and_ps(m, b)); }
LANES_TARGET inline fmask m_and(fmask a, fmask b) { return _mm_and_ps(a, b); }
LANES_TARGET inline fmask m_or(fmask a, fmask b) { return _mm_or_ps(a, b); }
LANES_TARGET inline fmask all_f() { return _mm_castsi128_ps(_mm_set1_epi32(-1)); }
LANES_TARGET inline unsigned bits(fmask a) { return static_cast<unsigned>(_mm_movemask_ps(a)); }
LANES_TARGET inline bool any(fmask a) { return _mm_movemask_ps(a) != 0; }
LANES_TARGET inline mask widen_mask(fmask a, int part)
{
    const __m128i m = _mm_castps_si128(a);
    return _mm_castsi128_pd(part == 0 ? _mm_shuffle_epi32(m, _MM_SHUFFLE(1, 1, 0, 0))
                                      : _mm_shuffle_epi32(m, _MM_SHUFFLE(3, 3, 2, 2)));
}
#include "render_lanes.inc"
// Colours of one row from the table, written at the row's place and reversed at
// its mirror place; returns the pass of the row's last hit, or `carried` when it
// has none. Without a gather, only the lit pixels of four take the table.
LANES_TARGET std::int32_t colour_row(const LaneRow& row, const std::uint32_t* colours, std::uint32_t* top,
                                     std::uint32_t* bottom_end, std::int32_t carried)
{
    const __m128i zero = _mm_setzero_si128();
    int last = -1;
    for (int px = 0; px < frame_width; px += 4) {
        const __m128i n = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row.intensity + px));
        const __m128i hit = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row.last_hit + px));
        const unsigned unhit = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(hit, zero))));
        const unsigned hits = ~unhit & 15u;
        if (hits)
            last = px + 31 - __builtin_clz(hits);
        // Most of a frame is unlit, and black needs no table.
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(n, zero)) == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(top + px), zero);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(bottom_end - px - 3), zero);
            continue;
        }
        for (int i = px; i < px + 4; ++i) {
            const std::int32_t at = row.intensity[i] < colour_intensities ? row.intensity[i] : colour_intensities - 1;
            const std::uint32_t colour = colours[row.last_hit[i] * colour_intensities + at];
            top[i] = colour;
            bottom_end[-i] = colour;
        }
    }
    return last < 0 ? carried : row.last_hit[last];
}
#undef LANES_TARGET
#undef LANES_MASKED_COMPARES
}  // namespace
}  // namespace sse2_lanes

namespace avx2_lanes {
namespace {
#define LANES_TARGET __attribute__((target("avx2")))
using vd = __m256d;
using mask = __m256d;
constexpr int lanes = 4;
// Eight groups, four float vectors: here the longer wait for a block's slowest
// orbit pays for more passes in flight.
constexpr int groups = 8;
LANES_TARGET inline vd set1(double x) { return _mm256_set1_pd(x); }
LANES_TARGET inline vd add(vd a, vd b) { return _mm256_add_pd(a, b); }
LANES_TARGET inline vd sub(vd a, vd b) { return _mm256_sub_pd(a, b); }
LANES_TARGET inline vd mul(vd a, vd b) { return _mm256_mul_pd(a, b); }
LANES_TARGET inline vd sqrt(vd a) { return _mm256_sqrt_pd(a); }
LANES_TARGET inline vd min(vd a, vd b) { return _mm256_min_pd(a, b); }
LANES_TARGET inline vd max(vd a, vd b) { return _mm256_max_pd(a, b); }
LANES_TARGET inline vd abs(vd a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
LANES_TARGET inline vd exponent(vd a)
{
    return _mm256_and_pd(a, _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FF0000000000000)));
}
LANES_TARGET inline vd to_float(vd a) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(a)); }
// Two groups' lanes in single precision fill one vector, each group a half.
using vf = __m256;
constexpr int pack = 2;
LANES_TARGET inline vf set1f(float x) { return _mm256_set1_ps(x); }
LANES_TARGET inline vf fadd(vf a, vf b) { return _mm256_add_ps(a, b); }
LANES_TARGET inline vf fmul(vf a, vf b) { return _mm256_mul_ps(a, b); }
LANES_TARGET inline vd widen(vf a, int part)
{
    return _mm256_cvtps_pd(part == 0 ? _mm256_castps256_ps128(a) : _mm256_extractf128_ps(a, 1));
}
LANES_TARGET inline vf narrow(const vd* parts)
{
    return _mm256_set_m128(_mm256_cvtpd_ps(parts[1]), _mm256_cvtpd_ps(parts[0]));
}
LANES_TARGET inline vf load_singles(const float* p) { return _mm256_loadu_ps(p); }
LANES_TARGET inline void store_floats(float* p, vd a) { _mm_storeu_ps(p, _mm256_cvtpd_ps(a)); }
LANES_TARGET inline void store_ints(std::int32_t* p, vd a)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_cvttpd_epi32(a));
}
LANES_TARGET inline mask lt(vd a, vd b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
LANES_TARGET inline mask gt(vd a, vd b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
LANES_TARGET inline mask ge(vd a, vd b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
LANES_TARGET inline mask eq(vd a, vd b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
LANES_TARGET inline mask ne(vd a, vd b) { return _mm256_cmp_pd(a, b, _CMP_NEQ_UQ); }
LANES_TARGET inline mask low_bits_are(vd a, long long low_mask, long long pattern)
{
    const __m256i low = _mm256_and_si256(_mm256_castpd_si256(a), _mm256_set1_epi64x(low_mask));
    return _mm256_castsi256_pd(_mm256_cmpeq_epi64(low, _mm256_set1_epi64x(pattern)));
}
LANES_TARGET inline mask m_and(mask a, mask b) { return _mm256_and_pd(a, b); }
LANES_TARGET inline mask m_or(mask a, mask b) { return _mm256_or_pd(a, b); }
LANES_TARGET inline mask m_andnot(mask a, mask b) { return _mm256_andnot_pd(a, b); }  // b and not a
LANES_TARGET inline mask none() { return _mm256_setzero_pd(); }
LANES_TARGET inline mask all() { return _mm256_castsi256_pd(_mm256_set1_epi32(-1)); }
LANES_TARGET inline unsigned bits(mask a) { return static_cast<unsigned>(_mm256_movemask_pd(a)); }
LANES_TARGET inline bool any(mask a) { return _mm256_movemask_pd(a) != 0; }
LANES_TARGET inline vd blend(mask m, vd if_set, vd if_clear) { return _mm256_blendv_pd(if_clear, if_set, m); }
LANES_TARGET inline vd max_where(mask m, vd a, vd b) { return _mm256_max_pd(a, _mm256_and_pd(m, b)); }
alignas(32) constexpr LaneBitMasks<lanes> bit_masks = lane_bit_masks<lanes>();
LANES_TARGET inline mask mask_of_bits(unsigned b)
{
    return _mm256_load_pd(reinterpret_cast<const double*>(bit_masks.masks[b]));
}
using fmask = __m256;
LANES_TARGET inline fmask lt(vf a, vf b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
LANES_TARGET inline fmask ge(vf a, vf b) { return _mm256_cmp_ps(a, b, _CMP_GE_OQ); }
LANES_TARGET inline fmask le(vf a, vf b) { return _mm256_cmp_ps(a, b, _CMP_LE_OQ); }
LANES_TARGET inline vf fmin(vf a, vf b) { return _mm256_min_ps(a, b); }
LANES_TARGET inline vf max_where(fmask m, vf a, vf b) { return _mm256_max_ps(a, _mm256_and_ps(m, b)); }
LANES_TARGET inline fmask m_and(fmask a, fmask b) { return _mm256_and_ps(a, b); }
LANES_TARGET inline fmask m_or(fmask a, fmask b) { return _mm256_or_ps(a, b); }
LANES_TARGET inline fmask all_f() { return _mm256_castsi256_ps(_mm256_set1_epi32(-1)); }
LANES_TARGET inline unsigned bits(fmask a) { return static_cast<unsigned>(_mm256_movemask_ps(a)); }
LANES_TARGET inline bool any(fmask a) { return _mm256_movemask_ps(a) != 0; }
LANES_TARGET inline mask widen_mask(fmask a, int part)
{
    const __m256i m = _mm256_castps_si256(a);
    return _mm256_castsi256_pd(
        _mm256_cvtepi32_epi64(part == 0 ? _mm256_castsi256_si128(m) : _mm256_extracti128_si256(m, 1)));
}
#include "render_lanes.inc"
// Colours of one row from the table, written at the row's place and reversed at
// its mirror place; returns the pass of the row's last hit, or `carried` when it
// has none.
LANES_TARGET std::int32_t colour_row(const LaneRow& row, const std::uint32_t* colours, std::uint32_t* top,
                                     std::uint32_t* bottom_end, std::int32_t carried)
{
    const __m256i top_intensity = _mm256_set1_epi32(colour_intensities - 1);
    const __m256i stride = _mm256_set1_epi32(colour_intensities);
    const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    int last = -1;
    for (int px = 0; px < frame_width; px += 8) {
        const __m256i n = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.intensity + px));
        const __m256i hit = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.last_hit + px));
        const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(hit, stride), _mm256_min_epi32(n, top_intensity));
        // Most of a frame is unlit, and black needs no table.
        const __m256i c = _mm256_testz_si256(n, n)
                              ? _mm256_setzero_si256()
                              : _mm256_i32gather_epi32(reinterpret_cast<const int*>(colours), at, 4);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(top + px), c);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(bottom_end - px - 7), _mm256_permutevar8x32_epi32(c, reverse));
        const unsigned lit = static_cast<unsigned>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(hit, _mm256_setzero_si256()))));
        if (lit)
            last = px + 31 - __builtin_clz(lit);
    }
    return last < 0 ? carried : row.last_hit[last];
}
#undef LANES_TARGET
#undef LANES_MASKED_COMPARES
}  // namespace
}  // namespace avx2_lanes

namespace avx512_lanes {
namespace {
#define LANES_TARGET __attribute__((target("avx512f,avx512vl")))
using vd = __m512d;
using mask = __mmask8;
constexpr int lanes = 8;
// Eight groups, four float vectors, as for AVX2.
constexpr int groups = 8;
LANES_TARGET inline vd set1(double x) { return _mm512_set1_pd(x); }
LANES_TARGET inline vd add(vd a, vd b) { return _mm512_add_pd(a, b); }
LANES_TARGET inline vd sub(vd a, vd b) { return _mm512_sub_pd(a, b); }
LANES_TARGET inline vd mul(vd a, vd b) { return _mm512_mul_pd(a, b); }
LANES_TARGET inline vd sqrt(vd a) { return _mm512_maskz_sqrt_pd(0xFF, a); }
LANES_TARGET inline vd min(vd a, vd b) { return _mm512_maskz_min_pd(0xFF, a, b); }
LANES_TARGET inline vd max(vd a, vd b) { return _mm512_maskz_max_pd(0xFF, a, b); }
LANES_TARGET inline vd abs(vd a) { return _mm512_abs_pd(a); }
LANES_TARGET inline vd exponent(vd a)
{
    return _mm512_castsi512_pd(_mm512_and_si512(_mm512_castpd_si512(a), _mm512_set1_epi64(0x7FF0000000000000)));
}
// The masked forms: GCC 12 warns about the undefined pass-through of the plain ones.
LANES_TARGET inline vd to_float(vd a) { return _mm512_maskz_cvtps_pd(0xFF, _mm512_maskz_cvtpd_ps(0xFF, a)); }
// Two groups' lanes in single precision fill one vector, each group a half.
using vf = __m512;
LANES_TARGET inline vf set1f(float x) { return _mm512_set1_ps(x); }
LANES_TARGET inline vf fadd(vf a, vf b) { return _mm512_add_ps(a, b); }
LANES_TARGET inline vf fmul(vf a, vf b) { return _mm512_mul_ps(a, b); }
constexpr int pack = 2;
LANES_TARGET inline vd widen(vf a, int part)
{
    const __m512d d = _mm512_castps_pd(a);
    return _mm512_maskz_cvtps_pd(0xFF, _mm256_castpd_ps(part == 0 ? _mm512_maskz_extractf64x4_pd(0xFF, d, 0)
                                                                   : _mm512_maskz_extractf64x4_pd(0xFF, d, 1)));
}
LANES_TARGET inline vf narrow(const vd* parts)
{
    const __m256 low = _mm512_maskz_cvtpd_ps(0xFF, parts[0]), high = _mm512_maskz_cvtpd_ps(0xFF, parts[1]);
    return _mm512_castpd_ps(
        _mm512_maskz_insertf64x4(0xFF, _mm512_castpd256_pd512(_mm256_castps_pd(low)), _mm256_castps_pd(high), 1));
}
LANES_TARGET inline vf load_singles(const float* p) { return _mm512_loadu_ps(p); }
LANES_TARGET inline void store_floats(float* p, vd a) { _mm256_storeu_ps(p, _mm512_maskz_cvtpd_ps(0xFF, a)); }
LANES_TARGET inline void store_ints(std::int32_t* p, vd a)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm512_maskz_cvttpd_epi32(0xFF, a));
}
LANES_TARGET inline mask lt(vd a, vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
LANES_TARGET inline mask gt(vd a, vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
LANES_TARGET inline mask ge(vd a, vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
LANES_TARGET inline mask eq(vd a, vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
LANES_TARGET inline mask ne(vd a, vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_NEQ_UQ); }
LANES_TARGET inline mask low_bits_are(vd a, long long low_mask, long long pattern)
{
    const __m512i low = _mm512_and_si512(_mm512_castpd_si512(a), _mm512_set1_epi64(low_mask));
    return _mm512_cmpeq_epi64_mask(low, _mm512_set1_epi64(pattern));
}
LANES_TARGET inline mask m_and(mask a, mask b) { return static_cast<mask>(a & b); }
LANES_TARGET inline mask m_or(mask a, mask b) { return static_cast<mask>(a | b); }
LANES_TARGET inline mask m_andnot(mask a, mask b) { return static_cast<mask>(~a & b); }  // b and not a
// Compares under a mask, in one instruction.
#define LANES_MASKED_COMPARES
LANES_TARGET inline mask lt_where(mask m, vd a, vd b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_LT_OQ); }
LANES_TARGET inline mask gt_where(mask m, vd a, vd b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_GT_OQ); }
LANES_TARGET inline mask none() { return 0; }
LANES_TARGET inline mask all() { return 0xFF; }
LANES_TARGET inline unsigned bits(mask a) { return a; }
LANES_TARGET inline bool any(mask a) { return a != 0; }
LANES_TARGET inline vd blend(mask m, vd if_set, vd if_clear) { return _mm512_mask_blend_pd(m, if_clear, if_set); }
LANES_TARGET inline vd max_where(mask m, vd a, vd b) { return _mm512_mask_max_pd(a, m, a, b); }
LANES_TARGET inline mask mask_of_bits(unsigned b) { return static_cast<mask>(b); }
// The sixteen single-precision lanes are compared into a mask register too.
using fmask = __mmask16;
LANES_TARGET inline fmask lt(vf a, vf b) { return _mm512_cmp_ps_mask(a, b, _CMP_LT_OQ); }
LANES_TARGET inline fmask ge(vf a, vf b) { return _mm512_cmp_ps_mask(a, b, _CMP_GE_OQ); }
LANES_TARGET inline fmask le(vf a, vf b) { return _mm512_cmp_ps_mask(a, b, _CMP_LE_OQ); }
LANES_TARGET inline vf fmin(vf a, vf b) { return _mm512_maskz_min_ps(0xFFFF, a, b); }
LANES_TARGET inline vf max_where(fmask m, vf a, vf b) { return _mm512_mask_max_ps(a, m, a, b); }
LANES_TARGET inline fmask m_and(fmask a, fmask b) { return static_cast<fmask>(a & b); }
LANES_TARGET inline fmask m_or(fmask a, fmask b) { return static_cast<fmask>(a | b); }
LANES_TARGET inline fmask all_f() { return 0xFFFF; }
LANES_TARGET inline unsigned bits(fmask a) { return a; }
LANES_TARGET inline bool any(fmask a) { return a != 0; }
LANES_TARGET inline mask widen_mask(fmask a, int part) { return static_cast<mask>(part == 0 ? a : a >> 8); }
#include "render_lanes.inc"
// Colours of one row from the table, written at the row's place and reversed at
// its mirror place; returns the pass of the row's last hit, or `carried` when it
// has none.
LANES_TARGET std::int32_t colour_row(const LaneRow& row, const std::uint32_t* colours, std::uint32_t* top,
                                     std::uint32_t* bottom_end, std::int32_t carried)
{
    const __m512i top_intensity = _mm512_set1_epi32(colour_intensities - 1);
    const __m512i stride = _mm512_set1_epi32(colour_intensities);
    const __m512i reverse = _mm512_setr_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    int last = -1;
    for (int px = 0; px < frame_width; px += 16) {
        const __m512i n = _mm512_loadu_si512(row.intensity + px);
        const __m512i hit = _mm512_loadu_si512(row.last_hit + px);
        const __m512i at =
            _mm512_add_epi32(_mm512_mullo_epi32(hit, stride), _mm512_maskz_min_epi32(0xFFFF, n, top_intensity));
        // Most of a frame is unlit, and black needs no table.
        const __m512i c = _mm512_test_epi32_mask(n, n) != 0
                              ? _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), 0xFFFF, at, colours, 4)
                              : _mm512_setzero_si512();
        _mm512_storeu_si512(top + px, c);
        _mm512_storeu_si512(bottom_end - px - 15, _mm512_maskz_permutexvar_epi32(0xFFFF, reverse, c));
        const unsigned lit = _mm512_test_epi32_mask(hit, hit);
        if (lit)
            last = px + 31 - __builtin_clz(lit);
    }
    return last < 0 ? carried : row.last_hit[last];
}
#undef LANES_TARGET
#undef LANES_MASKED_COMPARES
}  // namespace
}  // namespace avx512_lanes
#endif

#if VORLIX_NEON_LANES
// Two doubles a vector, and every aarch64 processor has them. The kernel needs
// FPCR as precision_setup leaves it, in its default state: every operation and
// conversion rounds to nearest, ties to even, and FZ is clear, so that float
// results below 2^-126 stay subnormal as the reference's do.
namespace neon_lanes {
namespace {
#define LANES_TARGET
using vd = float64x2_t;
using mask = uint64x2_t;
constexpr int lanes = 2;
constexpr int groups = 2;
LANES_TARGET inline vd set1(double x) { return vdupq_n_f64(x); }
LANES_TARGET inline vd add(vd a, vd b) { return vaddq_f64(a, b); }
LANES_TARGET inline vd sub(vd a, vd b) { return vsubq_f64(a, b); }
LANES_TARGET inline vd mul(vd a, vd b) { return vmulq_f64(a, b); }
LANES_TARGET inline vd sqrt(vd a) { return vsqrtq_f64(a); }
LANES_TARGET inline vd min(vd a, vd b) { return vminq_f64(a, b); }
LANES_TARGET inline vd max(vd a, vd b) { return vmaxq_f64(a, b); }
LANES_TARGET inline vd abs(vd a) { return vabsq_f64(a); }
LANES_TARGET inline vd exponent(vd a)
{
    return vreinterpretq_f64_u64(vandq_u64(vreinterpretq_u64_f64(a), vdupq_n_u64(0x7FF0000000000000)));
}
LANES_TARGET inline vd to_float(vd a) { return vcvt_f64_f32(vcvt_f32_f64(a)); }
using vf = float32x2_t;
LANES_TARGET inline vf set1f(float x) { return vdup_n_f32(x); }
LANES_TARGET inline vf fadd(vf a, vf b) { return vadd_f32(a, b); }
LANES_TARGET inline vf fmul(vf a, vf b) { return vmul_f32(a, b); }
constexpr int pack = 1;
LANES_TARGET inline vd widen(vf a, int) { return vcvt_f64_f32(a); }
LANES_TARGET inline vf narrow(const vd* parts) { return vcvt_f32_f64(parts[0]); }
LANES_TARGET inline vf load_singles(const float* p) { return vld1_f32(p); }
LANES_TARGET inline void store_floats(float* p, vd a) { vst1_f32(p, vcvt_f32_f64(a)); }
LANES_TARGET inline void store_ints(std::int32_t* p, vd a) { vst1_s32(p, vmovn_s64(vcvtq_s64_f64(a))); }
LANES_TARGET inline mask lt(vd a, vd b) { return vcltq_f64(a, b); }
LANES_TARGET inline mask gt(vd a, vd b) { return vcgtq_f64(a, b); }
LANES_TARGET inline mask ge(vd a, vd b) { return vcgeq_f64(a, b); }
LANES_TARGET inline mask eq(vd a, vd b) { return vceqq_f64(a, b); }
LANES_TARGET inline mask ne(vd a, vd b) { return vreinterpretq_u64_u32(vmvnq_u32(vreinterpretq_u32_u64(eq(a, b)))); }
LANES_TARGET inline mask low_bits_are(vd a, long long low_mask, long long pattern)
{
    const uint64x2_t low = vandq_u64(vreinterpretq_u64_f64(a), vdupq_n_u64(static_cast<std::uint64_t>(low_mask)));
    return vceqq_u64(low, vdupq_n_u64(static_cast<std::uint64_t>(pattern)));
}
LANES_TARGET inline mask m_and(mask a, mask b) { return vandq_u64(a, b); }
LANES_TARGET inline mask m_or(mask a, mask b) { return vorrq_u64(a, b); }
LANES_TARGET inline mask m_andnot(mask a, mask b) { return vbicq_u64(b, a); }  // b and not a
LANES_TARGET inline mask none() { return vdupq_n_u64(0); }
LANES_TARGET inline mask all() { return vdupq_n_u64(~std::uint64_t{0}); }
LANES_TARGET inline unsigned bits(mask a)
{
    return static_cast<unsigned>((vgetq_lane_u64(a, 0) & 1) | (vgetq_lane_u64(a, 1) & 2));
}
LANES_TARGET inline bool any(mask a) { return vmaxvq_u32(vreinterpretq_u32_u64(a)) != 0; }
LANES_TARGET inline vd blend(mask m, vd if_set, vd if_clear) { return vbslq_f64(m, if_set, if_clear); }
LANES_TARGET inline vd max_where(mask m, vd a, vd b)
{
    return vmaxq_f64(a, vreinterpretq_f64_u64(vandq_u64(m, vreinterpretq_u64_f64(b))));
}
constexpr LaneBitMasks<lanes> bit_masks = lane_bit_masks<lanes>();
LANES_TARGET inline mask mask_of_bits(unsigned b) { return vld1q_u64(bit_masks.masks[b]); }
using fmask = uint32x2_t;
LANES_TARGET inline fmask lt(vf a, vf b) { return vclt_f32(a, b); }
LANES_TARGET inline fmask ge(vf a, vf b) { return vcge_f32(a, b); }
LANES_TARGET inline fmask le(vf a, vf b) { return vcle_f32(a, b); }
LANES_TARGET inline vf fmin(vf a, vf b) { return vmin_f32(a, b); }
LANES_TARGET inline vf max_where(fmask m, vf a, vf b)
{
    return vmax_f32(a, vreinterpret_f32_u32(vand_u32(m, vreinterpret_u32_f32(b))));
}
LANES_TARGET inline fmask m_and(fmask a, fmask b) { return vand_u32(a, b); }
LANES_TARGET inline fmask m_or(fmask a, fmask b) { return vorr_u32(a, b); }
LANES_TARGET inline fmask all_f() { return vdup_n_u32(~0u); }
LANES_TARGET inline unsigned bits(fmask a) { return (vget_lane_u32(a, 0) & 1u) | (vget_lane_u32(a, 1) & 2u); }
LANES_TARGET inline bool any(fmask a) { return vmaxv_u32(a) != 0; }
LANES_TARGET inline mask widen_mask(fmask a, int) { return vreinterpretq_u64_s64(vmovl_s32(vreinterpret_s32_u32(a))); }
// Bit i set where byte i of the 32 at p is not zero.
LANES_TARGET inline unsigned nonzero_bytes(const std::uint8_t* p)
{
    static constexpr std::uint8_t weights[16] = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
    const uint8x16_t w = vld1q_u8(weights), low = vld1q_u8(p), high = vld1q_u8(p + 16);
    const uint8x16_t low_bits = vandq_u8(vtstq_u8(low, low), w), high_bits = vandq_u8(vtstq_u8(high, high), w);
    return vaddv_u8(vget_low_u8(low_bits)) | vaddv_u8(vget_high_u8(low_bits)) << 8 |
           vaddv_u8(vget_low_u8(high_bits)) << 16 | static_cast<unsigned>(vaddv_u8(vget_high_u8(high_bits))) << 24;
}
#include "render_lanes.inc"
#undef LANES_TARGET
#undef LANES_MASKED_COMPARES
}  // namespace
}  // namespace neon_lanes
#endif

namespace {

// The NEON lanes' colours (the x86 lanes have their own); unused without lanes.
[[maybe_unused]] std::int32_t colour_row(const LaneRow& row, const std::uint32_t* colours,
                                         std::uint32_t* top, std::uint32_t* bottom_end, std::int32_t carried)
{
    for (int px = 0; px < frame_width; ++px) {
        const std::int32_t n = row.intensity[px], hit = row.last_hit[px];
        carried = hit != 0 ? hit : carried;
        const int at = hit * colour_intensities + (n < colour_intensities ? n : colour_intensities - 1);
        const std::uint32_t colour = colours[at];
        top[px] = colour;
        bottom_end[-px] = colour;
    }
    return carried;
}

using ShadeRow = void (*)(const float*, float, const LaneFrame&, LaneRow&);
using ColourRow = std::int32_t (*)(const LaneRow&, const std::uint32_t*, std::uint32_t*, std::uint32_t*, std::int32_t);
using Probe = int (*)(LaneProbe, float, float, float, int, float&);

struct LaneKernel {
    ShadeRow shade_row;
    ColourRow colour_row;
    Probe probe;
    int probe_width;  // lanes of a float vector
};

LaneKernel lane_kernel(RenderPath path)
{
    switch (path) {
#if VORLIX_X86_LANES
    case RenderPath::sse2:
        return {sse2_lanes::shade_row, sse2_lanes::colour_row, sse2_lanes::probe, sse2_lanes::probe_width};
    case RenderPath::avx2:
        return {avx2_lanes::shade_row, avx2_lanes::colour_row, avx2_lanes::probe, avx2_lanes::probe_width};
    case RenderPath::avx512:
        return {avx512_lanes::shade_row, avx512_lanes::colour_row, avx512_lanes::probe, avx512_lanes::probe_width};
#endif
#if VORLIX_NEON_LANES
    case RenderPath::neon: return {neon_lanes::shade_row, colour_row, neon_lanes::probe, neon_lanes::probe_width};
#endif
    default: break;
    }
    return {nullptr, nullptr, nullptr, 0};
}

void fill_colours()
{
    for (int hit = 0; hit < colour_hits; ++hit)
        for (int n = 0; n < colour_intensities; ++n)
            lane_path_state.colours[hit][n] = ring_colour(n, hit);
    lane_path_state.colours_filled = 1;
}

LaneFrame lane_frame()
{
    const RenderState& s = render_state;
    LaneFrame fr{s.cx, s.cy, s.c_abs_sq, s.ring_width, s.ring_lo_sq, s.ring_hi_sq, 0, 0, 0, 0, 0, 0};
    fr.ring_hi_below = below(s.ring_hi_sq);
    fr.ring_lo_above = above(s.ring_lo_sq);
    fr.near_lo = near_low(s.ring_lo_sq);
    fr.near_hi = near_high(s.ring_hi_sq);
    fr.inverse_width = 1.0 / s.ring_width;
    fr.plain_square = plain_square_for(s.cx);
    return fr;
}

void render_pixels_lanes(const LaneKernel& kernel)
{
    RenderState& s = render_state;
    if (!lane_path_state.colours_filled)
        fill_colours();
    const LaneFrame fr = lane_frame();
    LaneRow row;
    int fallbacks = 0;
    std::int32_t carried_hit = s.last_hit;
    for (int py = 0; py < ring_rows_computed; ++py) {
        const float zy = s.y_coords[py];
        kernel.shade_row(s.x_coords, zy, fr, row);
        for (int i = 0; i < row.doubt_count; ++i) {
            const int px = row.doubtful[i];
            std::int32_t last_hit = 0;
            row.intensity[px] = ring_intensity(ring_accumulate(s.x_coords[px], zy, last_hit));
            row.last_hit[px] = last_hit;
        }
        fallbacks += row.doubt_count;
        // The reference leaves last_hit at the last hit of the last pixel that
        // had one; a lit pixel's colour uses its own last hit, and an unlit one
        // is black (intensity 0) whatever the hit.
        carried_hit = kernel.colour_row(row, &lane_path_state.colours[0][0], s.top, s.bottom, carried_hit);
        s.top += frame_width;
        s.bottom -= frame_width;
    }
    s.last_hit = carried_hit;
    lane_path_state.fallback_count = fallbacks;
}

}  // namespace

int render_path_available(RenderPath path)
{
    switch (path) {
    case RenderPath::reference: return 1;
    case RenderPath::software: return VORLIX_RENDER_SOFTWARE;
#if VORLIX_X86_LANES
    case RenderPath::sse2: __builtin_cpu_init(); return __builtin_cpu_supports("sse2");
    case RenderPath::avx2: __builtin_cpu_init(); return __builtin_cpu_supports("avx2");
    case RenderPath::avx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
#endif
    case RenderPath::neon: return VORLIX_NEON_LANES;
    default: break;
    }
    return 0;
}

const char* render_path_name(RenderPath path)
{
    switch (path) {
    case RenderPath::reference: return "reference";
    case RenderPath::software: return "software";
    case RenderPath::sse2: return "sse2";
    case RenderPath::avx2: return "avx2";
    case RenderPath::avx512: return "avx512";
    case RenderPath::neon: return "neon";
    }
    return "?";
}

RenderPath render_best_path()
{
    for (RenderPath path : {RenderPath::avx512, RenderPath::avx2, RenderPath::sse2, RenderPath::neon})
        if (render_path_available(path))
            return path;
    return RenderPath::reference;
}

int render_select_path(RenderPath path)
{
    if (!render_path_available(path))
        return 0;
    lane_path_state.path = path;
    lane_path_state.chosen = 1;
    return 1;
}

RenderPath render_selected_path()
{
    if (!lane_path_state.chosen)
        render_select_path(render_best_path());
    return lane_path_state.path;
}

void render_pixels(RenderPath path)
{
    const LaneKernel kernel = render_path_available(path) ? lane_kernel(path) : LaneKernel{};
    if (!kernel.shade_row) {
#if VORLIX_RENDER_SOFTWARE
        if (path == RenderPath::software)
            render_pixels_software();
        else
#endif
            render_pixels_reference();
        lane_path_state.fallback_count = 0;
        return;
    }
    render_pixels_lanes(kernel);
}

int render_fallback_count() { return lane_path_state.fallback_count; }

int render_lane_width(RenderPath path)
{
    return render_path_available(path) ? lane_kernel(path).probe_width : 0;
}

int render_lane_probe(RenderPath path, LaneProbe probe, float a, float b, float c, float& result, int lane)
{
    const LaneKernel kernel = render_path_available(path) ? lane_kernel(path) : LaneKernel{};
    if (!kernel.probe || lane < 0 || lane >= kernel.probe_width)
        return 0;
    return kernel.probe(probe, a, b, c, lane, result);
}
