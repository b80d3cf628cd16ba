// Whole stored expressions of the rule, evaluated in double where that provably
// stores the float the rule stores. The rule (render_rule.h) asks its arithmetic
// type's Shortcuts first at each store; a shortcut that cannot vouch for its result
// returns false, and the expression is then evaluated as written. The x87 needs
// none: its Shortcuts decline at compile time and leave its code as it was.
// Extended's pay, because most of its cost is in keeping the exact rest of values
// that are about to be rounded to float anyway.
//
// Each shortcut rests on a fact of docs/exactness.md, cited by number. Where one
// checks that no float midpoint lies near its result (fact 6), it takes twice the
// bound its fact proves.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "demo/float_bits.h"
#include "render.h"
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
    // a + b < bound, open only when the double sum is the bound (fact 15).
    static int sum_below(float a, float b, float bound)
    {
        const double s = double{a} + b;
        return s == bound ? -1 : s < bound;
    }

    // Exact (fact 1).
    static bool product(float a, float b, float& out)
    {
        out = static_cast<float>(double{a} * b);
        return true;
    }

    // Exact too when c has at most 5 significant bits, its low 19 fraction bits zero
    // (fact 1). The renderer's c is a constant, so this folds away.
    static bool product(float a, float b, float c, float& out)
    {
        if ((bits_as<std::uint32_t>(c) & 0x7FFFF) != 0)
            return false;
        out = static_cast<float>(double{a} * b * c);
        return true;
    }

    // a - b + c (fact 7).
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

    // Always the rule's float (fact 2).
    static bool sum(float a, float b, float& out)
    {
        out = static_cast<float>(double{a} + b);
        return true;
    }

    // One rounding of an exact sum (fact 8).
    static bool square_sum(float a, float b, float& out)
    {
        const double p = double{a} * a, q = double{b} * b;
        const double r = p + q;
        const bool proven = (r >= FLT_MIN && !float_midpoint(r)) || exact_sum_of(p, q, r);
        if (proven)
            out = static_cast<float>(r);
        return proven;
    }

    // No float midpoint within the bound of r (fact 13), with S = |acc| + q + |gain|.
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

    // p = fl53(root * scale) below 2^30, farther than 2^-22 from every half-integer
    // (fact 14).
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
    // Whether r = fl53(x + y) is exact (fact 5).
    static bool exact_sum_of(double x, double y, double r) { return r - x == y && r - y == x; }

    // Whether every value within `bound` of r stores f = fl24(r) too (fact 6); zero
    // and subnormal f are left to the rule.
    static bool rounds_alike(double r, float f, double bound)
    {
        const std::uint32_t magnitude = bits_as<std::uint32_t>(f) & 0x7FFFFFFF;
        std::uint64_t field = magnitude >> 23;
        if (field == 0)
            return false;
        if ((magnitude & 0x7FFFFF) == 0)
            --field;
        // 2^(field - 127 - 24): half the last place of a float of that exponent field.
        const double half_gap = bits_as<double>((field + 1023 - 127 - 24) << 52);
        return std::fabs(r - f) + bound < half_gap;
    }
};
#endif

}  // namespace render_rule
