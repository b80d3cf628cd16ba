// Every platform call of a display's life made to fail, one at a time: an open, frames
// with repaints, keys, lost surfaces and a change of focus, and a close. Whatever fails,
// nothing crashes or hangs, only a failed lock makes an update report 0, and the close
// leaves nothing behind that it could have released.
#include <set>

#include "tests/display_fixture.h"

namespace {

struct Outcome {
    int open = 0;
    int updates_failed = 0;
    int failed_without_a_refused_lock = 0;  // must stay 0: only a lock failure is reported
};

void update(Outcome& outcome, const std::vector<std::uint32_t>& picture)
{
    const int result = display_update(picture.data());
    if (result == 1)
        return;
    ++outcome.updates_failed;
    const FakeCall& last = fake_journal().back();
    if (result != 0 || last.name != "IDirectDrawSurface::Lock" || last.result == "DD_OK")
        ++outcome.failed_without_a_refused_lock;
}

Outcome live_a_display()
{
    Outcome outcome;
    outcome.open = display_open("Vorlix Julia (Kelvorn)", picture_width, picture_height);
    if (outcome.open) {
        const std::vector<std::uint32_t> picture = test_picture(9);
        update(outcome, picture);
        fake_expose();
        fake_key('A');
        fake_mouse_over();
        update(outcome, picture);
        fake_lose_surfaces();
        update(outcome, picture);
        fake_activate(false);
        update(outcome, picture);
        fake_activate(true);
        update(outcome, picture);
    }
    display_close();
    return outcome;
}

// The steps whose failure the open reports; the others' results are not consulted.
const std::set<std::string> reported_steps = {
    "LoadLibraryA", "GetProcAddress", "DirectDrawCreate", "IDirectDraw::SetCooperativeLevel",
    "IDirectDraw::SetDisplayMode", "IDirectDraw::CreateSurface", "IDirectDraw::CreateClipper",
    "IDirectDrawClipper::SetHWnd", "IDirectDrawSurface::SetClipper", "IDirectDrawSurface::GetAttachedSurface",
    "IDirectDrawSurface::GetPixelFormat",
};

// Calls whose failure leaves their own object behind: nothing can release it then.
const std::set<std::string> release_calls = {"IDirectDrawSurface::Release", "IDirectDraw::Release", "DestroyWindow",
                                             "FreeLibrary"};

class FaultSweepTest : public DisplayTest {};

TEST_F(FaultSweepTest, EveryCallOfADisplaysLifeMayFail)
{
    live_a_display();
    const std::vector<std::string> baseline = fake_journal_names();
    const FakeMode desktop = fake_display_mode();
    const bool fullscreen = std::count(baseline.begin(), baseline.end(), "IDirectDraw::SetDisplayMode") > 0;
    std::size_t open_calls = 0;
    {
        start(FakeScreen{});
        ASSERT_EQ(display_open("Vorlix Julia (Kelvorn)", picture_width, picture_height), 1);
        open_calls = fake_journal().size();
        display_close();
    }

    int swept = 0;
    for (std::size_t i = 0; i < baseline.size(); ++i) {
        const std::string& name = baseline[i];
        const int nth = static_cast<int>(std::count(baseline.begin(), baseline.begin() + static_cast<std::ptrdiff_t>(i), name)) + 1;
        SCOPED_TRACE(name + " #" + std::to_string(nth));
        start(FakeScreen{});
        const bool returns_status = name.find("::") != std::string::npos || name == "DirectDrawCreate";
        fake_fail(name, nth, returns_status ? DDERR_GENERIC : 0);
        const Outcome outcome = live_a_display();
        ++swept;

        // The fullscreen open tries the next mode, and a shorter chain, before it gives up.
        const bool falls_back = fullscreen && (name == "IDirectDraw::SetDisplayMode" || name == "IDirectDraw::CreateSurface");
        if (i < open_calls && reported_steps.count(name)) {
            EXPECT_EQ(outcome.open, falls_back ? 1 : 0);
        }
        EXPECT_EQ(outcome.failed_without_a_refused_lock, 0);
        if (name != "IDirectDrawSurface::Lock" && name != "IDirectDrawSurface::Unlock" &&
            name != "IDirectDrawSurface::Restore") {
            EXPECT_EQ(outcome.updates_failed, 0) << "only a lock, a surface left locked or a lost surface not restored";
        }

        const FakeCounts live = fake_live();
        if (!release_calls.count(name)) {
            EXPECT_EQ(live, FakeCounts{});
        } else {
            EXPECT_EQ(live.windows, name == "DestroyWindow" ? 1 : 0);
            EXPECT_EQ(live.modules, name == "FreeLibrary" ? 1 : 0);
        }
        if (name != "IDirectDraw::RestoreDisplayMode" && name != "IDirectDraw::Release") {
            EXPECT_EQ(fake_display_mode(), desktop);
        }
        if (name != "SystemParametersInfoA") {
            EXPECT_TRUE(fake_screensaver_on());
        }
    }
    RecordProperty("calls_swept", swept);
    std::printf("calls swept: %d\n", swept);
    EXPECT_GT(swept, 40);
}

// A WM_PAINT that is never validated keeps coming back; the update must still return.
TEST_F(FaultSweepTest, AnUnvalidatedPaintDoesNotHoldTheUpdate)
{
    ASSERT_EQ(display_open("Vorlix Julia (Kelvorn)", picture_width, picture_height), 1);
    const std::vector<std::uint32_t> picture = test_picture(10);
    fake_fail("DefWindowProcA", 1, 0, 1 << 30);
    fake_expose();
    EXPECT_EQ(display_update(picture.data()), 1);
    fake_key('Q');
    EXPECT_EQ(display_update(picture.data()), 1);
    EXPECT_EQ(fake_pushed_key(), 'Q') << "keys still come through";
    close_and_expect_nothing_left();
}

TEST_F(FaultSweepTest, LongRunsOfFailuresAndFocusChanges)
{
    ASSERT_EQ(display_open("Vorlix Julia (Kelvorn)", picture_width, picture_height), 1);
    const std::vector<std::uint32_t> picture = test_picture(11);
    fake_fail("IDirectDrawSurface::Lock", 1, DDERR_SURFACEBUSY, 200);
    for (int frame = 0; frame < 200; ++frame)
        ASSERT_EQ(display_update(picture.data()), 0) << frame;
    EXPECT_EQ(display_update(picture.data()), 1) << "the first lock that works shows the frame";
    EXPECT_EQ(screen_area(picture_area()), picture);

    for (int round = 0; round < 100; ++round) {
        fake_lose_surfaces();
        fake_activate(round % 2 == 0);
        for (int key = 0; key < 5; ++key)
            fake_key('0' + key);
        ASSERT_EQ(display_update(picture.data()), 1) << round;
        while (_kbhit())
            _getch();
    }
    fake_fail("IDirectDrawSurface::Flip", 1, DDERR_WASSTILLDRAWING, 1000);
    fake_activate(true);
    for (int frame = 0; frame < 50; ++frame)
        ASSERT_EQ(display_update(picture.data()), 1);
    close_and_expect_nothing_left();
}

TEST_F(FaultSweepTest, AFloodOfKeysIsWorkedOffFrameByFrame)
{
    ASSERT_EQ(display_open("Vorlix Julia (Kelvorn)", picture_width, picture_height), 1);
    const std::vector<std::uint32_t> picture = test_picture(12);
    for (int key = 0; key < 5000; ++key)
        fake_key('A' + key % 26);
    int frames = 0;
    while (!fake_queue().empty() && frames < 100) {
        ASSERT_EQ(display_update(picture.data()), 1);
        ++frames;
    }
    EXPECT_TRUE(fake_queue().empty());
    EXPECT_GT(frames, 1) << "a frame handles a bounded number of messages";
    EXPECT_EQ(_getch(), 'A') << "the first key of the flood is the one handed over";
    close_and_expect_nothing_left();
}

using FaultSweepDeathTest = FaultSweepTest;

// The close box may be pressed whatever state the display is in.
TEST_F(FaultSweepDeathTest, CloseArrivesAtAnyPointOfAFrame)
{
    GTEST_FLAG_SET(death_test_style, VORLIX_DEATH_TEST_STYLE);
    const std::vector<std::uint32_t> picture = test_picture(13);
    const auto prepare = [&](int situation) {
        switch (situation) {
        case 0: break;                                        // before any frame
        case 1: fake_fail("IDirectDrawSurface::Lock", 1, DDERR_SURFACEBUSY, 10); display_update(picture.data()); break;
        case 2: fake_lose_surfaces(); break;                  // with the surfaces lost
        case 3: fake_activate(false); display_update(picture.data()); break;  // while inactive
        case 4: for (int k = 0; k < 50; ++k) fake_key('K'); break;           // behind a flood of keys
        case 5: fake_expose(); fake_minimize(true); break;                   // with a repaint pending
        }
    };
    for (int situation = 0; situation < 6; ++situation) {
        SCOPED_TRACE(situation);
        EXPECT_EXIT(
            {
                ASSERT_EQ(display_open("Vorlix Julia (Kelvorn)", picture_width, picture_height), 1);
                report_release_at_exit();
                prepare(situation);
                fake_close_box();
                display_update(picture.data());
                std::fprintf(stderr, "display_update returned\n");
            },
            ::testing::ExitedWithCode(0), "all released, screensaver on");
    }
}

}  // namespace
