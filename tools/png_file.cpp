#include "tools/png_file.h"

#include <png.h>

#include <cstddef>

namespace {

// The caller reports the failure, with the write's cause: libpng says nothing itself.
[[noreturn]] void quiet_error(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

}  // namespace

bool write_png(std::FILE* file, int width, int height, const unsigned char* rgb)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        png_write_row(png, rgb + row_bytes * y);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}
