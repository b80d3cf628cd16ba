// Pixel format converters: 32-bit 0x00RRGGBB picture rows into the display surface's format.
#pragma once

#include <cstdint>

// Writes `count` pixels of one fixed format to `destination`, back to back, and touches
// nothing else; reads exactly `count` source pixels. The destination needs no alignment.
using PixelConverter = void (*)(const std::uint32_t* source, std::uint8_t* destination, std::uint32_t count);

// The converter for a surface's bit count and colour masks (the DDPIXELFORMAT fields
// dwRGBBitCount, dwRBitMask, dwGBitMask, dwBBitMask), or null when none matches exactly.
// Also picks the fastest row this processor can run, so the format and the CPU are both
// decided here, once per open display.
PixelConverter select_converter(std::uint32_t bit_count, std::uint32_t red_mask, std::uint32_t green_mask,
                                std::uint32_t blue_mask);
