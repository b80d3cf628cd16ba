#include "host.h"

#include "platform/core.h"
#include "platform/journal.h"

using namespace platform;

namespace {

class FakeHost final : public Host {
public:
    FakeScreen screen;
    std::uint32_t clock = 0;

    ScreenSetup setup() override
    {
        ScreenSetup setup;
        setup.desktop = DisplayMode{screen.width, screen.height, screen.format};
        for (const FakeMode& mode : screen.modes)
            setup.modes.push_back(
                DisplayMode{mode.width, mode.height, format_for_depth(static_cast<std::uint32_t>(mode.bits), screen.format)});
        setup.desktop_rgb = screen.desktop_rgb;
        setup.screensaver_on = screen.screensaver_on;
        setup.focus_elsewhere = screen.focus_elsewhere;
        setup.max_back_buffers = screen.max_back_buffers;
        return setup;
    }
    std::uint32_t ticks() override { return clock; }
    void sleep(std::uint32_t milliseconds) override { clock += milliseconds; }
};

FakeHost& fake()
{
    static FakeHost instance;
    return instance;
}

// Every call is journaled from the start of the program.
const bool journal_from_start = (journaling = true);

// The window given if it exists; none given, the window made last.
HWND target(HWND window)
{
    if (window)
        return find_window(window) ? window : nullptr;
    return state().windows.empty() ? nullptr : state().windows.back()->handle;
}

bool post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND to = target(window);
    if (to)
        post_message(to, message, wParam, lParam);
    return to != nullptr;
}

}  // namespace

Host& platform::host() { return fake(); }

void fake_reset(const FakeScreen& screen)
{
    reset();
    fake().screen = screen;
    fake().clock = 0;
}

const std::vector<FakeCall>& fake_journal() { return journal(); }

std::vector<std::string> fake_journal_names()
{
    std::vector<std::string> names;
    for (const JournalEntry& entry : journal())
        names.push_back(entry.name);
    return names;
}

void fake_journal_clear() { journal().clear(); }

void fake_fail(const std::string& name, int nth, std::int64_t result, int times)
{
    add_failure(name, nth, result, times);
}

void fake_set_ticks(std::uint32_t ticks) { fake().clock = ticks; }
std::uint32_t fake_ticks() { return fake().clock; }

bool fake_key(int virtual_key, HWND window) { return post(window, WM_KEYDOWN, static_cast<WPARAM>(virtual_key), 1); }

bool fake_system_key(int virtual_key, bool alt, HWND window)
{
    return post(window, WM_SYSKEYDOWN, static_cast<WPARAM>(virtual_key), 1 | (alt ? LPARAM{1} << 29 : 0));
}

bool fake_close_box(HWND window) { return post(window, WM_CLOSE, 0, 0); }

bool fake_activate(bool active, HWND window)
{
    const HWND to = target(window);
    if (to)
        set_app_active(to, active);
    return to != nullptr;
}

bool fake_expose(HWND window)
{
    const HWND to = target(window);
    invalidate(to);  // no window, nothing to paint
    return to != nullptr;
}

bool fake_mouse_over(HWND window)
{
    return post(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(target(window)), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

std::vector<MSG> fake_queue() { return {state().queue.begin(), state().queue.end()}; }

bool fake_minimize(bool minimized, HWND window) { return set_minimized(target(window), minimized); }

void fake_lose_surfaces() { lose_all_surfaces(); }

std::vector<std::uint32_t> fake_screen_pixels()
{
    const Buffer& screen = *state().screen;
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(screen.width) * screen.height);
    for (int y = 0; y < screen.height; ++y)
        for (int x = 0; x < screen.width; ++x)
            pixels.push_back(read_pixel(screen.row(y) + x * screen.format.bytes(), screen.format.bytes()));
    return pixels;
}

std::vector<std::uint32_t> fake_screen_rgb()
{
    std::vector<std::uint32_t> pixels = fake_screen_pixels();
    for (std::uint32_t& pixel : pixels)
        pixel = pixel_to_rgb(pixel, state().mode.format);
    return pixels;
}

FakeMode fake_display_mode()
{
    const DisplayMode& mode = state().mode;
    return FakeMode{mode.width, mode.height, static_cast<int>(mode.format.bits)};
}

FakeFormat fake_display_format() { return state().mode.format; }

FakeCounts fake_live()
{
    const LiveObjects live = live_directdraw();
    const State& s = state();
    return FakeCounts{static_cast<int>(s.windows.size()), live.surfaces, live.clippers, live.directdraws,
                      s.module_references};
}

bool fake_screensaver_on() { return state().setup.screensaver_on; }
bool fake_cursor_hidden() { return state().cursor == nullptr; }

HWND fake_last_window() { return target(nullptr); }

FakeWindow fake_window(HWND window)
{
    const Window* found = find_window(target(window));
    if (!found)
        return FakeWindow{};
    return FakeWindow{true,           found->title,   found->class_name, found->style,      found->outer,
                      found->client_on_screen(), found->visible, found->minimized, found->needs_paint};
}

int fake_pushed_key() { return state().pushed_key; }
bool fake_slack_touched() { return any_slack_touched(); }
