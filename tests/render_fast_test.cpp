// The lane paths and the software arithmetic against the reference path: same pixels,
// same last_hit; and the lane arithmetic on the cases where double precision parts
// from the rule.
//
// CI checks 400 frames spread over the curve's whole period (3600 frames) and the
// edge frames; VORLIX_ALL_FRAMES=1 checks every frame of the period.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <type_traits>
#include <vector>

#include "demo/extended.h"
#include "demo/render.h"
#include "demo/render_rule.h"
#include "demo/render_testing.h"
#include "tests/render_fixture.h"

namespace {

// The lane paths this processor runs.
std::vector<RenderPath> lane_paths()
{
    std::vector<RenderPath> paths;
    for (RenderPath path : all_render_paths())
        if (render_lane_width(path) > 0)
            paths.push_back(path);
    return paths;
}

// The paths drawn against the reference: the lane paths, and the software arithmetic
// where the reference is the x87 (elsewhere the two are one and the same).
std::vector<RenderPath> compared_paths()
{
    std::vector<RenderPath> paths = lane_paths();
    if (!std::is_same_v<render_rule::reference_wide, Extended> && render_path_available(RenderPath::software))
        paths.push_back(RenderPath::software);
    return paths;
}

class RenderFastTest : public RenderFixture {
protected:
    // Draws `frame` with `path` from a given last_hit over a buffer of sentinels.
    static void draw(RenderPath path, std::int32_t frame, std::int32_t last_hit)
    {
        std::memset(frame_buffer, 0xA5, sizeof frame_buffer);
        render_state.last_hit = last_hit;
        render_seek(frame);
        render_advance();
        render_pixels(path);
    }

    // Every compared path against the reference on each frame; returns the lanes' fallbacks.
    static long compare_frames(const std::vector<std::int32_t>& frames)
    {
        long fallbacks = 0;
        std::vector<std::uint32_t> reference(frame_pixel_count);
        for (std::int32_t frame : frames) {
            const std::int32_t start_hit = frame % 3 + 1;
            draw(RenderPath::reference, frame, start_hit);
            EXPECT_EQ(render_fallback_count(), 0);
            std::memcpy(reference.data(), frame_buffer, sizeof frame_buffer);
            const std::int32_t reference_hit = render_state.last_hit;
            for (RenderPath path : compared_paths()) {
                draw(path, frame, start_hit);
                for (int p = 0; p < frame_pixel_count; ++p)
                    if (frame_buffer[p] != reference[p]) {
                        ADD_FAILURE() << render_path_name(path) << " frame " << frame << " pixel " << p << ": "
                                      << std::hex << frame_buffer[p] << " instead of " << reference[p];
                        return fallbacks;
                    }
                EXPECT_EQ(render_state.last_hit, reference_hit) << render_path_name(path) << " frame " << frame;
                EXPECT_EQ(render_state.top, frame_buffer + frame_pixel_count / 2);
                EXPECT_EQ(render_state.bottom, frame_buffer + frame_pixel_count / 2 - 1);
                fallbacks += render_fallback_count();
            }
        }
        return fallbacks;
    }
};

TEST_F(RenderFastTest, LanePathsDrawTheReferencePicturesOverAPeriod)
{
#if defined(__i386__) || defined(__x86_64__) || defined(__aarch64__) || defined(__EMSCRIPTEN__)
    ASSERT_FALSE(lane_paths().empty()) << "SSE2, NEON and the browser build's SIMD128 are the baselines";
#else
    if (lane_paths().empty())
        GTEST_SKIP() << "no lane paths on this processor";
#endif
    const bool all = std::getenv("VORLIX_ALL_FRAMES") != nullptr;
    std::vector<std::int32_t> frames;
    for (std::int32_t frame = 1; frame <= 3600; frame += all ? 1 : 9)
        frames.push_back(frame);
    const long fallbacks = compare_frames(frames);
    const double per_frame = static_cast<double>(fallbacks) / (frames.size() * lane_paths().size());
    RecordProperty("mean_fallbacks_per_frame", std::to_string(per_frame));
    EXPECT_LT(per_frame, 10.0) << "lanes that doubt too much cost the speed they exist for";
}

TEST_F(RenderFastTest, LanePathsDrawTheEdgeFramesAndASpreadOverTheCounter)
{
    // Frame 0 has c = 0 and no hits at all, so it must leave last_hit alone;
    // compare_frames checks last_hit after every frame.
    // Frame 90 has |cx| below 2^-20, where every zx takes the full test. Far
    // frames have angles of few bits and c anywhere on the curve.
    if (compared_paths().empty())
        GTEST_SKIP() << "no other path than the reference on this processor";
    std::vector<std::int32_t> frames = {0, 89, 90, 91, 180, 1 << 30, 2147483647};
    for (std::int32_t k = 1; k < 32; ++k)
        frames.push_back(k * (2147483647 / 32) + 7 * k);
    compare_frames(frames);
}

TEST_F(RenderFastTest, SelectedPathDrawsTheFrame)
{
    EXPECT_TRUE(render_path_available(RenderPath::reference));
    EXPECT_TRUE(render_path_available(render_best_path()));
    ASSERT_TRUE(render_select_path(RenderPath::reference));
    EXPECT_EQ(render_selected_path(), RenderPath::reference);
    render_seek(45);
    render_frame();
    std::vector<std::uint32_t> reference(frame_buffer, frame_buffer + frame_pixel_count);
    for (RenderPath path : compared_paths()) {
        ASSERT_TRUE(render_select_path(path));
        EXPECT_EQ(render_selected_path(), path);
        render_seek(45);
        render_frame();
        EXPECT_EQ(std::memcmp(reference.data(), frame_buffer, sizeof frame_buffer), 0) << render_path_name(path);
    }
    render_select_path(render_best_path());
}

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Vectors where double precision gives another float than the rule: the lanes
// must either produce the rule's float or hand the pixel back.
TEST(LaneArithmetic, CounterexamplesAreCaughtOrRight)
{
    using Wide = render_rule::reference_wide;
    struct Case {
        LaneProbe probe;
        float a, b, c;
        float wrong;  // what plain double arithmetic stores
    };
    const Case cases[] = {
        // x*x + y*y: the double sum drops y*y and lands on a midpoint.
        {LaneProbe::square_sum, 4097.0f / 4096.0f, 0x1p-27f, 0, 0x1.002p+0f},
        // The same below 2^-126: 2^-150 + 2^-206 is a tie in double only.
        {LaneProbe::square_sum, 0x1p-75f, 0x1p-103f, 0, 0.0f},
        // a - b + c with a - b inexact in double.
        {LaneProbe::difference_sum, 0x1.000002p+0f, 0x1p-60f, 0x1p-24f, 0x1.000004p+0f},
        // a - b exact and a midpoint; c too small for the double sum to move it.
        {LaneProbe::difference_sum, 1.0f, 0x1.1p-21f, -0x1p-60f, 0x1.fffffp-1f},
        // b below 2^-26 with bits past double's reach: the sum lands on a midpoint.
        {LaneProbe::difference_sum, 1.0f, 0x1.000002p-31f, 0x1.302p-20f, 0x1.000014p+0f},
    };
    for (const Case& c : cases) {
        const bool squares = c.probe == LaneProbe::square_sum;
        const float want = squares ? static_cast<float>(Wide{c.a} * c.a + Wide{c.b} * c.b)
                                   : static_cast<float>(Wide{c.a} - c.b + c.c);
        const float plain = squares ? static_cast<float>(double{c.a} * c.a + double{c.b} * c.b)
                                    : static_cast<float>(double{c.a} - c.b + c.c);
        ASSERT_TRUE(same_bits(plain, c.wrong)) << c.a << " " << c.b << " " << c.c;
        ASSERT_FALSE(same_bits(want, c.wrong)) << "not a counterexample: " << c.a << " " << c.b << " " << c.c;
        for (RenderPath path : lane_paths()) {
            for (int lane = 0; lane < render_lane_width(path); ++lane) {
                float r = 0;
                if (render_lane_probe(path, c.probe, c.a, c.b, c.c, r, lane)) {
                    EXPECT_TRUE(same_bits(r, want))
                        << render_path_name(path) << " lane " << lane << ": " << c.a << " " << c.b << " " << c.c;
                }
            }
        }
    }
}

// The lanes compare m with the ring bounds before rounding it, through
// thresholds: on the tie between a bound and its neighbour, and one double ulp
// beside it, the verdict must be that of the rounded float.
TEST(LaneArithmetic, BoundComparesFollowTheRoundedValue)
{
    struct Case {
        float bound, b, c;  // r = b + c, exact in double
    };
    const Case cases[] = {
        {1.0f, 0x1.fffffep-1f, 0x1p-25f},                  // tie below 1, goes up to 1 (even)
        {1.0f, 0x1.fffffep-1f, 0x1.fffffep-26f},           // just below that tie
        {0x1.000002p+0f, 1.0f, 0x1p-24f},                  // tie below an odd bound goes down
        {0x1.000002p+0f, 1.0f, 0x1.000002p-24f},           // just above that tie
        {1.0f, 1.0f, 0x1p-24f},                            // tie above 1 goes down to 1
        {1.0f, 1.0f, 0x1.000002p-24f},                     // just above it
        {0x1.fffffep-1f, 0x1.fffffep-1f, 0x1p-25f},        // tie above an odd bound goes up
        {0x1.fffffep-1f, 0x1.fffffep-1f, 0x1.fffffep-26f}, // just below it
    };
    for (const Case& c : cases) {
        const double r = double{c.b} + c.c;
        const float m = static_cast<float>(r);
        for (RenderPath path : lane_paths()) {
            for (int lane = 0; lane < render_lane_width(path); ++lane) {
                float below = -1, above = -1;
                render_lane_probe(path, LaneProbe::below_bound, c.bound, c.b, c.c, below, lane);
                render_lane_probe(path, LaneProbe::above_bound, c.bound, c.b, c.c, above, lane);
                EXPECT_EQ(below, m < c.bound ? 1.0f : 0.0f) << render_path_name(path) << " " << c.bound << " " << r;
                EXPECT_EQ(above, m > c.bound ? 1.0f : 0.0f) << render_path_name(path) << " " << c.bound << " " << r;
            }
        }
    }
}

// A double m may be compared with 4 without a check of its rounding: no
// inexact double sum of two float squares rounds to 4 + 2^-22, the midpoint
// above 4. Near 4 such a sum is inexact only when the smaller
// square is below 2^-4 (its bits reach below 2^-50), so the larger square's root
// a lies in [2 - 2^-5, 2]: every such a, with the floats b whose squares come
// nearest the rest. The same search must find the pairs that do round to
// another midpoint, 4 + 17 * 2^-22.
TEST(LaneArithmetic, NoInexactSquareSumRoundsToTheMidpointAboveFour)
{
    using wide = __int128;  // units of 2^-72: every square here is a whole number of them
    const auto inexact_pairs = [](wide target) {
        int found = 0;
        for (int i = 0; i < (1 << 18); ++i) {
            const wide a = (1 << 24) - i;  // a = A 2^-23
            const wide p = a * a << 26;
            const float root = static_cast<float>(std::sqrt(static_cast<long double>(target - p)) * 0x1p-36L);
            float b = std::nextafter(std::nextafter(root, 0.0f), 0.0f);
            for (int k = 0; k < 5; ++k, b = std::nextafter(b, 1.0f)) {
                int e = 0;
                const wide mantissa = static_cast<wide>(std::ldexp(std::frexp(b, &e), 24));  // b = B 2^(e-24)
                const wide d = p + (mantissa * mantissa << (2 * e + 24)) - target;
                found += d != 0 && d >= -(wide{1} << 21) && d <= (wide{1} << 21);  // within 2^-51
            }
        }
        return found;
    };
    EXPECT_EQ(inexact_pairs((wide{1} << 74) + (wide{1} << 50)), 0);
    EXPECT_GT(inexact_pairs((wide{1} << 74) + (wide{17} << 50)), 0);
}

// Whether an orbit takes another pass, near |z|^2 = 4. In each case the float
// sum of the next squares is 4 and the rule goes either way, so no compare of
// that sum with 4 can tell: the lanes must agree with the rule or hand the
// pixel back.
TEST(LaneArithmetic, OrbitsGoOnWhereTheRuleSays)
{
    using ext = long double;
    struct Case {
        float x, y;
        bool goes_on;
    };
    const Case cases[] = {
        {0x1.2890cep-1f, 0x1.ea0eaep+0f, true},   // the squares sum below 4, m is 4
        {0x1.f27372p+0f, 0x1.d40734p-2f, false},  // m is 4, the squares sum above 4
        {0x1.f2382ap-4f, 0x1.ff0d6p+0f, false},   // m is above 4
    };
    for (const Case& c : cases) {
        const float sx = static_cast<float>(ext{c.x} * c.x), sy = static_cast<float>(ext{c.y} * c.y);
        const float m = static_cast<float>(ext{c.x} * c.x + ext{c.y} * c.y);
        ASSERT_EQ(sx + sy, 4.0f) << c.x << " " << c.y;
        ASSERT_EQ(m <= 4.0f && ext{sx} + sy < 4.0f, c.goes_on) << c.x << " " << c.y;
        for (RenderPath path : lane_paths()) {
            for (int lane = 0; lane < render_lane_width(path); ++lane) {
                float r = -1;
                if (render_lane_probe(path, LaneProbe::goes_on, c.x, c.y, 0, r, lane)) {
                    EXPECT_EQ(r, c.goes_on ? 1.0f : 0.0f)
                        << render_path_name(path) << " lane " << lane << ": " << c.x << " " << c.y;
                }
            }
        }
    }
}

// Near the ring the lanes filter on the float sum of the squares before they
// compute m's double r: where r lies on the ring's side of a bound's midpoint
// (so m may be inside) and the float sum on the other, the filter must let z in.
TEST(LaneArithmetic, RingFilterLetsInWhatMayHit)
{
    struct Case {
        float x, y, bound;
        LaneProbe edge;
    };
    const Case cases[] = {
        {0x1.76acf4p-1f, 0x1.5cf1c6p-1f, 1.0f, LaneProbe::near_ring_from},  // r above 1 + 2^-24, the sum 1
        {0x1.ff04fap-1f, 0x1.fac0bcp-5f, 1.0f, LaneProbe::near_ring_to},    // r below 1 - 2^-25, the sum 1
    };
    for (const Case& c : cases) {
        const double r = double{c.x} * c.x + double{c.y} * c.y;
        const float sum = c.x * c.x + c.y * c.y;
        const bool low = c.edge == LaneProbe::near_ring_from;
        const double midpoint = (double{c.bound} + std::nextafter(c.bound, low ? INFINITY : 0.0f)) / 2;
        ASSERT_TRUE(low ? r > midpoint && sum < midpoint : r < midpoint && sum > midpoint) << c.x << " " << c.y;
        for (RenderPath path : lane_paths()) {
            for (int lane = 0; lane < render_lane_width(path); ++lane) {
                float in = -1;
                render_lane_probe(path, c.edge, c.x, c.y, c.bound, in, lane);
                EXPECT_EQ(in, 1.0f) << render_path_name(path) << " lane " << lane << ": " << c.x << " " << c.y;
            }
        }
    }
}

// Exact sums that land on a float midpoint round alike in both formats, and are
// common: doubting them would send a good share of all pixels back.
TEST(LaneArithmetic, ExactMidpointsAreTrusted)
{
    for (RenderPath path : lane_paths()) {
        float r = 0;
        EXPECT_TRUE(render_lane_probe(path, LaneProbe::difference_sum, 1.0f, 0.0f, 0x1p-24f, r));
        EXPECT_EQ(r, 1.0f) << "tie to even";
        EXPECT_TRUE(render_lane_probe(path, LaneProbe::difference_sum, 0x1.000002p+0f, 0.0f, 0x1p-24f, r));
        EXPECT_EQ(r, 0x1.000004p+0f) << "tie to even";
        EXPECT_TRUE(render_lane_probe(path, LaneProbe::exact_sum, 0x1.000002p+0f, 0x1p-24f, 0, r));
        EXPECT_EQ(r, 0x1.000004p+0f);
        EXPECT_TRUE(render_lane_probe(path, LaneProbe::square_sum, 1.0f, 0x1p-12f, 0, r));
        EXPECT_EQ(r, 1.0f) << "1 + 2^-24 is a tie";
        EXPECT_TRUE(render_lane_probe(path, LaneProbe::square_sum, 0x1p-75f, 0.0f, 0, r));
        EXPECT_EQ(r, 0.0f) << "2^-150 is a tie between 0 and the least float";
        EXPECT_TRUE(render_lane_probe(path, LaneProbe::difference_sum, 1.0f, 0x1.1p-21f, 0.0f, r));
        EXPECT_EQ(r, 0x1.fffffp-1f) << "1 - 2^-21 - 2^-25 is a tie";
    }
}

// Random operands of every scale, many of them near ties, against the rule in
// its own arithmetic: a trusted lane result must be the rule's float.
TEST(LaneArithmetic, TrustedResultsFollowTheRule)
{
    using Wide = render_rule::reference_wide;
    std::mt19937 rng(20240601);
    std::uniform_real_distribution<float> unit(-2.0f, 2.0f);
    std::uniform_int_distribution<int> scale(-40, 2);
    auto operand = [&] {
        const float v = std::ldexp(unit(rng), scale(rng));
        return rng() % 4 == 0 ? std::ldexp(std::round(std::ldexp(v, 12)), -12) : v;  // short ones make ties
    };
    for (RenderPath path : lane_paths()) {
        int trusted = 0;
        for (int i = 0; i < 200000; ++i) {
            const float a = operand(), b = operand(), c = operand();
            const int lane = i % render_lane_width(path);
            float r = 0;
            if (render_lane_probe(path, LaneProbe::square_sum, a, b, 0, r, lane)) {
                ++trusted;
                ASSERT_TRUE(same_bits(r, static_cast<float>(Wide{a} * a + Wide{b} * b))) << a << " " << b;
            }
            const float sa = std::fabs(a), sb = std::fabs(b);
            if (render_lane_probe(path, LaneProbe::difference_sum, sa, sb, c, r, lane)) {
                ASSERT_TRUE(same_bits(r, static_cast<float>(Wide{sa} - sb + c))) << sa << " " << sb << " " << c;
            }
            ASSERT_TRUE(render_lane_probe(path, LaneProbe::exact_sum, a, b, 0, r, lane));
            ASSERT_TRUE(same_bits(r, static_cast<float>(Wide{a} + b))) << a << " " << b;
        }
        EXPECT_GT(trusted, 199000) << render_path_name(path);
    }
}

}  // namespace
