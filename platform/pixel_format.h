// Pixel formats of the stand-in's screen and surfaces.
#pragma once

#include <cstdint>

namespace platform {

// A screen or surface pixel format: bit count and masks, or 8-bit palette indices.
struct PixelFormat {
    std::uint32_t bits = 32;
    std::uint32_t red = 0, green = 0, blue = 0;
    bool palette = false;
    bool operator==(const PixelFormat&) const = default;
    int bytes() const { return static_cast<int>(bits / 8); }
};

namespace formats {
inline constexpr PixelFormat xrgb8888{32, 0x00FF0000, 0x0000FF00, 0x000000FF, false};
inline constexpr PixelFormat xbgr8888{32, 0x000000FF, 0x0000FF00, 0x00FF0000, false};
inline constexpr PixelFormat rgb888{24, 0x00FF0000, 0x0000FF00, 0x000000FF, false};
inline constexpr PixelFormat bgr888{24, 0x000000FF, 0x0000FF00, 0x00FF0000, false};
inline constexpr PixelFormat rgb565{16, 0xF800, 0x07E0, 0x001F, false};
inline constexpr PixelFormat bgr565{16, 0x001F, 0x07E0, 0xF800, false};
inline constexpr PixelFormat rgb555{16, 0x7C00, 0x03E0, 0x001F, false};
inline constexpr PixelFormat bgr555{16, 0x001F, 0x03E0, 0x7C00, false};
inline constexpr PixelFormat pal8{8, 0, 0, 0, true};
}  // namespace formats

}  // namespace platform
