// The renderer's own values: frame parameters, colour mapping and the picture's shape.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "demo/render.h"
#include "demo/render_rule.h"
#include "tests/render_fixture.h"

namespace {

class RenderTest : public RenderFixture {
protected:
    static void draw(std::int32_t frame)
    {
        render_seek(frame);
        render_frame();
    }

    static std::vector<std::uint32_t> picture() { return {frame_buffer, frame_buffer + frame_pixel_count}; }
};

TEST_F(RenderTest, ViewWindowAndCoordinateTables)
{
    const RenderState& s = render_state;
    EXPECT_EQ(s.x_min, -2.0f);
    EXPECT_EQ(s.y_max, 1.5f);
    EXPECT_NEAR(s.x_step, 0.0125392, 1e-7);
    EXPECT_NEAR(s.y_step, 0.0125523, 1e-7);
    EXPECT_EQ(s.x_coords[0], -2.0f);
    EXPECT_NEAR(s.x_coords[319], 1.9999999, 1e-6);
    EXPECT_LT(s.x_coords[319], 2.0f);
    EXPECT_EQ(s.y_coords[0], 1.5f);
    EXPECT_NEAR(s.y_coords[119], 0.0062761, 1e-7);
    EXPECT_NEAR(s.y_coords[239], -1.5, 1e-6);
    for (int i = 1; i < frame_width; ++i)
        ASSERT_LT(s.x_coords[i - 1], s.x_coords[i]) << i;
    EXPECT_EQ(s.ring_width, 0.0f) << "the ring is set per frame, not by set-up";
}

TEST_F(RenderTest, FirstFrameParameters)
{
    render_frame();  // from a zero counter, as the demo starts
    const RenderState& s = render_state;
    EXPECT_EQ(s.frame_counter, 1);
    EXPECT_NEAR(s.angle, 0.0174533, 1e-7);
    EXPECT_NEAR(s.cx, 0.0073291, 1e-7);
    EXPECT_NEAR(s.cy, 0.0209429, 1e-7);
    EXPECT_NEAR(s.c_abs, 0.0221883, 1e-7);
    EXPECT_NEAR(s.ring_lo_sq, 0.00031726, 1e-8);
    EXPECT_NEAR(s.ring_hi_sq, 0.0038674, 1e-7);
    EXPECT_EQ(s.ring_width, 0.039999999105930328f);
    EXPECT_EQ(static_cast<double>(s.ring_width), 0.039999999105930328);
    // |c|^2 comes from cx and cy, not from squaring the rounded |c|.
    using Wide = render_rule::reference_wide;
    EXPECT_EQ(s.c_abs_sq, static_cast<float>(Wide{s.cx} * s.cx + Wide{s.cy} * s.cy));
}

TEST_F(RenderTest, QuarterAndHalfTurnParameters)
{
    draw(90);
    EXPECT_NEAR(render_state.cx, 0.0, 1e-6);
    EXPECT_NEAR(render_state.cy, 1.2, 1e-6);
    draw(180);
    EXPECT_NEAR(render_state.cx, -0.48541, 1e-5);
    EXPECT_NEAR(render_state.cy, 0.0, 1e-6);
}

TEST_F(RenderTest, WrapToFrameZeroIsBlackAndFrameOneFollows)
{
    draw(1);
    const auto first = picture();

    draw(2147483647);
    EXPECT_EQ(render_state.frame_counter, 2147483647);
    render_frame();
    EXPECT_EQ(render_state.frame_counter, 0);
    EXPECT_EQ(render_state.cx, 0.0f);
    EXPECT_EQ(render_state.cy, 0.0f);
    EXPECT_EQ(render_state.ring_lo_sq, render_state.ring_hi_sq);
    for (int p = 0; p < frame_pixel_count; ++p)
        ASSERT_EQ(frame_buffer[p], 0u) << p;

    render_frame();
    EXPECT_EQ(render_state.frame_counter, 1);
    EXPECT_EQ(picture(), first) << "a frame's picture depends on its number alone";
}

TEST_F(RenderTest, EveryPixelIsRewrittenEachFrame)
{
    std::memset(frame_buffer, 0xAB, sizeof frame_buffer);
    draw(0);
    for (int p = 0; p < frame_pixel_count; ++p)
        ASSERT_EQ(frame_buffer[p], 0u) << p;
}

TEST_F(RenderTest, PicturesArePointSymmetricLitAndHaveBlackCorners)
{
    for (std::int32_t frame : {1, 37, 90, 133, 180, 271, 359, 1000, 123456789}) {
        draw(frame);
        int lit = 0;
        for (int p = 0; p < frame_pixel_count; ++p) {
            ASSERT_EQ(frame_buffer[p], frame_buffer[frame_pixel_count - 1 - p]) << "frame " << frame << " pixel " << p;
            ASSERT_EQ(frame_buffer[p] >> 24, 0u) << "frame " << frame << " pixel " << p;
            lit += frame_buffer[p] != 0;
        }
        EXPECT_GT(lit, 100) << "frame " << frame;
        EXPECT_EQ(frame_buffer[0], 0u);
        EXPECT_EQ(frame_buffer[frame_width - 1], 0u);
        EXPECT_EQ(frame_buffer[frame_pixel_count - frame_width], 0u);
        EXPECT_EQ(frame_buffer[frame_pixel_count - 1], 0u);
    }
}

TEST_F(RenderTest, StartOutsideTheEscapeCircleNeverCounts)
{
    draw(45);
    std::int32_t last_hit = 12345;
    EXPECT_EQ(ring_accumulate(-2.0f, 1.5f, last_hit), 0.0f);
    EXPECT_EQ(ring_accumulate(2.0f, 0.0f, last_hit), 0.0f);
    EXPECT_EQ(last_hit, 12345);
}

TEST_F(RenderTest, LastHitCarriesOverButNeverColoursAnUnhitPixel)
{
    render_state.last_hit = 2;
    draw(0);
    EXPECT_EQ(render_state.last_hit, 2) << "a frame without hits leaves last_hit alone";
    draw(33);
    EXPECT_GT(render_state.last_hit, 0);
    EXPECT_LT(render_state.last_hit, ring_max_passes);
}

TEST(RingIntensity, RoundsToNearestTiesToEven)
{
    EXPECT_EQ(ring_intensity(0.0f), 0);
    EXPECT_EQ(ring_intensity(-0.5f), 0);
    EXPECT_EQ(ring_intensity(1.0f), 500);
    EXPECT_EQ(ring_intensity(0.015625f), 62);   // 62.5: tie to the even 62
    EXPECT_EQ(ring_intensity(0.140625f), 188);  // 187.5: tie to the even 188, not truncated
    EXPECT_EQ(ring_intensity(0.0004579600f), 11);  // about 10.7 rounds up
    EXPECT_EQ(ring_intensity(19.0f), 2179);
}

TEST(RingColour, BandsBlendAndRotation)
{
    struct Case {
        std::int32_t n;
        std::uint32_t k0, k1, k2;
    };
    const Case cases[] = {
        {0, 0, 0, 0},
        {1, 0, 0, 0},
        {2, 0, 0, 0},
        {3, 0x010000, 0x000001, 0x000100},
        {100, 0x2C0B19, 0x0B192C, 0x192C0B},
        {300, 0x842F4D, 0x2F4D84, 0x4D842F},
        {500, 0xDD8881, 0x8881DD, 0x81DD88},
        {600, 0xECB4AE, 0xB4AEEC, 0xAEECB4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ring_colour(c.n, 0), c.k0) << c.n;
        EXPECT_EQ(ring_colour(c.n, 1), c.k1) << c.n;
        EXPECT_EQ(ring_colour(c.n, 2), c.k2) << c.n;
        EXPECT_EQ(ring_colour(c.n, 3), c.k0) << "rotation is last_hit mod 3";
        EXPECT_EQ(ring_colour(c.n, 19), c.k1) << c.n;
    }
    for (std::int32_t n = 767; n <= 2179; ++n)
        for (std::int32_t k = 0; k < 3; ++k)
            ASSERT_EQ(ring_colour(n, k), 0xFFFFFFu) << n;
    EXPECT_NE(ring_colour(766, 0), 0xFFFFFFu);
}

TEST(RingColour, BandEdgesAfterBlend)
{
    // Full red blends to (113, 28, 66), full red and green to (226, 141, 132); the
    // first value of the next band starts from the same channels.
    EXPECT_EQ(ring_colour(255, 0), 0x711C42u);
    EXPECT_EQ(ring_colour(256, 0), 0x711C42u);
    EXPECT_EQ(ring_colour(511, 0), 0xE28D84u);
    EXPECT_EQ(ring_colour(512, 0), 0xE28D84u);
}

}  // namespace
