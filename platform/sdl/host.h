// The SDL host's parts that host.cpp and the tests reach: how a stand-in window's
// part of the screen is shown in an SDL window and the frames paced (present.cpp),
// keys (host.cpp), the windows' icon (window_icon.cpp), and the end of a program
// whose display server has gone away (display_connection.cpp).
#pragma once

#include "platform/core.h"

#include <SDL.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct wl_display;
typedef struct _XDisplay Display;

namespace platform {

// An SDL window showing one stand-in window: its client area, or in full
// screen the whole screen scaled by a whole factor, letterboxed.
struct View {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    bool fullscreen = false;
    // The renderer's own vertical sync paces its presents.
    bool renderer_paced = false;
    // What the SDL window was last given, so that only changes reach it.
    std::string title;
    SDL_Rect placed{};
    bool shown = false, minimized = false;
    // Without a renderer: the window surface and where the picture was put on it.
    SDL_Surface* surface = nullptr;
    SDL_Rect picture{};
};

void attach_renderer(View& view, bool vsync);  // if any: see present.cpp
// Shows what the screen holds for window, if the view is on show.
void present(View& view, const Window& window);
void close_view(const View& view);  // the view itself goes next

// The SDL format of a desktop, as the stand-in's format.
std::optional<PixelFormat> format_of_sdl(std::uint32_t sdl_format);
// The SDL format holding pixels of format as they are (pal8: 32-bit xRGB).
std::uint32_t sdl_format_of(const PixelFormat& format);

// At most one frame a display refresh, periods counted from the first frame: a
// frame comes at once when none was shown yet in the current period, else at the
// start of the next; a late one starts no run of frames to catch up.
class RefreshPace {
public:
    using Clock = std::chrono::steady_clock;
    explicit RefreshPace(Clock::duration period) : period(period) {}
    // When the frame ready at now is to be shown.
    Clock::time_point shown_at(Clock::time_point now);

private:
    Clock::duration period;
    Clock::time_point origin{}, next{};  // no origin before the first frame
};

// The refresh period of the display showing window (if any); 60 Hz if unknown.
RefreshPace::Clock::duration refresh_period(SDL_Window* window);

// The Win32 virtual-key code of an SDL key, 0 for keys the stand-in ignores.
int virtual_key_of(std::int32_t sdl_keycode);
// The message for a key press; none for keys the stand-in ignores.
std::optional<MSG> key_message(const SDL_Keysym& key, bool repeat);

// The first image of an icon file (.ico) of 256 colours, as a 32-bit ARGB
// surface whose masked pixels are transparent; null when the bytes are no such
// file. The caller frees the surface.
SDL_Surface* icon_surface(const unsigned char* file, std::size_t size);
// res/rings.ico, built into the host.
extern const unsigned char rings_icon[];
extern const std::size_t rings_icon_size;

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
