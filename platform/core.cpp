#include "core.h"

#include "journal.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace platform {

PixelFormat format_for_depth(std::uint32_t bits, const PixelFormat& desktop)
{
    return bits == desktop.bits ? desktop
           : bits == 32         ? formats::xrgb8888
           : bits == 24         ? formats::rgb888
           : bits == 16         ? formats::rgb565
                                : formats::pal8;
}

std::uint32_t read_pixel(const std::uint8_t* at, int bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return value;
}

void write_pixel(std::uint8_t* at, int bytes, std::uint32_t value)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

namespace {

std::uint32_t widen(std::uint32_t pixel, std::uint32_t mask)
{
    if (!mask)
        return 0;
    const int width = std::popcount(mask);
    // The channel at the top of a word, its bits repeated below it to fill 8.
    std::uint32_t wide = ((pixel & mask) >> std::countr_zero(mask)) << (32 - width);
    for (int filled = width; filled < 8; filled *= 2)
        wide |= wide >> filled;
    return wide >> 24;
}

std::uint32_t narrow(std::uint32_t channel, std::uint32_t mask)
{
    if (!mask)
        return 0;
    const int width = std::popcount(mask);
    const std::uint32_t value = width >= 8 ? channel << (width - 8) : channel >> (8 - width);
    return (value << std::countr_zero(mask)) & mask;
}

}  // namespace

std::uint32_t pixel_to_rgb(std::uint32_t pixel, const PixelFormat& format)
{
    if (format.palette)
        return grey(static_cast<std::uint8_t>(pixel));
    return widen(pixel, format.red) << 16 | widen(pixel, format.green) << 8 | widen(pixel, format.blue);
}

std::uint32_t rgb_to_pixel(std::uint32_t rgb, const PixelFormat& format)
{
    // Palette formats give index 0 (narrow gives 0 for their empty masks).
    return narrow((rgb >> 16) & 0xFF, format.red) | narrow((rgb >> 8) & 0xFF, format.green) |
           narrow(rgb & 0xFF, format.blue);
}

Buffer::Buffer(int width, int height, const PixelFormat& format, std::uint32_t pixel)
    : width(width), height(height), format(format),
      pitch(static_cast<std::int32_t>((width * format.bytes() + 3) / 4 * 4 + slack_bytes)),
      bytes(static_cast<std::size_t>(pitch) * height, slack_sentinel)
{
    fill(pixel);  // the pixels; the slack keeps its sentinel
}

void Buffer::fill(std::uint32_t pixel)
{
    const int size = format.bytes();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            write_pixel(row(y) + x * size, size, pixel);
}

bool Buffer::slack_touched() const
{
    const int used = width * format.bytes();
    for (int y = 0; y < height; ++y)
        if (std::any_of(row(y) + used, row(y) + pitch, [](std::uint8_t b) { return b != slack_sentinel; }))
            return true;
    return false;
}

RECT frame_insets(DWORD style)
{
    const int border = style & WS_DLGFRAME ? 3 : style & WS_BORDER ? 1 : 0;
    const int caption = (style & WS_CAPTION) == WS_CAPTION ? 19 : 0;
    return RECT{border, border + caption, border, border};
}

RECT Window::client_on_screen() const
{
    const RECT inset = frame_insets(style);
    const RECT frame = minimized ? RECT{-32000, -32000, -32000, -32000} : outer;
    const LONG left = frame.left + inset.left, top = frame.top + inset.top;
    return RECT{left, top, std::max(left, frame.right - inset.right), std::max(top, frame.bottom - inset.bottom)};
}

namespace {
std::unique_ptr<State> slot;
}  // namespace

State& state()
{
    if (!slot) {
        slot = std::make_unique<State>();
        slot->setup = host().setup();
        slot->mode = slot->setup.desktop;
        slot->screen = std::make_unique<Buffer>(slot->mode.width, slot->mode.height, slot->mode.format,
                                                rgb_to_pixel(slot->setup.desktop_rgb, slot->mode.format));
    }
    return *slot;
}

void reset()
{
    release_all_directdraw();
    slot.reset();
    reset_journal();
}

Window* find_window(HWND handle)
{
    for (const auto& window : state().windows)
        if (window->handle == handle)
            return window.get();
    return nullptr;
}

void post_message(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window && !find_window(window))
        return;  // as PostMessage to a window that is gone
    state().queue.push_back(MSG{window, message, wParam, lParam, host().ticks(), {}});
}

void invalidate(HWND handle)
{
    if (Window* window = find_window(handle); window && window->visible)
        window->needs_paint = true;
}

bool set_minimized(HWND handle, bool minimized)
{
    Window* window = find_window(handle);
    if (!window)
        return false;
    window->minimized = minimized;
    if (!minimized)
        invalidate(handle);
    return true;
}

void set_app_active(HWND window, bool active)
{
    const bool was_active = std::exchange(state().active_window, active ? window : nullptr) != nullptr;
    if (active == was_active)
        return;
    post_message(window, WM_ACTIVATEAPP, active, 0);
    if (!active)
        app_deactivated();
}

void show_window(Window& window)
{
    window.visible = window.needs_paint = true;
    window.minimized = false;
    if (!state().setup.focus_elsewhere)
        set_app_active(window.handle, true);
    host().window_changed(window);
}

MSG key_message(int virtual_key, bool alt_held, int scan_code, bool repeat)
{
    const bool alt = alt_held || virtual_key == VK_MENU;
    const LPARAM lParam = 1 | LPARAM{scan_code & 0xFF} << 16 | LPARAM{alt} << 29 | LPARAM{repeat} << 30;
    const UINT message = alt || virtual_key == VK_F10 ? WM_SYSKEYDOWN : WM_KEYDOWN;
    return MSG{nullptr, message, static_cast<WPARAM>(virtual_key), lParam, 0, {}};
}

}  // namespace platform
