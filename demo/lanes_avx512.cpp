// The AVX-512 lane path: eight doubles a vector, and compares into mask
// registers, where the processor has AVX-512F and VL.
#include "demo/lane_path.h"

#if defined(__i386__) || defined(__x86_64__)
// Everything from here on is built for AVX-512 (see lane_path.h); render_paths.cpp
// asks the processor before it runs any of it.
#pragma GCC target("avx512f,avx512vl")
#include "demo/lanes_x86.h"

namespace {

// Eight doubles a vector, and compares into mask registers, a bit a lane. Eight
// groups, four float vectors, as for AVX2; colours sixteen at a time, gathered from
// the table. The masked forms where a plain one exists: GCC 12 warns about the
// undefined pass-through of the plain ones.
struct Avx512
    : PredicateCompares<Avx512, LaneVectors<Avx512, LaneShape{.lanes = 8, .groups = 8, .pack = 2, .colour_width = 16},
                                            Vector<double, 8>, Vector<float, 16>, Vector<long long, 8>, __mmask8,
                                            __mmask16>> {
    template <int predicate>
    static mask compare(vd a, vd b) { return _mm512_cmp_pd_mask(a, b, predicate); }
    template <int predicate>
    static fmask compare(vf a, vf b) { return _mm512_cmp_ps_mask(a, b, predicate); }
    static vd sqrt(vd a) { return _mm512_maskz_sqrt_pd(0xFF, a); }
    static vd min(vd a, vd b) { return _mm512_maskz_min_pd(0xFF, a, b); }
    static vd max(vd a, vd b) { return _mm512_maskz_max_pd(0xFF, a, b); }
    static vd abs(vd a) { return _mm512_abs_pd(a); }
    static vd exponent(vd a)
    {
        return _mm512_castsi512_pd(_mm512_and_si512(_mm512_castpd_si512(a), _mm512_set1_epi64(0x7FF0000000000000)));
    }
    static vd to_float(vd a) { return _mm512_maskz_cvtps_pd(0xFF, _mm512_maskz_cvtpd_ps(0xFF, a)); }
    static vd widen(vf a, int part)
    {
        const __m512d d = _mm512_castps_pd(a);
        return _mm512_maskz_cvtps_pd(0xFF, _mm256_castpd_ps(part == 0 ? _mm512_maskz_extractf64x4_pd(0xFF, d, 0)
                                                                       : _mm512_maskz_extractf64x4_pd(0xFF, d, 1)));
    }
    static vf narrow(const vd* parts)
    {
        const __m256 low = _mm512_maskz_cvtpd_ps(0xFF, parts[0]), high = _mm512_maskz_cvtpd_ps(0xFF, parts[1]);
        return _mm512_castpd_ps(
            _mm512_maskz_insertf64x4(0xFF, _mm512_castpd256_pd512(_mm256_castps_pd(low)), _mm256_castps_pd(high), 1));
    }
    static vf load_singles(const float* p) { return _mm512_loadu_ps(p); }
    static void store_floats(float* p, vd a) { _mm256_storeu_ps(p, _mm512_maskz_cvtpd_ps(0xFF, a)); }
    static void store_ints(std::int32_t* p, vd a)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm512_maskz_cvttpd_epi32(0xFF, a));
    }
    static mask low_bits_are(vd a, long long low_mask, long long pattern)
    {
        const __m512i low = _mm512_and_si512(_mm512_castpd_si512(a), _mm512_set1_epi64(low_mask));
        return _mm512_cmpeq_epi64_mask(low, _mm512_set1_epi64(pattern));
    }
    static mask m_and(mask a, mask b) { return static_cast<mask>(a & b); }
    static mask m_or(mask a, mask b) { return static_cast<mask>(a | b); }
    static mask m_andnot(mask a, mask b) { return static_cast<mask>(~a & b); }
    // Compares under a mask, in one instruction.
    static mask lt_where(mask m, vd a, vd b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_LT_OQ); }
    static mask gt_where(mask m, vd a, vd b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_GT_OQ); }
    static mask all() { return 0xFF; }
    static unsigned bits(mask a) { return a; }
    static vd blend(mask m, vd if_set, vd if_clear) { return _mm512_mask_blend_pd(m, if_clear, if_set); }
    static vd max_where(mask m, vd a, vd b) { return _mm512_mask_max_pd(a, m, a, b); }
    static mask mask_of_bits(unsigned b) { return static_cast<mask>(b); }
    static vf fmin(vf a, vf b) { return _mm512_maskz_min_ps(0xFFFF, a, b); }
    static vf max_where(fmask m, vf a, vf b) { return _mm512_mask_max_ps(a, m, a, b); }
    static fmask m_and(fmask a, fmask b) { return static_cast<fmask>(a & b); }
    static fmask m_or(fmask a, fmask b) { return static_cast<fmask>(a | b); }
    static fmask all_f() { return 0xFFFF; }
    static unsigned bits(fmask a) { return a; }
    static mask widen_mask(fmask a, int part) { return static_cast<mask>(part == 0 ? a : a >> 8); }
    static unsigned nonzero_bytes(const std::uint8_t* p) { return nonzero_bytes_x86(p); }
    static vi load_ints(const std::int32_t* p) { return _mm512_loadu_si512(p); }
    static unsigned positive_lanes(vi a) { return _mm512_cmpgt_epi32_mask(a, _mm512_setzero_si512()); }
    static bool any_nonzero(vi a) { return _mm512_test_epi32_mask(a, a) != 0; }
    static vi colours(const std::uint32_t* table, const std::int32_t* n, const std::int32_t* hit)
    {
        const vi top = _mm512_set1_epi32(colour_intensities - 1);
        const vi at = _mm512_add_epi32(_mm512_mullo_epi32(load_ints(hit), _mm512_set1_epi32(colour_intensities)),
                                       _mm512_maskz_min_epi32(0xFFFF, load_ints(n), top));
        return _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), 0xFFFF, at, table, 4);
    }
    static void store_colours(std::uint32_t* p, vi a) { _mm512_storeu_si512(p, a); }
    static void store_reversed(std::uint32_t* p, vi a)
    {
        const vi reverse = _mm512_setr_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
        _mm512_storeu_si512(p, _mm512_maskz_permutexvar_epi32(0xFFFF, reverse, a));
    }
};

}  // namespace

extern constinit const LanePath avx512_lanes = lane_path<Avx512>();
#endif
