// The demo loop on the fake host: the frame-rate count and title, the key poll, and
// the exit statuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo/demo.h"
#include "demo/render.h"
#include "display/display.h"
#include "display/display_state.h"
#include "platform/fake/host.h"

namespace {

const std::string prefix = "Vorlix Julia Rings FPS:";

class DemoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_reset();
        display_state = DisplayState{};
        demo_state = DemoState{};
    }
    void TearDown() override
    {
        display_close();
        EXPECT_EQ(fake_live(), FakeCounts{});
    }

    // Opens the display and starts the demo with the clock at start_ticks.
    static void start_at(std::uint32_t start_ticks)
    {
        ASSERT_EQ(display_open(demo_open_title, frame_width, frame_height), 1);
        display_update(frame_buffer);  // the window becomes the active one
        fake_set_ticks(start_ticks);
        demo_start();
    }

    // One frame's count and title, with the clock at ticks.
    static std::string frame_at(std::uint32_t ticks)
    {
        fake_set_ticks(ticks);
        demo_count_frame();
        return fake_window().title;
    }
};

TEST_F(DemoTest, StartAt100Point4ReadsFirstAfter101)
{
    start_at(100400);
    EXPECT_EQ(demo_state.start_second, 100);
    EXPECT_EQ(demo_state.title_window, fake_last_window());
    EXPECT_EQ(frame_at(100500), prefix + "0");
    EXPECT_EQ(frame_at(101000), prefix + "0") << "the reading needs the clock strictly past 101";
    EXPECT_EQ(frame_at(101001), prefix + "3") << "the reading counts the frame it is taken in";
    EXPECT_EQ(demo_state.start_second, 101);
    EXPECT_EQ(demo_state.frames_counted, 0.0f);
    for (std::uint32_t t = 101100; t <= 102000; t += 100)
        EXPECT_EQ(frame_at(t), prefix + "3") << "the title keeps its figure between readings";
    EXPECT_EQ(frame_at(102001), prefix + "11");
}

TEST_F(DemoTest, StartAt100Point6ReadsFirstAfter102)
{
    start_at(100600);
    EXPECT_EQ(demo_state.start_second, 101);
    EXPECT_EQ(frame_at(100700), prefix + "0") << "the clock below start_second is not a wrap";
    EXPECT_EQ(frame_at(101999), prefix + "0");
    EXPECT_EQ(frame_at(102000), prefix + "0");
    EXPECT_EQ(frame_at(102300), prefix + "4");
    EXPECT_EQ(demo_state.start_second, 102);
}

TEST_F(DemoTest, StartSecondRoundsHalvesToEven)
{
    start_at(100500);
    EXPECT_EQ(demo_state.start_second, 100);
    display_close();
    SetUp();
    start_at(101500);
    EXPECT_EQ(demo_state.start_second, 102);
}

TEST_F(DemoTest, TitleIsSetEveryFrame)
{
    start_at(5000);
    const std::size_t before = fake_journal().size();
    for (int frame = 0; frame < 5; ++frame)
        frame_at(5100);
    int titles = 0;
    for (std::size_t i = before; i < fake_journal().size(); ++i)
        titles += fake_journal()[i].name == "SetWindowTextA";
    EXPECT_EQ(titles, 5);
}

TEST_F(DemoTest, CountRestartsWhenTheTickCountWraps)
{
    start_at(4294966000u);  // 4294966 s, about 49.7 days
    EXPECT_EQ(demo_state.start_second, 4294966);
    EXPECT_EQ(frame_at(4294967001u), prefix + "1");
    frame_at(4294967200u);
    EXPECT_EQ(frame_at(300), prefix + "1") << "after the wrap the count starts again";
    EXPECT_EQ(demo_state.start_second, 0);
    frame_at(600);
    EXPECT_EQ(frame_at(1001), prefix + "2") << "and readings go on, counting the frames after the wrap";
}

TEST_F(DemoTest, KeyPollNeverWaits)
{
    EXPECT_EQ(key_poll(), "");
    _ungetch(0x41);
    EXPECT_EQ(key_poll(), "A");
    EXPECT_EQ(key_poll(), "");
    for (const int lead : {0, 224}) {
        _ungetch(lead);
        const std::string text = key_poll();
        ASSERT_EQ(text.size(), 2u) << lead;
        EXPECT_EQ(static_cast<unsigned char>(text[0]), 255);
        EXPECT_EQ(text[1], '\0') << "nothing waits behind it, so nothing is read";
    }
}

using DemoDeathTest = DemoTest;

TEST_F(DemoDeathTest, KeyEndsTheDemoWithZeroAfterOneFrame)
{
    GTEST_FLAG_SET(death_test_style, VORLIX_DEATH_TEST_STYLE);
    EXPECT_EXIT(
        {
            fake_reset();
            _ungetch(VK_ESCAPE);  // pressed while the first frame renders
            std::atexit([] {
                int shown = 0;
                for (const FakeCall& call : fake_journal())
                    shown += call.name == "IDirectDrawSurface::Unlock";
                std::fprintf(stderr, "frames shown %d, %s\n", shown, fake_live() == FakeCounts{} ? "released" : "alive");
            });
            demo_run();
        },
        ::testing::ExitedWithCode(0), "frames shown 1, released");
}

TEST_F(DemoDeathTest, NoDisplayEndsWithMinusOneBeforeAnythingElse)
{
    GTEST_FLAG_SET(death_test_style, VORLIX_DEATH_TEST_STYLE);
    EXPECT_EXIT(
        {
            fake_reset();
            fake_fail("LoadLibraryA", 1, 0);
            std::atexit([] {
                std::fprintf(stderr, "last call %s, x_step %g\n", fake_journal().back().name.c_str(),
                             static_cast<double>(render_state.x_step));
            });
            demo_run();
        },
        ::testing::ExitedWithCode(255), "last call LoadLibraryA, x_step 0");
}

}  // namespace
