// How the SDL host ends a program whose display server has gone away.
#pragma once

#include <SDL.h>

struct wl_display;
typedef struct _XDisplay Display;

namespace platform {

// The exit status when the display server goes away under a program: EX_UNAVAILABLE
// of sysexits.h (a service the program needs is gone), told apart from 0 (a key or
// a close) and -1 (no display to open), and below the statuses of signal deaths.
constexpr int display_lost_status = 69;

// From now on a broken connection to the display server showing window ends
// the process: "the display connection was lost" in one line on stderr, then
// display_lost_status. Xlib reports the break itself, at once (a write that meets
// it as well as a read: never a death by SIGPIPE); a Wayland connection is
// watched by a thread of its own, for the compositor going away, and asked after
// each pump of SDL's events (check_display_connection).
void watch_display_connection(SDL_Window* window);
void check_display_connection();
// Before SDL closes the connection itself.
void stop_watching_display_connection();

// The parts of watch_display_connection, given the connection.
void watch_x11_connection(Display* display);
void watch_wayland_connection(wl_display* display);

}  // namespace platform
