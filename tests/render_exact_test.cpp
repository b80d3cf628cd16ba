// An independent evaluation of the renderer's rounding rule with MPFR: every
// operation rounded to a 64-bit significand, every store rounded to float.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "demo/extended.h"
#include "demo/render.h"
#include "demo/render_rule.h"
#include "tests/render_fixture.h"

namespace {

// Whether a value lies where Extended gives the x87's bits: zero, or 2^-960 <= |x| <
// 2^1000, where a double holds its 53 leading bits and another its last 11.
bool extended_in_range(const Extended& x)
{
    const double magnitude = std::fabs(static_cast<double>(x));
    return magnitude == 0 || (magnitude >= 0x1p-960 && magnitude < 0x1p1000);
}

// One extended-precision value; each operation rounds to 64 bits, to nearest even.
class Mp64 {
public:
    Mp64() { mpfr_init2(v_, 64); }
    Mp64(double d) : Mp64() { mpfr_set_d(v_, d, MPFR_RNDN); }
    Mp64(const Mp64& o) : Mp64() { mpfr_set(v_, o.v_, MPFR_RNDN); }
    Mp64& operator=(const Mp64& o)
    {
        mpfr_set(v_, o.v_, MPFR_RNDN);
        return *this;
    }
    ~Mp64() { mpfr_clear(v_); }

    friend Mp64 operator+(const Mp64& a, const Mp64& b) { return op(mpfr_add, a, b); }
    friend Mp64 operator-(const Mp64& a, const Mp64& b) { return op(mpfr_sub, a, b); }
    friend Mp64 operator*(const Mp64& a, const Mp64& b) { return op(mpfr_mul, a, b); }
    friend Mp64 operator/(const Mp64& a, const Mp64& b) { return op(mpfr_div, a, b); }
    Mp64 operator-() const
    {
        Mp64 r;
        mpfr_neg(r.v_, v_, MPFR_RNDN);
        return r;
    }
    Mp64 abs() const
    {
        Mp64 r;
        mpfr_abs(r.v_, v_, MPFR_RNDN);
        return r;
    }
    bool operator<(const Mp64& o) const { return mpfr_less_p(v_, o.v_); }
    float to_float() const { return mpfr_get_flt(v_, MPFR_RNDN); }
    double to_double() const { return mpfr_get_d(v_, MPFR_RNDN); }
    long rint_even() const
    {
        mpfr_t r;
        mpfr_init2(r, 64);
        mpfr_rint(r, v_, MPFR_RNDN);
        const long n = mpfr_get_si(r, MPFR_RNDN);
        mpfr_clear(r);
        return n;
    }

private:
    using Op = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);
    static Mp64 op(Op f, const Mp64& a, const Mp64& b)
    {
        Mp64 r;
        f(r.v_, a.v_, b.v_, MPFR_RNDN);
        return r;
    }
    mpfr_t v_;
};

double exact_sqrt(double x)
{
    mpfr_t r;
    mpfr_init2(r, 53);
    mpfr_set_d(r, x, MPFR_RNDN);
    mpfr_sqrt(r, r, MPFR_RNDN);
    const double d = mpfr_get_d(r, MPFR_RNDN);
    mpfr_clear(r);
    return d;
}

struct Frame {
    float cx, cy, c_abs, c_abs_sq, ring_width, ring_lo_sq, ring_hi_sq;
};

// sin and cos are the runtime library's own; what is checked is the arithmetic around them.
Frame exact_frame(std::int32_t frame_counter)
{
    Frame f{};
    const float angle = (Mp64(frame_counter) * Mp64(3.141593) / Mp64(180)).to_float();
    const double slow = (Mp64(angle) * Mp64(0.7)).to_double();
    f.cx = (Mp64(std::cos(double{angle})) * Mp64(std::sin(slow))).to_float();
    f.cx = (Mp64(f.cx) * Mp64(0.6)).to_float();
    f.cy = (Mp64(std::sin(double{angle})) + Mp64(std::sin(double{angle}))).to_float();
    f.cy = (Mp64(f.cy) * Mp64(0.6)).to_float();
    const Mp64 sq = Mp64(f.cx) * Mp64(f.cx) + Mp64(f.cy) * Mp64(f.cy);
    f.c_abs = static_cast<float>(exact_sqrt(sq.to_double()));
    f.c_abs_sq = sq.to_float();
    f.ring_width = static_cast<float>(0.04);
    f.ring_lo_sq = (Mp64(f.c_abs) - Mp64(f.ring_width)).to_float();
    f.ring_lo_sq = (Mp64(f.ring_lo_sq) * Mp64(f.ring_lo_sq)).to_float();
    f.ring_hi_sq = (Mp64(f.ring_width) + Mp64(f.c_abs)).to_float();
    f.ring_hi_sq = (Mp64(f.ring_hi_sq) * Mp64(f.ring_hi_sq)).to_float();
    return f;
}

float exact_accumulate(const Frame& f, float zx, float zy, std::int32_t& last_hit)
{
    float sx = 0, sy = 0, acc = 0;
    for (int pass = 0; pass < 20 && Mp64(sx) + Mp64(sy) < Mp64(4.0);) {
        sx = (Mp64(zx) * Mp64(zx)).to_float();
        sy = (Mp64(zy) * Mp64(zy)).to_float();
        const float txy = (Mp64(zy) * Mp64(zx) * Mp64(2.0)).to_float();
        zx = (Mp64(sx) - Mp64(sy) + Mp64(f.cx)).to_float();
        zy = (Mp64(f.cy) + Mp64(txy)).to_float();
        const float m = (Mp64(zx) * Mp64(zx) + Mp64(zy) * Mp64(zy)).to_float();
        if (m < f.ring_hi_sq && m > f.ring_lo_sq && pass > 0) {
            acc = ((-((Mp64(m) - Mp64(f.c_abs_sq)).abs() / Mp64(f.ring_width))) + Mp64(acc) + Mp64(1.0)).to_float();
            last_hit = pass;
        }
        ++pass;
        if (m > 4.0f)
            break;
    }
    return acc;
}

std::int32_t exact_intensity(float acc)
{
    if (!(acc > 0.0f))
        return 0;
    return static_cast<std::int32_t>((Mp64(exact_sqrt(acc)) * Mp64(500.0)).rint_even());
}

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

using RenderExactTest = RenderFixture;

TEST_F(RenderExactTest, FrameParametersFollowTheRoundingRule)
{
    for (std::int32_t frame = 0; frame <= 3600; ++frame) {
        render_seek(frame);
        render_advance();
        const Frame f = exact_frame(frame);
        const RenderState& s = render_state;
        ASSERT_TRUE(same_bits(s.cx, f.cx)) << frame;
        ASSERT_TRUE(same_bits(s.cy, f.cy)) << frame;
        ASSERT_TRUE(same_bits(s.c_abs, f.c_abs)) << frame;
        ASSERT_TRUE(same_bits(s.c_abs_sq, f.c_abs_sq)) << frame;
        ASSERT_TRUE(same_bits(s.ring_lo_sq, f.ring_lo_sq)) << frame;
        ASSERT_TRUE(same_bits(s.ring_hi_sq, f.ring_hi_sq)) << frame;
    }
}

TEST_F(RenderExactTest, SampledPixelsMatchExactEvaluation)
{
    int lit = 0, checked = 0;
    for (std::int32_t frame : {1, 45, 90, 135, 180, 222, 300, 2147483647}) {
        render_seek(frame);
        render_frame();
        const Frame f = exact_frame(frame);
        for (int p = frame % 7; p < frame_pixel_count / 2; p += 7) {
            const int px = p % frame_width, py = p / frame_width;
            std::int32_t hit_ref = -1, hit_exact = -1;
            const float acc_ref = ring_accumulate(render_state.x_coords[px], render_state.y_coords[py], hit_ref);
            const float acc_exact = exact_accumulate(f, render_state.x_coords[px], render_state.y_coords[py], hit_exact);
            ASSERT_TRUE(same_bits(acc_ref, acc_exact))
                << "frame " << frame << " pixel " << p << ": " << acc_ref << " vs " << acc_exact;
            ASSERT_EQ(hit_ref, hit_exact) << "frame " << frame << " pixel " << p;
            const std::int32_t n = exact_intensity(acc_exact);
            const std::uint32_t colour = n == 0 ? 0u : ring_colour(n, hit_exact);
            ASSERT_EQ(frame_buffer[p], colour) << "frame " << frame << " pixel " << p;
            lit += colour != 0;
            ++checked;
        }
    }
    EXPECT_GT(lit, checked / 50) << "the sample must include lit pixels";
}

// Extended, recording the exponents of every value the renderer's expressions form.
class Tracked {
public:
    Tracked(float f) : v_(f) { note(); }
    Tracked(double d) : v_(d) { note(); }
    Tracked(std::int32_t i) : v_(i) { note(); }
    explicit Tracked(const Extended& e) : v_(e) { note(); }

    friend Tracked operator+(const Tracked& a, const Tracked& b) { return Tracked(a.v_ + b.v_); }
    friend Tracked operator-(const Tracked& a, const Tracked& b) { return Tracked(a.v_ - b.v_); }
    friend Tracked operator*(const Tracked& a, const Tracked& b) { return Tracked(a.v_ * b.v_); }
    friend Tracked operator/(const Tracked& a, const Tracked& b) { return Tracked(a.v_ / b.v_); }
    Tracked operator-() const { return Tracked(-v_); }
    friend Tracked fabs(const Tracked& a) { return Tracked(fabs(a.v_)); }
    friend Tracked nearbyint(const Tracked& a) { return Tracked(nearbyint(a.v_)); }
    friend bool operator<(const Tracked& a, const Tracked& b) { return a.v_ < b.v_; }
    explicit operator float() const { return static_cast<float>(v_); }
    explicit operator double() const { return static_cast<double>(v_); }
    explicit operator std::int32_t() const { return static_cast<std::int32_t>(v_); }

    static inline int lowest = 0, highest = 0;
    static inline bool all_in_range = true;

private:
    void note() const
    {
        all_in_range = all_in_range && extended_in_range(v_);
        if (const ExtendedBits bits = v_.bits(); bits.significand() != 0) {
            lowest = std::min(lowest, bits.exponent());
            highest = std::max(highest, bits.exponent());
        }
    }
    Extended v_;
};

// The integer arithmetic's frames against the x87's: the same tables, frame parameters
// and pixels, bit for bit, over the curve's period and the whole counter range; and
// every value formed on the way inside the range Extended covers.
TEST_F(RenderExactTest, SoftwareArithmeticDrawsTheSameFrames)
{
    RenderState soft{};
    render_rule::setup<Extended>(soft);
    ASSERT_EQ(std::memcmp(soft.x_coords, render_state.x_coords, sizeof soft.x_coords), 0);
    ASSERT_EQ(std::memcmp(soft.y_coords, render_state.y_coords, sizeof soft.y_coords), 0);
    ASSERT_TRUE(same_bits(soft.x_step, render_state.x_step) && same_bits(soft.y_step, render_state.y_step));

    std::vector<std::int32_t> frames;
    for (std::int32_t frame = 0; frame <= 3600; ++frame)
        frames.push_back(frame);
    for (std::int64_t frame = 3601; frame <= 2147483647; frame += 2147483647 / 997)
        frames.push_back(static_cast<std::int32_t>(frame));
    frames.push_back(2147483647);
    for (std::int32_t frame : frames) {
        render_seek(frame);
        render_advance();
        soft.frame_counter = render_state.frame_counter;
        render_rule::frame_parameters<Extended>(soft);
        const RenderState& s = render_state;
        ASSERT_TRUE(same_bits(soft.angle, s.angle) && same_bits(soft.cx, s.cx) && same_bits(soft.cy, s.cy) &&
                    same_bits(soft.c_abs, s.c_abs) && same_bits(soft.c_abs_sq, s.c_abs_sq) &&
                    same_bits(soft.ring_lo_sq, s.ring_lo_sq) && same_bits(soft.ring_hi_sq, s.ring_hi_sq))
            << "frame " << frame;
    }

    static std::uint32_t reference[frame_pixel_count];
    Tracked::lowest = Tracked::highest = 0;
    Tracked::all_in_range = true;
    for (std::int32_t frame : {1, 45, 90, 135, 180, 222, 300, 1234, 3599, 0, 2147483647, 1000000007}) {
        render_state.last_hit = 7;
        render_seek(frame);
        render_advance();
        RenderState soft_frame = render_state;
        render_rule::frame_parameters<Tracked>(soft_frame);
        render_pixels_reference();
        std::memcpy(reference, frame_buffer, sizeof reference);
        const std::int32_t last_hit = render_state.last_hit;
        std::memset(frame_buffer, 0xA5, sizeof frame_buffer);
        soft_frame.last_hit = 7;
        render_rule::pixels<Tracked>(soft_frame);
        ASSERT_EQ(std::memcmp(reference, frame_buffer, sizeof reference), 0) << "frame " << frame;
        ASSERT_EQ(soft_frame.last_hit, last_hit) << "frame " << frame;
    }
    EXPECT_TRUE(Tracked::all_in_range);
    // The bounds Extended's comment derives.
    EXPECT_GE(Tracked::lowest, -447);
    EXPECT_LE(Tracked::highest, 64);
    std::printf("exponents reached: 2^%d to 2^%d\n", Tracked::lowest, Tracked::highest);
}

}  // namespace
