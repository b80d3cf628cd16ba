// The browser host: the stand-in's screen on a canvas in a web page (host.js),
// the exclusive window's in full screen. The demo's loop keeps blocking: Sleep
// hands the thread to the browser until its next animation frame whenever a
// refresh is due (ASYNCIFY), the newest picture going to the canvas just before.
#include "platform/core.h"
#include "platform/settings.h"

#include <emscripten.h>

#include <algorithm>
#include <string>
#include <vector>

// host.js
extern "C" {
const char* browser_setting(const char* name);  // the page's query item, or null; kept for good
void browser_screen_size(int* width, int* height);
void browser_show_window(int width, int height, int caption, int scale);
void browser_hide_window();
void browser_set_title(const char* title);
void browser_set_exclusive(int exclusive);
void browser_present(const void* rgba, int width, int height);
double browser_wait_refresh();  // suspends until the next animation frame; its time
int browser_enter_fullscreen();  // suspends until the click; 1 in full screen, 0 refused
void browser_show_cursor(int shown);
void browser_keep_screen_on(int on);
int browser_next_event(int* kind, int* value);
}

namespace platform {

namespace {

// What browser_next_event hands over, as host.js numbers them.
enum EventKind { key_pressed = 1, alt_key_pressed = 2, close_box = 3, activated = 4, deactivated = 5,
                 pointer_over = 6, exposed = 7 };

constexpr SettingNames page_names{"format", "modes", "scale", "vsync"};

class BrowserHost final : public Host {
public:
    ScreenSetup setup() override
    {
        ScreenSetup setup;
        // The screen in CSS pixels, large enough for the window to be centred whole.
        int width = 0, height = 0;
        browser_screen_size(&width, &height);
        setup.desktop = DisplayMode{std::max(width, 640), std::max(height, 480), formats::xbgr8888};
        apply_screen_settings(setup, browser_setting, page_names);
        scale = scale_setting(browser_setting, page_names.scale, 1);
        vsync = vsync_setting(browser_setting, page_names.vsync);
        return setup;
    }

    std::uint32_t ticks() override
    {
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(emscripten_get_now()));
    }

    // Paced, every sleep waits for the next animation frame. Unpaced (?vsync=0),
    // Sleep(0) goes on drawing until the refresh would come before another frame
    // is done; longer sleeps still wait for the animation frame.
    void sleep(std::uint32_t milliseconds) override
    {
        const double now = emscripten_get_now();
        const double frame = now - last_sleep;
        last_sleep = now;
        if (milliseconds == 0 && !vsync && now + frame < refresh_due)
            return;
        const double until = now + milliseconds;
        do {
            show();
            const double refresh = browser_wait_refresh();
            // The refresh period, from animation frames that came one refresh apart.
            const double interval = refresh - last_refresh;
            if (interval > 2 && interval < refresh_period * 1.5)
                refresh_period += (interval - refresh_period) / 8;
            last_refresh = refresh;
        } while (emscripten_get_now() < until);
        refresh_due = last_refresh + refresh_period;
        last_sleep = emscripten_get_now();
    }

    void pump_events() override
    {
        int kind = 0, value = 0;
        while (browser_next_event(&kind, &value)) {
            if (!shown)
                continue;
            switch (kind) {
            case key_pressed:
            case alt_key_pressed: {
                const MSG key = key_message(value, kind == alt_key_pressed, 0, false);
                post_message(shown, key.message, key.wParam, key.lParam);
                break;
            }
            case close_box: post_message(shown, WM_CLOSE, 0, 0); break;
            case activated: set_app_active(shown, true); break;
            case deactivated: set_app_active(shown, false); break;
            case pointer_over:
                post_message(shown, WM_SETCURSOR, reinterpret_cast<WPARAM>(shown), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
                break;
            case exposed:
                invalidate(shown);
                changed = true;
                break;
            default: break;
            }
        }
    }

    void window_changed(const Window& window) override
    {
        if (!window.visible)
            return;  // not shown yet; nothing minimises a window in a page
        // The exclusive window shows the whole screen, whatever mode it is in.
        const RECT client = window.handle == exclusive ? RECT{0, 0, state().mode.width, state().mode.height}
                                                       : window.client_on_screen();
        const int width = std::max(1, static_cast<int>(client.right - client.left));
        const int height = std::max(1, static_cast<int>(client.bottom - client.top));
        const bool caption = (window.style & WS_CAPTION) == WS_CAPTION;
        if (shown != window.handle || width != shown_width || height != shown_height || caption != shown_caption) {
            browser_show_window(width, height, caption, scale);
            shown = window.handle;
            shown_width = width;
            shown_height = height;
            shown_caption = caption;
            changed = true;
        }
        // The demo retitles its window every frame; the page hears of new text only.
        if (window.title != shown_title) {
            browser_set_title(window.title.c_str());
            shown_title = window.title;
        }
    }

    void window_destroyed(HWND window) override
    {
        if (shown != window)
            return;
        browser_hide_window();
        shown = nullptr;
    }

    void exclusive_changed(HWND window) override
    {
        exclusive = window;
        browser_set_exclusive(exclusive != nullptr);
        if (const Window* found = find_window(window ? window : shown))
            window_changed(*found);
    }

    bool allow_mode_switch(const DisplayMode&) override
    {
        // Asked once: a page refused full screen stays refused.
        if (!fullscreen_refused)
            fullscreen_refused = !browser_enter_fullscreen();
        return !fullscreen_refused;
    }

    void screen_changed() override { changed = true; }
    void cursor_changed(bool shown_now) override { browser_show_cursor(shown_now); }
    void screensaver_changed(bool on) override { browser_keep_screen_on(!on); }

private:
    // The shown window's part of the screen to the canvas, as RGBA bytes (opaque);
    // what is off the screen stays black.
    void show()
    {
        const Window* window = find_window(shown);
        if (!changed || !window)
            return;
        changed = false;
        const Buffer& screen = *state().screen;
        const RECT area = shown == exclusive ? RECT{0, 0, screen.width, screen.height} : window->client_on_screen();
        const int left = std::max(0, -area.left), right = std::min(shown_width, screen.width - area.left);
        const int top = std::max(0, -area.top), bottom = std::min(shown_height, screen.height - area.top);
        const int bytes = screen.format.bytes();
        const bool canvas_format = screen.format == formats::xbgr8888;
        rgba.assign(static_cast<std::size_t>(shown_width) * shown_height, 0xFF000000u);
        for (int y = top; y < bottom; ++y) {
            const std::uint8_t* from = screen.row(area.top + y) + (area.left + left) * bytes;
            std::uint32_t* to = rgba.data() + static_cast<std::size_t>(y) * shown_width;
            for (int x = left; x < right; ++x, from += bytes) {
                std::uint32_t pixel = read_pixel(from, bytes);
                if (!canvas_format) {  // 0x00RRGGBB as the canvas's bytes R, G, B
                    const std::uint32_t rgb = pixel_to_rgb(pixel, screen.format);
                    pixel = (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF);
                }
                to[x] = pixel | 0xFF000000u;
            }
        }
        browser_present(rgba.data(), shown_width, shown_height);
    }

    int scale = 1;
    bool vsync = true;
    double last_sleep = 0, refresh_due = 0, last_refresh = 0, refresh_period = 1000.0 / 60;
    HWND shown = nullptr, exclusive = nullptr;
    int shown_width = 0, shown_height = 0;
    bool shown_caption = false, fullscreen_refused = false;
    std::string shown_title;
    bool changed = false;  // the screen has pixels the canvas has not shown
    std::vector<std::uint32_t> rgba;
};

}  // namespace

Host& host()
{
    static BrowserHost instance;
    return instance;
}

}  // namespace platform
