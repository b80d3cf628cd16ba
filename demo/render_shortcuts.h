// Whole stored expressions of the rule, evaluated in double where that provably
// stores the float the rule stores. The rule (render_rule.h) asks its arithmetic
// type's Shortcuts first at each store; a shortcut that cannot vouch for its result
// returns false, and the expression is then evaluated as written. The x87 needs
// none: its Shortcuts decline at compile time and leave its code as it was.
// Extended's pay, because most of its cost is in keeping the exact rest of values
// that are about to be rounded to float anyway.
//
// Facts used below (fl53, fl64, fl24: rounding to nearest even at 53, 64 and 24 bits):
// - Let r = fl53(v) and e = fl64(v) for an exact value v. No double lies strictly
//   between v and r, and e is no farther from v than r, so no float midpoint (a
//   double) lies strictly between r and e: fl24(r) = fl24(e) unless r is a midpoint
//   and v != r. Exact midpoints round alike, ties to even both times.
// - Products of two floats are exact in double (48 bits, and at least 2^-298, far
//   above double's subnormals), and so exact at 64 bits too.
// - When no float midpoint lies within a bound B of r, every value within B of r
//   stores the float r stores (rounds_alike). Each bound below is twice the error
//   it covers (that of the double evaluation plus that of the 64-bit one), which
//   also covers the rounding of the test's own sum.
#pragma once

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "render.h"
#if !defined(__cpp_lib_bit_cast)
// Emscripten 3.1.6's libc++ has <bit> without bit_cast; the builtin is what it would be.
namespace std {
template <class To, class From>
constexpr To bit_cast(const From& from) noexcept
{
    return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif
#if VORLIX_RENDER_SOFTWARE
#include "extended.h"
#endif

namespace render_rule {

// None, for any type: the rule is evaluated as written. Each shortcut stores its
// result in its last argument and returns true, or leaves it and returns false;
// sum_below returns 1 or 0, or -1 when it cannot tell. Forced inline, so that
// declining leaves no trace in the caller's code.
template <class Wide>
struct Shortcuts {
    // Wide{a} + b < bound
    [[gnu::always_inline]] static int sum_below(float, float, float) { return -1; }
    // Wide{a} * b
    [[gnu::always_inline]] static bool product(float, float, float&) { return false; }
    // Wide{a} * b * c
    [[gnu::always_inline]] static bool product(float, float, float, float&) { return false; }
    // Wide{a} - b + c
    [[gnu::always_inline]] static bool difference_sum(float, float, float, float&) { return false; }
    // Wide{a} + b
    [[gnu::always_inline]] static bool sum(float, float, float&) { return false; }
    // Wide{a} * a + Wide{b} * b
    [[gnu::always_inline]] static bool square_sum(float, float, float&) { return false; }
    // acc = -(fabs(Wide{m} - centre) / width) + acc + gain
    [[gnu::always_inline]] static bool ring_hit(float, float, float, float, float&) { return false; }
    // nearbyint(Wide{root} * scale), as an int32
    [[gnu::always_inline]] static bool intensity(double, double, std::int32_t&) { return false; }
};

#if VORLIX_RENDER_SOFTWARE
template <>
struct Shortcuts<Extended> {
    // a + b < bound: rounding is monotonic and bound is a double and a 64-bit value, so
    // fl53(v) < bound means v < bound, and fl53(v) > bound means v > bound. fl64(v)
    // cannot reach bound from below while fl53(v) stays below it: the 64-bit value
    // would lie within half a 64-bit place of bound, so bound would be the double
    // nearest v.
    static int sum_below(float a, float b, float bound)
    {
        const double s = double{a} + b;
        return s == bound ? -1 : s < bound;
    }

    static bool product(float a, float b, float& out)
    {
        out = static_cast<float>(double{a} * b);
        return true;
    }

    // Exact too when c has at most 5 significant bits (48 + 5 <= 53): its low 19
    // fraction bits are zero. The renderer's c is a constant, so this folds away.
    static bool product(float a, float b, float c, float& out)
    {
        if ((std::bit_cast<std::uint32_t>(c) & 0x7FFFF) != 0)
            return false;
        out = static_cast<float>(double{a} * b * c);
        return true;
    }

    // d = fl53(a - b). When d is exact, so is the 64-bit difference, and what remains
    // is one rounding of the exact a - b + c, where the first fact applies; the sum is
    // then checked for exactness only when r is a midpoint (common: floats of one
    // binade sum to 25 bits) or too small for the midpoint test. When d is not exact,
    // the double chain errs by at most 2^-53 (|a| + |b|) + 2^-53 (|a| + |b| + |c|),
    // plus a hair, and the 64-bit one by 2^-63 of the same: 2^-51 of the sum of
    // magnitudes covers both, and the bound is twice that.
    static bool difference_sum(float a, float b, float c, float& out)
    {
        const double d = double{a} - b;
        const double r = d + c;
        const float f = static_cast<float>(r);
        const bool proven = exact_sum_of(a, -double{b}, d)
                                ? (std::fabs(r) >= FLT_MIN && !float_midpoint(r)) || exact_sum_of(d, c, r)
                                : rounds_alike(r, f, (std::fabs(a) + std::fabs(b) + std::fabs(c)) * 0x1p-50);
        if (proven)
            out = f;
        return proven;
    }

    // The exact sum of floats a and b (|a| >= |b|) has at most 53 bits unless their
    // exponents are 29 or more apart; then |b| is below 2^-5 of a's last place, every
    // rounding of a + b at 53 or 64 bits lies between a and a + b, and the nearest
    // float midpoint is a quarter of that place away or more: both store a.
    static bool sum(float a, float b, float& out)
    {
        out = static_cast<float>(double{a} + b);
        return true;
    }

    // One rounding of the exact sum of two exact squares: the first fact, with the
    // exactness checked where r is a midpoint or below the normal floats.
    static bool square_sum(float a, float b, float& out)
    {
        const double p = double{a} * a, q = double{b} * b;
        const double r = p + q;
        const bool proven = (r >= FLT_MIN && !float_midpoint(r)) || exact_sum_of(p, q, r);
        if (proven)
            out = static_cast<float>(r);
        return proven;
    }

    // With Q the exact quotient and S = |acc| + Q + |gain|: the difference of
    // two floats errs by at most 2^-53 of itself, the quotient by 2^-53 more, and the
    // two sums by 2^-53 of their results each, so the double chain errs by at most
    // 4 * 2^-53 S plus a hair, and the 64-bit one by 4 * 2^-64 S: 2^-50 S covers
    // both, and the bound is twice that.
    static bool ring_hit(float m, float centre, float width, float gain, float& acc)
    {
        const double q = std::fabs(double{m} - centre) / width;
        const double r = (acc - q) + gain;
        const float f = static_cast<float>(r);
        if (!rounds_alike(r, f, (std::fabs(acc) + q + std::fabs(gain)) * 0x1p-49))
            return false;
        acc = f;
        return true;
    }

    // For p = fl53(root * scale) in [0, 2^30): p lies within 2^-53 p < 2^-23 of the
    // exact product, the 64-bit one within 2^-64 of it times p, so the two are less
    // than 2^-22 apart; when p is farther than that from every half-integer, both
    // round to the integer nearest p. Adding and taking away 2^52 rounds p to that
    // integer, ties to even, and p - n is exact.
    static bool intensity(double root, double scale, std::int32_t& out)
    {
        const double p = root * scale;
        if (!(p >= 0 && p < 0x1p30))
            return false;
        const double n = (p + 0x1p52) - 0x1p52;
        if (!(std::fabs(p - n) < 0.5 - 0x1p-22))
            return false;
        out = static_cast<std::int32_t>(n);
        return true;
    }

private:
    // Whether double r lies half way between two normal floats: below float's last
    // place its significand reads 1 and 28 zeros. Meaningless below FLT_MIN, where
    // the float grid is coarser; callers test that first.
    static bool float_midpoint(double r) { return (std::bit_cast<std::uint64_t>(r) & 0x1FFFFFFF) == 0x10000000; }

    // Whether r = fl53(x + y) is exact: of the two residues r - x and r - y, the one
    // taken from the operand of larger magnitude is computed exactly (Fast2Sum), and
    // it equals the other operand only when nothing was lost; when r is exact both
    // are exact and both equal.
    static bool exact_sum_of(double x, double y, double r) { return r - x == y && r - y == x; }

    // Whether every value within `bound` of r stores f = fl24(r) too. r lies in f's
    // rounding cell, whose ends are the midpoints half f's last place away, or a
    // quarter of it below a power of two, where the floats are twice as dense. When
    // |r - f| + bound is below the nearer of those, the whole interval lies inside
    // the cell. r - f is exact (Sterbenz). Zero and subnormal f are left to the rule.
    static bool rounds_alike(double r, float f, double bound)
    {
        const std::uint32_t magnitude = std::bit_cast<std::uint32_t>(f) & 0x7FFFFFFF;
        std::uint64_t field = magnitude >> 23;
        if (field == 0)
            return false;
        if ((magnitude & 0x7FFFFF) == 0)
            --field;
        // 2^(field - 127 - 24): half the last place of a float of that exponent field.
        const double half_gap = std::bit_cast<double>((field + 1023 - 127 - 24) << 52);
        return std::fabs(r - f) + bound < half_gap;
    }
};
#endif

}  // namespace render_rule
