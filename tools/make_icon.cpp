// make_icon: draws the programs' icon from one frame of the renderer: a 31 x 25
// picture of the rings in 256 colours, written as an .ico file, or a square PNG of
// the frame's middle for the desktop's icon theme. Deterministic, so the icon in res/
// can be checked against a fresh one.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "demo/precision.h"
#include "demo/render.h"
#include "tools/png_file.h"

namespace {

constexpr int icon_width = 31;
constexpr int icon_height = 25;
constexpr int icon_frame = 160;  // one bold closed ring: still reads at this size
constexpr int xor_row_bytes = (icon_width + 3) / 4 * 4;
constexpr int and_row_bytes = (icon_width + 31) / 32 * 4;

// A fixed 3-3-2 palette: 8 levels of red and green, 4 of blue.
std::uint32_t palette_colour(int index)
{
    const int r = (index >> 5) & 7, g = (index >> 2) & 7, b = index & 3;
    return static_cast<std::uint32_t>(r * 255 / 7) << 16 | static_cast<std::uint32_t>(g * 255 / 7) << 8 |
           static_cast<std::uint32_t>(b * 255 / 3);
}

int palette_index(std::uint32_t colour)
{
    const int r = static_cast<int>(colour >> 16 & 0xFF), g = static_cast<int>(colour >> 8 & 0xFF),
              b = static_cast<int>(colour & 0xFF);
    return (r * 7 + 127) / 255 << 5 | (g * 7 + 127) / 255 << 2 | (b * 3 + 127) / 255;
}

// The brightest pixel of each cell of a columns x rows grid laid over the frame's
// columns left to left + span - 1, so thin rings survive the reduction.
std::uint32_t cell_colour(int column, int row, int columns, int rows, int left, int span)
{
    std::uint32_t best = 0;
    int best_light = -1;
    for (int y = row * frame_height / rows; y < (row + 1) * frame_height / rows; ++y)
        for (int x = left + column * span / columns; x < left + (column + 1) * span / columns; ++x) {
            const std::uint32_t p = frame_buffer[y * frame_width + x];
            const int light = static_cast<int>((p >> 16 & 0xFF) * 3 + (p >> 8 & 0xFF) * 6 + (p & 0xFF));
            if (light > best_light) {
                best_light = light;
                best = p;
            }
        }
    return best;
}

void put(std::vector<unsigned char>& out, std::uint32_t value, int bytes)
{
    for (int b = 0; b < bytes; ++b)
        out.push_back(static_cast<unsigned char>(value >> (8 * b)));
}

std::vector<unsigned char> icon_file()
{
    constexpr std::uint32_t pixel_bytes = (xor_row_bytes + and_row_bytes) * icon_height;
    // The icon directory and its one entry, then the image's BITMAPINFOHEADER, whose
    // height counts the colour and the mask rows: {value, bytes} little-endian.
    constexpr std::pair<std::uint32_t, int> header[] = {
        {0, 2}, {1, 2}, {1, 2},  // reserved, type 1 (icon), one image
        {icon_width, 1}, {icon_height, 1}, {0, 1}, {0, 1},  // size, 256 colours (0), reserved
        {1, 2}, {8, 2}, {40 + 256 * 4 + pixel_bytes, 4}, {22, 4},  // planes, bits, size, offset
        {40, 4}, {icon_width, 4}, {icon_height * 2, 4}, {1, 2}, {8, 2}, {0, 4}, {pixel_bytes, 4},
        {0, 4}, {0, 4}, {0, 4}, {0, 4},
    };
    std::vector<unsigned char> out;
    for (const auto& [value, bytes] : header)
        put(out, value, bytes);
    for (int i = 0; i < 256; ++i)
        put(out, palette_colour(i), 4);  // B, G, R, 0 in memory
    for (int row = icon_height - 1; row >= 0; --row) {  // bottom row first
        for (int column = 0; column < icon_width; ++column)
            out.push_back(static_cast<unsigned char>(
                palette_index(cell_colour(column, row, icon_width, icon_height, 0, frame_width))));
        out.resize(out.size() + (xor_row_bytes - icon_width), 0);
    }
    out.resize(out.size() + and_row_bytes * icon_height, 0);  // fully opaque
    return out;
}

// size x size pixels of the frame's middle square, at least one frame pixel a cell:
// the rings on black, as in the .ico.
std::vector<std::uint32_t> square_pixels(int size)
{
    std::vector<std::uint32_t> out;
    for (int row = 0; row < size; ++row)
        for (int column = 0; column < size; ++column)
            out.push_back(cell_colour(column, row, size, size, (frame_width - frame_height) / 2, frame_height));
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    int png_size = 0;
    if (argc == 4 && std::strcmp(argv[1], "--png") == 0) {
        const std::string_view text = argv[2];
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), png_size);
        if (ec != std::errc{} || end != text.data() + text.size() || png_size < 1 || png_size > frame_height)
            png_size = 0;
    }
    if (argc != 2 && png_size == 0) {
        std::fprintf(stderr, "usage: make_icon FILE.ico\n       make_icon --png SIZE FILE.png  (SIZE 1 to %d)\n",
                     frame_height);
        return 2;
    }
    const char* path = argv[argc - 1];
    precision_setup();
    render_setup();
    render_seek(icon_frame);
    render_frame();
    std::FILE* file = std::fopen(path, "wb");
    const std::vector<unsigned char> icon = png_size ? std::vector<unsigned char>() : icon_file();
    const bool written = file && (png_size ? write_png(file, png_size, png_size, square_pixels(png_size).data())
                                           : std::fwrite(icon.data(), 1, icon.size(), file) == icon.size());
    if (!file || std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "make_icon: cannot write '%s'\n", path);
        return 2;
    }
    return 0;
}
