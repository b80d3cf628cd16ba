// The windowed presentation on the fake host: its calls, its failures, what reaches
// the screen, and its window procedure.
#include "tests/display_fixture.h"

namespace {

constexpr const char* title = "Vorlix Julia (Kelvorn)";

class WindowedTest : public DisplayTest {};

TEST_F(WindowedTest, OpenMakesItsCallsInOrderAndCentresTheClientArea)
{
    ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
    const std::vector<std::string> expected = {
        "LoadLibraryA", "GetProcAddress", "DirectDrawCreate", "LoadCursorA", "RegisterClassA",
        "AdjustWindowRect", "GetSystemMetrics", "GetSystemMetrics", "CreateWindowExA", "ShowWindow",
        "IDirectDraw::SetCooperativeLevel", "IDirectDraw::CreateSurface", "IDirectDraw::CreateSurface",
        "IDirectDraw::CreateClipper", "IDirectDrawClipper::SetHWnd", "IDirectDrawSurface::SetClipper",
        "IDirectDrawSurface::GetPixelFormat", "SystemParametersInfoA", "SystemParametersInfoA",
    };
    EXPECT_EQ(fake_journal_names(), expected);
    const std::vector<FakeCall>& calls = fake_journal();
    EXPECT_EQ(calls[10].args, "ddraw#1, hwnd#1, 0x8");
    EXPECT_NE(calls[11].args.find("dwFlags=0x1, dwCaps=0x4200"), std::string::npos) << calls[11].args;
    EXPECT_NE(calls[12].args.find("dwFlags=0x7, dwHeight=240, dwWidth=320, dwCaps=0x40"), std::string::npos)
        << calls[12].args;
    EXPECT_EQ(calls.back().args, "17, 0, NULL, 0x0");

    const FakeWindow window = fake_window();
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.title, title);
    EXPECT_EQ(window.class_name, title);
    EXPECT_EQ(window.style, static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_EQ(window.client.right - window.client.left, picture_width);
    EXPECT_EQ(window.client.bottom - window.client.top, picture_height);
    const int outer_width = window.outer.right - window.outer.left;
    const int outer_height = window.outer.bottom - window.outer.top;
    EXPECT_EQ(window.outer.left, (1024 - outer_width) >> 1);
    EXPECT_EQ(window.outer.top, (768 - outer_height) >> 1);
    EXPECT_FALSE(fake_screensaver_on());
    EXPECT_EQ(display_state.draw_surface, display_state.offscreen);

    close_and_expect_nothing_left();
    EXPECT_TRUE(fake_screensaver_on());
    EXPECT_FALSE(fake_window().exists);
}

TEST_F(WindowedTest, WindowLargerThanTheScreenCentresTowardsMinusInfinity)
{
    FakeScreen small;
    small.width = 301;
    small.height = 200;
    start(small);
    ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
    const FakeWindow window = fake_window();
    EXPECT_EQ(window.outer.left, (301 - (window.outer.right - window.outer.left)) >> 1);
    EXPECT_LT(window.outer.left, 0);
    EXPECT_EQ(window.outer.top, (200 - (window.outer.bottom - window.outer.top)) >> 1);
    close_and_expect_nothing_left();
}

struct FailingStep {
    const char* name;
    int nth;
    std::int64_t result;
    FakeCounts left;  // what a failed open keeps, for display_close to release
};

TEST_F(WindowedTest, EachFailingStepKeepsWhatItHadAndCloseReleasesIt)
{
    const FailingStep steps[] = {
        {"LoadLibraryA", 1, 0, {}},
        {"GetProcAddress", 1, 0, {.modules = 1}},
        {"DirectDrawCreate", 1, DDERR_GENERIC, {.modules = 1}},
        {"IDirectDraw::SetCooperativeLevel", 1, DDERR_GENERIC, {.windows = 1, .directdraws = 1, .modules = 1}},
        {"IDirectDraw::CreateSurface", 1, DDERR_OUTOFVIDEOMEMORY, {.windows = 1, .directdraws = 1, .modules = 1}},
        {"IDirectDraw::CreateSurface", 2, DDERR_OUTOFVIDEOMEMORY,
         {.windows = 1, .surfaces = 1, .directdraws = 1, .modules = 1}},
        {"IDirectDraw::CreateClipper", 1, DDERR_GENERIC, {.windows = 1, .surfaces = 2, .directdraws = 1, .modules = 1}},
        {"IDirectDrawClipper::SetHWnd", 1, DDERR_GENERIC,
         {.windows = 1, .surfaces = 2, .clippers = 1, .directdraws = 1, .modules = 1}},
        {"IDirectDrawSurface::SetClipper", 1, DDERR_GENERIC,
         {.windows = 1, .surfaces = 2, .clippers = 1, .directdraws = 1, .modules = 1}},
        {"IDirectDrawSurface::GetPixelFormat", 1, DDERR_GENERIC,
         {.windows = 1, .surfaces = 2, .clippers = 1, .directdraws = 1, .modules = 1}},
    };
    for (const FailingStep& step : steps) {
        SCOPED_TRACE(std::string(step.name) + " #" + std::to_string(step.nth));
        start(FakeScreen{});
        fake_fail(step.name, step.nth, step.result);
        EXPECT_EQ(display_open(title, picture_width, picture_height), 0);
        EXPECT_EQ(fake_journal_names().back(), step.name) << "the open stops at the failing step";
        EXPECT_EQ(fake_live(), step.left);
        EXPECT_EQ(display_state.width, picture_width);
        EXPECT_TRUE(fake_screensaver_on());
        close_and_expect_nothing_left();
        EXPECT_TRUE(fake_screensaver_on()) << "a screensaver never turned off is left as it was";
    }
}

TEST_F(WindowedTest, PaletteAndUnknownFormatsAreRefused)
{
    const FakeFormat refused[] = {
        fake_pal8,
        {32, 0x3FF00000, 0x000FFC00, 0x000003FF, false},  // 10 bits a channel
        {16, 0xF800, 0x03E0, 0x001F, false},              // a near miss of two rows
    };
    for (std::size_t i = 0; i < std::size(refused); ++i) {
        SCOPED_TRACE(i);
        FakeScreen screen;
        screen.format = refused[i];
        start(screen);
        EXPECT_EQ(display_open(title, picture_width, picture_height), 0);
        EXPECT_TRUE(fake_window().visible) << "refused only after the window was shown";
        close_and_expect_nothing_left();
    }
}

TEST_F(WindowedTest, EveryScreenFormatShowsThePictureInTheClientArea)
{
    const FakeFormat formats[] = {fake_xrgb8888, fake_xbgr8888, fake_rgb888, fake_bgr888,
                                  fake_rgb565,   fake_bgr565,   fake_rgb555, fake_bgr555};
    for (const FakeFormat& format : formats) {
        SCOPED_TRACE(format.bits * 1000000000ull + format.red);
        FakeScreen screen;
        screen.format = format;
        start(screen);
        ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
        const std::vector<std::uint32_t> picture = test_picture(format.red);
        ASSERT_EQ(display_update(picture.data()), 1);
        EXPECT_EQ(screen_area(fake_window().client), shown_as(picture, format));
        EXPECT_FALSE(fake_slack_touched()) << "rows are written within width pixels, lPitch apart";
        close_and_expect_nothing_left();
    }
}

TEST_F(WindowedTest, UpdateRestoresEveryFrameAndALockFailureShowsNothing)
{
    ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
    const std::vector<std::uint32_t> first = test_picture(1), second = test_picture(2);
    ASSERT_EQ(display_update(first.data()), 1);

    std::size_t mark = fake_journal().size();
    fake_fail("IDirectDrawSurface::Lock", 2, DDERR_SURFACEBUSY);
    EXPECT_EQ(display_update(second.data()), 0);
    std::vector<std::string> names = names_after(mark);
    EXPECT_EQ(count_of(names, "IDirectDrawSurface::Restore"), 2);
    EXPECT_EQ(names.back(), "IDirectDrawSurface::Lock") << "no unlock, paint or sleep after a failed lock";
    EXPECT_EQ(screen_area(fake_window().client), first);

    fake_lose_surfaces();
    mark = fake_journal().size();
    EXPECT_EQ(display_update(second.data()), 1);
    names = names_after(mark);
    EXPECT_EQ(count_of(names, "IDirectDrawSurface::Restore"), 2);
    EXPECT_EQ(names.back(), "Sleep");
    EXPECT_EQ(screen_area(fake_window().client), second) << "lost surfaces come back and show the frame";
    close_and_expect_nothing_left();
}

TEST_F(WindowedTest, MinimizedWindowStillConvertsEveryFrame)
{
    ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
    const std::vector<std::uint32_t> picture = test_picture(3);
    fake_minimize(true);
    const std::size_t mark = fake_journal().size();
    EXPECT_EQ(display_update(picture.data()), 1);
    const std::vector<std::string> names = names_after(mark);
    EXPECT_EQ(count_of(names, "IDirectDrawSurface::Unlock"), 1);
    EXPECT_GE(count_of(names, "IDirectDrawSurface::Blt"), 1) << "the blit's refusal is ignored";
    fake_minimize(false);
    EXPECT_EQ(display_update(picture.data()), 1);
    EXPECT_EQ(screen_area(fake_window().client), picture);
    close_and_expect_nothing_left();
}

TEST_F(WindowedTest, PaintBlitsTheLastFrameAndNothingAfterClose)
{
    ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
    const std::vector<std::uint32_t> shown = test_picture(4), picture = test_picture(40);
    ASSERT_EQ(display_update(shown.data()), 1);
    const RECT client = fake_window().client;
    // Converted while minimized: in the offscreen surface, not yet on the screen.
    fake_minimize(true);
    ASSERT_EQ(display_update(picture.data()), 1);
    fake_minimize(false);
    fake_journal_clear();
    EXPECT_EQ(screen_area(client), shown);
    fake_expose();

    display_pump_messages();
    const std::vector<std::string> names = fake_journal_names();
    EXPECT_EQ(count_of(names, "IDirectDrawSurface::Blt"), 1);
    EXPECT_EQ(count_of(names, "IDirectDrawSurface::Lock"), 0) << "a repaint converts nothing";
    EXPECT_EQ(screen_area(client), picture);

    display_close();
    const std::size_t after_close = fake_journal().size();
    display_paint();
    EXPECT_EQ(fake_journal().size(), after_close) << "no primary, no blit";
    EXPECT_EQ(fake_live(), FakeCounts{});
}

TEST_F(WindowedTest, KeysAreHandedOverOneAtATime)
{
    ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
    const std::vector<std::uint32_t> picture = test_picture(5);
    fake_key('A');
    fake_key(VK_ESCAPE);
    ASSERT_EQ(display_update(picture.data()), 1);
    EXPECT_EQ(fake_pushed_key(), 'A') << "the second key of a frame is lost";
    EXPECT_EQ(_getch(), 'A');
    EXPECT_EQ(fake_pushed_key(), -1);

    fake_key(0x1B5);  // only the low byte of the code is handed over
    display_update(picture.data());
    EXPECT_EQ(_getch(), 0xB5);

    fake_system_key(VK_F10, false);
    fake_system_key('X', true);
    display_update(picture.data());
    EXPECT_EQ(fake_pushed_key(), -1) << "Alt combinations and F10 stay with the window";
    EXPECT_EQ(count_of(fake_journal_names(), "_ungetch"), 3);
    close_and_expect_nothing_left();
}

TEST_F(WindowedTest, ScreensaverSettingIsPutBackAsItWas)
{
    for (const bool was_on : {true, false}) {
        FakeScreen screen;
        screen.screensaver_on = was_on;
        start(screen);
        ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
        EXPECT_FALSE(fake_screensaver_on());
        close_and_expect_nothing_left();
        EXPECT_EQ(fake_screensaver_on(), was_on);
    }
}

using WindowedDeathTest = WindowedTest;

TEST_F(WindowedDeathTest, ClosingTheWindowReleasesEverythingAndEndsWithZero)
{
    GTEST_FLAG_SET(death_test_style, VORLIX_DEATH_TEST_STYLE);
    const std::vector<std::uint32_t> picture = test_picture(6);
    EXPECT_EXIT(
        {
            ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
            display_update(picture.data());
            report_release_at_exit();
            fake_close_box();
            display_update(picture.data());
            std::fprintf(stderr, "display_update returned\n");
        },
        ::testing::ExitedWithCode(0), "all released, screensaver on");
    EXPECT_EXIT(
        {
            ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
            report_release_at_exit();
            fake_system_key(VK_F4, true);
            display_update(picture.data());
        },
        ::testing::ExitedWithCode(0), "all released");
}

}  // namespace
