// Writes an 8-bit RGB PNG image, for the tools that draw pictures of the rings.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <vector>

// xrgb: height rows of width 0x00RRGGBB pixels, top row first. Returns false when
// libpng fails; the caller reports the failure with the write's cause, since libpng
// is kept quiet.
inline bool write_png(std::FILE* file, int width, int height, const std::uint32_t* xrgb)
{
    const auto quiet_error = [](png_structp png, png_const_charp) { png_longjmp(png, 1); };
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    // Made before setjmp, so that libpng's longjmp crosses no constructor.
    std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (const std::uint32_t* pixel = xrgb; pixel != xrgb + width * height; pixel += width) {
        for (int x = 0; x < width; ++x)
            for (int b = 0; b < 3; ++b)
                row[static_cast<std::size_t>(x) * 3 + b] = static_cast<png_byte>(pixel[x] >> (16 - 8 * b));
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}
