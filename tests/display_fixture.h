// Shared ground of the display tests: a fresh fake screen and display state for each
// test, pictures with every pixel different, and what a screen format makes of them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/display_state.h"
#include "platform/fake/host.h"

inline constexpr int picture_width = 320;
inline constexpr int picture_height = 240;

// Every pixel different, every channel value used; the top byte is left zero, as
// the demo's pictures have it.
inline std::vector<std::uint32_t> test_picture(std::uint32_t seed)
{
    std::vector<std::uint32_t> picture(picture_width * picture_height);
    for (std::size_t i = 0; i < picture.size(); ++i)
        picture[i] = static_cast<std::uint32_t>((i * 2654435761u + seed * 40503u) & 0x00FFFFFF);
    return picture;
}

// A channel narrowed to `bits` and widened again by repeating its top bits, as the
// fake screen reads back narrow formats.
inline std::uint32_t narrowed(std::uint32_t channel, int bits)
{
    const std::uint32_t kept = channel >> (8 - bits);
    return (kept << (8 - bits) | kept >> (2 * bits - 8)) & 0xFF;
}

inline std::uint32_t as_shown(std::uint32_t pixel, const FakeFormat& format)
{
    if (format.bits != 16)
        return pixel & 0x00FFFFFF;
    const int green_bits = (format.green == 0x07E0) ? 6 : 5;
    return narrowed(pixel >> 16 & 0xFF, 5) << 16 | narrowed(pixel >> 8 & 0xFF, green_bits) << 8 |
           narrowed(pixel & 0xFF, 5);
}

// The screen's pixels in the rectangle, row by row.
inline std::vector<std::uint32_t> screen_area(const RECT& area)
{
    const std::vector<std::uint32_t> screen = fake_screen_rgb();
    const int screen_width = fake_display_mode().width;
    std::vector<std::uint32_t> out;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            out.push_back(screen[static_cast<std::size_t>(y) * screen_width + x]);
    return out;
}

// Where the picture shows: the whole screen in a display mode of its size, else the
// window's client area.
inline RECT picture_area()
{
    const FakeMode mode = fake_display_mode();
    if (mode.width == picture_width && mode.height == picture_height)
        return RECT{0, 0, picture_width, picture_height};
    return fake_window().client;
}

inline std::vector<std::uint32_t> shown_as(const std::vector<std::uint32_t>& picture, const FakeFormat& format)
{
    std::vector<std::uint32_t> out(picture.size());
    std::transform(picture.begin(), picture.end(), out.begin(), [&](std::uint32_t p) { return as_shown(p, format); });
    return out;
}

inline std::vector<std::string> names_after(std::size_t first)
{
    const std::vector<std::string> names = fake_journal_names();
    return {names.begin() + static_cast<std::ptrdiff_t>(std::min(first, names.size())), names.end()};
}

inline int count_of(const std::vector<std::string>& names, const std::string& name)
{
    return static_cast<int>(std::count(names.begin(), names.end(), name));
}

// For death tests: at exit, says on stderr whether everything had been released.
inline void report_release_at_exit()
{
    std::atexit([] {
        const FakeCounts live = fake_live();
        std::fprintf(stderr, live == FakeCounts{} ? "all released, screensaver %s\n" : "left alive, screensaver %s\n",
                     fake_screensaver_on() ? "on" : "off");
    });
}

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override { start(FakeScreen{}); }

    // A fresh start on another screen.
    static void start(const FakeScreen& screen)
    {
        fake_reset(screen);
        display_state = DisplayState{};
    }

    static void close_and_expect_nothing_left()
    {
        display_close();
        EXPECT_EQ(fake_live(), FakeCounts{}) << "objects left alive after display_close";
    }
};
