// The SDL host: its formats and keys, for its tests, and how it ends a
// program whose display server has gone.
#pragma once

#include "core.h"

#include <cstdint>

namespace platform {

// The exit status when the display server goes away under a program: EX_UNAVAILABLE
// of sysexits.h (a service the program needs is gone), told apart from 0 (a key or
// a close) and -1 (no display to open), and below the statuses of signal deaths.
constexpr int display_lost_status = 69;
// From now on an X connection that breaks ends the process at once with
// display_lost_status.
void end_when_x_connection_lost();

// The desktop's scale factor: VORLIX_SCALE, else GDK_SCALE, else 1; a bad
// value is named on stderr and passed over.
int desktop_scale();
// The SDL texture format holding pixels of format as they are (pal8 is shown
// through 32-bit xRGB).
std::uint32_t sdl_format_of(const PixelFormat& format);
// The Win32 virtual-key code of an SDL key, 0 for keys the stand-in ignores.
int virtual_key_of(std::int32_t sdl_keycode);

}  // namespace platform
