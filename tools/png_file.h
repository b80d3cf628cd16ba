// Writes an 8-bit RGB PNG image, for the tools that draw pictures of the rings.
#pragma once

#include <cstdio>

// rgb: height rows of width pixels, top row first, each pixel three bytes (red,
// green, blue). Returns false when libpng fails.
bool write_png(std::FILE* file, int width, int height, const unsigned char* rgb);
