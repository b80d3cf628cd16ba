// A square bouncing over a drifting colour wash, in a window, until a key is pressed.
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include <vorlix_display/display.h>
#ifdef _WIN32
#include <conio.h>
#else
#include <vorlix_display/crt.h>
#endif

int main()
{
    constexpr int width = 320, height = 240, side = 32;
    if (!display_open("Bounce", width, height))
        return 1;
    std::vector<std::uint32_t> pixels(width * height);
    int x = 0, y = 0, dx = 3, dy = 2;
    for (std::uint32_t frame = 0; !_kbhit(); ++frame) {
        for (int row = 0; row < height; ++row)
            for (int column = 0; column < width; ++column)
                pixels[row * width + column] = ((column + frame) & 0xFF) << 8 | ((row + frame / 2) & 0xFF);
        x += dx;
        y += dy;
        if (x <= 0 || x >= width - side)
            dx = -dx;
        if (y <= 0 || y >= height - side)
            dy = -dy;
        for (int row = y; row < y + side; ++row)
            for (int column = x; column < x + side; ++column)
                pixels[row * width + column] = 0xFFFFFF;
        display_update(pixels.data());  // the window's key presses arrive in here
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    _getch();
    display_close();
    return 0;
}
