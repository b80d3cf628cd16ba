// How the SDL host ends a program whose display server has gone away.
#pragma once

#include <SDL.h>

struct wl_display;
typedef struct _XDisplay Display;

namespace platform {

// EX_UNAVAILABLE of sysexits.h (a service the program needs is gone): told apart
// from 0 (a key or a close) and -1 (no display to open), and below signal deaths.
constexpr int display_lost_status = 69;

// From now on a broken connection to the display server showing window ends the
// process: "the display connection was lost" in one line on stderr, then
// display_lost_status. Xlib reports the break itself, at once (a write that meets
// it as well as a read: never a death by SIGPIPE); a Wayland connection is watched
// by a thread of its own, and asked after each pump of SDL's events.
void watch_display_connection(SDL_Window* window);
void check_display_connection();
void stop_watching_display_connection();  // before SDL closes the connection itself

// The parts of watch_display_connection, given the connection.
void watch_x11_connection(Display* display);
void watch_wayland_connection(wl_display* display);

}  // namespace platform
