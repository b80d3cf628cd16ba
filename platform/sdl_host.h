// The SDL host: its settings and format names, for its tests, and how it ends a
// program whose display server has gone.
#pragma once

#include "core.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// The exit status when the display server goes away under a program: EX_UNAVAILABLE
// of sysexits.h (a service the program needs is gone), told apart from 0 (a key or
// a close) and -1 (no display to open), and below the statuses of signal deaths.
constexpr int display_lost_status = 69;
// From now on an X connection that breaks ends the process at once with
// display_lost_status.
void end_when_x_connection_lost();

// VORLIX_SCREEN_FORMAT: xrgb8888, xbgr8888, rgb888, bgr888, rgb565, bgr565,
// rgb555, bgr555 or pal8.
std::optional<PixelFormat> parse_screen_format(const char* text);
// VORLIX_DISPLAY_MODES: WIDTHxHEIGHTxBITS, comma-separated; bits 8, 16, 24 or 32.
std::optional<std::vector<DisplayMode>> parse_display_modes(const char* text, const PixelFormat& desktop);
// VORLIX_SCALE, GDK_SCALE: a whole number from 1 to 8.
std::optional<int> parse_scale(const char* text);
// The desktop's scale factor: VORLIX_SCALE, else GDK_SCALE, else 1; a bad
// value is named on stderr and passed over.
int desktop_scale();
// The SDL texture format holding pixels of format as they are (pal8 is shown
// through 32-bit xRGB).
std::uint32_t sdl_format_of(const PixelFormat& format);
// The Win32 virtual-key code of an SDL key, 0 for keys the stand-in ignores.
int virtual_key_of(std::int32_t sdl_keycode);

}  // namespace platform
