// The SDL host under SDL_VIDEODRIVER=dummy: its formats and keys,
// and a display opened and closed through it.
#include "platform/sdl_host.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace platform;

namespace {

const PixelFormat all_rgb[] = {formats::xrgb8888, formats::xbgr8888, formats::rgb888, formats::bgr888,
                               formats::rgb565,   formats::bgr565,   formats::rgb555, formats::bgr555};

// SDL must read each format's bytes as the colours the stand-in stored (give
// or take SDL's own widening of narrow channels: 6-bit 63 may come out 0xFE).
bool near(std::uint32_t a, std::uint32_t b)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int difference = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (difference < -2 || difference > 2)
            return false;
    }
    return true;
}

TEST(SdlHost, TextureFormatsHoldTheSurfaceBytesAsTheyAre)
{
    for (const PixelFormat& format : all_rgb)
        for (const std::uint32_t rgb : {0xFF0000u, 0x00FF00u, 0x0000FFu, 0x123456u}) {
            const std::uint32_t pixel = rgb_to_pixel(rgb, format);
            std::uint8_t bytes[4] = {};
            write_pixel(bytes, format.bytes(), pixel);
            std::uint32_t argb = 0;
            ASSERT_EQ(SDL_ConvertPixels(1, 1, sdl_format_of(format), bytes, 4, SDL_PIXELFORMAT_ARGB8888, &argb, 4), 0);
            EXPECT_PRED2(near, argb & 0xFFFFFF, pixel_to_rgb(pixel, format, Palette{}))
                << SDL_GetPixelFormatName(sdl_format_of(format)) << ' ' << std::hex << rgb;
        }
}

TEST(SdlHost, KeysBecomeVirtualKeyCodes)
{
    const struct {
        SDL_Keycode sdl;
        int vk;
    } cases[] = {{SDLK_a, 0x41},         {SDLK_z, 0x5A},     {SDLK_0, 0x30},        {SDLK_9, 0x39},
                 {SDLK_ESCAPE, VK_ESCAPE}, {SDLK_SPACE, 0x20}, {SDLK_RETURN, 0x0D},   {SDLK_LEFT, VK_LEFT},
                 {SDLK_DOWN, VK_DOWN},   {SDLK_F1, VK_F1},   {SDLK_F10, VK_F10},    {SDLK_F12, VK_F12},
                 {SDLK_LALT, VK_MENU},   {SDLK_CAPSLOCK, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(virtual_key_of(c.sdl), c.vk) << SDL_GetKeyName(c.sdl);
}

}  // namespace
