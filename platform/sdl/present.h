// How the SDL host shows a stand-in window's part of the screen in an SDL
// window, and how it paces the frames it shows.
#pragma once

#include "platform/core.h"

#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

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
void close_view(View& view);

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
    // A period of zero shows every frame at once.
    explicit RefreshPace(Clock::duration period = {}) : period(period) {}
    // When the frame ready at now is to be shown.
    Clock::time_point shown_at(Clock::time_point now);

private:
    Clock::duration period;
    Clock::time_point origin{}, next{};
    bool started = false;
};

// The refresh period of the display showing window (if any); 60 Hz if unknown.
RefreshPace::Clock::duration refresh_period(SDL_Window* window);

}  // namespace platform
