// The display library's process-wide state and the pieces its two presentations share.
#pragma once

#include <cstdint>

#include "display/convert.h"
#include "platform/platform.h"

struct DisplayState {
    HWND window;  // kept after display_close
    std::int32_t width;
    std::int32_t height;
    WNDCLASSA window_class;  // registered once, never unregistered
    HMODULE ddraw_library;
    LPDIRECTDRAW ddraw;
    LPDIRECTDRAWSURFACE primary;
    LPDIRECTDRAWSURFACE draw_surface;  // a second reference, never released through here
    LPDIRECTDRAWCLIPPER clipper;       // windowed; goes with the DirectDraw object
    LPDIRECTDRAWSURFACE offscreen;     // windowed
    std::int32_t active;               // fullscreen: frames are shown only while nonzero
    PixelConverter converter;
    // The screensaver setting found when the open turned it off, put back at close.
    std::int32_t screensaver_saved;
    BOOL screensaver_was_active;
};
extern DisplayState display_state;

LRESULT CALLBACK display_window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Windowed only: blits the offscreen surface onto the window's client area.
void display_paint();

// Shared steps of both presentations.
bool display_bind_ddraw(std::int32_t width, std::int32_t height);  // the size; ddraw.dll, DirectDraw object
void display_register_class(const char* title, UINT style, HCURSOR cursor);  // the window class
bool display_finish_open();                 // converter, then screensaver off; true when ready
void display_pump_messages();               // every waiting message of the window
bool display_convert_frame(const std::uint32_t* pixels);  // lock, convert each row, unlock
LRESULT display_shared_message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
