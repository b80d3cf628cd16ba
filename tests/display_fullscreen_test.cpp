// The fullscreen presentation on the fake host: exclusive mode, the mode fall-backs,
// the flipping chain, inactive frames and closing.
#include "tests/display_fixture.h"

namespace {

constexpr const char* title = "Vorlix Julia (Kelvorn)";
const FakeMode desktop_mode{1024, 768, 32};
const RECT whole_mode{0, 0, picture_width, picture_height};

class FullscreenTest : public DisplayTest {};

TEST_F(FullscreenTest, OpenTakesTheScreenAndCloseGivesItBack)
{
    ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
    const std::vector<std::string> expected = {
        "LoadLibraryA", "GetProcAddress", "DirectDrawCreate", "RegisterClassA", "CreateWindowExA", "ShowWindow",
        "IDirectDraw::SetCooperativeLevel", "IDirectDraw::SetDisplayMode", "IDirectDraw::CreateSurface",
        "IDirectDrawSurface::GetAttachedSurface", "IDirectDrawSurface::GetPixelFormat", "SystemParametersInfoA",
        "SystemParametersInfoA",
    };
    EXPECT_EQ(fake_journal_names(), expected);
    const std::vector<FakeCall>& calls = fake_journal();
    EXPECT_EQ(calls[4].args.substr(calls[4].args.find("0x80000000")), "0x80000000, 0, 0, 0, 0, NULL, NULL, NULL, NULL");
    EXPECT_EQ(calls[6].args, "ddraw#1, hwnd#1, 0x11");
    EXPECT_EQ(calls[7].args, "ddraw#1, 320, 240, 32");
    EXPECT_NE(calls[8].args.find("dwFlags=0x21, dwBackBufferCount=2, dwCaps=0x4218"), std::string::npos)
        << calls[8].args;
    EXPECT_NE(calls[9].args.find("dwCaps=0x4"), std::string::npos);
    EXPECT_EQ(fake_display_mode(), (FakeMode{320, 240, 32}));
    EXPECT_FALSE(fake_screensaver_on());

    close_and_expect_nothing_left();
    EXPECT_EQ(fake_display_mode(), desktop_mode);
    EXPECT_TRUE(fake_screensaver_on());
}

TEST_F(FullscreenTest, ModeFallsBackTo24And16Bits)
{
    struct Case {
        std::vector<FakeMode> offered;
        int set_mode_calls;
        FakeFormat format;
    };
    const Case cases[] = {
        {{{320, 240, 24}, {320, 240, 16}}, 2, fake_rgb888},
        {{{320, 240, 16}}, 3, fake_rgb565},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set_mode_calls);
        FakeScreen screen;
        screen.modes = c.offered;
        start(screen);
        ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
        EXPECT_EQ(count_of(fake_journal_names(), "IDirectDraw::SetDisplayMode"), c.set_mode_calls);
        EXPECT_EQ(fake_display_format(), c.format);
        const std::vector<std::uint32_t> picture = test_picture(7);
        ASSERT_EQ(display_update(picture.data()), 1);
        EXPECT_EQ(screen_area(whole_mode), shown_as(picture, c.format));
        EXPECT_FALSE(fake_slack_touched());
        close_and_expect_nothing_left();
        EXPECT_EQ(fake_display_mode(), desktop_mode);
    }
}

TEST_F(FullscreenTest, ChainOfTwoRefusedThenOneGrantedStillPresents)
{
    FakeScreen screen;
    screen.max_back_buffers = 1;
    start(screen);
    ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
    const std::vector<FakeCall>& calls = fake_journal();
    std::vector<std::string> chains;
    for (const FakeCall& call : calls)
        if (call.name == "IDirectDraw::CreateSurface")
            chains.push_back(call.args.substr(call.args.find("dwBackBufferCount")));
    ASSERT_EQ(chains.size(), 2u);
    EXPECT_EQ(chains[0].substr(0, 20), "dwBackBufferCount=2,");
    EXPECT_EQ(chains[1].substr(0, 20), "dwBackBufferCount=1,");
    // With one back buffer the flip swaps two buffers: frames must still alternate right.
    for (std::uint32_t seed = 10; seed < 13; ++seed) {
        const std::vector<std::uint32_t> picture = test_picture(seed);
        ASSERT_EQ(display_update(picture.data()), 1);
        EXPECT_EQ(screen_area(whole_mode), picture) << seed;
    }
    close_and_expect_nothing_left();
}

struct FailingStep {
    const char* name;
    int nth;
    int times;
    std::int64_t result;
    FakeCounts left;
    bool mode_switched;
};

TEST_F(FullscreenTest, EachFailingStepKeepsWhatItHadAndCloseReleasesIt)
{
    constexpr FakeCounts with_window{.windows = 1, .directdraws = 1, .modules = 1};
    const FailingStep steps[] = {
        {"LoadLibraryA", 1, 1, 0, {}, false},
        {"GetProcAddress", 1, 1, 0, {.modules = 1}, false},
        {"DirectDrawCreate", 1, 1, DDERR_GENERIC, {.modules = 1}, false},
        {"IDirectDraw::SetCooperativeLevel", 1, 1, DDERR_GENERIC, with_window, false},
        {"IDirectDraw::SetDisplayMode", 1, 3, DDERR_INVALIDMODE, with_window, false},
        {"IDirectDraw::CreateSurface", 1, 2, DDERR_OUTOFVIDEOMEMORY, with_window, true},
        {"IDirectDrawSurface::GetAttachedSurface", 1, 1, DDERR_NOTFOUND,
         {.windows = 1, .surfaces = 3, .directdraws = 1, .modules = 1}, true},
        {"IDirectDrawSurface::GetPixelFormat", 1, 1, DDERR_GENERIC,
         {.windows = 1, .surfaces = 3, .directdraws = 1, .modules = 1}, true},
    };
    for (const FailingStep& step : steps) {
        SCOPED_TRACE(step.name);
        start(FakeScreen{});
        fake_fail(step.name, step.nth, step.result, step.times);
        EXPECT_EQ(display_open(title, picture_width, picture_height), 0);
        EXPECT_EQ(fake_journal_names().back(), step.name);
        EXPECT_EQ(fake_live(), step.left);
        EXPECT_EQ(fake_display_mode() != desktop_mode, step.mode_switched);
        close_and_expect_nothing_left();
        EXPECT_EQ(fake_display_mode(), desktop_mode);
        EXPECT_TRUE(fake_screensaver_on());
    }
}

TEST_F(FullscreenTest, NeverActiveOnlyHandlesMessagesAndSleeps)
{
    FakeScreen screen;
    screen.focus_elsewhere = true;
    start(screen);
    ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
    const std::size_t mark = fake_journal().size();
    const std::vector<std::uint32_t> picture = test_picture(14);
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_EQ(display_update(picture.data()), 1);
    for (const FakeCall& call : std::vector<FakeCall>(fake_journal().begin() + static_cast<std::ptrdiff_t>(mark),
                                                      fake_journal().end()))
        EXPECT_TRUE(call.name == "PeekMessageA" || call.name == "TranslateMessage" ||
                    call.name == "DispatchMessageA" || call.name == "DefWindowProcA" ||
                    (call.name == "Sleep" && call.args == "1"))
            << call.name << "(" << call.args << ")";
    EXPECT_EQ(count_of(names_after(mark), "Sleep"), 3);
    close_and_expect_nothing_left();
}

TEST_F(FullscreenTest, FocusLostSkipsFramesAndFocusRegainedPresentsAgain)
{
    ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
    const std::vector<std::uint32_t> first = test_picture(15), second = test_picture(16);
    ASSERT_EQ(display_update(first.data()), 1);
    EXPECT_EQ(screen_area(whole_mode), first);

    for (int round = 0; round < 3; ++round) {
        fake_activate(false);
        std::size_t mark = fake_journal().size();
        EXPECT_EQ(display_update(second.data()), 1);
        EXPECT_EQ(count_of(names_after(mark), "IDirectDrawSurface::Lock"), 0);
        EXPECT_EQ(display_state.active, 0);

        fake_activate(true);
        mark = fake_journal().size();
        EXPECT_EQ(display_update(second.data()), 1);
        const std::vector<std::string> names = names_after(mark);
        EXPECT_EQ(count_of(names, "IDirectDrawSurface::Restore"), 1);
        EXPECT_EQ(count_of(names, "IDirectDrawSurface::Flip"), 1);
        EXPECT_EQ(screen_area(whole_mode), second);
    }
    close_and_expect_nothing_left();
}

TEST_F(FullscreenTest, RefusedFlipKeepsTheLastFrameAndALockFailureReturnsZero)
{
    ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
    const std::vector<std::uint32_t> a = test_picture(17), b = test_picture(18), c = test_picture(19);
    ASSERT_EQ(display_update(a.data()), 1);
    fake_fail("IDirectDrawSurface::Flip", 2, DDERR_WASSTILLDRAWING);
    EXPECT_EQ(display_update(b.data()), 1) << "a refused flip is not a failure";
    EXPECT_EQ(screen_area(whole_mode), a);
    EXPECT_EQ(display_update(c.data()), 1);
    EXPECT_EQ(screen_area(whole_mode), c);

    fake_fail("IDirectDrawSurface::Lock", 4, DDERR_SURFACEBUSY);
    const std::size_t mark = fake_journal().size();
    EXPECT_EQ(display_update(a.data()), 0);
    EXPECT_EQ(names_after(mark).back(), "IDirectDrawSurface::Lock") << "no unlock, flip or sleep";
    EXPECT_EQ(screen_area(whole_mode), c);
    close_and_expect_nothing_left();
}

TEST_F(FullscreenTest, LostSurfacesComeBackAndTheCursorIsHidden)
{
    ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
    const std::vector<std::uint32_t> picture = test_picture(20);
    fake_mouse_over();
    ASSERT_EQ(display_update(picture.data()), 1);
    EXPECT_TRUE(fake_cursor_hidden());
    fake_lose_surfaces();
    EXPECT_EQ(display_update(picture.data()), 1);
    EXPECT_EQ(screen_area(whole_mode), picture);
    close_and_expect_nothing_left();
}

using FullscreenDeathTest = FullscreenTest;

TEST_F(FullscreenDeathTest, ClosingReleasesEverythingRestoresTheModeAndEndsWithZero)
{
    GTEST_FLAG_SET(death_test_style, VORLIX_DEATH_TEST_STYLE);
    const std::vector<std::uint32_t> picture = test_picture(21);
    EXPECT_EXIT(
        {
            ASSERT_EQ(display_open(title, picture_width, picture_height), 1);
            report_release_at_exit();
            std::atexit([] { std::fprintf(stderr, "mode %d\n", fake_display_mode().width); });
            fake_close_box();
            display_update(picture.data());
        },
        ::testing::ExitedWithCode(0), "mode 1024\nall released, screensaver on");
}

}  // namespace
