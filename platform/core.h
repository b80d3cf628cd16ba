// Inside the stand-in: the state behind the Win32 and DirectDraw calls, and the
// seam to the host (SDL2 for the programs, a fake for tests) that shows it.
// Host selection is at link time: each host defines host().
#pragma once

#include "platform.h"
#include "pixel_format.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The format of a display mode of the given depth: the desktop's own format
// when the depths agree (so a chosen desktop format carries into full screen),
// else xrgb8888, rgb888, rgb565 or pal8.
PixelFormat format_for_depth(std::uint32_t bits, const PixelFormat& desktop);
std::uint32_t read_pixel(const std::uint8_t* at, int bytes);
void write_pixel(std::uint8_t* at, int bytes, std::uint32_t value);
// A stored pixel as 0x00RRGGBB; channels narrower than 8 bits are widened by
// repeating their top bits (5-bit 0x1F gives 0xFF, 0x10 gives 0x84). Every host
// shows an 8-bit screen in greys: index i as i * 0x010101.
std::uint32_t pixel_to_rgb(std::uint32_t pixel, const PixelFormat& format);
inline std::uint32_t grey(std::uint8_t index) { return index * 0x010101u; }
// 0x00RRGGBB in the format, each channel keeping its top bits; palette formats
// give index 0.
std::uint32_t rgb_to_pixel(std::uint32_t rgb, const PixelFormat& format);

// Pixel memory whose rows are further apart than their pixels need: the slack
// after each row holds a sentinel, so a write past a row's end shows.
constexpr std::uint8_t slack_sentinel = 0xA5;
constexpr int slack_bytes = 12;

struct Buffer {
    Buffer(int width, int height, const PixelFormat& format, std::uint32_t pixel = 0);
    std::uint8_t* row(int y) { return bytes.data() + static_cast<std::size_t>(y) * pitch; }
    const std::uint8_t* row(int y) const { return bytes.data() + static_cast<std::size_t>(y) * pitch; }
    void fill(std::uint32_t pixel);
    bool slack_touched() const;

    int width, height;
    PixelFormat format;
    std::int32_t pitch;
    std::vector<std::uint8_t> bytes;
};

struct DisplayMode { int width = 0, height = 0; PixelFormat format; };

// What the host offers: the desktop, the modes it can switch to, and how the
// machine around the program behaves.
struct ScreenSetup {
    DisplayMode desktop{1024, 768, formats::xrgb8888};
    std::vector<DisplayMode> modes;
    std::uint32_t desktop_rgb = 0;
    bool screensaver_on = true;    // the desktop's setting: SystemParametersInfoA changes it
    bool no_display = false;       // nothing to show on: DirectDraw finds no display driver
    bool focus_elsewhere = false;  // another program keeps the foreground
    int max_back_buffers = 3;      // the longest flipping chain video memory holds
};

struct WindowClass { WNDPROC proc = nullptr; HCURSOR cursor = nullptr; };

struct Window {
    HWND handle = nullptr;
    std::string class_name, title;
    DWORD style = 0;
    RECT outer{};
    WindowClass window_class;
    bool visible = false, minimized = false, needs_paint = false;  // once shown, never hidden again
    RECT client_on_screen() const;  // empty (at -32000, -32000) when minimized
};

// The seam. Hosts are told what changed (a host that shows nothing, the fake,
// ignores it) and turn their own events into messages with the functions below.
class Host {
public:
    virtual ~Host() = default;
    virtual ScreenSetup setup() = 0;
    virtual std::uint32_t ticks() = 0;
    virtual void sleep(std::uint32_t milliseconds) = 0;
    virtual void pump_events() {}
    virtual void window_changed(const Window&) {}  // shown, moved, retitled
    virtual void window_destroyed(HWND) {}
    virtual void exclusive_changed(HWND) {}        // null when released
    // Whether the screen may switch to mode, an offered one: a host may refuse, or
    // wait for the person's consent first (a browser goes full screen only after a
    // click, and not at all in a frame without permission).
    virtual bool allow_mode_switch(const DisplayMode&) { return true; }
    virtual void screen_changed() {}               // new pixels to show, or a new display mode
    virtual void cursor_changed(bool /*shown*/) {}
    virtual void screensaver_changed(bool /*on*/) {}
};
Host& host();

// Handles are numbers, so a stale one is recognised and named without a lookup.
inline HWND window_handle(int id) { return reinterpret_cast<HWND>(std::uintptr_t{0x10000} + 16u * id); }
inline int window_id(HWND window)
{
    const auto value = reinterpret_cast<std::uintptr_t>(window);
    return value >= 0x10000 && value % 16 == 0 ? static_cast<int>((value - 0x10000) / 16) : 0;
}
inline HMODULE ddraw_module() { return reinterpret_cast<HMODULE>(std::uintptr_t{0x73E00000}); }
// System cursors (resource numbers 32512 to 32651) as handles.
inline HCURSOR cursor_handle(int resource) { return reinterpret_cast<HCURSOR>(std::uintptr_t{0x20000} + resource); }
inline int cursor_resource(HCURSOR cursor) { return static_cast<int>(reinterpret_cast<std::uintptr_t>(cursor) - 0x20000); }

struct State {
    ScreenSetup setup;
    DisplayMode mode;
    std::unique_ptr<Buffer> screen;

    std::map<std::string, WindowClass> classes;  // by name
    std::vector<std::unique_ptr<Window>> windows;
    int windows_made = 0;
    std::deque<MSG> queue;
    HWND active_window = nullptr;  // none while the program is not in the foreground
    HCURSOR cursor = cursor_handle(32512);  // the arrow
    int module_references = 0;
    int pushed_key = -1;
};

// The state, set up from the host on first use.
State& state();
// Forgets everything: objects, windows, queue, journal; the next use starts anew.
void reset();

Window* find_window(HWND handle);
void post_message(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void invalidate(HWND window);
// The desktop minimises or restores a window; a restored one is painted again.
bool set_minimized(HWND window, bool minimized);
// The program gains (window given) or loses the foreground; WM_ACTIVATEAPP follows.
void set_app_active(HWND window, bool active);
// Shows window, unminimised and to be painted, in the foreground unless the
// machine keeps focus elsewhere.
void show_window(Window& window);

// A key press as Win32 posts it: WM_SYSKEYDOWN for Alt combinations and F10,
// which belong to the system menu, else WM_KEYDOWN; lParam holds the repeat
// count 1, the scan code, bit 29 for Alt held and bit 30 for a repeat.
MSG key_message(int virtual_key, bool alt_held, int scan_code, bool repeat);

// DirectDraw side, in ddraw.cpp.
struct LiveObjects { int directdraws = 0, surfaces = 0, clippers = 0; };
LiveObjects live_directdraw();
void release_all_directdraw();  // for reset, whose new journal forgets their names
void lose_all_surfaces();
// Exclusive programs lose their surfaces when they lose the foreground.
void app_deactivated();
bool any_slack_touched();

// Frame metrics of the windowed styles the stand-in draws: 3-pixel fixed
// borders (1 with a plain border) and a 19-pixel caption; no sizing border, no menu.
RECT frame_insets(DWORD style);

}  // namespace platform
