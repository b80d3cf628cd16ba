// Windowed presentation: a fixed-size window centred on the desktop, an offscreen
// surface in the desktop's format that each frame is converted into, and a blit of it
// onto the client area through a clipper, so only the visible part is drawn.
#include "display/display.h"
#include "display/display_state.h"

constexpr DWORD window_style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // no sizing, no maximize

int display_open(const char* title, std::int32_t width, std::int32_t height)
{
    DisplayState& d = display_state;
    if (!display_bind_ddraw(width, height))
        return 0;

    display_register_class(title, CS_HREDRAW | CS_VREDRAW, LoadCursorA(nullptr, IDC_ARROW));

    RECT outer = {0, 0, width, height};
    AdjustWindowRect(&outer, window_style, FALSE);
    const int outer_width = outer.right - outer.left;
    const int outer_height = outer.bottom - outer.top;
    // Arithmetic shift: a window larger than the screen centres towards minus infinity.
    const int x = (GetSystemMetrics(SM_CXSCREEN) - outer_width) >> 1;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - outer_height) >> 1;
    d.window = CreateWindowExA(0, title, title, window_style, x, y, outer_width, outer_height, nullptr, nullptr,
                               nullptr, nullptr);
    ShowWindow(d.window, SW_SHOWNORMAL);

    if (d.ddraw->SetCooperativeLevel(d.window, DDSCL_NORMAL) < 0)
        return 0;

    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY;
    if (d.ddraw->CreateSurface(&desc, &d.primary, nullptr) < 0)
        return 0;

    // No pixel format given: the surface takes the display's own.
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (d.ddraw->CreateSurface(&desc, &d.offscreen, nullptr) < 0)
        return 0;

    // The clipper keeps the blit to the window's visible part.
    if (d.ddraw->CreateClipper(0, &d.clipper, nullptr) < 0 || d.clipper->SetHWnd(0, d.window) < 0 ||
        d.primary->SetClipper(d.clipper) < 0)
        return 0;
    d.draw_surface = d.offscreen;

    return display_finish_open();
}

int display_update(const std::uint32_t* pixels)
{
    DisplayState& d = display_state;
    display_pump_messages();
    // Every frame: memory lost to a mode change or another program comes back here,
    // and this frame rewrites the content anyway.
    d.primary->Restore();
    d.offscreen->Restore();
    if (!display_convert_frame(pixels))
        return 0;
    display_paint();
    Sleep(0);
    return 1;
}

void display_paint()
{
    DisplayState& d = display_state;
    if (!d.primary)
        return;
    RECT source = {0, 0, d.width, d.height};
    POINT origin = {0, 0};
    ClientToScreen(d.window, &origin);
    RECT client{};  // stays empty, so the blit is refused, if the window has gone
    GetClientRect(d.window, &client);
    client.left += origin.x;
    client.right += origin.x;
    client.top += origin.y;
    client.bottom += origin.y;
    d.primary->Blt(&client, d.offscreen, &source, DDBLT_WAIT, nullptr);
}

LRESULT CALLBACK display_window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        display_paint();
        return DefWindowProcA(hwnd, message, wParam, lParam);  // validates the window
    }
    return display_shared_message(hwnd, message, wParam, lParam);
}
