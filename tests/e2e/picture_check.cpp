// picture_check: looks in a screenshot (binary PPM) for the demo's picture: a
// rectangle of its size (320 x 240, or as given when it is shown scaled) that is
// point-symmetric about its centre and lit, and, when a block size is given, made
// of blocks of that size, each of one colour (pixels enlarged without smoothing).
// Prints where it found one and exits 0, or exits 1 when there is none.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int least_lit = 200;  // a frame of the demo lights thousands
int picture_width = 320;
int picture_height = 240;
int block = 1;

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB
};

bool read_ppm(const char* path, Image& image)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int max_value = 0;
    in >> magic >> image.width >> image.height >> max_value;
    in.get();
    if (!in || magic != "P6" || max_value != 255 || image.width <= 0 || image.height <= 0)
        return false;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(image.width) * image.height * 3);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in)
        return false;
    image.pixels.resize(bytes.size() / 3);
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = static_cast<std::uint32_t>(bytes[i * 3]) << 16 | bytes[i * 3 + 1] << 8 | bytes[i * 3 + 2];
    return true;
}

// Lit pixels of the rectangle at (left, top), or -1 when it is not point-symmetric.
int symmetric_lit(const Image& image, int left, int top)
{
    int lit = 0;
    for (int y = 0; y < picture_height; ++y) {
        const std::uint32_t* row = &image.pixels[static_cast<std::size_t>(top + y) * image.width + left];
        const std::uint32_t* mirror =
            &image.pixels[static_cast<std::size_t>(top + picture_height - 1 - y) * image.width + left];
        for (int x = 0; x < picture_width; ++x) {
            if (row[x] != mirror[picture_width - 1 - x])
                return -1;
            lit += row[x] != 0;
        }
    }
    return lit;
}

bool in_blocks(const Image& image, int left, int top)
{
    for (int y = 0; y < picture_height; ++y)
        for (int x = 0; x < picture_width; ++x)
            if (image.pixels[static_cast<std::size_t>(top + y) * image.width + left + x] !=
                image.pixels[static_cast<std::size_t>(top + y - y % block) * image.width + left + x - x % block])
                return false;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: picture_check SCREENSHOT.ppm [WIDTH HEIGHT [BLOCK]]\n");
        return 2;
    }
    if (argc >= 4) {
        picture_width = std::atoi(argv[2]);
        picture_height = std::atoi(argv[3]);
        block = argc == 5 ? std::atoi(argv[4]) : 1;
        if (picture_width <= 0 || picture_height <= 0 || block <= 0)
            return 2;
    }
    Image image;
    if (!read_ppm(argv[1], image)) {
        std::fprintf(stderr, "picture_check: cannot read '%s' as a binary PPM\n", argv[1]);
        return 2;
    }
    // Lit pixels above and left of each point, so dark rectangles are passed over at once.
    const int w = image.width;
    std::vector<int> lit_before(static_cast<std::size_t>(w + 1) * (image.height + 1), 0);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < w; ++x)
            lit_before[(y + 1) * (w + 1) + x + 1] = (image.pixels[static_cast<std::size_t>(y) * w + x] != 0) +
                                                    lit_before[y * (w + 1) + x + 1] + lit_before[(y + 1) * (w + 1) + x] -
                                                    lit_before[y * (w + 1) + x];
    for (int top = 0; top + picture_height <= image.height; ++top)
        for (int left = 0; left + picture_width <= image.width; ++left) {
            const int bottom = top + picture_height, right = left + picture_width;
            const int lit_inside = lit_before[bottom * (w + 1) + right] - lit_before[top * (w + 1) + right] -
                                   lit_before[bottom * (w + 1) + left] + lit_before[top * (w + 1) + left];
            // The picture's corners are black, and it is lit.
            if (lit_inside < least_lit || image.pixels[static_cast<std::size_t>(top) * w + left] != 0)
                continue;
            const int lit = symmetric_lit(image, left, top);
            if (lit >= least_lit && in_blocks(image, left, top)) {
                std::printf("picture at %d,%d with %d lit pixels\n", left, top, lit);
                return 0;
            }
        }
    std::fprintf(stderr, "picture_check: no point-symmetric lit %dx%d picture in '%s'\n", picture_width,
                 picture_height, argv[1]);
    return 1;
}
