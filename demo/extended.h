// Extended precision (64-bit significand, round to nearest, ties to even) without an
// x87 unit: each operation gives the bits the x87 gives for the same operands with its
// precision control at 64 bits.
//
// ExtendedBits does every operation with integers, on the x87 format's own fields.
// Extended, the type the renderer uses, holds a value as two doubles, hi + lo exactly,
// works with the processor's doubles and leaves what it cannot prove to ExtendedBits.
// docs/exactness.md ("Without an x87") tells how, and the range each covers.
//
// Everything is inline: the renderer's inner loop runs these a dozen times a pass.
#pragma once

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "demo/float_bits.h"

#if !defined(__SIZEOF_INT128__)
#error "ExtendedBits needs a 64 x 64 -> 128-bit integer multiply (unsigned __int128)"
#endif

class ExtendedBits {
public:
    ExtendedBits() = default;
    ExtendedBits(double value) { from_binary<double_format>(bits_as<std::uint64_t>(value)); }

    // Rounded once to nearest even, as a store of the x87 register to memory rounds.
    explicit operator float() const { return bits_as<float>(static_cast<std::uint32_t>(to_binary<float_format>())); }
    explicit operator double() const { return bits_as<double>(to_binary<double_format>()); }
    // Truncates toward zero, like the conversion of a long double to an integer.
    explicit operator std::int32_t() const
    {
        if (significand_ == 0 || exponent_ < 0)
            return 0;
        const std::uint64_t whole = exponent_ >= 63 ? significand_ : significand_ >> (63 - exponent_);
        return negative_ ? static_cast<std::int32_t>(0 - whole) : static_cast<std::int32_t>(whole);
    }

    friend ExtendedBits operator+(const ExtendedBits& a, const ExtendedBits& b) { return add(a, b, b.negative_); }
    friend ExtendedBits operator-(const ExtendedBits& a, const ExtendedBits& b) { return add(a, b, !b.negative_); }
    friend ExtendedBits operator*(const ExtendedBits& a, const ExtendedBits& b)
    {
        const bool negative = a.negative_ != b.negative_;
        if (a.significand_ == 0 || b.significand_ == 0)
            return zero(negative);
        Uint128 product = Uint128{a.significand_} * b.significand_;
        int exponent = a.exponent_ + b.exponent_;
        // Two significands in [2^63, 2^64) multiply to [2^126, 2^128).
        if (product >> 127)
            ++exponent;
        else
            product <<= 1;
        return rounded(negative, exponent, product);
    }
    friend ExtendedBits operator/(const ExtendedBits& a, const ExtendedBits& b)
    {
        const bool negative = a.negative_ != b.negative_;
        if (a.significand_ == 0)
            return zero(negative);
        // A numerator of a's significand shifted so that the quotient has exactly 64
        // bits; the remainder decides the rounding.
        int exponent = a.exponent_ - b.exponent_;
        Uint128 numerator = Uint128{a.significand_} << 64;
        if (a.significand_ >= b.significand_)
            numerator >>= 1;
        else
            --exponent;
        const std::uint64_t quotient = static_cast<std::uint64_t>(numerator / b.significand_);
        const std::uint64_t remainder = static_cast<std::uint64_t>(numerator % b.significand_);
        // A rest above half where 2 * remainder exceeds the divisor, below it elsewhere;
        // never exactly half (fact 17 of docs/exactness.md).
        const bool up = remainder > b.significand_ - remainder;
        return rounded(negative, exponent, Uint128{quotient} << 64 | (up ? ~std::uint64_t{0} : 0));
    }
    // To an integral value, nearest, ties to even: the x87's frndint in its default mode.
    friend ExtendedBits nearbyint(const ExtendedBits& a)
    {
        if (a.significand_ == 0 || a.exponent_ >= 63)
            return a;
        if (a.exponent_ < -1)
            return zero(a.negative_);
        const int shift = 63 - a.exponent_;  // 1 to 64 fraction bits
        const std::uint64_t whole = shift == 64 ? 0 : a.significand_ >> shift;
        const std::uint64_t fraction = shift == 64 ? a.significand_ : a.significand_ << (64 - shift);
        const std::uint64_t half = std::uint64_t{1} << 63;
        const std::uint64_t n = whole + (fraction > half || (fraction == half && (whole & 1)));
        if (n == 0)
            return zero(a.negative_);
        const int lead = std::countl_zero(n);
        return ExtendedBits::from_fields(a.negative_, 63 - lead, n << lead);
    }

    // A value from the x87 format's fields: `significand` has its leading bit set, or
    // is 0 for a zero; the value is significand * 2^(exponent - 63).
    static ExtendedBits from_fields(bool negative, int exponent, std::uint64_t significand)
    {
        ExtendedBits r;
        r.negative_ = negative;
        r.significand_ = significand;
        r.exponent_ = significand == 0 ? zero_exponent : exponent;
        return r;
    }

    // Sign, the unbiased exponent of the leading bit, and the 64-bit significand with
    // its leading bit set (all zero for a zero): the fields of the x87's format.
    bool negative() const { return negative_; }
    int exponent() const { return significand_ == 0 ? 0 : exponent_; }
    std::uint64_t significand() const { return significand_; }

private:
    using Uint128 = unsigned __int128;

    struct FormatInfo {
        int significand_bits;  // stored fraction bits
        int exponent_bias;
        int exponent_field_max;
        int width;  // bits of the whole format
    };
    static constexpr FormatInfo float_format{23, 127, 255, 32};
    static constexpr FormatInfo double_format{52, 1023, 2047, 64};
    // Below every exponent a non-zero value can have, so that zero sorts below all.
    static constexpr int zero_exponent = -(1 << 30);

    static ExtendedBits zero(bool negative) { return from_fields(negative, 0, 0); }

    // Every value of a finite binary format is exact in extended precision.
    template <FormatInfo F>
    void from_binary(std::uint64_t bits)
    {
        negative_ = (bits >> (F.width - 1)) & 1;
        const int field = static_cast<int>((bits >> F.significand_bits) & static_cast<std::uint64_t>(F.exponent_field_max));
        const std::uint64_t fraction = bits & ((std::uint64_t{1} << F.significand_bits) - 1);
        if (field != 0) {
            significand_ = (fraction | std::uint64_t{1} << F.significand_bits) << (63 - F.significand_bits);
            exponent_ = field - F.exponent_bias;
        } else if (fraction == 0) {
            significand_ = 0;
            exponent_ = zero_exponent;
        } else {
            const int shift = std::countl_zero(fraction);
            significand_ = fraction << shift;
            exponent_ = 1 - F.exponent_bias - F.significand_bits + 63 - shift;
        }
    }

    // One rounding to nearest even at the format's precision, subnormal results
    // included; values beyond the format's largest round to infinity.
    template <FormatInfo F>
    std::uint64_t to_binary() const
    {
        const std::uint64_t sign = static_cast<std::uint64_t>(negative_) << (F.width - 1);
        const int min_exponent = 1 - F.exponent_bias;
        // Bits of the significand that fall below the result's last place.
        int drop = 63 - F.significand_bits;
        if (exponent_ < min_exponent)
            drop += min_exponent - exponent_;
        std::uint64_t kept;
        bool up;
        if (drop < 64) {
            kept = significand_ >> drop;
            const std::uint64_t rest = significand_ & ((std::uint64_t{1} << drop) - 1);
            const std::uint64_t half = std::uint64_t{1} << (drop - 1);
            up = rest > half || (rest == half && (kept & 1));
        } else {
            kept = 0;
            up = drop == 64 && significand_ > (std::uint64_t{1} << 63);
        }
        kept += up;
        // A normal result's leading bit lands on the exponent field's lowest bit, so
        // a carry out of the significand moves the exponent on by itself, and a
        // subnormal that rounds up to the smallest normal gets its exponent field.
        const std::uint64_t biased = exponent_ < min_exponent ? 0 : static_cast<std::uint64_t>(exponent_ + F.exponent_bias - 1);
        std::uint64_t magnitude = (biased << F.significand_bits) + kept;
        const std::uint64_t infinity = static_cast<std::uint64_t>(F.exponent_field_max) << F.significand_bits;
        if (exponent_ + F.exponent_bias >= F.exponent_field_max || magnitude > infinity)
            magnitude = infinity;
        return sign | magnitude;
    }

    // A 128-bit significand (leading bit set) rounded to 64 bits.
    static ExtendedBits rounded(bool negative, int exponent, Uint128 significand)
    {
        std::uint64_t high = static_cast<std::uint64_t>(significand >> 64);
        const std::uint64_t low = static_cast<std::uint64_t>(significand);
        const std::uint64_t half = std::uint64_t{1} << 63;
        if (low > half || (low == half && (high & 1))) {
            if (++high == 0) {
                high = half;
                ++exponent;
            }
        }
        ExtendedBits r;
        r.negative_ = negative;
        r.exponent_ = exponent;
        r.significand_ = high;
        return r;
    }

    // a + b, with b's sign taken as b_negative. Out of line, like the slow paths that
    // call it: inlined, it changes how the compiler builds the renderer's loop.
    [[gnu::noinline]] static ExtendedBits add(const ExtendedBits& a, const ExtendedBits& b, bool b_negative)
    {
        // big is the operand of the larger magnitude.
        const bool a_bigger = a.exponent_ != b.exponent_ ? a.exponent_ > b.exponent_ : a.significand_ >= b.significand_;
        const ExtendedBits& big = a_bigger ? a : b;
        const ExtendedBits& small = a_bigger ? b : a;
        const bool big_negative = a_bigger ? a.negative_ : b_negative;
        const bool small_negative = a_bigger ? b_negative : a.negative_;

        // Both significands as 128-bit values, in the high word; small's shifted right
        // by the exponent gap, the bits shifted out kept as a sticky lowest bit, which
        // rounds right (fact 17).
        const int gap = big.exponent_ - small.exponent_;
        const Uint128 big_wide = Uint128{big.significand_} << 64, small_wide = Uint128{small.significand_} << 64;
        Uint128 shifted = small_wide;
        if (gap >= 128)
            shifted = small.significand_ != 0;
        else if (gap > 0)
            shifted = small_wide >> gap | ((small_wide << (128 - gap)) != 0);

        int exponent = big.exponent_;
        if (big_negative == small_negative) {
            Uint128 sum = big_wide + shifted;
            if (sum < big_wide) {  // carried out: one place up
                sum = sum >> 1 | (sum & 1) | Uint128{1} << 127;
                ++exponent;
            }
            if (sum == 0)  // both zero: the sign they share
                return zero(big_negative);
            return rounded(big_negative, exponent, sum);
        }

        const Uint128 difference = big_wide - shifted;
        if (difference == 0)  // exact cancellation gives +0 when rounding to nearest
            return zero(false);
        const auto high = static_cast<std::uint64_t>(difference >> 64), low = static_cast<std::uint64_t>(difference);
        const int shift = high != 0 ? std::countl_zero(high) : 64 + std::countl_zero(low);
        return rounded(big_negative, exponent - shift, difference << shift);
    }

    // Left unset by the default constructor, so that holding one costs nothing until
    // a value is put in.
    std::uint64_t significand_;
    int exponent_;
    bool negative_;
};

class Extended {
public:
    Extended() = default;
    Extended(float value) : hi_(value) {}
    Extended(double value) : hi_(value) {}
    Extended(std::int32_t value) : hi_(value) {}
    explicit Extended(const ExtendedBits& bits)
    {
        hi_ = static_cast<double>(bits);
        lo_ = static_cast<double>(bits - ExtendedBits(hi_));  // at most 11 bits: exact
    }

    [[gnu::always_inline]] explicit operator float() const
    {
        if (lo_ == 0)
            return static_cast<float>(hi_);
        if (std::fabs(hi_) < FLT_MIN)
            return static_cast<float>(slow_bits(*this));
        if (float_midpoint(hi_)) {
            // On a float midpoint the rest decides (fact 16 of docs/exactness.md).
            const std::uint64_t b = bits_as<std::uint64_t>(hi_);
            return static_cast<float>(bits_as<double>(std::signbit(hi_) == std::signbit(lo_) ? b + 1 : b - 1));
        }
        return static_cast<float>(hi_);
    }
    explicit operator double() const { return hi_; }
    explicit operator std::int32_t() const
    {
        return lo_ == 0 ? static_cast<std::int32_t>(hi_) : static_cast<std::int32_t>(slow_bits(*this));
    }

    [[gnu::always_inline]] friend Extended operator+(Extended a, Extended b)
    {
        if (a.lo_ == 0 && b.lo_ == 0) {
            double s, e;
            two_sum(a.hi_, b.hi_, s, e);
            if (e == 0)
                return Extended(s);
            if (std::fabs(s) >= tiny)
                return rounded(s, e);
            return slow_add(a, b);
        }
        return pair_add(a, b);
    }
    [[gnu::always_inline]] friend Extended operator-(Extended a, Extended b) { return a + -b; }
    [[gnu::always_inline]] friend Extended operator*(Extended a, Extended b)
    {
        if (a.lo_ == 0 && b.lo_ == 0) {
            const double p = a.hi_ * b.hi_;
            // Exact with 53 significand bits or fewer between them (float times float).
            if (significant_bits(a.hi_) + significant_bits(b.hi_) <= 53 && (std::fabs(p) >= DBL_MIN || p == 0))
                return Extended(p);
            if (std::fabs(p) >= tiny)
                return rounded(p, product_error(a.hi_, b.hi_, p));
        }
        return slow_multiply(a, b);
    }
    friend Extended operator/(Extended a, Extended b) { return divide(a, b); }
    Extended operator-() const { return Extended(-hi_, -lo_); }
    friend Extended fabs(Extended a) { return std::signbit(a.hi_) ? -a : a; }
    friend Extended nearbyint(Extended a)
    {
        // Below 2^52 the rest is under a half, and off a half-integer it cannot move
        // the value across one.
        if (a.lo_ == 0 || (std::fabs(a.hi_) < 0x1p52 && a.hi_ - std::floor(a.hi_) != 0.5))
            return Extended(std::nearbyint(a.hi_));  // the default mode: ties to even
        return Extended(nearbyint(slow_bits(a)));
    }

    // -1, 0 or 1; +0 and -0 are equal. hi_ is the value rounded to double, ties to
    // even, so the pairs order as the values do.
    [[gnu::always_inline]] friend int compare(Extended a, Extended b)
    {
        if (a.hi_ != b.hi_)
            return a.hi_ < b.hi_ ? -1 : 1;
        return a.lo_ < b.lo_ ? -1 : a.lo_ > b.lo_ ? 1 : 0;
    }
    friend bool operator<(Extended a, Extended b) { return compare(a, b) < 0; }

    // The value in the x87 format's fields.
    ExtendedBits bits() const { return slow_bits(*this); }

private:
    Extended(double hi, double lo) : hi_(hi), lo_(lo) {}

    // Below this the pair's rest could fall beneath the normal doubles, and the
    // integers take over; the renderer's values stay far above it.
    static constexpr double tiny = 0x1p-900;

    // The exact value s + e (s the double nearest it, |e| at most half of s's last
    // place) rounded to 64 bits, as the pair (nearest double, exact rest).
    [[gnu::always_inline]] static Extended rounded(double s, double e)
    {
        Extended r;
        rounded_within(s, e, 0, r);
        return r;
    }

    // The same for an e known only to within `error` of the exact rest: false (and r
    // unset) when the rounding could go either way within that error.
    [[gnu::always_inline]] static bool rounded_within(double s, double e, double error, Extended& r)
    {
        r.hi_ = s;
        r.lo_ = 0;
        if (e == 0 && error == 0)
            return true;
        // The 64-bit last place of s + e: 2^-11 of s's own, or 2^-12 when s is a
        // power of two and e takes the sum below it.
        const std::uint64_t b = bits_as<std::uint64_t>(s);
        std::uint64_t place_bits = ((b >> 52 & 0x7FF) - 63) << 52;
        // The rest must stay within half of s's last place, 2^10 places.
        if (error > 0 && std::fabs(e) + error > 0x1p10 * bits_as<double>(place_bits))
            return false;
        if ((b & 0x000FFFFFFFFFFFFF) == 0) {
            if (error > 0 && std::fabs(e) <= error)
                return false;
            if (std::signbit(s) != std::signbit(e))
                place_bits -= std::uint64_t{1} << 52;
        }
        const double place = bits_as<double>(place_bits);
        // e rounded to a multiple of the place, ties to even: s is an even multiple of
        // it, so this is the 64-bit rounding of the sum. Adding 1.5 * 2^52 places
        // leaves exactly the place as the last bit of the intermediate.
        const double shift = place * 0x1.8p52;
        const double e_rounded = (e + shift) - shift;
        if (error > 0 && std::fabs(std::fabs(e - e_rounded) - 0.5 * place) <= error)
            return false;
        // Back to the nearest double and an exact rest (the rounding can land on a
        // double, or half way between two).
        r.hi_ = s + e_rounded;
        r.lo_ = e_rounded - (r.hi_ - s);
        return true;
    }

    // x + y exactly as sum + error (TwoSum).
    [[gnu::always_inline]] static void two_sum(double x, double y, double& sum, double& error)
    {
        sum = x + y;
        const double y_part = sum - x;
        error = (x - (sum - y_part)) + (y - y_part);
    }

    // Two pairs: the exact sum as a double and a rest known to a few of its last
    // places, then rounded unless that is too close to call.
    [[gnu::noinline]] static Extended pair_add(Extended a, Extended b)
    {
        double s, e, t, f, u, g, v, w;
        two_sum(a.hi_, b.hi_, s, e);
        two_sum(a.lo_, b.lo_, t, f);
        two_sum(e, t, u, g);
        two_sum(s, u, v, w);  // a + b = v + w + g + f exactly
        const double gf = g + f;
        const double rest = w + gf;
        const double error = (std::fabs(gf) + std::fabs(rest)) * 0x1p-52;
        Extended r;
        if (std::fabs(v) >= tiny && rounded_within(v, rest, error, r))
            return r;
        return slow_add(a, b);
    }

    // A double over a double: the quotient q, the exact remainder a - q * b (a double
    // when q is the nearest double), and the rest of the quotient to half its last
    // place; it is never exactly half way at 64 bits (fact 17).
    [[gnu::noinline]] static Extended divide(Extended a, Extended b)
    {
        const double q = a.hi_ / b.hi_;
        const double p = q * b.hi_;
        const double remainder = (a.hi_ - p) - product_error(q, b.hi_, p);
        const double rest = remainder / b.hi_;
        Extended r;
        if (a.lo_ == 0 && b.lo_ == 0 && std::fabs(q) >= tiny && std::fabs(q) < 0x1p1000 &&
            rounded_within(q, rest, std::fabs(rest) * 0x1p-52, r))
            return r;
        return slow_divide(a, b);
    }

    // a * b - p exactly, for p the double nearest a * b.
    static double product_error(double a, double b, double p)
    {
#if defined(__FP_FAST_FMA)
        return __builtin_fma(a, b, -p);
#else
        const auto split = [](double x, double& high, double& low) {
            const double c = 134217729.0 * x;  // 2^27 + 1
            high = c - (c - x);
            low = x - high;
        };
        double a_high, a_low, b_high, b_low;
        split(a, a_high, a_low);
        split(b, b_high, b_low);
        return ((a_high * b_high - p) + a_high * b_low + a_low * b_high) + a_low * b_low;
#endif
    }

    // Bits of a double's significand from the leading one to the last one.
    static int significant_bits(double d)
    {
        return 53 - std::countr_zero((bits_as<std::uint64_t>(d) & 0x000FFFFFFFFFFFFF) | 0x0010000000000000);
    }

    // The slow paths: the pair to its fields (hi_ + lo_ fits 64 bits, so the sum is
    // exact), the operation in integers, and back.
    [[gnu::noinline]] static ExtendedBits slow_bits(Extended x)
    {
        return x.lo_ == 0 ? ExtendedBits(x.hi_) : ExtendedBits(x.hi_) + ExtendedBits(x.lo_);  // keeps -0
    }
    [[gnu::noinline]] static Extended slow_add(Extended a, Extended b) { return Extended(a.bits() + b.bits()); }
    [[gnu::noinline]] static Extended slow_multiply(Extended a, Extended b) { return Extended(a.bits() * b.bits()); }
    [[gnu::noinline]] static Extended slow_divide(Extended a, Extended b) { return Extended(a.bits() / b.bits()); }

    // The value is hi_ + lo_ exactly, already rounded to 64 bits; hi_ is it rounded
    // to double (ties to even) and lo_ the rest, 0 for a value that is a double.
    double hi_ = 0;
    double lo_ = 0;
};
