// Extended against the hardware and against MPFR, operation by operation, bit for bit:
// edge operands from tables, then seeded random ones. MPFR (64-bit precision, round to
// nearest even) is the reference on every processor; where long double is the x87's
// format the x87 must give the same bits too.
//
// CI runs a slice of the random operands; VORLIX_ALL_OPERANDS=1 runs a few million.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <mpfr.h>

#include "demo/extended.h"
#include "demo/render_shortcuts.h"

namespace {

constexpr bool have_x87 = LDBL_MANT_DIG == 64;
constexpr std::uint64_t top_bit = std::uint64_t{1} << 63;

// An extended value by its fields: significand * 2^(exponent - 63).
struct Fields {
    bool negative;
    int exponent;
    std::uint64_t significand;  // leading bit set, or 0 for zero
};

bool operator==(const Fields& a, const Fields& b)
{
    if (a.significand == 0 || b.significand == 0)
        return a.significand == b.significand && a.negative == b.negative;
    return a.negative == b.negative && a.exponent == b.exponent && a.significand == b.significand;
}

std::string describe(const Fields& f)
{
    char text[64];
    std::snprintf(text, sizeof text, "%c0x%016llxp%+d", f.negative ? '-' : '+',
                  static_cast<unsigned long long>(f.significand), f.exponent - 63);
    return text;
}

Fields fields_of(const Extended& x)
{
    const ExtendedBits bits = x.bits();
    return {bits.negative(), bits.exponent(), bits.significand()};
}
Extended extended_of(const Fields& f)
{
    return Extended(ExtendedBits::from_fields(f.negative, f.exponent, f.significand));
}

// One MPFR value at the x87's precision.
class Mp {
public:
    Mp() { mpfr_init2(v_, 64); }
    explicit Mp(const Fields& f) : Mp()
    {
        mpfr_set_uj_2exp(v_, f.significand, f.exponent - 63, MPFR_RNDN);
        if (f.negative)
            mpfr_neg(v_, v_, MPFR_RNDN);
    }
    Mp(const Mp&) = delete;
    ~Mp() { mpfr_clear(v_); }
    mpfr_ptr get() { return v_; }

    Fields fields() const
    {
        if (mpfr_zero_p(v_))
            return {mpfr_signbit(v_) != 0, 0, 0};
        const int exponent = static_cast<int>(mpfr_get_exp(v_)) - 1;
        mpfr_t scaled;
        mpfr_init2(scaled, 64);
        mpfr_abs(scaled, v_, MPFR_RNDN);
        mpfr_mul_2si(scaled, scaled, 63 - exponent, MPFR_RNDN);
        const std::uint64_t significand = mpfr_get_uj(scaled, MPFR_RNDN);
        mpfr_clear(scaled);
        return {mpfr_signbit(v_) != 0, exponent, significand};
    }

private:
    mpfr_t v_;
};

// The x87's format: 64-bit significand, then sign and biased exponent.
long double x87_of(const Fields& f)
{
    long double x = 0;
    unsigned char bytes[sizeof x] = {};
    std::memcpy(bytes, &f.significand, 8);
    const std::uint16_t top = static_cast<std::uint16_t>((f.negative ? 0x8000 : 0) | (f.significand ? f.exponent + 16383 : 0));
    std::memcpy(bytes + 8, &top, 2);
    std::memcpy(&x, bytes, 10);
    return x;
}

Fields fields_of_x87(long double x)
{
    unsigned char bytes[sizeof x];
    std::memcpy(bytes, &x, sizeof x);
    Fields f{};
    std::uint16_t top;
    std::memcpy(&f.significand, bytes, 8);
    std::memcpy(&top, bytes + 8, 2);
    f.negative = top >> 15;
    f.exponent = (top & 0x7FFF) - 16383;
    return f;
}

template <class T>
bool same_bits(T a, T b) { return std::memcmp(&a, &b, sizeof a) == 0; }

enum class Op { add, subtract, multiply, divide };
constexpr Op all_ops[] = {Op::add, Op::subtract, Op::multiply, Op::divide};
const char* op_name(Op op) { return op == Op::add ? "+" : op == Op::subtract ? "-" : op == Op::multiply ? "*" : "/"; }

// Extended or long double.
template <class T>
T apply(Op op, const T& a, const T& b)
{
    switch (op) {
    case Op::add: return a + b;
    case Op::subtract: return a - b;
    case Op::multiply: return a * b;
    case Op::divide: break;
    }
    return a / b;
}

void apply(Op op, Mp& r, Mp& a, Mp& b)
{
    switch (op) {
    case Op::add: mpfr_add(r.get(), a.get(), b.get(), MPFR_RNDN); return;
    case Op::subtract: mpfr_sub(r.get(), a.get(), b.get(), MPFR_RNDN); return;
    case Op::multiply: mpfr_mul(r.get(), a.get(), b.get(), MPFR_RNDN); return;
    case Op::divide: mpfr_div(r.get(), a.get(), b.get(), MPFR_RNDN); return;
    }
}

// What one value must give: the stores to float and double, rounding to an integer,
// truncation to int32 (where it fits) and the MPFR reference for all of them.
::testing::AssertionResult conversions_agree(const Fields& f)
{
    const Extended x = extended_of(f);
    Mp m(f);
    const float mp_float = mpfr_get_flt(m.get(), MPFR_RNDN);
    const double mp_double = mpfr_get_d(m.get(), MPFR_RNDN);
    if (!same_bits(static_cast<float>(x), mp_float))
        return ::testing::AssertionFailure() << describe(f) << " to float: " << static_cast<float>(x) << " vs " << mp_float;
    if (!same_bits(static_cast<double>(x), mp_double))
        return ::testing::AssertionFailure() << describe(f) << " to double: " << static_cast<double>(x) << " vs " << mp_double;
    Mp whole;
    mpfr_rint(whole.get(), m.get(), MPFR_RNDN);
    if (!(fields_of(nearbyint(x)) == whole.fields()))
        return ::testing::AssertionFailure() << describe(f) << " nearbyint: " << describe(fields_of(nearbyint(x)))
                                             << " vs " << describe(whole.fields());
    if (std::fabs(mpfr_get_d(m.get(), MPFR_RNDZ)) < 2147483648.0 &&
        static_cast<std::int32_t>(x) != static_cast<std::int32_t>(mpfr_get_si(m.get(), MPFR_RNDZ)))
        return ::testing::AssertionFailure() << describe(f) << " to int32: " << static_cast<std::int32_t>(x);
    if constexpr (have_x87) {
        const long double h = x87_of(f);
        if (!same_bits(static_cast<float>(h), mp_float) || !same_bits(static_cast<double>(h), mp_double) ||
            !(fields_of_x87(std::nearbyint(h)) == whole.fields()))
            return ::testing::AssertionFailure() << describe(f) << ": the x87 parts from MPFR";
    }
    return ::testing::AssertionSuccess();
}

// Whether the value is a normal double (or zero), and that double.
bool is_double(const Fields& f)
{
    return f.significand == 0 || ((f.significand & 0x7FF) == 0 && f.exponent >= -1022 && f.exponent <= 1023);
}
double double_of(const Fields& f)
{
    const double d = std::ldexp(static_cast<double>(f.significand), f.exponent - 63);
    return f.negative ? -d : d;
}

// a op b for every operation, both orders, and the conversions of each result.
::testing::AssertionResult ops_agree(const Fields& a, const Fields& b)
{
    for (int order = 0; order < 2; ++order) {
        const Fields& l = order ? b : a;
        const Fields& r = order ? a : b;
        for (Op op : all_ops) {
            if (op == Op::divide && r.significand == 0)
                continue;
            const Fields soft = fields_of(apply(op, extended_of(l), extended_of(r)));
            Mp ml(l), mr(r), mresult;
            apply(op, mresult, ml, mr);
            const Fields expected = mresult.fields();
            if (!(soft == expected))
                return ::testing::AssertionFailure() << describe(l) << " " << op_name(op) << " " << describe(r) << " = "
                                                     << describe(soft) << ", not " << describe(expected);
            if constexpr (have_x87) {
                const Fields hard = fields_of_x87(apply(op, x87_of(l), x87_of(r)));
                if (!(hard == expected))
                    return ::testing::AssertionFailure() << describe(l) << " " << op_name(op) << " " << describe(r)
                                                         << ": the x87 gives " << describe(hard);
            }
            if (auto c = conversions_agree(soft); !c)
                return c;
        }
        // Operands that are doubles take Extended's double paths.
        if (is_double(l) && is_double(r)) {
            const Extended dl(double_of(l)), dr(double_of(r));
            for (Op op : all_ops) {
                if (op == Op::divide && r.significand == 0)
                    continue;
                const Extended via_double = apply(op, dl, dr);
                const Fields bits = fields_of(apply(op, extended_of(l), extended_of(r)));
                if (!(fields_of(via_double) == bits) || !same_bits(static_cast<float>(via_double), static_cast<float>(extended_of(bits))) ||
                    !same_bits(static_cast<double>(via_double), static_cast<double>(extended_of(bits))))
                    return ::testing::AssertionFailure() << describe(l) << " " << op_name(op) << " " << describe(r)
                                                         << " as doubles: " << describe(fields_of(via_double));
                if (compare(via_double, Extended(double_of(r))) != compare(extended_of(bits), extended_of(r)))
                    return ::testing::AssertionFailure() << describe(l) << " " << op_name(op) << " " << describe(r)
                                                         << " as doubles, compared with " << describe(r);
            }
        }
        const int cmp = compare(extended_of(l), extended_of(r));
        Mp ml(l), mr(r);
        const int expected = mpfr_cmp(ml.get(), mr.get());
        if (cmp != (expected > 0) - (expected < 0))
            return ::testing::AssertionFailure() << "compare " << describe(l) << ", " << describe(r) << " = " << cmp;
    }
    return ::testing::AssertionSuccess();
}

Fields fields_of_float(float f) { return fields_of(Extended(f)); }
Fields fields_of_double(double d) { return fields_of(Extended(d)); }

// 1 + k * 2^-63 (k < 2^63) at exponent e.
Fields one_plus(std::uint64_t k, int e = 0, bool negative = false) { return {negative, e, top_bit + k}; }

class ExtendedTest : public ::testing::Test {
protected:
    void SetUp() override
    {
#if defined(__x86_64__) || defined(__i386__)
        // Precision control at 64 bits, rounding to nearest.
        std::uint16_t cw;
        asm volatile("fnstcw %0" : "=m"(cw));
        cw = static_cast<std::uint16_t>((cw & ~0x0F00) | 0x0300);
        asm volatile("fldcw %0" : : "m"(cw));
#endif
    }
};

TEST_F(ExtendedTest, ConversionsFromFloatDoubleAndInt)
{
    const float floats[] = {0.0f, -0.0f, 1.0f, -1.5f, 0.04f, 4.0f, 1.9999999f, FLT_MIN, -FLT_MIN, FLT_MAX,
                            0x1p-149f, -0x1p-149f, 0x1.fffffcp-127f, 0x1p-140f, 0x1.8p-148f};
    for (float f : floats) {
        const Extended x(f);
        ASSERT_TRUE(same_bits(static_cast<float>(x), f)) << f;
        Mp m;
        mpfr_set_flt(m.get(), f, MPFR_RNDN);
        ASSERT_EQ(fields_of(x), m.fields()) << f;
    }
    const double doubles[] = {0.0, -0.0, 0.6, 0.7, 3.141593, 500.0, -0.04, 0x1p-1074, 0x1.fffffffffffffp-1023,
                              DBL_MAX, -DBL_MIN, 0x1.000001p0};
    for (double d : doubles) {
        const Extended x(d);
        ASSERT_TRUE(same_bits(static_cast<double>(x), d)) << d;
        Mp m;
        mpfr_set_d(m.get(), d, MPFR_RNDN);
        ASSERT_EQ(fields_of(x), m.fields()) << d;
    }
    const std::int32_t ints[] = {0, 1, -1, 2, 3, 180, 319, 2147483647, -2147483647 - 1, 123456789};
    for (std::int32_t i : ints) {
        const Extended x(i);
        ASSERT_EQ(static_cast<std::int32_t>(x), i);
        Mp m;
        mpfr_set_si(m.get(), i, MPFR_RNDN);
        ASSERT_EQ(fields_of(x), m.fields()) << i;
    }
}

// Stores of values that the 64-bit rounding has already moved: ties at 24 and 53 bits,
// subnormal results, and the boundaries where rounding carries into the exponent.
TEST_F(ExtendedTest, StoresToFloatAndDoubleRoundOnce)
{
    const Fields values[] = {
        one_plus(top_bit >> 24),              // 1 + 2^-24: a float tie, to even (1)
        one_plus((top_bit >> 24) * 3),        // 1 + 3 * 2^-24: a tie, to even (up)
        one_plus((top_bit >> 24) + 1),        // just above a float tie
        one_plus((top_bit >> 24) - 1),        // just below
        one_plus(top_bit >> 53),              // a double tie
        one_plus((top_bit >> 53) * 3),
        one_plus((top_bit >> 53) + 1),
        {false, 0, ~std::uint64_t{0}},        // rounds up to 2 in both formats
        {true, -127, ~std::uint64_t{0}},      // the largest float subnormal region, to FLT_MIN
        {false, -150, top_bit},               // half the smallest subnormal: a tie, to 0
        {false, -150, top_bit + 1},           // above it: the smallest subnormal
        {false, -149, top_bit | top_bit >> 1},  // 1.5 smallest subnormals: a tie, to 2
        {false, -151, ~std::uint64_t{0}},     // below half the smallest subnormal
        {true, -140, 0xABCDEF0123456789},     // a subnormal with many bits dropped
        {false, -1075, top_bit},              // half the smallest double subnormal
        {false, -1074, top_bit | top_bit >> 1},
        {false, -1030, 0x8000000000000C00},   // a double subnormal tie
        {false, 127, ~std::uint64_t{0}},      // rounds past FLT_MAX: infinity
        {false, 128, top_bit},                // infinity
        {false, -1, top_bit},                 // 0.5: to integer 0
        {true, -1, top_bit},                  // -0.5: to -0
        {false, 0, top_bit | top_bit >> 1},   // 1.5: to 2
        {false, 1, top_bit | top_bit >> 2},   // 2.5: to 2
        {false, 3, 0xAB33333333333333},       // 10.7: to 11
        {false, 11, 0x8837000000000000},      // 2179.5: to 2180 (even)
        {false, 62, ~std::uint64_t{0}},       // an integer only at the last place up
        {false, 63, top_bit},                 // 2^63: already whole
        {false, -2, top_bit},                 // 0.25
    };
    for (const Fields& f : values)
        ASSERT_TRUE(conversions_agree(f));
}

// Every operation on operand pairs where rounding is hard: ties at 64 bits, exponent
// gaps around and beyond 64 bits, cancellation, zeros and signs.
TEST_F(ExtendedTest, EdgeOperandsMatch)
{
    const Fields one{false, 0, top_bit};
    const Fields all_ones{false, 0, ~std::uint64_t{0}};
    std::vector<Fields> left = {
        one, all_ones, one_plus(1), one_plus(2), one_plus(3), one_plus(top_bit >> 1), one_plus(top_bit >> 32),
        one_plus(top_bit >> 24), {false, 0, 0xAAAAAAAAAAAAAAAA}, {false, 0, 0xC000000000000001},
        {false, 0, 0}, {true, 0, 0}, fields_of_float(0.04f), fields_of_float(4.0f), fields_of_double(3.141593),
        fields_of_double(0.7), fields_of_float(0x1p-149f), fields_of_float(1.9999999f)};
    // Second operands: the first ones moved by exponent gaps, with both signs.
    const int gaps[] = {0, 1, 2, 23, 24, 25, 52, 53, 62, 63, 64, 65, 66, 67, 100, 126, 127, 128, 129, 130, 200, 500};
    int pairs = 0;
    for (const Fields& a : left)
        for (const Fields& b0 : left)
            for (int gap : gaps)
                for (bool negative : {false, true}) {
                    Fields b = b0;
                    b.exponent -= gap;
                    b.negative = b.negative != negative;
                    ASSERT_TRUE(ops_agree(a, b));
                    ++pairs;
                }
    // Ties made on purpose: a + 2^-64 with a's last bit 0 and 1, products (1 + 2^-32)^2
    // landing on half a place, and near-total cancellation.
    const Fields pairs_made[][2] = {
        {one, {false, -64, top_bit}},
        {one_plus(1), {false, -64, top_bit}},
        {one_plus(1), {true, -64, top_bit}},
        {one, {true, -65, top_bit}},
        {one, {true, -64, top_bit}},
        {one_plus(top_bit >> 32), one_plus(top_bit >> 32)},
        {one_plus(top_bit >> 31 | 1), one_plus(top_bit >> 33)},
        {one_plus(1), {true, 0, top_bit}},
        {all_ones, {true, -1, ~std::uint64_t{0}}},
        {all_ones, {true, 0, ~std::uint64_t{0} - 1}},
        {{false, 0, 0xC000000000000000}, {false, 0, 0xC000000000000000}},
        {{false, 5, 0x8000000000000001}, {false, 2, 0xFFFFFFFFFFFFFFFF}},
    };
    for (const auto& p : pairs_made)
        ASSERT_TRUE(ops_agree(p[0], p[1]));
    EXPECT_GT(pairs, 10000);
}

// Random operands with the shapes that reach hard cases: significands with few
// bits set (ties) and gaps clustered around 0 and 64.
Fields random_fields(std::mt19937_64& random, int exponent_base)
{
    const std::uint64_t r = random();
    Fields f{};
    f.negative = r & 1;
    switch ((r >> 1) % 4) {
    case 0: f.significand = top_bit | random(); break;
    case 1: f.significand = top_bit | (random() & (~std::uint64_t{0} << (random() % 64))); break;
    case 2: f.significand = top_bit | (random() >> (random() % 64)); break;
    default: f.significand = fields_of_float(static_cast<float>(std::ldexp(double(random() >> 40), -24))).significand; break;
    }
    if (f.significand == 0)
        f.significand = top_bit;
    const int spread = static_cast<int>((r >> 8) % 8);
    const int gaps[] = {0, 1, 2, 63, 64, 65, 24, static_cast<int>((r >> 16) % 130)};
    f.exponent = exponent_base - gaps[spread] * (((r >> 32) & 1) ? 1 : -1);
    if ((r >> 40) % 97 == 0)
        f.significand = 0;
    return f;
}

TEST_F(ExtendedTest, RandomOperandsMatch)
{
    const bool all = std::getenv("VORLIX_ALL_OPERANDS") != nullptr;
    const int count = all ? 4'000'000 : 60'000;
    std::mt19937_64 random(20261208);
    for (int i = 0; i < count; ++i) {
        // Exponents whose results stay inside Extended's range.
        const int base = static_cast<int>(random() % 500) - 300;
        const Fields a = random_fields(random, base);
        const Fields b = random_fields(random, base);
        ASSERT_TRUE(ops_agree(a, b)) << "operand pair " << i;
    }
}

// An unrounded sum compared with a bound it lies within a double's last place of.
TEST_F(ExtendedTest, SumsComparedNearTheBound)
{
    struct Case {
        float a, b, bound;
        bool less;
    };
    const Case cases[] = {
        {4.0f, -0x1p-60f, 4.0f, true},    // 4 - 2^-60 is exact at 64 bits
        {4.0f, -0x1p-64f, 4.0f, false},   // 4 - 2^-64 rounds to 4
        {4.0f, -0x1p-63f, 4.0f, false},   // half way: to even, 4
        {4.0f, -0x1.8p-63f, 4.0f, true},  // beyond half way
        {4.0f, 0x1p-70f, 4.0f, false},
        {0x1.fffffep1f, 0x1p-60f, 4.0f, true},
        {2.0f, 0x1p-62f, 2.0f, false},
        {-2.0f, 0x1p-66f, -2.0f, false},  // -2 + 2^-66 rounds to -2
        {-2.0f, 0x1p-63f, -2.0f, false},  // -2 + 2^-63 is above -2
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Extended(c.a) + c.b < c.bound, c.less) << c.a << " + " << c.b;
        const int cut = render_rule::Shortcuts<Extended>::sum_below(c.a, c.b, c.bound);
        if (cut >= 0) {
            EXPECT_EQ(cut == 1, c.less) << c.a << " + " << c.b << " by the double shortcut";
        }
        if constexpr (have_x87) {
            EXPECT_EQ(static_cast<long double>(c.a) + c.b < c.bound, c.less) << c.a << " + " << c.b << " on the x87";
        }
    }
}

// The renderer's stored expressions of three floats: products, the three-term sum,
// the sum of squares, the ring-hit update and a sum, each stored to float. They
// must store the same float in Extended, in MPFR and on the x87 (where there is
// one), and so must the renderer's double shortcuts wherever they vouch for one.
constexpr int expression_count = 6;

struct Stores {
    float soft[expression_count], exact[expression_count], hard[expression_count], cut[expression_count];
    bool vouched[expression_count];
};

Stores stores_of(float x, float y, float z)
{
    Stores s{};
    const Extended ex(x), ey(y);
    const float soft[] = {
        static_cast<float>(ex * y),
        static_cast<float>(ex * y * 2.0f),
        static_cast<float>(ex - y + z),
        static_cast<float>(ex * x + ey * y),
        static_cast<float>(-(fabs(ex - y) / z) + x + 1.0f),
        static_cast<float>(ex + y),
    };
    std::memcpy(s.soft, soft, sizeof soft);

    Mp mx, my, mz, t, u;
    mpfr_set_flt(mx.get(), x, MPFR_RNDN);
    mpfr_set_flt(my.get(), y, MPFR_RNDN);
    mpfr_set_flt(mz.get(), z, MPFR_RNDN);
    mpfr_mul(t.get(), mx.get(), my.get(), MPFR_RNDN);
    s.exact[0] = mpfr_get_flt(t.get(), MPFR_RNDN);
    mpfr_mul_ui(t.get(), t.get(), 2, MPFR_RNDN);
    s.exact[1] = mpfr_get_flt(t.get(), MPFR_RNDN);
    mpfr_sub(t.get(), mx.get(), my.get(), MPFR_RNDN);
    mpfr_add(t.get(), t.get(), mz.get(), MPFR_RNDN);
    s.exact[2] = mpfr_get_flt(t.get(), MPFR_RNDN);
    mpfr_mul(t.get(), mx.get(), mx.get(), MPFR_RNDN);
    mpfr_mul(u.get(), my.get(), my.get(), MPFR_RNDN);
    mpfr_add(t.get(), t.get(), u.get(), MPFR_RNDN);
    s.exact[3] = mpfr_get_flt(t.get(), MPFR_RNDN);
    mpfr_sub(t.get(), mx.get(), my.get(), MPFR_RNDN);
    mpfr_abs(t.get(), t.get(), MPFR_RNDN);
    mpfr_div(t.get(), t.get(), mz.get(), MPFR_RNDN);
    mpfr_neg(t.get(), t.get(), MPFR_RNDN);
    mpfr_add(t.get(), t.get(), mx.get(), MPFR_RNDN);
    mpfr_add_ui(t.get(), t.get(), 1, MPFR_RNDN);
    s.exact[4] = mpfr_get_flt(t.get(), MPFR_RNDN);
    mpfr_add(t.get(), mx.get(), my.get(), MPFR_RNDN);
    s.exact[5] = mpfr_get_flt(t.get(), MPFR_RNDN);

    if constexpr (have_x87) {
        using ext = long double;
        const float hard[] = {
            static_cast<float>(ext{x} * y),
            static_cast<float>(ext{x} * y * 2.0f),
            static_cast<float>(ext{x} - y + z),
            static_cast<float>(ext{x} * x + ext{y} * y),
            static_cast<float>(-(std::fabs(ext{x} - y) / z) + x + 1.0f),
            static_cast<float>(ext{x} + y),
        };
        std::memcpy(s.hard, hard, sizeof hard);
    }

    using Cut = render_rule::Shortcuts<Extended>;
    s.vouched[0] = Cut::product(x, y, s.cut[0]);
    s.vouched[1] = Cut::product(x, y, 2.0f, s.cut[1]);
    s.vouched[2] = Cut::difference_sum(x, y, z, s.cut[2]);
    s.vouched[3] = Cut::square_sum(x, y, s.cut[3]);
    s.cut[4] = x;
    s.vouched[4] = Cut::ring_hit(x, y, z, 1.0f, s.cut[4]);
    s.vouched[5] = Cut::sum(x, y, s.cut[5]);
    return s;
}

::testing::AssertionResult stores_agree(float x, float y, float z)
{
    const Stores s = stores_of(x, y, z);
    for (int k = 0; k < expression_count; ++k) {
        const char* wrong = !same_bits(s.soft[k], s.exact[k])                     ? "Extended"
                            : have_x87 && !same_bits(s.hard[k], s.exact[k])        ? "the x87"
                            : s.vouched[k] && !same_bits(s.cut[k], s.exact[k])    ? "the double shortcut"
                                                                                   : nullptr;
        if (wrong)
            return ::testing::AssertionFailure() << "expression " << k << " of " << x << ", " << y << ", " << z
                                                 << ": " << wrong << " parts from " << s.exact[k];
    }
    return ::testing::AssertionSuccess();
}

// Operands where plain double arithmetic stores another float than the rule, on or
// next to a float midpoint: the shortcut must decline them (or get them right).
TEST_F(ExtendedTest, ShortcutsDeclineWhereDoublesPart)
{
    struct Case {
        int expression;
        float x, y, z;
        float wrong;  // what double arithmetic stores
    };
    const Case cases[] = {
        // x - y inexact in double, then exactly a midpoint.
        {2, 0x1.000002p+0f, 0x1p-60f, 0x1p-24f, 0x1.000004p+0f},
        // x - y exact and a midpoint; z too small for the double sum to move it.
        {2, 1.0f, 0x1.1p-21f, -0x1p-60f, 0x1.fffffp-1f},
        // z cancels x: the bits of y that x - y lost in double are the whole result.
        {2, 0x1.001164p+0f, 0x1.ec04eep-30f, -0x1.001164p+0f, -0x1.ec04fp-30f},
        // The double sum drops y*y and lands on a midpoint, and the same below 2^-126.
        {3, 4097.0f / 4096.0f, 0x1p-27f, 1.0f, 0x1.002p+0f},
        {3, 0x1p-75f, 0x1p-103f, 1.0f, 0.0f},
        // The ring-hit update cancelling to 2^-29: its last bits are the quotient's.
        {4, -0x1.86a1e8p-2f, 0x1.1f149cp-4f, 0x1.75cbb8p-1f, -0x1.035dcp-29f},
        // Just below the midpoint under 1, where the floats are twice as dense: the
        // double loses 2^-60 of x - y and lands on the midpoint.
        {4, 0x1.fffffep-2f, -0x1.fffffep-61f, 0x1.fffffep-1f, 1.0f},
    };
    for (const Case& c : cases) {
        const double x = c.x, y = c.y, z = c.z;
        const double plain[] = {x * y, x * y * 2, x - y + z, x * x + y * y, -(std::fabs(x - y) / z) + x + 1, x + y};
        ASSERT_TRUE(same_bits(static_cast<float>(plain[c.expression]), c.wrong)) << c.x << " " << c.y << " " << c.z;
        ASSERT_FALSE(same_bits(stores_of(c.x, c.y, c.z).exact[c.expression], c.wrong))
            << "not a counterexample: " << c.x << " " << c.y << " " << c.z;
        EXPECT_TRUE(stores_agree(c.x, c.y, c.z));
    }
}

// Random floats through the same expressions, subnormals included.
TEST_F(ExtendedTest, RandomFloatExpressionsMatch)
{
    const bool all = std::getenv("VORLIX_ALL_OPERANDS") != nullptr;
    const int count = all ? 2'000'000 : 40'000;
    std::mt19937_64 random(7);
    auto random_float = [&] {
        std::uint32_t bits = static_cast<std::uint32_t>(random());
        // Exponents the renderer sees most, and now and then anything finite.
        if (random() % 8 != 0)
            bits = (bits & 0x807FFFFF) | static_cast<std::uint32_t>(100 + random() % 30) << 23;
        else if ((bits & 0x7F800000) == 0x7F800000)
            bits &= 0xBFFFFFFF;
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    };
    for (int i = 0; i < count; ++i) {
        const float x = random_float(), y = random_float(), z = random_float();
        ASSERT_TRUE(stores_agree(x, y, z));
    }
}

}  // namespace
