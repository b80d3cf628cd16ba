// The SSE2 lane path: two doubles a vector, on every x86 processor this runs on.
#include "demo/lane_path.h"

#if defined(__i386__) || defined(__x86_64__)
// Everything from here on is built for SSE2 (see lane_path.h).
#pragma GCC target("sse2")
#include "demo/lanes_x86.h"

namespace {

// Two doubles a vector. Independent groups in flight, so that one orbit's latency
// hides behind the others'; more make a block wait longer for its slowest orbit (a
// float vector whose orbits have all left sits the rest out). Four pay for that
// here, in 32-bit code as well, where the eight registers make them spill. Two
// groups' lanes in single precision fill one vector, each group a half. Colours
// four at a time; without a gather, each lit pixel takes the table on its own.
struct Sse2 : LaneVectors<Sse2, LaneShape{.lanes = 2, .groups = 4, .pack = 2, .colour_width = 4},
                          Vector<double, 2>, Vector<float, 4>, Vector<long long, 2>> {
    static vd sqrt(vd a) { return _mm_sqrt_pd(a); }
    static vd min(vd a, vd b) { return _mm_min_pd(a, b); }
    static vd max(vd a, vd b) { return _mm_max_pd(a, b); }
    static vd abs(vd a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
    static vd exponent(vd a) { return _mm_and_pd(a, _mm_castsi128_pd(_mm_set1_epi64x(0x7FF0000000000000))); }
    static vd to_float(vd a) { return _mm_cvtps_pd(_mm_cvtpd_ps(a)); }
    static vd widen(vf a, int part) { return _mm_cvtps_pd(part == 0 ? a : _mm_movehl_ps(a, a)); }
    static vf narrow(const vd* parts) { return _mm_movelh_ps(_mm_cvtpd_ps(parts[0]), _mm_cvtpd_ps(parts[1])); }
    static vf load_singles(const float* p) { return _mm_loadu_ps(p); }
    static void store_floats(float* p, vd a)
    {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(_mm_cvtpd_ps(a)));
    }
    static void store_ints(std::int32_t* p, vd a)
    {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_cvttpd_epi32(a));
    }
    static mask lt(vd a, vd b) { return _mm_cmplt_pd(a, b); }
    static mask gt(vd a, vd b) { return _mm_cmpgt_pd(a, b); }
    static mask ge(vd a, vd b) { return _mm_cmpge_pd(a, b); }
    static mask eq(vd a, vd b) { return _mm_cmpeq_pd(a, b); }
    static mask ne(vd a, vd b) { return _mm_cmpneq_pd(a, b); }
    // No 64-bit integer compare in SSE2: both 32-bit halves must match.
    static mask low_bits_are(vd a, long long low_mask, long long pattern)
    {
        const __m128i low = _mm_and_si128(_mm_castpd_si128(a), _mm_set1_epi64x(low_mask));
        const __m128i halves = _mm_cmpeq_epi32(low, _mm_set1_epi64x(pattern));
        return _mm_castsi128_pd(_mm_and_si128(halves, _mm_shuffle_epi32(halves, _MM_SHUFFLE(2, 3, 0, 1))));
    }
    static mask m_and(mask a, mask b) { return _mm_and_pd(a, b); }
    static mask m_or(mask a, mask b) { return _mm_or_pd(a, b); }
    static mask m_andnot(mask a, mask b) { return _mm_andnot_pd(a, b); }
    static unsigned bits(mask a) { return static_cast<unsigned>(_mm_movemask_pd(a)); }
    static vd blend(mask m, vd if_set, vd if_clear)
    {
        return _mm_or_pd(_mm_and_pd(m, if_set), _mm_andnot_pd(m, if_clear));
    }
    static vd max_where(mask m, vd a, vd b) { return _mm_max_pd(a, _mm_and_pd(m, b)); }
    static fmask lt(vf a, vf b) { return _mm_cmplt_ps(a, b); }
    static fmask ge(vf a, vf b) { return _mm_cmpge_ps(a, b); }
    static fmask le(vf a, vf b) { return _mm_cmple_ps(a, b); }
    static vf fmin(vf a, vf b) { return _mm_min_ps(a, b); }
    static vf max_where(fmask m, vf a, vf b) { return _mm_max_ps(a, _mm_and_ps(m, b)); }
    static fmask m_and(fmask a, fmask b) { return _mm_and_ps(a, b); }
    static fmask m_or(fmask a, fmask b) { return _mm_or_ps(a, b); }
    static unsigned bits(fmask a) { return static_cast<unsigned>(_mm_movemask_ps(a)); }
    static mask widen_mask(fmask a, int part)
    {
        const __m128i m = _mm_castps_si128(a);
        return _mm_castsi128_pd(part == 0 ? _mm_shuffle_epi32(m, _MM_SHUFFLE(1, 1, 0, 0))
                                          : _mm_shuffle_epi32(m, _MM_SHUFFLE(3, 3, 2, 2)));
    }
    static unsigned nonzero_bytes(const std::uint8_t* p) { return nonzero_bytes_x86(p); }
    static vi load_ints(const std::int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static unsigned positive_lanes(vi a)
    {
        return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(a, _mm_setzero_si128()))));
    }
    static bool any_nonzero(vi a) { return _mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128())) != 0xFFFF; }
    static void store_colours(std::uint32_t* p, vi a) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), a); }
    static void store_reversed(std::uint32_t* p, vi a)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_shuffle_epi32(a, _MM_SHUFFLE(0, 1, 2, 3)));
    }
};

}  // namespace

extern constinit const LanePath sse2_lanes = lane_path<Sse2>();
#endif
