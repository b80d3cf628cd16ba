// The WebAssembly SIMD128 lane path: two doubles a vector, in a build for the
// SIMD proposal's engines. Only the operations of the final SIMD128 set, none of
// the relaxed ones and no fused multiply-add, so that every engine rounds each
// operation once, to nearest, ties to even, as the kernel's proofs require.
#include "demo/lane_path.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>

#include "demo/lane_kernel.h"

namespace {

// Every SIMD128 value is a v128_t: wrapped, so that the kernel's doubles, floats
// and their masks stay apart as its overloads need. (As vectors of the compilers'
// extension, whose operators lane_vectors.h writes once, they changed LLVM's code
// and cost about 1.5% under node; so this set writes its arithmetic itself.)
enum Kind { doubles, floats, double_verdicts, float_verdicts };
template <Kind>
struct Wrapped {
    v128_t v;
};

// Two doubles a vector. Four groups, two float vectors, as for SSE2, which the
// engines mostly run this on: two groups' lanes in single precision fill one vector,
// each group a half. Colours four at a time; without a gather, each lit pixel takes
// the table on its own.
struct Simd128 : LaneVectors<Simd128, LaneShape{.lanes = 2, .groups = 4, .pack = 2, .colour_width = 4},
                             Wrapped<doubles>, Wrapped<floats>, v128_t, Wrapped<double_verdicts>,
                             Wrapped<float_verdicts>> {
    static vd set1(double x) { return {wasm_f64x2_splat(x)}; }
    static vd add(vd a, vd b) { return {wasm_f64x2_add(a.v, b.v)}; }
    static vd sub(vd a, vd b) { return {wasm_f64x2_sub(a.v, b.v)}; }
    static vd mul(vd a, vd b) { return {wasm_f64x2_mul(a.v, b.v)}; }
    static vd sqrt(vd a) { return {wasm_f64x2_sqrt(a.v)}; }
    // The pseudo-minimum and maximum (b < a ? b : a): one instruction on most
    // engines, and the kernel takes them of numbers only.
    static vd min(vd a, vd b) { return {wasm_f64x2_pmin(a.v, b.v)}; }
    static vd max(vd a, vd b) { return {wasm_f64x2_pmax(a.v, b.v)}; }
    static vd abs(vd a) { return {wasm_f64x2_abs(a.v)}; }
    static vd exponent(vd a) { return {wasm_v128_and(a.v, wasm_i64x2_splat(0x7FF0000000000000))}; }
    // A conversion's result as it is: the compiler would otherwise take a conversion
    // followed by another, or by a store of its low half, apart into scalar operations.
    // An identity shuffle hides the lanes from it as an empty asm statement did (which
    // clang 19 cannot compile on a v128_t), and costs nothing measurable under node.
    static v128_t kept(v128_t v)
    {
        return wasm_i8x16_shuffle(v, v, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    }
    static vd to_float(vd a) { return {wasm_f64x2_promote_low_f32x4(kept(wasm_f32x4_demote_f64x2_zero(a.v)))}; }
    static vf set1f(float x) { return {wasm_f32x4_splat(x)}; }
    static vf add(vf a, vf b) { return {wasm_f32x4_add(a.v, b.v)}; }
    static vf mul(vf a, vf b) { return {wasm_f32x4_mul(a.v, b.v)}; }
    static vf fmin(vf a, vf b) { return {wasm_f32x4_pmin(a.v, b.v)}; }
    static vd widen(vf a, int part)
    {
        return {wasm_f64x2_promote_low_f32x4(part == 0 ? a.v : wasm_i32x4_shuffle(a.v, a.v, 2, 3, 2, 3))};
    }
    static vf narrow(const vd* parts)
    {
        const v128_t low = wasm_f32x4_demote_f64x2_zero(parts[0].v), high = wasm_f32x4_demote_f64x2_zero(parts[1].v);
        return {wasm_i32x4_shuffle(low, high, 0, 1, 4, 5)};
    }
    static vf load_singles(const float* p) { return {wasm_v128_load(p)}; }
    static void store_floats(float* p, vd a) { wasm_v128_store64_lane(p, kept(wasm_f32x4_demote_f64x2_zero(a.v)), 0); }
    static void store_ints(std::int32_t* p, vd a)
    {
        wasm_v128_store64_lane(p, kept(wasm_i32x4_trunc_sat_f64x2_zero(a.v)), 0);
    }
    static mask lt(vd a, vd b) { return {wasm_f64x2_lt(a.v, b.v)}; }
    static mask gt(vd a, vd b) { return {wasm_f64x2_gt(a.v, b.v)}; }
    static mask ge(vd a, vd b) { return {wasm_f64x2_ge(a.v, b.v)}; }
    static mask eq(vd a, vd b) { return {wasm_f64x2_eq(a.v, b.v)}; }
    static mask ne(vd a, vd b) { return {wasm_f64x2_ne(a.v, b.v)}; }
    static mask low_bits_are(vd a, long long low_mask, long long pattern)
    {
        return {wasm_i64x2_eq(wasm_v128_and(a.v, wasm_i64x2_splat(low_mask)), wasm_i64x2_splat(pattern))};
    }
    static mask m_and(mask a, mask b) { return {wasm_v128_and(a.v, b.v)}; }
    static mask m_or(mask a, mask b) { return {wasm_v128_or(a.v, b.v)}; }
    static mask m_andnot(mask a, mask b) { return {wasm_v128_andnot(b.v, a.v)}; }
    static mask none() { return {wasm_i64x2_splat(0)}; }
    static mask all() { return {wasm_i64x2_splat(-1)}; }
    static unsigned bits(mask a) { return wasm_i64x2_bitmask(a.v); }
    static bool any(mask a) { return wasm_v128_any_true(a.v); }
    static vd blend(mask m, vd if_set, vd if_clear) { return {wasm_v128_bitselect(if_set.v, if_clear.v, m.v)}; }
    static vd max_where(mask m, vd a, vd b) { return max(a, {wasm_v128_and(m.v, b.v)}); }
    static mask mask_of_bits(unsigned b) { return {wasm_v128_load(bit_masks.masks[b])}; }
    static fmask lt(vf a, vf b) { return {wasm_f32x4_lt(a.v, b.v)}; }
    static fmask ge(vf a, vf b) { return {wasm_f32x4_ge(a.v, b.v)}; }
    static fmask le(vf a, vf b) { return {wasm_f32x4_le(a.v, b.v)}; }
    static vf max_where(fmask m, vf a, vf b) { return {wasm_f32x4_pmax(a.v, wasm_v128_and(m.v, b.v))}; }
    static fmask m_and(fmask a, fmask b) { return {wasm_v128_and(a.v, b.v)}; }
    static fmask m_or(fmask a, fmask b) { return {wasm_v128_or(a.v, b.v)}; }
    static fmask all_f() { return {wasm_i32x4_splat(-1)}; }
    static unsigned bits(fmask a) { return wasm_i32x4_bitmask(a.v); }
    static bool any(fmask a) { return wasm_v128_any_true(a.v); }
    static mask widen_mask(fmask a, int part)
    {
        return {part == 0 ? wasm_i64x2_extend_low_i32x4(a.v) : wasm_i64x2_extend_high_i32x4(a.v)};
    }
    static unsigned nonzero_bytes(const std::uint8_t* p)
    {
        const v128_t zero = wasm_i8x16_splat(0);
        const unsigned low = wasm_i8x16_bitmask(wasm_i8x16_ne(wasm_v128_load(p), zero));
        const unsigned high = wasm_i8x16_bitmask(wasm_i8x16_ne(wasm_v128_load(p + 16), zero));
        return low | high << 16;
    }
    static vi load_ints(const std::int32_t* p) { return wasm_v128_load(p); }
    static unsigned positive_lanes(vi a) { return wasm_i32x4_bitmask(wasm_i32x4_gt(a, wasm_i32x4_splat(0))); }
    static bool any_nonzero(vi a) { return wasm_v128_any_true(a); }
    static vi zero_ints() { return wasm_i32x4_splat(0); }
    static void store_colours(std::uint32_t* p, vi a) { wasm_v128_store(p, a); }
    static void store_reversed(std::uint32_t* p, vi a) { wasm_v128_store(p, wasm_i32x4_shuffle(a, a, 3, 2, 1, 0)); }
};

}  // namespace

extern constinit const LanePath simd128_lanes = lane_path<Simd128>();
#endif
