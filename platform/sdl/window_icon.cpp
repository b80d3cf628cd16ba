#include "host.h"

#include <cstdint>

namespace platform {

namespace {

std::uint32_t read16(const unsigned char* at) { return at[0] | at[1] << 8; }
std::uint32_t read32(const unsigned char* at) { return read16(at) | read16(at + 2) << 16; }

}  // namespace

// The file: a 6-byte directory, a 16-byte entry per image, then each image as
// a bitmap header (its height counting the colour rows and the mask's), the
// palette as B, G, R, 0, the colour rows and then the mask's rows, bottom row
// first, each row padded to 4 bytes; a mask bit of 1 is a transparent pixel.
SDL_Surface* icon_surface(const unsigned char* file, std::size_t size)
{
    if (size < 6 + 16 || read16(file) != 0 || read16(file + 2) != 1 || read16(file + 4) < 1)
        return nullptr;
    const std::size_t offset = read32(file + 6 + 12);
    if (offset > size || size - offset < 40 + 256 * 4)
        return nullptr;
    const unsigned char* header = file + offset;
    const std::uint32_t header_size = read32(header), width = read32(header + 4), height = read32(header + 8) / 2;
    const std::uint32_t bits = read16(header + 14), compression = read32(header + 16), colours = read32(header + 32);
    if (header_size != 40 || bits != 8 || compression != 0 || (colours != 0 && colours != 256) || width < 1 ||
        width > 256 || height < 1 || height > 256)
        return nullptr;
    const std::size_t colour_row = (width + 3) / 4 * 4, mask_row = (width + 31) / 32 * 4;
    if (size - offset - 40 - 256 * 4 < (colour_row + mask_row) * height)
        return nullptr;
    const unsigned char* palette = header + 40;
    const unsigned char* colour_rows = palette + 256 * 4;
    const unsigned char* mask_rows = colour_rows + colour_row * height;

    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, static_cast<int>(width), static_cast<int>(height), 32,
                                                          SDL_PIXELFORMAT_ARGB8888);
    if (!surface)
        return nullptr;
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::size_t stored = height - 1 - y;
        const unsigned char* indices = colour_rows + stored * colour_row;
        const unsigned char* mask = mask_rows + stored * mask_row;
        auto* to = reinterpret_cast<std::uint32_t*>(static_cast<unsigned char*>(surface->pixels) + y * surface->pitch);
        for (std::uint32_t x = 0; x < width; ++x) {
            const unsigned char* bgr = palette + indices[x] * 4;
            const bool transparent = mask[x / 8] >> (7 - x % 8) & 1;
            to[x] = (transparent ? 0u : 0xFF000000u) | std::uint32_t{bgr[2]} << 16 | std::uint32_t{bgr[1]} << 8 | bgr[0];
        }
    }
    return surface;
}

}  // namespace platform
