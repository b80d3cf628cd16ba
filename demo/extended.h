// Extended precision (64-bit significand, round to nearest, ties to even) carried out
// with integers, for processors without an x87 unit. Each operation gives the bits the
// x87 gives for the same operands with its precision control at 64 bits.
//
// Range. The renderer's operands are floats, doubles (sin, cos and sqrt results and
// constants) and 32-bit integers, and each of its expressions combines at most three of
// them before the result is stored. Every non-zero value it can form therefore lies
// between 2^-447 (a product of three floats near the smallest subnormal; in practice
// far larger) and 2^64 (frame_counter * 3.141593 is below 2^33), deep inside the
// extended format's normal range of 2^-16382 to 2^16384. So this type has no infinity,
// no NaN and no extended subnormals: it holds zero or a normalised finite value, and
// the exponent is kept unclamped in an int. Division by zero is not reachable either.
// Results rounded to float or double do go subnormal (squares of small orbit values),
// and are rounded as the x87 rounds them, once, at the subnormal position.
// extended_normal_range() tells whether a value is inside the range this type gives the
// x87's bits for; tests check the renderer's values against it.
//
// Everything is inline: the renderer's inner loop runs these a dozen times a pass.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if !defined(__SIZEOF_INT128__)
#error "Extended needs a 64 x 64 -> 128-bit integer multiply (unsigned __int128)"
#endif

class Extended {
public:
    Extended() = default;
    Extended(float value) { from_binary<float_format>(bits_of(value)); }
    Extended(double value) { from_binary<double_format>(bits_of(value)); }
    Extended(std::int32_t value)
    {
        negative_ = value < 0;
        const std::uint64_t magnitude = negative_ ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
        if (magnitude == 0) {
            set_zero();
            return;
        }
        const int shift = std::countl_zero(magnitude);
        significand_ = magnitude << shift;
        exponent_ = 63 - shift;
    }

    // Rounded once to nearest even, as a store of the x87 register to memory rounds.
    explicit operator float() const
    {
        float f;
        const std::uint32_t bits = static_cast<std::uint32_t>(to_binary<float_format>());
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    explicit operator double() const
    {
        double d;
        const std::uint64_t bits = to_binary<double_format>();
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    // Truncates toward zero, like the conversion of a long double to an integer.
    explicit operator std::int32_t() const
    {
        if (significand_ == 0 || exponent_ < 0)
            return 0;
        const std::uint64_t whole = exponent_ >= 63 ? significand_ : significand_ >> (63 - exponent_);
        return negative_ ? static_cast<std::int32_t>(0 - whole) : static_cast<std::int32_t>(whole);
    }

    friend Extended operator+(const Extended& a, const Extended& b) { return add(a, b, b.negative_); }
    friend Extended operator-(const Extended& a, const Extended& b) { return add(a, b, !b.negative_); }
    friend Extended operator*(const Extended& a, const Extended& b)
    {
        const bool negative = a.negative_ != b.negative_;
        if (a.significand_ == 0 || b.significand_ == 0)
            return zero(negative);
        const unsigned __int128 product = static_cast<unsigned __int128>(a.significand_) * b.significand_;
        std::uint64_t high = static_cast<std::uint64_t>(product >> 64);
        std::uint64_t low = static_cast<std::uint64_t>(product);
        int exponent = a.exponent_ + b.exponent_;
        // Two significands in [2^63, 2^64) multiply to [2^126, 2^128).
        if (high >> 63) {
            ++exponent;
        } else {
            high = high << 1 | low >> 63;
            low <<= 1;
        }
        return rounded(negative, exponent, high, low);
    }
    friend Extended operator/(const Extended& a, const Extended& b)
    {
        const bool negative = a.negative_ != b.negative_;
        if (a.significand_ == 0)
            return zero(negative);
        // A numerator of a's significand shifted so that the quotient has exactly 64
        // bits; the remainder decides the rounding.
        int exponent = a.exponent_ - b.exponent_;
        unsigned __int128 numerator = static_cast<unsigned __int128>(a.significand_) << 64;
        if (a.significand_ >= b.significand_)
            numerator >>= 1;
        else
            --exponent;
        std::uint64_t quotient = static_cast<std::uint64_t>(numerator / b.significand_);
        const std::uint64_t remainder = static_cast<std::uint64_t>(numerator % b.significand_);
        // Up when 2 * remainder exceeds the divisor. It never equals it: a quotient of
        // two 64-bit significands cannot end exactly half way at 64 bits, for that
        // would need a 65-bit odd multiple of the divisor to fit in 64 bits.
        if (remainder > b.significand_ - remainder) {
            if (++quotient == 0) {
                quotient = std::uint64_t{1} << 63;
                ++exponent;
            }
        }
        Extended r;
        r.negative_ = negative;
        r.exponent_ = exponent;
        r.significand_ = quotient;
        return r;
    }
    Extended operator-() const
    {
        Extended r = *this;
        r.negative_ = !negative_;
        return r;
    }
    friend Extended fabs(const Extended& a)
    {
        Extended r = a;
        r.negative_ = false;
        return r;
    }
    // To an integral value, nearest, ties to even: the x87's frndint in its default mode.
    friend Extended nearbyint(const Extended& a)
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
        Extended r;
        r.negative_ = a.negative_;
        const int lead = std::countl_zero(n);
        r.significand_ = n << lead;
        r.exponent_ = 63 - lead;
        return r;
    }

    // -1, 0 or 1; +0 and -0 are equal.
    friend int compare(const Extended& a, const Extended& b)
    {
        if (a.significand_ == 0 && b.significand_ == 0)
            return 0;
        if (a.negative_ != b.negative_)
            return a.negative_ ? -1 : 1;
        const int magnitude = a.exponent_ != b.exponent_ ? (a.exponent_ < b.exponent_ ? -1 : 1)
                              : a.significand_ != b.significand_ ? (a.significand_ < b.significand_ ? -1 : 1)
                                                                 : 0;
        return a.negative_ ? -magnitude : magnitude;
    }
    friend bool operator<(const Extended& a, const Extended& b) { return compare(a, b) < 0; }
    friend bool operator>(const Extended& a, const Extended& b) { return compare(a, b) > 0; }
    friend bool operator<=(const Extended& a, const Extended& b) { return compare(a, b) <= 0; }
    friend bool operator>=(const Extended& a, const Extended& b) { return compare(a, b) >= 0; }
    friend bool operator==(const Extended& a, const Extended& b) { return compare(a, b) == 0; }

    // A value from the x87 format's fields: `significand` has its leading bit set, or
    // is 0 for a zero; the value is significand * 2^(exponent - 63).
    static Extended from_fields(bool negative, int exponent, std::uint64_t significand)
    {
        Extended r;
        r.negative_ = negative;
        if (significand == 0) {
            r.set_zero();
        } else {
            r.significand_ = significand;
            r.exponent_ = exponent;
        }
        return r;
    }

    // Sign, the unbiased exponent of the leading bit, and the 64-bit significand with
    // its leading bit set (all zero for a zero): the fields of the x87's format.
    bool negative() const { return negative_; }
    int exponent() const { return significand_ == 0 ? 0 : exponent_; }
    std::uint64_t significand() const { return significand_; }

private:
    struct FormatInfo {
        int significand_bits;  // stored fraction bits
        int exponent_bias;
        int exponent_field_max;
    };
    static constexpr FormatInfo float_format{23, 127, 255};
    static constexpr FormatInfo double_format{52, 1023, 2047};
    // Below every exponent a non-zero value can have, so that zero sorts below all.
    static constexpr int zero_exponent = -(1 << 30);

    static std::uint64_t bits_of(float f)
    {
        std::uint32_t b;
        std::memcpy(&b, &f, sizeof b);
        return b;
    }
    static std::uint64_t bits_of(double d)
    {
        std::uint64_t b;
        std::memcpy(&b, &d, sizeof b);
        return b;
    }

    void set_zero()
    {
        significand_ = 0;
        exponent_ = zero_exponent;
    }
    static Extended zero(bool negative)
    {
        Extended r;
        r.negative_ = negative;
        r.set_zero();
        return r;
    }

    // Every value of a finite binary format is exact in extended precision.
    template <FormatInfo F>
    void from_binary(std::uint64_t bits)
    {
        const int width = F.significand_bits + 1 + (F.exponent_field_max == 255 ? 8 : 11);
        negative_ = (bits >> (width - 1)) & 1;
        const int field = static_cast<int>((bits >> F.significand_bits) & static_cast<std::uint64_t>(F.exponent_field_max));
        const std::uint64_t fraction = bits & ((std::uint64_t{1} << F.significand_bits) - 1);
        if (field != 0) {
            significand_ = (fraction | std::uint64_t{1} << F.significand_bits) << (63 - F.significand_bits);
            exponent_ = field - F.exponent_bias;
        } else if (fraction == 0) {
            set_zero();
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
        const int width = F.significand_bits + 1 + (F.exponent_field_max == 255 ? 8 : 11);
        const std::uint64_t sign = static_cast<std::uint64_t>(negative_) << (width - 1);
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

    // The 128-bit significand high:low (leading bit set in high) rounded to 64 bits.
    static Extended rounded(bool negative, int exponent, std::uint64_t high, std::uint64_t low)
    {
        const std::uint64_t half = std::uint64_t{1} << 63;
        if (low > half || (low == half && (high & 1))) {
            if (++high == 0) {
                high = half;
                ++exponent;
            }
        }
        Extended r;
        r.negative_ = negative;
        r.exponent_ = exponent;
        r.significand_ = high;
        return r;
    }

    // a + b, with b's sign taken as b_negative.
    static Extended add(const Extended& a, const Extended& b, bool b_negative)
    {
        // big is the operand of the larger magnitude.
        const bool a_bigger = a.exponent_ != b.exponent_ ? a.exponent_ > b.exponent_ : a.significand_ >= b.significand_;
        const Extended& big = a_bigger ? a : b;
        const Extended& small = a_bigger ? b : a;
        const bool big_negative = a_bigger ? a.negative_ : b_negative;
        const bool small_negative = a_bigger ? b_negative : a.negative_;

        // Both significands as 128-bit values, big's in the high word; small's
        // shifted right by the exponent gap, the bits shifted out kept as a sticky
        // lowest bit. 64 bits below the result's last place are more than enough
        // to round right: after a subtraction with a gap of two or more the result
        // moves up at most one place, and a gap of one or less loses nothing.
        const int gap = big.exponent_ - small.exponent_;
        std::uint64_t small_high, small_low;
        if (gap == 0) {
            small_high = small.significand_;
            small_low = 0;
        } else if (gap < 64) {
            small_high = small.significand_ >> gap;
            small_low = small.significand_ << (64 - gap);
        } else if (gap == 64) {
            small_high = 0;
            small_low = small.significand_;
        } else if (gap < 128) {
            small_high = 0;
            small_low = small.significand_ >> (gap - 64);
            small_low |= (small.significand_ << (128 - gap)) != 0;
        } else {
            small_high = 0;
            small_low = small.significand_ != 0;
        }

        int exponent = big.exponent_;
        if (big_negative == small_negative) {
            std::uint64_t low = small_low;
            std::uint64_t high = big.significand_ + small_high;
            if (high < big.significand_) {  // carried out: one place up
                low = (high << 63) | (low >> 1) | (low & 1);
                high = (high >> 1) | (std::uint64_t{1} << 63);
                ++exponent;
            }
            if (high == 0)  // both zero: the sign they share
                return zero(big_negative);
            return rounded(big_negative, exponent, high, low);
        }

        std::uint64_t low = 0 - small_low;
        std::uint64_t high = big.significand_ - small_high - (small_low != 0);
        if (high == 0 && low == 0)  // exact cancellation gives +0 when rounding to nearest
            return zero(false);
        if (high == 0) {
            high = low;
            low = 0;
            exponent -= 64;
        }
        const int shift = std::countl_zero(high);
        if (shift != 0) {
            high = high << shift | low >> (64 - shift);
            low <<= shift;
            exponent -= shift;
        }
        return rounded(big_negative, exponent, high, low);
    }

    std::uint64_t significand_ = 0;
    int exponent_ = zero_exponent;
    bool negative_ = false;
};

// Whether a value lies where this type gives the x87's bits: zero, or a normal
// extended value (2^-16382 <= |x| < 2^16384).
inline bool extended_normal_range(const Extended& x)
{
    return x.significand() == 0 || (x.exponent() >= -16382 && x.exponent() <= 16383);
}
