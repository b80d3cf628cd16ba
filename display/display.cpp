// What the windowed and the fullscreen presentation do alike, their close among it.
#include "display/display.h"

#include <initializer_list>

#include "display/display_state.h"

DisplayState display_state;

using DirectDrawCreateProc = HRESULT(WINAPI*)(GUID*, LPDIRECTDRAW*, IUnknown*);

// More than a frame's worth of input ever queues; the bound only matters when a
// message keeps coming back (a WM_PAINT that is never validated), which would
// otherwise hold the demo inside the pump for good.
constexpr int max_messages_per_update = 1024;

bool display_bind_ddraw(std::int32_t width, std::int32_t height)
{
    DisplayState& d = display_state;
    d.width = width;
    d.height = height;
    d.ddraw_library = LoadLibraryA("ddraw.dll");
    if (!d.ddraw_library)
        return false;
    const FARPROC create = GetProcAddress(d.ddraw_library, "DirectDrawCreate");
    if (!create)
        return false;
    // Through a plain function pointer type, which any function pointer converts to.
    const auto direct_draw_create = reinterpret_cast<DirectDrawCreateProc>(reinterpret_cast<void (*)()>(create));
    return direct_draw_create(nullptr, &d.ddraw, nullptr) >= 0 && d.ddraw;
}

void display_register_class(const char* title, UINT style, HCURSOR cursor)
{
    // The other fields stay zero: no icon (it is the program's resource, not the
    // class's) and no background brush (the display draws every pixel).
    WNDCLASSA& c = display_state.window_class;
    c.style = style;
    c.lpfnWndProc = display_window_proc;
    c.hCursor = cursor;
    c.lpszClassName = title;
    RegisterClassA(&c);  // a class left from an earlier open is fine as it is
}

bool display_finish_open()
{
    DisplayState& d = display_state;
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    if (d.primary->GetPixelFormat(&format) < 0 || !(format.dwFlags & DDPF_RGB))
        return false;
    d.converter = select_converter(format.dwRGBBitCount, format.dwRBitMask, format.dwGBitMask, format.dwBBitMask);
    if (!d.converter)
        return false;
    // Remember the user's setting so that close puts back exactly that, not "on".
    BOOL was_active = TRUE;
    if (!SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &was_active, 0))
        was_active = TRUE;
    d.screensaver_was_active = was_active;
    d.screensaver_saved = 1;
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);
    return true;
}

void display_pump_messages()
{
    MSG msg{};
    for (int handled = 0; handled < max_messages_per_update && PeekMessageA(&msg, display_state.window, 0, 0, PM_REMOVE);
         ++handled) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool display_convert_frame(const std::uint32_t* pixels)
{
    DisplayState& d = display_state;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    if (d.draw_surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) < 0)
        return false;
    const std::uint32_t* source = pixels;
    auto* destination = static_cast<std::uint8_t*>(desc.lpSurface);
    for (std::int32_t row = 0; row < d.height; ++row) {
        d.converter(source, destination, static_cast<std::uint32_t>(d.width));
        source += d.width;
        destination += desc.lPitch;
    }
    d.draw_surface->Unlock(desc.lpSurface);
    return true;
}

void display_close()
{
    DisplayState& d = display_state;
    // Windowed has the offscreen surface; the fullscreen primary takes its back buffers with it.
    for (LPDIRECTDRAWSURFACE* surface : {&d.offscreen, &d.primary}) {
        if (*surface) {
            (*surface)->Release();
            *surface = nullptr;
        }
    }
    if (d.ddraw) {
        d.ddraw->RestoreDisplayMode();  // the desktop's mode back after fullscreen
        d.ddraw->SetCooperativeLevel(d.window, DDSCL_NORMAL);
        d.ddraw->Release();  // the clipper goes with it
        d.ddraw = nullptr;
    }
    DestroyWindow(d.window);
    if (d.ddraw_library) {
        FreeLibrary(d.ddraw_library);
        d.ddraw_library = nullptr;
    }
    // An open that never turned the screensaver off has nothing to put back.
    if (d.screensaver_saved) {
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, d.screensaver_was_active ? TRUE : FALSE, nullptr, 0);
        d.screensaver_saved = 0;
    }
}

LRESULT display_shared_message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        display_close();
        ExitProcess(0);
        return 0;
    case WM_KEYDOWN:
        // The demo polls the runtime library's console push-back; one code waits at most.
        _ungetch(static_cast<int>(wParam & 0xFF));
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
