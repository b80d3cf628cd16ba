// What every instruction set's primitives (lane_kernel.h) share, written once with
// the compilers' vector extensions: `a + b` on two vectors of doubles is one addition
// a lane, whatever the set. These operators are how the compilers' own intrinsics
// are written, so they compile to the same instructions (objdump shows the kernel's
// code unchanged by them).
//
// Each lanes_<set>.cpp includes this header after its target switch, so that what
// its struct inherits from here is built for its own set (and, in an unnamed
// namespace, for that file alone); see lane_path.h.
#pragma once

namespace {

// For a struct Set that names its vectors (vd, mask, vf, fmask, vi) and its bits(),
// as `struct Set : LaneVectors<Set>`. A set that needs another instruction for one
// of these operations defines its own, which hides the one here.
template <class Set>
struct LaneVectors {
    // The numbers.
    static auto set1(double x) { return splat<typename Set::vd>(x); }
    static auto set1f(float x) { return splat<typename Set::vf>(x); }
    template <class V>
    static V add(V a, V b) { return a + b; }
    template <class V>
    static V sub(V a, V b) { return a - b; }
    template <class V>
    static V mul(V a, V b) { return a * b; }
    template <class V>
    static V fadd(V a, V b) { return a + b; }
    template <class V>
    static V fmul(V a, V b) { return a * b; }

    // No lane set, integers all zero, and whether any lane is set.
    static auto none() { return typename Set::mask{}; }
    static auto zero_ints() { return typename Set::vi{}; }
    template <class Mask>
    static bool any(Mask m) { return Set::bits(m) != 0; }

    // Compares, for sets whose verdicts are the integer vectors the operators give
    // (a lane all ones where true; false for NaN). x86's compares pick predicates
    // and registers of their own.
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

private:
    // A compare's result on numbers V seen as the set's verdicts on them.
    template <class V, class Result>
    static auto verdict(Result r)
    {
        if constexpr (std::is_same_v<V, typename Set::vd>)
            return (typename Set::mask)r;
        else
            return (typename Set::fmask)r;
    }

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
