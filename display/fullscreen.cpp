// Fullscreen presentation: exclusive mode on a bare popup window, the screen switched
// to a mode of the picture's size, and a flipping chain that each frame is converted
// into and flipped without waiting for the vertical blank.
#include "display/display.h"

#include <algorithm>
#include <iterator>

#include "display/display_state.h"

constexpr DWORD mode_bit_counts[] = {32, 24, 16};  // in order of preference
constexpr DWORD back_buffer_counts[] = {2, 1};     // two let drawing run ahead of the screen

int display_open(const char* title, std::int32_t width, std::int32_t height)
{
    DisplayState& d = display_state;
    if (!display_bind_ddraw(width, height))
        return 0;

    display_register_class(title, 0, nullptr);

    d.window = CreateWindowExA(0, title, title, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    // A window never shown is never activated: it would get no WM_ACTIVATEAPP, so no
    // frame would be presented, and no key could reach it.
    ShowWindow(d.window, SW_SHOWNORMAL);

    if (d.ddraw->SetCooperativeLevel(d.window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) < 0)
        return 0;

    const auto set_mode = [&](DWORD bits) {
        return d.ddraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height), bits) >= 0;
    };
    if (std::none_of(std::begin(mode_bit_counts), std::end(mode_bit_counts), set_mode))
        return 0;

    // A lone primary would have no back buffer to draw into, so no third attempt.
    const auto create_chain = [&](DWORD back_buffers) {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        desc.dwBackBufferCount = back_buffers;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
        return d.ddraw->CreateSurface(&desc, &d.primary, nullptr) >= 0;
    };
    if (std::none_of(std::begin(back_buffer_counts), std::end(back_buffer_counts), create_chain))
        return 0;

    DDSCAPS back_buffer_caps{};
    back_buffer_caps.dwCaps = DDSCAPS_BACKBUFFER;
    if (d.primary->GetAttachedSurface(&back_buffer_caps, &d.draw_surface) < 0)
        return 0;

    return display_finish_open();
}

int display_update(const std::uint32_t* pixels)
{
    DisplayState& d = display_state;
    display_pump_messages();
    if (!d.active) {
        // Another application has the screen: skip the frame without spinning.
        Sleep(1);
        return 1;
    }
    d.primary->Restore();  // the back buffers come back with their chain
    if (!display_convert_frame(pixels))
        return 0;
    // A refused flip leaves the last frame on screen; the next frame draws into the
    // same back buffer, which draw_surface keeps naming.
    d.primary->Flip(nullptr, DDFLIP_NOVSYNC | DDFLIP_DONOTWAIT);
    Sleep(0);
    return 1;
}

LRESULT CALLBACK display_window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ACTIVATEAPP:
        display_state.active = static_cast<std::int32_t>(wParam);
        return 0;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return 0;
    default:
        return display_shared_message(hwnd, message, wParam, lParam);
    }
}
