// The stand-in end to end on the SDL host, through the real display library: opens
// the display (the presentation this program links), shows a converted picture for
// some frames, checks what the screen shows, the screensaver and the display mode,
// and closes with nothing left alive.
// Exit status: 0 when all held, 1 when the open failed, 2 for a wrong picture,
// 3 when objects outlive the close, 4 for a wrong screensaver or display mode.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "display/display.h"
#include "display/display_state.h"
#include "platform/core.h"

using namespace platform;

namespace {

constexpr int width = 320, height = 240;

bool screen_shows(const std::vector<std::uint32_t>& picture, int left, int top)
{
    const Buffer& screen = *state().screen;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = picture[static_cast<std::size_t>(y * width + x)];
            const std::uint32_t expected = pixel_to_rgb(rgb_to_pixel(rgb, screen.format), screen.format);
            const std::uint8_t* at = screen.row(top + y) + (left + x) * screen.format.bytes();
            const std::uint32_t seen = pixel_to_rgb(read_pixel(at, screen.format.bytes()), screen.format);
            if (seen != expected) {
                std::fprintf(stderr, "pixel (%d, %d): shows %06x, expected %06x\n", x, y, seen, expected);
                return false;
            }
        }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 30;
    const int desktop_width = GetSystemMetrics(SM_CXSCREEN);
    std::vector<std::uint32_t> picture(static_cast<std::size_t>(width) * height);
    if (!display_open("Vorlix platform check", width, height)) {
        std::fprintf(stderr, "the display did not open\n");
        return 1;
    }
    for (int frame = 0; frame < frames; ++frame) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                picture[static_cast<std::size_t>(y * width + x)] =
                    static_cast<std::uint32_t>((x * 255 / (width - 1)) << 16 | (y * 255 / (height - 1)) << 8 |
                                               ((x + y + frame * 4) & 0xFF));
        display_update(picture.data());
    }
    constexpr bool fullscreen = CHECK_FULLSCREEN;
    POINT origin{0, 0};
    ClientToScreen(display_state.window, &origin);
    const bool right = fullscreen ? screen_shows(picture, 0, 0) : screen_shows(picture, origin.x, origin.y);
    const bool settings_while_open = SDL_IsScreenSaverEnabled() == SDL_FALSE &&
                                     (!fullscreen || GetSystemMetrics(SM_CXSCREEN) == width);
    display_close();
    const bool settings_after = SDL_IsScreenSaverEnabled() == SDL_TRUE && GetSystemMetrics(SM_CXSCREEN) == desktop_width;

    const LiveObjects live = live_directdraw();
    const State& s = state();
    if (live.directdraws || live.surfaces || live.clippers || !s.windows.empty() || s.module_references) {
        std::fprintf(stderr, "left alive: %d DirectDraw objects, %d surfaces, %d clippers, %zu windows, %d modules\n",
                     live.directdraws, live.surfaces, live.clippers, s.windows.size(), s.module_references);
        return 3;
    }
    if (!settings_while_open || !settings_after) {
        std::fprintf(stderr, "screensaver or display mode wrong: while open %d, after close %d\n", settings_while_open,
                     settings_after);
        return 4;
    }
    return right ? 0 : 2;
}
