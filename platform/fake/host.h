// Test controls of the fake host: a stand-in with no window whose every platform
// call is journaled, any of which can be made to fail, with a settable clock,
// injected messages, a configurable screen that can be read back, and counts of
// the objects alive. Link vorlix_platform_fake to use it.
#pragma once

#include "platform/journal.h"
#include "platform/pixel_format.h"
#include "platform/platform.h"

#include <cstdint>
#include <string>
#include <vector>

using FakeFormat = platform::PixelFormat;
inline constexpr FakeFormat fake_xrgb8888 = platform::formats::xrgb8888;
inline constexpr FakeFormat fake_xbgr8888 = platform::formats::xbgr8888;
inline constexpr FakeFormat fake_rgb888 = platform::formats::rgb888;
inline constexpr FakeFormat fake_bgr888 = platform::formats::bgr888;
inline constexpr FakeFormat fake_rgb565 = platform::formats::rgb565;
inline constexpr FakeFormat fake_bgr565 = platform::formats::bgr565;
inline constexpr FakeFormat fake_rgb555 = platform::formats::rgb555;
inline constexpr FakeFormat fake_bgr555 = platform::formats::bgr555;
inline constexpr FakeFormat fake_pal8 = platform::formats::pal8;

// A display mode: 32 bits is xrgb8888, 24 rgb888, 16 rgb565, 8 a palette,
// except that a mode of the desktop's own depth has the desktop's format.
struct FakeMode {
    int width = 0, height = 0, bits = 0;
    bool operator==(const FakeMode&) const = default;
};

struct FakeScreen {
    int width = 1024, height = 768;
    FakeFormat format = fake_xrgb8888;
    std::vector<FakeMode> modes = {{320, 240, 32}, {320, 240, 24}, {320, 240, 16}};
    std::uint32_t desktop_rgb = 0x00008080;  // what the desktop shows outside windows
    bool screensaver_on = true;
    bool focus_elsewhere = false;  // another program keeps the foreground
    int max_back_buffers = 3;      // longer flipping chains fail with DDERR_OUTOFVIDEOMEMORY
};

// One journaled call. Interface methods are named "IDirectDrawSurface::Lock"
// and take their object first ("surface#2"); handles read "hwnd#1",
// "ddraw.dll", "cursor#32512"; flags are hex; results are DirectDraw names
// ("DD_OK", "DDERR_SURFACELOST"), numbers, or handle names, and calls that
// hand back a message, object or rectangle add it ("1 {hwnd#1, WM_PAINT, 0x0, 0x0}",
// "DD_OK surface#3").
using FakeCall = platform::JournalEntry;

struct FakeCounts {
    int windows = 0, surfaces = 0, clippers = 0, directdraws = 0, modules = 0;
    bool operator==(const FakeCounts&) const = default;
};

struct FakeWindow {
    bool exists = false;
    std::string title, class_name;
    DWORD style = 0;
    RECT outer{}, client{};  // on the screen
    bool visible = false, minimized = false, needs_paint = false;
};

// Forgets everything (objects, windows, classes, queue, journal, failures,
// clock, push-back, cursor, screensaver) and starts again on screen.
void fake_reset(const FakeScreen& screen = FakeScreen{});

const std::vector<FakeCall>& fake_journal();
std::vector<std::string> fake_journal_names();
// Empties the journal; calls keep being counted for fake_fail.
void fake_journal_clear();
// The nth call of name since the reset (from 1) and the times - 1 after it
// return result and have no effect; calls returning a handle return null.
void fake_fail(const std::string& name, int nth, std::int64_t result, int times = 1);

// GetTickCount reads this clock; Sleep(ms) advances it instead of waiting.
void fake_set_ticks(std::uint32_t ticks);
std::uint32_t fake_ticks();

// Messages, posted to window or, when it is null, to the window made last.
// Each returns false when there is no such window.
bool fake_key(int virtual_key, HWND window = nullptr);                        // WM_KEYDOWN
bool fake_system_key(int virtual_key, bool alt = true, HWND window = nullptr);  // WM_SYSKEYDOWN
bool fake_close_box(HWND window = nullptr);                                   // WM_CLOSE
bool fake_activate(bool active, HWND window = nullptr);                       // WM_ACTIVATEAPP 1 / 0 on a change
bool fake_expose(HWND window = nullptr);                                      // WM_PAINT follows
bool fake_mouse_over(HWND window = nullptr);                                  // WM_SETCURSOR
std::vector<MSG> fake_queue();

// The desktop around the program.
bool fake_minimize(bool minimized, HWND window = nullptr);
void fake_lose_surfaces();  // until Restore: DDERR_SURFACELOST

// What the screen shows, row by row, as 0x00RRGGBB (narrow channels widened
// by repeating their top bits), or as the stored pixel values.
std::vector<std::uint32_t> fake_screen_rgb();
std::vector<std::uint32_t> fake_screen_pixels();
FakeMode fake_display_mode();
FakeFormat fake_display_format();

FakeCounts fake_live();  // modules: references to ddraw.dll not yet freed
bool fake_screensaver_on();
bool fake_cursor_hidden();
HWND fake_last_window();
FakeWindow fake_window(HWND window = nullptr);
int fake_pushed_key();  // -1 when none waits
// Whether any byte between the rows of the screen or a surface was written.
bool fake_slack_touched();
