// The stand-in end to end on the SDL host: opens a display (windowed or
// fullscreen), shows a picture converted into the screen's format for some
// frames, checks what the screen shows, and closes with nothing left alive.
// Exit status: 0 when all held, 1 when the open failed, 2 for a wrong
// picture, 3 when objects outlive the close.
#include "platform/core.h"
#include "platform_usage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace platform;

namespace {

constexpr int width = 320, height = 240;

bool screen_shows(const std::vector<std::uint32_t>& picture, int left, int top)
{
    const State& s = state();
    const Buffer& screen = *s.screen;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = picture[static_cast<std::size_t>(y * width + x)];
            const std::uint32_t expected = pixel_to_rgb(rgb_to_pixel(rgb, screen.format), screen.format, s.setup.palette);
            const std::uint8_t* at = screen.row(top + y) + (left + x) * screen.format.bytes();
            const std::uint32_t seen = pixel_to_rgb(read_pixel(at, screen.format.bytes()), screen.format, s.setup.palette);
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
    const bool fullscreen = argc > 1 && std::strcmp(argv[1], "fullscreen") == 0;
    const int frames = argc > 2 ? std::atoi(argv[2]) : 30;
    std::vector<std::uint32_t> picture(static_cast<std::size_t>(width) * height);
    const int opened = fullscreen ? usage_fullscreen_open("Vorlix platform check", width, height, 2)
                                  : usage_windowed_open("Vorlix platform check", width, height);
    if (!opened) {
        std::fprintf(stderr, "the display did not open\n");
        return 1;
    }
    for (int frame = 0; frame < frames; ++frame) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                picture[static_cast<std::size_t>(y * width + x)] =
                    static_cast<std::uint32_t>((x * 255 / (width - 1)) << 16 | (y * 255 / (height - 1)) << 8 |
                                               ((x + y + frame * 4) & 0xFF));
        if (fullscreen)
            usage_fullscreen_update(picture.data());
        else
            usage_windowed_update(picture.data());
    }
    RECT client{};
    POINT origin{0, 0};
    GetClientRect(usage_window(), &client);
    ClientToScreen(usage_window(), &origin);
    const bool right = fullscreen ? screen_shows(picture, 0, 0) : screen_shows(picture, origin.x, origin.y);
    if (fullscreen)
        usage_fullscreen_close();
    else
        usage_windowed_close();
    const LiveObjects live = live_directdraw();
    const State& s = state();
    if (live.directdraws || live.surfaces || live.clippers || !s.windows.empty() || s.module_references) {
        std::fprintf(stderr, "left alive: %d DirectDraw objects, %d surfaces, %d clippers, %zu windows, %d modules\n",
                     live.directdraws, live.surfaces, live.clippers, s.windows.size(), s.module_references);
        return 3;
    }
    return right ? 0 : 2;
}
