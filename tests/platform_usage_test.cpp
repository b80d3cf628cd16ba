// Whole display sequences through the stand-in, as the display library runs them.
#include "platform_fixture.h"
#include "platform_usage.h"

namespace {

using Usage = PlatformTest;
using UsageDeath = PlatformTest;

std::vector<std::uint32_t> picture(int width, int height)
{
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint32_t>(i * 0x010203u) & 0x00FFFFFFu;
    return pixels;
}

// What the screen shows of a width x height area at (left, top), 0x00RRGGBB.
std::vector<std::uint32_t> shown_area(int left, int top, int width, int height)
{
    const std::vector<std::uint32_t> screen = fake_screen_rgb();
    const int stride = fake_display_mode().width;
    std::vector<std::uint32_t> area;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x)
            area.push_back(screen[static_cast<std::size_t>(y * stride + x)]);
    return area;
}

TEST_F(Usage, WindowedDisplayShowsEachFrameInTheCentredClientArea)
{
    ASSERT_EQ(usage_windowed_open("Vorlix Julia (Kelvorn)", 320, 240), 1);
    EXPECT_FALSE(fake_screensaver_on());
    EXPECT_EQ(GetActiveWindow(), usage_window());
    const std::vector<std::uint32_t> frame = picture(320, 240);
    EXPECT_EQ(usage_windowed_update(frame.data()), 1);
    EXPECT_EQ(shown_area(352, 273, 320, 240), frame);
    EXPECT_EQ(shown_area(351, 273, 1, 1), std::vector<std::uint32_t>{0x008080});
    fake_key('A');
    fake_key(VK_ESCAPE);  // a second key in the same frame is lost
    EXPECT_EQ(usage_windowed_update(frame.data()), 1);
    EXPECT_EQ(usage_key_poll(), 'A');
    EXPECT_EQ(usage_key_poll(), -1);
    usage_windowed_close();
    EXPECT_TRUE(fake_screensaver_on());
    EXPECT_EQ(fake_live().windows, 0);
}

TEST_F(Usage, WindowedOpenStopsAtAPaletteScreen)
{
    FakeScreen screen;
    screen.format = fake_pal8;
    fake_reset(screen);
    EXPECT_EQ(usage_windowed_open("pal", 320, 240), 0);
    EXPECT_TRUE(fake_window(usage_window()).visible);
    usage_windowed_close();
}

TEST_F(Usage, FullscreenDisplayFlipsOnlyWhileActive)
{
    for (const int back_buffers : {1, 2}) {
        fake_reset();
        ASSERT_EQ(usage_fullscreen_open("Vorlix Julia (Kelvorn)", 320, 240, back_buffers), 1);
        EXPECT_EQ(fake_display_mode(), (FakeMode{320, 240, 32}));
        const std::vector<std::uint32_t> frame = picture(320, 240);
        EXPECT_EQ(usage_fullscreen_update(frame.data()), 1);  // activation arrives first
        EXPECT_EQ(fake_screen_rgb(), frame);
        fake_mouse_over();
        fake_activate(false);
        const std::vector<std::uint32_t> black(frame.size(), 0);
        EXPECT_EQ(usage_fullscreen_update(black.data()), 1);
        EXPECT_TRUE(fake_cursor_hidden());
        EXPECT_EQ(fake_screen_rgb(), frame);  // inactive: nothing drawn
        fake_activate(true);
        EXPECT_EQ(usage_fullscreen_update(black.data()), 1);
        EXPECT_EQ(fake_screen_rgb(), black);
        usage_fullscreen_close();
        EXPECT_EQ(fake_display_mode(), (FakeMode{1024, 768, 32}));
        EXPECT_EQ(fake_live(), FakeCounts{});
    }
}

TEST_F(Usage, FullscreenFallsBackTo16Bits)
{
    FakeScreen screen;
    screen.modes = {{320, 240, 16}, {640, 480, 32}};
    fake_reset(screen);
    ASSERT_EQ(usage_fullscreen_open("sixteen", 320, 240, 2), 1);
    EXPECT_EQ(fake_display_format(), fake_rgb565);
    const std::vector<std::uint32_t> frame(320 * 240, 0x00FF0408);  // unchanged by rgb565 and back
    usage_fullscreen_update(frame.data());
    EXPECT_EQ(fake_screen_rgb(), frame);
    EXPECT_EQ(fake_journal_names().back(), "Sleep");
    usage_fullscreen_close();
}

// Failing any one call of the open leaves what was acquired; closing releases it.
TEST_F(Usage, EveryFailedOpenStepCanBeClosed)
{
    const char* steps[] = {"LoadLibraryA", "GetProcAddress", "DirectDrawCreate", "IDirectDraw::SetCooperativeLevel",
                           "IDirectDraw::CreateSurface", "IDirectDraw::CreateClipper", "IDirectDrawClipper::SetHWnd",
                           "IDirectDrawSurface::SetClipper", "IDirectDrawSurface::GetPixelFormat"};
    for (const char* step : steps) {
        fake_reset();
        fake_fail(step, 1, DDERR_GENERIC);
        EXPECT_EQ(usage_windowed_open("w", 320, 240), 0) << step;
        usage_windowed_close();
        EXPECT_EQ(fake_live(), FakeCounts{}) << step;
        EXPECT_TRUE(fake_screensaver_on());
    }
}

TEST_F(UsageDeath, CloseBoxEndsTheProcessWithStatusZero)
{
    ASSERT_EQ(usage_windowed_open("closing", 320, 240), 1);
    fake_close_box();
    const std::vector<std::uint32_t> frame = picture(320, 240);
    EXPECT_EXIT(usage_windowed_update(frame.data()), ::testing::ExitedWithCode(0), "");
    usage_windowed_close();
}

TEST_F(UsageDeath, AltF4EndsTheFullscreenProcess)
{
    ASSERT_EQ(usage_fullscreen_open("alt-f4", 320, 240, 2), 1);
    fake_system_key(VK_F4, true);
    const std::vector<std::uint32_t> frame = picture(320, 240);
    EXPECT_EXIT(usage_fullscreen_update(frame.data()), ::testing::ExitedWithCode(0), "");
    usage_fullscreen_close();
}

}  // namespace
