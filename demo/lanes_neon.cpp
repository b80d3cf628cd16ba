// The NEON lane path: two doubles a vector, and every aarch64 processor has them.
// The kernel needs FPCR as precision_setup leaves it, in its default state: every
// operation and conversion rounds to nearest, ties to even, and FZ is clear, so
// that float results below 2^-126 stay subnormal as the reference's do.
#include "demo/lane_path.h"

#if defined(__aarch64__)
#include <arm_neon.h>

#include "demo/lane_kernel.h"

namespace {

// Two doubles a vector, two groups in flight, each group's floats in a vector of
// their own. Colours four at a time; without a gather, each lit pixel takes the
// table on its own.
struct Neon : LaneVectors<Neon, LaneShape{.lanes = 2, .groups = 2, .pack = 1, .colour_width = 4}, float64x2_t,
                          float32x2_t, int32x4_t, uint64x2_t, uint32x2_t> {
    static vd sqrt(vd a) { return vsqrtq_f64(a); }
    static vd min(vd a, vd b) { return vminq_f64(a, b); }
    static vd max(vd a, vd b) { return vmaxq_f64(a, b); }
    static vd abs(vd a) { return vabsq_f64(a); }
    static vd exponent(vd a)
    {
        return vreinterpretq_f64_u64(vandq_u64(vreinterpretq_u64_f64(a), vdupq_n_u64(0x7FF0000000000000)));
    }
    static vd to_float(vd a) { return vcvt_f64_f32(vcvt_f32_f64(a)); }
    static vd widen(vf a, int) { return vcvt_f64_f32(a); }
    static vf narrow(const vd* parts) { return vcvt_f32_f64(parts[0]); }
    static vf load_singles(const float* p) { return vld1_f32(p); }
    static void store_floats(float* p, vd a) { vst1_f32(p, vcvt_f32_f64(a)); }
    static void store_ints(std::int32_t* p, vd a) { vst1_s32(p, vmovn_s64(vcvtq_s64_f64(a))); }
    static mask ne(vd a, vd b) { return vreinterpretq_u64_u32(vmvnq_u32(vreinterpretq_u32_u64(eq(a, b)))); }
    static mask low_bits_are(vd a, long long low_mask, long long pattern)
    {
        const uint64x2_t low = vandq_u64(vreinterpretq_u64_f64(a), vdupq_n_u64(static_cast<std::uint64_t>(low_mask)));
        return vceqq_u64(low, vdupq_n_u64(static_cast<std::uint64_t>(pattern)));
    }
    static mask m_and(mask a, mask b) { return vandq_u64(a, b); }
    static mask m_or(mask a, mask b) { return vorrq_u64(a, b); }
    static mask m_andnot(mask a, mask b) { return vbicq_u64(b, a); }
    static unsigned bits(mask a)
    {
        return static_cast<unsigned>((vgetq_lane_u64(a, 0) & 1) | (vgetq_lane_u64(a, 1) & 2));
    }
    static bool any(mask a) { return vmaxvq_u32(vreinterpretq_u32_u64(a)) != 0; }
    static vd blend(mask m, vd if_set, vd if_clear) { return vbslq_f64(m, if_set, if_clear); }
    static vd max_where(mask m, vd a, vd b)
    {
        return vmaxq_f64(a, vreinterpretq_f64_u64(vandq_u64(m, vreinterpretq_u64_f64(b))));
    }
    static vf fmin(vf a, vf b) { return vmin_f32(a, b); }
    static vf max_where(fmask m, vf a, vf b)
    {
        return vmax_f32(a, vreinterpret_f32_u32(vand_u32(m, vreinterpret_u32_f32(b))));
    }
    static fmask m_and(fmask a, fmask b) { return vand_u32(a, b); }
    static fmask m_or(fmask a, fmask b) { return vorr_u32(a, b); }
    static unsigned bits(fmask a) { return (vget_lane_u32(a, 0) & 1u) | (vget_lane_u32(a, 1) & 2u); }
    static bool any(fmask a) { return vmaxv_u32(a) != 0; }
    static mask widen_mask(fmask a, int) { return vreinterpretq_u64_s64(vmovl_s32(vreinterpret_s32_u32(a))); }
    static unsigned nonzero_bytes(const std::uint8_t* p)
    {
        static constexpr std::uint8_t weights[16] = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
        const uint8x16_t w = vld1q_u8(weights), low = vld1q_u8(p), high = vld1q_u8(p + 16);
        const uint8x16_t low_bits = vandq_u8(vtstq_u8(low, low), w), high_bits = vandq_u8(vtstq_u8(high, high), w);
        return vaddv_u8(vget_low_u8(low_bits)) | vaddv_u8(vget_high_u8(low_bits)) << 8 |
               vaddv_u8(vget_low_u8(high_bits)) << 16 |
               static_cast<unsigned>(vaddv_u8(vget_high_u8(high_bits))) << 24;
    }
    static vi load_ints(const std::int32_t* p) { return vld1q_s32(p); }
    static unsigned positive_lanes(vi a)
    {
        static constexpr std::uint32_t weights[4] = {1, 2, 4, 8};
        return vaddvq_u32(vandq_u32(vcgtzq_s32(a), vld1q_u32(weights)));
    }
    static bool any_nonzero(vi a) { return vmaxvq_u32(vreinterpretq_u32_s32(a)) != 0; }
    static void store_colours(std::uint32_t* p, vi a) { vst1q_u32(p, vreinterpretq_u32_s32(a)); }
    static void store_reversed(std::uint32_t* p, vi a)
    {
        const vi swapped = vrev64q_s32(a);  // 1 0 3 2
        store_colours(p, vcombine_s32(vget_high_s32(swapped), vget_low_s32(swapped)));
    }
};

}  // namespace

extern constinit const LanePath neon_lanes = lane_path<Neon>();
#endif
