// Writes an 8-bit RGB PNG image, for the tools that draw pictures of the rings.
#pragma once

#include <cstdint>
#include <cstdio>

// xrgb: height rows of width 0x00RRGGBB pixels, top row first. Returns false when
// libpng fails.
bool write_png(std::FILE* file, int width, int height, const std::uint32_t* xrgb);
