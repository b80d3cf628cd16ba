// The AVX2 lane path: four doubles a vector, where the processor has AVX2.
#include "demo/lane_path.h"

#if defined(__i386__) || defined(__x86_64__)
// Everything from here on is built for AVX2 (see lane_path.h); render_paths.cpp
// asks the processor before it runs any of it.
#pragma GCC target("avx2")
#include "demo/lanes_x86.h"

namespace {

// Four doubles a vector. Eight groups, four float vectors: here the longer wait for
// a block's slowest orbit pays for more passes in flight. Two groups' lanes in
// single precision fill one vector, each group a half. Colours eight at a time,
// gathered from the table.
struct Avx2
    : PredicateCompares<Avx2, LaneVectors<Avx2, LaneShape{.lanes = 4, .groups = 8, .pack = 2, .colour_width = 8},
                                          Vector<double, 4>, Vector<float, 8>, Vector<long long, 4>>> {
    template <int predicate>
    static mask compare(vd a, vd b) { return _mm256_cmp_pd(a, b, predicate); }
    template <int predicate>
    static fmask compare(vf a, vf b) { return _mm256_cmp_ps(a, b, predicate); }
    static vd sqrt(vd a) { return _mm256_sqrt_pd(a); }
    static vd min(vd a, vd b) { return _mm256_min_pd(a, b); }
    static vd max(vd a, vd b) { return _mm256_max_pd(a, b); }
    static vd abs(vd a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
    static vd exponent(vd a) { return _mm256_and_pd(a, _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FF0000000000000))); }
    static vd to_float(vd a) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(a)); }
    static vd widen(vf a, int part)
    {
        return _mm256_cvtps_pd(part == 0 ? _mm256_castps256_ps128(a) : _mm256_extractf128_ps(a, 1));
    }
    static vf narrow(const vd* parts) { return _mm256_set_m128(_mm256_cvtpd_ps(parts[1]), _mm256_cvtpd_ps(parts[0])); }
    static vf load_singles(const float* p) { return _mm256_loadu_ps(p); }
    static void store_floats(float* p, vd a) { _mm_storeu_ps(p, _mm256_cvtpd_ps(a)); }
    static void store_ints(std::int32_t* p, vd a)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_cvttpd_epi32(a));
    }
    static mask low_bits_are(vd a, long long low_mask, long long pattern)
    {
        const __m256i low = _mm256_and_si256(_mm256_castpd_si256(a), _mm256_set1_epi64x(low_mask));
        return _mm256_castsi256_pd(_mm256_cmpeq_epi64(low, _mm256_set1_epi64x(pattern)));
    }
    static mask m_and(mask a, mask b) { return _mm256_and_pd(a, b); }
    static mask m_or(mask a, mask b) { return _mm256_or_pd(a, b); }
    static mask m_andnot(mask a, mask b) { return _mm256_andnot_pd(a, b); }
    static unsigned bits(mask a) { return static_cast<unsigned>(_mm256_movemask_pd(a)); }
    static vd blend(mask m, vd if_set, vd if_clear) { return _mm256_blendv_pd(if_clear, if_set, m); }
    static vd max_where(mask m, vd a, vd b) { return _mm256_max_pd(a, _mm256_and_pd(m, b)); }
    static vf fmin(vf a, vf b) { return _mm256_min_ps(a, b); }
    static vf max_where(fmask m, vf a, vf b) { return _mm256_max_ps(a, _mm256_and_ps(m, b)); }
    static fmask m_and(fmask a, fmask b) { return _mm256_and_ps(a, b); }
    static fmask m_or(fmask a, fmask b) { return _mm256_or_ps(a, b); }
    static unsigned bits(fmask a) { return static_cast<unsigned>(_mm256_movemask_ps(a)); }
    static mask widen_mask(fmask a, int part)
    {
        const __m256i m = _mm256_castps_si256(a);
        return _mm256_castsi256_pd(
            _mm256_cvtepi32_epi64(part == 0 ? _mm256_castsi256_si128(m) : _mm256_extracti128_si256(m, 1)));
    }
    static unsigned nonzero_bytes(const std::uint8_t* p) { return nonzero_bytes_x86(p); }
    static vi load_ints(const std::int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static unsigned positive_lanes(vi a)
    {
        return static_cast<unsigned>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(a, _mm256_setzero_si256()))));
    }
    static bool any_nonzero(vi a) { return !_mm256_testz_si256(a, a); }
    static vi colours(const std::uint32_t* table, const std::int32_t* n, const std::int32_t* hit)
    {
        const vi at = _mm256_add_epi32(_mm256_mullo_epi32(load_ints(hit), _mm256_set1_epi32(colour_intensities)),
                                       _mm256_min_epi32(load_ints(n), _mm256_set1_epi32(colour_intensities - 1)));
        return _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), at, 4);
    }
    static void store_colours(std::uint32_t* p, vi a) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), a); }
    static void store_reversed(std::uint32_t* p, vi a)
    {
        store_colours(p, _mm256_permutevar8x32_epi32(a, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0)));
    }
};

}  // namespace

extern constinit const LanePath avx2_lanes = lane_path<Avx2>();
#endif
