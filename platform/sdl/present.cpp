// With a GPU the picture goes through a streaming texture in the screen's own
// format; without one, straight into the window's surface, each screen row
// converted and widened once.
#include "host.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace platform {

namespace {

// SDL's names differ: its RGB888 is 32-bit xRGB, BGR24 holds bytes B, G, R
// (our 24-bit rgb888), RGB555 is xRGB1555. pal8, left out, is shown through 32-bit xRGB.
const std::pair<PixelFormat, std::uint32_t> sdl_formats[] = {
    {formats::xrgb8888, SDL_PIXELFORMAT_RGB888}, {formats::xbgr8888, SDL_PIXELFORMAT_BGR888},
    {formats::rgb888, SDL_PIXELFORMAT_BGR24},    {formats::bgr888, SDL_PIXELFORMAT_RGB24},
    {formats::rgb565, SDL_PIXELFORMAT_RGB565},   {formats::bgr565, SDL_PIXELFORMAT_BGR565},
    {formats::rgb555, SDL_PIXELFORMAT_RGB555},   {formats::bgr555, SDL_PIXELFORMAT_BGR555},
};

// Rows on their way to the window, kept for the next frame.
std::vector<std::uint32_t> coloured;
std::vector<std::uint8_t> converted_row;

// The picture at a whole factor, centred in the output: the window's own scale,
// or in full screen the largest that fits.
SDL_Rect picture_in(int output_width, int output_height, int width, int height)
{
    const int factor = std::max(1, std::min(output_width / width, output_height / height));
    return {(output_width - factor * width) / 2, (output_height - factor * height) / 2, factor * width,
            factor * height};
}

// Writes each of count pixels factor times.
template <int bytes>
void widen(const std::uint8_t* from, std::uint8_t* to, int count, int factor)
{
    for (int i = 0; i < count; ++i, from += bytes)
        for (int k = 0; k < factor; ++k, to += bytes)
            std::memcpy(to, from, bytes);
}

// Rows of the screen from `from` as SDL can read them: palette indices as greys.
struct Pixels {
    const void* data;
    int pitch;
    std::uint32_t format;
};

Pixels readable(const std::uint8_t* from, int width, int height)
{
    const Buffer& screen = *state().screen;
    if (!screen.format.palette)
        return {from, screen.pitch, sdl_format_of(screen.format)};
    coloured.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            coloured[static_cast<std::size_t>(y) * width + x] = grey(from[y * screen.pitch + x]);
    return {coloured.data(), width * 4, SDL_PIXELFORMAT_RGB888};
}

// Mesa's llvmpipe and its kin: OpenGL drawn by the processor.
bool drawn_in_software(const SDL_RendererInfo& info)
{
    if (std::strncmp(info.name, "opengl", 6) != 0)
        return false;
    using GetString = const unsigned char* (*)(unsigned int);
    const auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const auto* name = get_string ? reinterpret_cast<const char*>(get_string(0x1F01 /* GL_RENDERER */)) : nullptr;
    for (const char* rasteriser : {"llvmpipe", "softpipe", "Software Rasterizer", "SWR"})
        if (name && std::strstr(name, rasteriser))
            return true;
    return false;
}

void present_rendered(View& view, int width, int height, const SDL_Rect& into, const std::uint8_t* from)
{
    const std::uint32_t format = sdl_format_of(state().screen->format);
    std::uint32_t texture_format = 0;
    int texture_width = 0, texture_height = 0;  // SDL leaves them so without a texture
    SDL_QueryTexture(view.texture, &texture_format, nullptr, &texture_width, &texture_height);
    if (texture_width != width || texture_height != height || texture_format != format) {
        SDL_DestroyTexture(view.texture);
        view.texture = SDL_CreateTexture(view.renderer, format, SDL_TEXTUREACCESS_STREAMING, width, height);
        if (!view.texture)
            return;
    }
    if (into.w > 0 && into.h > 0) {
        const Pixels pixels = readable(from, into.w, into.h);
        SDL_UpdateTexture(view.texture, &into, pixels.data, pixels.pitch);
    }
    int output_width = 0, output_height = 0;
    if (SDL_GetRendererOutputSize(view.renderer, &output_width, &output_height) != 0)
        return;
    // Drawn whole each time, as a swapped back buffer keeps nothing.
    const SDL_Rect picture = picture_in(output_width, output_height, width, height);
    SDL_SetRenderDrawColor(view.renderer, 0, 0, 0, 255);
    SDL_RenderClear(view.renderer);
    SDL_RenderCopy(view.renderer, view.texture, nullptr, &picture);
    SDL_RenderPresent(view.renderer);
}

// Each screen row converted to the window's format at most once, widened once
// and copied into the rows below; the black around the picture goes to the
// window system only when what the window showed is gone.
void present_direct(View& view, const Window& window, int width, int height, const SDL_Rect& into,
                    const std::uint8_t* from)
{
    const Buffer& screen = *state().screen;
    SDL_Surface* surface = SDL_GetWindowSurface(view.window);
    if (!surface)
        return;
    const SDL_Rect picture = picture_in(surface->w, surface->h, width, height);
    const bool whole = surface != view.surface || !SDL_RectEquals(&picture, &view.picture) || window.needs_paint;
    if (whole) {
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
        view.surface = surface;
        view.picture = picture;
    }
    const int factor = picture.w / width, bytes = surface->format->BytesPerPixel;
    const SDL_Rect bounds{0, 0, surface->w, surface->h};
    const SDL_Rect shown{picture.x + into.x * factor, picture.y + into.y * factor, into.w * factor,
                         into.h * factor};
    SDL_Rect drawn{};
    // (An 8-bit window would need a palette of its own: it gets the black alone.)
    if (SDL_IntersectRect(&shown, &bounds, &drawn) && bytes >= 2) {
        // Cut only at factor 1: the picture at a larger one fits the window.
        const int first_x = drawn.x - shown.x, used = drawn.w / factor;
        converted_row.resize(static_cast<std::size_t>(used) * 4);
        const std::uint8_t* widened = nullptr;  // the row last drawn
        int widened_from = -1;
        for (int y = drawn.y; y < drawn.y + drawn.h; ++y) {
            std::uint8_t* to = static_cast<std::uint8_t*>(surface->pixels) +
                               static_cast<std::size_t>(y) * surface->pitch + drawn.x * bytes;
            const int source_y = (y - shown.y) / factor;
            if (source_y == widened_from) {
                std::memcpy(to, widened, static_cast<std::size_t>(drawn.w) * bytes);
                continue;
            }
            const Pixels pixels = readable(
                from + static_cast<std::size_t>(source_y) * screen.pitch + first_x * screen.format.bytes(), used, 1);
            auto row = static_cast<const std::uint8_t*>(pixels.data);
            if (pixels.format != surface->format->format) {
                SDL_ConvertPixels(used, 1, pixels.format, row, used * 4, surface->format->format,
                                  converted_row.data(), used * 4);
                row = converted_row.data();
            }
            if (factor == 1) {
                std::memcpy(to, row, static_cast<std::size_t>(drawn.w) * bytes);
            } else {
                switch (bytes) {
                case 2: widen<2>(row, to, used, factor); break;
                case 3: widen<3>(row, to, used, factor); break;
                default: widen<4>(row, to, used, factor); break;
                }
            }
            widened = to;
            widened_from = source_y;
        }
    }
    if (whole)
        SDL_UpdateWindowSurface(view.window);
    else if (drawn.w > 0 && drawn.h > 0)
        SDL_UpdateWindowSurfaceRects(view.window, &drawn, 1);
}

}  // namespace

// The accelerated renderer where a GPU draws. On X11 with a software rasteriser
// (llvmpipe, as under Xvfb) or none, no renderer: measured there, its upload,
// copy and stretch cost several times one pass into the window's own surface.
// Wayland has no window surface but a renderer's texture, so it keeps whatever
// renderer it gets. One named in SDL_RENDER_DRIVER is taken as it is.
void attach_renderer(View& view, bool vsync)
{
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    const char* driver = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
    const bool named = driver && *driver, wayland = std::strcmp(SDL_GetCurrentVideoDriver(), "wayland") == 0;
    SDL_Renderer* renderer = SDL_CreateRenderer(view.window, -1, named ? 0 : SDL_RENDERER_ACCELERATED);
    SDL_RendererInfo info{};
    const bool accelerated =
        renderer && SDL_GetRendererInfo(renderer, &info) == 0 && !(info.flags & SDL_RENDERER_SOFTWARE);
    const bool rasterised = accelerated && !wayland && drawn_in_software(info);
    if (!named && rasterised) {
        SDL_DestroyRenderer(renderer);
        renderer = nullptr;
    }
    // Else SDL would back the window surface with the same rasteriser; the X
    // server's shared-memory images are cheaper.
    if (!named && !renderer && !wayland)
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    view.renderer = renderer;
    // A GPU's vertical sync waits for the display, and on Wayland any accelerated
    // one's (the compositor paces it); a software rasteriser's on X11 may not.
    view.renderer_paced = vsync && accelerated && !rasterised && SDL_RenderSetVSync(renderer, 1) == 0;
}

void present(View& view, const Window& window)
{
    if (!view.window || !window.visible || window.minimized)
        return;
    const Buffer& screen = *state().screen;
    const RECT area = view.fullscreen ? RECT{0, 0, screen.width, screen.height} : window.client_on_screen();
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return;
    // Only the part of the client area on the screen has pixels to show.
    const SDL_Rect client{area.left, area.top, width, height}, bounds{0, 0, screen.width, screen.height};
    SDL_Rect on_screen{};  // no wider or taller than 0 when none of it is
    SDL_IntersectRect(&client, &bounds, &on_screen);
    const SDL_Rect into{on_screen.x - area.left, on_screen.y - area.top, on_screen.w, on_screen.h};
    const std::uint8_t* from = screen.row(on_screen.y) + on_screen.x * screen.format.bytes();
    if (view.renderer)
        present_rendered(view, width, height, into, from);
    else
        present_direct(view, window, width, height, into, from);
}

// The renderer takes its texture with it; SDL passes over what is null.
void close_view(const View& view)
{
    SDL_DestroyRenderer(view.renderer);
    SDL_DestroyWindow(view.window);
}

std::optional<PixelFormat> format_of_sdl(std::uint32_t sdl)
{
    for (const auto& [format, sdl_format] : sdl_formats)
        if (sdl_format == sdl)
            return format;
    return std::nullopt;
}

std::uint32_t sdl_format_of(const PixelFormat& format)
{
    for (const auto& [named, sdl] : sdl_formats)
        if (named == format)
            return sdl;
    return SDL_PIXELFORMAT_RGB888;  // pal8
}

RefreshPace::Clock::time_point RefreshPace::shown_at(Clock::time_point now)
{
    if (origin == Clock::time_point{})
        origin = next = now;
    const Clock::time_point shown = std::max(now, next);
    next = origin + ((shown - origin) / period + 1) * period;
    return shown;
}

RefreshPace::Clock::duration refresh_period(SDL_Window* window)
{
    SDL_DisplayMode mode{};
    const int display = window ? SDL_GetWindowDisplayIndex(window) : -1;
    const int rate = display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0
                         ? mode.refresh_rate
                         : 60;
    return std::chrono::duration_cast<RefreshPace::Clock::duration>(std::chrono::duration<double>(1.0 / rate));
}

}  // namespace platform
