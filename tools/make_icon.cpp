// make_icon: draws the programs' icon, a 31 x 25 picture of the rings in 256 colours,
// from one frame of the renderer, and writes it as an .ico file. Deterministic, so
// the icon in res/ can be checked against a fresh one.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "demo/precision.h"
#include "demo/render.h"

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

// The brightest pixel of each cell, so thin rings survive the reduction.
std::uint32_t cell_colour(int column, int row)
{
    std::uint32_t best = 0;
    int best_light = -1;
    for (int y = row * frame_height / icon_height; y < (row + 1) * frame_height / icon_height; ++y)
        for (int x = column * frame_width / icon_width; x < (column + 1) * frame_width / icon_width; ++x) {
            const std::uint32_t p = frame_buffer[y * frame_width + x];
            const int light = static_cast<int>((p >> 16 & 0xFF) * 3 + (p >> 8 & 0xFF) * 6 + (p & 0xFF));
            if (light > best_light) {
                best_light = light;
                best = p;
            }
        }
    return best;
}

void put16(std::vector<unsigned char>& out, unsigned value)
{
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void put32(std::vector<unsigned char>& out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::vector<unsigned char> icon_file()
{
    constexpr std::uint32_t image_bytes = 40 + 256 * 4 + xor_row_bytes * icon_height + and_row_bytes * icon_height;
    std::vector<unsigned char> out;
    put16(out, 0);  // icon directory: reserved, type 1 (icon), one image
    put16(out, 1);
    put16(out, 1);
    out.push_back(icon_width);
    out.push_back(icon_height);
    out.push_back(0);  // 256 colours
    out.push_back(0);
    put16(out, 1);  // planes
    put16(out, 8);  // bits per pixel
    put32(out, image_bytes);
    put32(out, 22);  // image offset

    put32(out, 40);  // BITMAPINFOHEADER; the height counts the colour and mask rows
    put32(out, icon_width);
    put32(out, icon_height * 2);
    put16(out, 1);
    put16(out, 8);
    put32(out, 0);
    put32(out, xor_row_bytes * icon_height + and_row_bytes * icon_height);
    for (int i = 0; i < 4; ++i)
        put32(out, 0);
    for (int i = 0; i < 256; ++i)
        put32(out, palette_colour(i));  // B, G, R, 0 in memory
    for (int row = icon_height - 1; row >= 0; --row) {  // bottom row first
        for (int column = 0; column < icon_width; ++column)
            out.push_back(static_cast<unsigned char>(palette_index(cell_colour(column, row))));
        out.resize(out.size() + (xor_row_bytes - icon_width), 0);
    }
    out.resize(out.size() + and_row_bytes * icon_height, 0);  // fully opaque
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon FILE.ico\n");
        return 2;
    }
    precision_setup();
    render_setup();
    render_seek(icon_frame);
    render_frame();
    const std::vector<unsigned char> icon = icon_file();
    std::FILE* file = std::fopen(argv[1], "wb");
    const bool written = file && std::fwrite(icon.data(), 1, icon.size(), file) == icon.size();
    if (!file || std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "make_icon: cannot write '%s'\n", argv[1]);
        return 2;
    }
    return 0;
}
