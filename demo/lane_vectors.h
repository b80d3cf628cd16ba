// What every instruction set's primitives (lane_kernel.h) share, written once with
// the compilers' vector extensions: `a + b` on two vectors of doubles is one addition
// a lane, whatever the set. These operators are how the compilers' own intrinsics
// are written, so they compile to the same instructions (objdump shows the kernel's
// code unchanged by them).
//
// Each lanes_<set>.cpp includes this header, with lane_kernel.h, after its target
// switch, so that what its struct inherits from here is built for its own set (and,
// in an unnamed namespace, for that file alone); see lane_path.h.
#pragma once

namespace {

// A vector of n values of type T. (The x86 sets' own names for their vectors carry
// a may_alias attribute, which a template argument would drop, with a warning; the
// kernel's code is the same with these.)
template <class T, int n>
struct VectorOf {
    typedef T type __attribute__((vector_size(n * sizeof(T))));
};
template <class T, int n>
using Vector = typename VectorOf<T, n>::type;

// How a set lays out its work: doubles a vector, groups of those in flight in a block,
// groups whose floats share a vector, and colours a vector.
struct LaneShape {
    int lanes, groups, pack, colour_width;
};

// The kernel's vectors and shape for a struct Set, as
// `struct Set : LaneVectors<Set, shape, doubles, floats, colours[, verdicts on the
// doubles, on the floats]>`, the verdicts being vectors of the numbers' own type
// unless named; and the operations every set writes the same. A set that needs
// another instruction for one of them defines its own, which hides the one here.
template <class Set, LaneShape shape, class Doubles, class Floats, class Colours, class DoubleVerdicts = Doubles,
          class FloatVerdicts = Floats>
struct LaneVectors {
    using vd = Doubles;
    using vf = Floats;
    using vi = Colours;
    using mask = DoubleVerdicts;
    using fmask = FloatVerdicts;
    static constexpr int lanes = shape.lanes, groups = shape.groups, pack = shape.pack,
                         colour_width = shape.colour_width;

    // The numbers.
    static vd set1(double x) { return splat<vd>(x); }
    static vf set1f(float x) { return splat<vf>(x); }
    template <class V>
    static V add(V a, V b) { return a + b; }
    template <class V>
    static V sub(V a, V b) { return a - b; }
    template <class V>
    static V mul(V a, V b) { return a * b; }

    // No lane set, every lane set, integers all zero, and whether any lane is set.
    static mask none() { return mask{}; }
    static mask all() { return verdict<vd>(vd{} == vd{}); }
    static fmask all_f() { return verdict<vf>(vf{} == vf{}); }
    static vi zero_ints() { return vi{}; }
    template <class Mask>
    static bool any(Mask m) { return Set::bits(m) != 0; }

    // The lane masks for each pattern of a group's near bits, so that a ring pass
    // takes its mask with a load.
    struct alignas(lanes * sizeof(std::uint64_t)) BitMasks {
        std::uint64_t masks[1 << lanes][lanes];
    };
    static constexpr BitMasks bit_masks = [] {
        BitMasks table{};
        for (int pattern = 0; pattern < 1 << lanes; ++pattern)
            for (int lane = 0; lane < lanes; ++lane)
                table.masks[pattern][lane] = (pattern >> lane & 1) != 0 ? ~std::uint64_t{0} : 0;
        return table;
    }();
    static mask mask_of_bits(unsigned b)
    {
        mask m;
        __builtin_memcpy(&m, bit_masks.masks[b], sizeof m);
        return m;
    }

    // Compares, for sets whose verdicts are the integer vectors the operators give
    // (a lane all ones where true; false for NaN). The x86 sets compare with
    // instructions of their own (lanes_x86.h).
    template <class V>
    static auto lt(V a, V b) { return verdict<V>(a < b); }
    template <class V>
    static auto gt(V a, V b) { return verdict<V>(a > b); }
    template <class V>
    static auto ge(V a, V b) { return verdict<V>(a >= b); }
    template <class V>
    static auto le(V a, V b) { return verdict<V>(a <= b); }
    template <class V>
    static auto eq(V a, V b) { return verdict<V>(a == b); }

    // Compares within the lanes of mask m, for sets without one instruction for them.
    static mask lt_where(mask m, vd a, vd b) { return Set::m_and(m, Set::lt(a, b)); }
    static mask gt_where(mask m, vd a, vd b) { return Set::m_and(m, Set::gt(a, b)); }

    // table[hit * colour_intensities + min(n, colour_intensities - 1)] for the
    // colour_width intensities n and hits, each on its own, for sets without a gather.
    static vi colours(const std::uint32_t* table, const std::int32_t* n, const std::int32_t* hit)
    {
        std::int32_t c[colour_width];
        for (int i = 0; i < colour_width; ++i)
            c[i] = static_cast<std::int32_t>(
                table[hit[i] * colour_intensities + (n[i] < colour_intensities ? n[i] : colour_intensities - 1)]);
        return Set::load_ints(c);
    }

private:
    // A compare's result on numbers V seen as the set's verdicts on them.
    template <class V, class Result>
    static auto verdict(Result r) { return (std::conditional_t<std::is_same_v<V, vd>, mask, fmask>)r; }

    // x in every lane: a vector built from copies, the compilers' own broadcast.
    template <class V, class T>
    static V splat(T x)
    {
        return [x]<int... lane>(std::integer_sequence<int, lane...>) {
            return V{(static_cast<void>(lane), x)...};
        }(std::make_integer_sequence<int, sizeof(V) / sizeof(T)>{});
    }
};

}  // namespace
