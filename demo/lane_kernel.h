// The orbit loop for `groups` x `lanes` pixels at once, written once for every
// instruction set: LaneKernel<P> runs it on the primitives P of one set (listed
// below). Each lanes_<set>.cpp includes this header where its compiler builds for
// that set, so nothing here may be a function other than a template on P, nor
// include a header but lane_path.h and lane_vectors.h (see there).
//
// Each store that could round apart from the reference's is paired with a test
// that raises `doubt`; a doubtful pixel is redone on the reference path. The
// facts cited by number are those of docs/exactness.md.
#pragma once

#include "demo/lane_path.h"
#include "demo/lane_vectors.h"

// LaneKernel<P> takes one instruction set's vectors and operations from P: vd
// holds `lanes` doubles and mask a verdict for each; vf holds the floats of `pack`
// groups of lanes and fmask a verdict for each of those; vi holds `colour_width`
// 32-bit integers. A set mask lane is all ones where the masks are vectors. The
// using-declarations below list what P must have; the less obvious ones:
// - exponent(d): the value with its significand cleared; to_float(d): rounded to
//   float, ties to even; store_floats rounds too, store_ints takes integral values;
// - compares are false for NaN, but ne; low_bits_are(d, low, pattern): (bits & low)
//   == pattern; m_andnot(a, b): b and not a; mask_of_bits(b): lane i set where bit i
//   is; blend(m, a, b): a where set, else b; max_where(m, a, b), for values >= 0:
//   max where set, else a;
// - widen(f, part): the lanes of group `part`; narrow(parts): `pack` vectors of
//   doubles, rounded; widen_mask likewise for verdicts;
// - nonzero_bytes(p): bit i set where byte i of the near_bytes at p (aligned) is not
//   zero; positive_lanes(i): bit i set where lane i is above zero; store_reversed:
//   the last lane first.
template <class P>
struct LaneKernel : P {
    using typename P::vd, typename P::mask, typename P::vf, typename P::fmask, typename P::vi;
    using P::lanes, P::groups, P::pack, P::colour_width;
    using P::set1, P::add, P::sub, P::mul, P::sqrt, P::min, P::max, P::abs, P::exponent, P::to_float,
        P::store_floats, P::store_ints, P::lt, P::gt, P::ge, P::eq, P::ne, P::low_bits_are, P::m_and, P::m_or,
        P::m_andnot, P::none, P::all, P::mask_of_bits, P::bits, P::any, P::blend, P::max_where, P::set1f,
        P::fmin, P::load_singles, P::widen, P::narrow, P::le, P::all_f, P::widen_mask, P::nonzero_bytes,
        P::load_ints, P::positive_lanes, P::any_nonzero, P::zero_ints, P::store_colours, P::store_reversed,
        P::lt_where, P::gt_where, P::colours;

    // r is a float midpoint, for r in float's normal range (fact 4).
    static mask float_midpoint(vd r) { return low_bits_are(r, float_midpoint_low_bits, float_midpoint_pattern); }

    // Set where d = fl53(a - b) is exact (fact 5).
    static mask exact_difference(vd a, vd b, vd d) { return m_and(eq(sub(a, d), b), eq(add(d, b), a)); }

    // The same for r = fl53(a + b).
    static mask exact_sum_of(vd a, vd b, vd r) { return m_and(eq(sub(r, a), b), eq(sub(r, b), a)); }

    // The distance from float f to the nearer end of its rounding cell, or less (fact 6).
    static vd half_gap(vd f) { return mul(exponent(mul(f, set1(1.0 - 0x1p-24))), set1(0x1p-24)); }

    // Set where a float midpoint may lie within `bound` of r, f = fl24(r) (fact 6).
    static mask near_midpoint(vd r, vd f, vd bound) { return ge(add(abs(sub(r, f)), bound), half_gap(f)); }

    // zx = sx - sy + cx as the double r, exact while no square is below `tiny_square_limit` (fact 7).
    static vd plain_difference_sum(vd sx, vd sy, vd c) { return sub(add(sx, c), sy); }

    // The same for the lanes of `tiny`, checked (fact 7); the other lanes keep `plain`.
    static vd checked_difference_sum(vd sx, vd sy, vd c, mask tiny, vd plain, mask& doubt)
    {
        const vd d = sub(sx, sy);
        const vd r = add(d, c);
        const mask inexact_d = m_andnot(exact_difference(sx, sy, d), tiny);
        const mask mid = m_and(m_andnot(inexact_d, tiny), float_midpoint(r));
        doubt = m_or(doubt, m_andnot(exact_sum_of(d, c, r), mid));
        if (any(inexact_d)) {
            const vd bound = mul(add(add(sx, sy), abs(c)), set1(0x1p-51));
            doubt = m_or(doubt, m_and(inexact_d, near_midpoint(r, to_float(r), bound)));
        }
        return blend(tiny, r, plain);
    }

    // The lanes where a square is below `limit`, told from the floats; a NaN square,
    // as in a lane long escaped, is not tiny.
    static fmask tiny_square(vf sx, vf sy, vf limit) { return lt(fmin(sx, sy), limit); }

    // m = zx * zx + zy * zy as the double r, m = fl24(r) (fact 8).
    static vd square_sum(vd x, vd y) { return add(mul(x, x), mul(y, y)); }

    // Whether such an r may round apart from the reference's: an inexact midpoint
    // or tiny sum (facts 5 and 8). Asked only in the lanes near the ring (fact 11).
    static mask square_sum_doubt(vd x, vd y, vd r, mask live)
    {
        const vd p = mul(x, x), q = mul(y, y);
        const mask odd = m_and(live, m_or(float_midpoint(r), lt(r, set1(0x1p-126))));
        if (!any(odd))
            return none();
        const vd err = sub(min(p, q), sub(r, max(p, q)));
        return m_and(odd, ne(err, set1(0.0)));
    }

    // acc = ((-(|m - c_abs_sq| / ring_width)) + acc) + 1.0, with the reciprocal (fact 13).
    static vd ring_hit(vd m, vd acc, vd c_abs_sq, vd inverse_width, mask& doubt)
    {
        const vd q = mul(abs(sub(m, c_abs_sq)), inverse_width);
        const vd r = add(sub(acc, q), set1(1.0));
        const vd f = to_float(r);
        doubt = m_or(doubt, near_midpoint(r, f, mul(add(add(abs(acc), q), set1(1.0)), set1(0x1p-49))));
        return f;
    }

    // n = round(sqrt(acc) * 500.0) for acc > 0, else 0 (fact 14).
    static vd intensity(vd acc, mask& doubt)
    {
        const mask lit = gt(acc, set1(0.0));
        const vd s = mul(sqrt(acc), set1(500.0));
        const vd n = sub(add(s, set1(0x1p52)), set1(0x1p52));
        doubt = m_or(doubt, m_and(lit, ge(abs(sub(s, n)), set1(0.5 - 0x1p-40))));
        return blend(lit, n, set1(0.0));
    }

    // Whether an orbit goes on, told from mf, the float sum of the next pass's squares,
    // and whether it left unsure, told from the largest mf of its live passes (fact 10).
    static constexpr float stay_below = 4.0f - 0x1p-20f;
    static constexpr float leave_from = 4.0f + 0x1p-19f;

    static fmask stays(vf mf) { return lt(mf, set1f(stay_below)); }

    static fmask left_unsure(vf largest_mf)
    {
        return m_and(ge(largest_mf, set1f(stay_below)), lt(largest_mf, set1f(leave_from)));
    }

    // The lanes whose m may lie near the ring (fact 11).
    static fmask near_ring(vf mf, vf from, vf to) { return m_and(ge(mf, from), le(mf, to)); }

    // The bits of one group's lanes.
    static constexpr unsigned lane_bits = (1u << lanes) - 1;

    // groups x lanes neighbouring pixels of a row, with the orbit of ring_accumulate; the
    // groups' passes overlap, and a lane that has left runs on unmasked (fact 12) until all
    // have. zx and zy live in float lanes (facts 1 and 2); m is computed after the orbits,
    // only for the passes whose mf came near the ring (facts 9 and 11).
    [[gnu::always_inline]] static void shade_block(const float* xs, float y, const LaneFrame& fr,
                                                   std::int32_t* n_out, std::int32_t* hit_out,
                                                   std::uint64_t& doubt_out)
    {
        static_assert(groups % pack == 0, "groups pair up in the float vectors");
        constexpr int float_groups = groups / pack;
        const vd cx = set1(fr.cx);
        const vf cy = set1f(fr.cy), tiny_limit = set1f(fr.tiny_square_limit);
        const vd least_hi = set1(fr.least_ring_hi), greatest_lo = set1(fr.greatest_ring_lo);
        const vf near_from = set1f(fr.near_from), near_to = set1f(fr.near_to);
        const vd c_abs_sq = set1(fr.c_abs_sq), inverse_width = set1(fr.inverse_width);

        vf zx[float_groups], zy[float_groups], sxf[float_groups], syf[float_groups], largest_mf[float_groups];
        fmask active[float_groups];
        vd acc[groups], last_hit[groups];
        mask doubt[groups];
        // Each pass's z and near lanes (as bits, a byte a pass), for the ring's
        // work after the orbits: done in the loop, its branch would guess wrong on
        // most blocks that reach the ring, and nothing in the orbit waits for it.
        vf zx_at[ring_max_passes][float_groups], zy_at[ring_max_passes][float_groups];
        // Cleared with vector stores, unrolled: as a loop or a memset it becomes a
        // string store, which takes longer to start than the stores take.
        static_assert(groups * near_bytes % sizeof(vd) == 0, "the rows of bytes are whole vectors");
        vd near_store[groups * near_bytes / sizeof(vd)];
        #pragma GCC unroll 8
        for (vd& v : near_store)
            v = set1(0.0);
        auto& near_lanes = reinterpret_cast<std::uint8_t (&)[groups][near_bytes]>(near_store);
        #pragma GCC unroll 8
        for (int f = 0; f < float_groups; ++f) {
            zx[f] = load_singles(xs + f * pack * lanes);
            zy[f] = set1f(y);
            sxf[f] = mul(zx[f], zx[f]);
            syf[f] = mul(zy[f], zy[f]);
            largest_mf[f] = set1f(0.0f);
            active[f] = all_f();
        }
        #pragma GCC unroll 8
        for (int g = 0; g < groups; ++g) {
            acc[g] = last_hit[g] = set1(0.0);
            doubt[g] = none();
        }
        for (int pass = 0; pass < ring_max_passes; ++pass) {
            if (pass > 0) {
                fmask any_active = active[0];
                #pragma GCC unroll 8
                for (int f = 1; f < float_groups; ++f)
                    any_active = m_or(any_active, active[f]);
                if (!any(any_active))
                    break;
            }
            #pragma GCC unroll 8
            for (int f = 0; f < float_groups; ++f) {
                // A float vector whose orbits have all left changes nothing more
                // (with only one, the block is over then).
                if (float_groups > 1 && !any(active[f]))
                    continue;
                vd sx[pack], sy[pack], r[pack];
                #pragma GCC unroll 2
                for (int part = 0; part < pack; ++part) {
                    sx[part] = widen(sxf[f], part);
                    sy[part] = widen(syf[f], part);
                    r[part] = plain_difference_sum(sx[part], sy[part], cx);
                }
                const fmask tiny = tiny_square(sxf[f], syf[f], tiny_limit);
                if (any(tiny)) {
                    // Lanes that have left may show a tiny square too; they cannot doubt.
                    const fmask live_tiny = m_and(tiny, active[f]);
                    #pragma GCC unroll 2
                    for (int part = 0; part < pack; ++part)
                        r[part] = checked_difference_sum(sx[part], sy[part], cx, widen_mask(live_tiny, part),
                                                         r[part], doubt[f * pack + part]);
                }
                const vf txy = mul(add(zy[f], zy[f]), zx[f]);
                zx[f] = narrow(r);
                zy[f] = add(cy, txy);
                sxf[f] = mul(zx[f], zx[f]);
                syf[f] = mul(zy[f], zy[f]);
                const vf mf = add(sxf[f], syf[f]);
                zx_at[pass][f] = zx[f];
                zy_at[pass][f] = zy[f];
                const unsigned near = bits(near_ring(mf, near_from, near_to));
                #pragma GCC unroll 2
                for (int part = 0; part < pack; ++part)
                    near_lanes[f * pack + part][pass] = static_cast<std::uint8_t>(near >> part * lanes & lane_bits);
                largest_mf[f] = max_where(active[f], largest_mf[f], mf);
                active[f] = stays(mf);
            }
        }
        #pragma GCC unroll 8
        for (int g = 0; g < groups; ++g) {
            const int f = g / pack, part = g % pack;
            // The passes in order, as each lane's acc runs through them; pass 0
            // never counts. Only a group that came near the ring can be lit.
            vd n = set1(0.0);
            if (unsigned passes = nonzero_bytes(near_lanes[g]) & ~1u) {
                for (; passes != 0; passes &= passes - 1) {
                    const int pass = __builtin_ctz(passes);
                    const vd x = widen(zx_at[pass][f], part), y = widen(zy_at[pass][f], part);
                    const vd m = square_sum(x, y);
                    const mask near = mask_of_bits(near_lanes[g][pass]);
                    doubt[g] = m_or(doubt[g], square_sum_doubt(x, y, m, near));
                    const mask hit = gt_where(lt_where(near, m, least_hi), m, greatest_lo);
                    mask hit_doubt = none();
                    const vd hit_acc = ring_hit(to_float(m), acc[g], c_abs_sq, inverse_width, hit_doubt);
                    doubt[g] = m_or(doubt[g], m_and(hit, hit_doubt));
                    acc[g] = blend(hit, hit_acc, acc[g]);
                    // The passes come in order, so the last hit is the largest.
                    last_hit[g] = max_where(hit, last_hit[g], set1(pass_numbers[pass]));
                }
                n = intensity(acc[g], doubt[g]);
            }
            doubt[g] = m_or(doubt[g], widen_mask(left_unsure(largest_mf[f]), part));
            store_ints(n_out + g * lanes, n);
            store_ints(hit_out + g * lanes, last_hit[g]);
            doubt_out |= std::uint64_t{bits(doubt[g])} << g * lanes;
        }
    }

    static void shade_row(const float* xs, float y, const LaneFrame& fr, LaneRow& row)
    {
        static_assert(frame_width % (groups * lanes) == 0, "blocks tile a row");
        static_assert(groups * lanes <= 64, "a block's doubts fit one word");
        row.doubt_count = 0;
        // shade_block is inlined, so the frame's constants are set up once a row.
        for (int px = 0; px < frame_width; px += groups * lanes) {
            std::uint64_t doubt = 0;
            shade_block(xs + px, y, fr, row.intensity + px, row.last_hit + px, doubt);
            for (; doubt != 0; doubt &= doubt - 1)
                row.doubtful[row.doubt_count++] = static_cast<std::int16_t>(px + __builtin_ctzll(doubt));
        }
    }

    static std::int32_t colour_row(const LaneRow& row, const std::uint32_t* table, std::uint32_t* top,
                                   std::uint32_t* bottom_end, std::int32_t carried)
    {
        static_assert(frame_width % colour_width == 0, "colour vectors tile a row");
        int last = -1;
        for (int px = 0; px < frame_width; px += colour_width) {
            const vi n = load_ints(row.intensity + px);
            if (const unsigned lit = positive_lanes(load_ints(row.last_hit + px)))
                last = px + 31 - __builtin_clz(lit);
            // Most of a frame is unlit, and black needs no table.
            const vi c = any_nonzero(n) ? colours(table, row.intensity + px, row.last_hit + px) : zero_ints();
            store_colours(top + px, c);
            store_reversed(bottom_end - px - (colour_width - 1), c);
        }
        return last < 0 ? carried : row.last_hit[last];
    }

    // The lane arithmetic on its own, on operands taken as those of an active
    // lane (for difference_sum: a, b and |c| below 8) in lane `lane` of a
    // block's float vector, with plain ones in the others, so that each lane's own
    // verdict is seen.
    static constexpr int probe_width = pack * lanes;

    static bool probe(LaneProbe probe, float a, float b, float c, int lane, float& result)
    {
        // Aligned as a float vector: GCC may raise these arrays' alignment to that
        // on its own and then load them aligned, which AddressSanitizer's frames
        // (detect_stack_use_after_return) honour only when it is declared.
        alignas(vf) float as[probe_width], bs[probe_width], cs[probe_width], limits[probe_width], out[probe_width];
        for (int i = 0; i < probe_width; ++i) {
            as[i] = i == lane ? a : 1.0f;
            bs[i] = i == lane ? b : 0.25f;
            cs[i] = i == lane ? c : 0.5f;
            limits[i] = tiny_square_limit_for(cs[i]);
        }
        const vf fa = load_singles(as), fb = load_singles(bs), fc = load_singles(cs);
        const vf mf = add(mul(fa, fa), mul(fb, fb));
        unsigned doubts = 0;
        for (int part = 0; part < pack; ++part) {
            const vd x = widen(fa, part), y = widen(fb, part), z = widen(fc, part);
            mask doubt = none();
            vd r = set1(0.0);
            switch (probe) {
            case LaneProbe::difference_sum: {
                r = plain_difference_sum(x, y, z);
                const fmask tiny = tiny_square(fa, fb, load_singles(limits));
                if (any(tiny))
                    r = checked_difference_sum(x, y, z, widen_mask(tiny, part), r, doubt);
                r = to_float(r);
                break;
            }
            case LaneProbe::exact_sum: r = to_float(add(x, y)); break;  // zy needs no test (fact 2)
            case LaneProbe::square_sum:
                r = square_sum(x, y);
                doubt = square_sum_doubt(x, y, r, all());
                r = to_float(r);
                break;
            case LaneProbe::below_bound:
                r = blend(lt(add(y, z), set1(least_rounding_to(a))), set1(1.0), set1(0.0));
                break;
            case LaneProbe::above_bound:
                r = blend(gt(add(y, z), set1(greatest_rounding_to(a))), set1(1.0), set1(0.0));
                break;
            case LaneProbe::goes_on:
                r = blend(widen_mask(stays(mf), part), set1(1.0), set1(0.0));
                doubt = widen_mask(left_unsure(mf), part);
                break;
            case LaneProbe::near_ring_from:
            case LaneProbe::near_ring_to: {
                const bool from = probe == LaneProbe::near_ring_from;
                const vf lo = set1f(from ? near_ring_from(c) : -INFINITY);
                const vf hi = set1f(from ? INFINITY : near_ring_to(c));
                r = blend(widen_mask(near_ring(mf, lo, hi), part), set1(1.0), set1(0.0));
                break;
            }
            }
            store_floats(out + part * lanes, r);
            doubts |= bits(doubt) << part * lanes;
        }
        result = out[lane];
        return (doubts >> lane & 1u) == 0;
    }
};

// The entry points of P's lane path.
template <class P>
constexpr LanePath lane_path()
{
    using K = LaneKernel<P>;
    return {K::shade_row, K::colour_row, K::probe, K::probe_width};
}
