// The SDL2 host: each visible window is an SDL window showing its client area
// of the stand-in's screen, each pixel as a block of the desktop's scale factor;
// the exclusive window is a fullscreen-desktop window showing the display mode
// scaled by a whole factor, letterboxed. With a GPU the picture goes through a
// streaming texture in the screen's own format; without one, straight into the
// window's surface.
#include "sdl_host.h"

#include "settings.h"

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <utility>

namespace platform {

namespace {

// SDL's names differ: its RGB888 is 32-bit xRGB, BGR24 holds bytes B, G, R
// (our 24-bit rgb888), RGB555 is xRGB1555. pal8 is shown through 32-bit xRGB.
const std::pair<PixelFormat, std::uint32_t> sdl_formats[] = {
    {formats::xrgb8888, SDL_PIXELFORMAT_RGB888}, {formats::xbgr8888, SDL_PIXELFORMAT_BGR888},
    {formats::rgb888, SDL_PIXELFORMAT_BGR24},    {formats::bgr888, SDL_PIXELFORMAT_RGB24},
    {formats::rgb565, SDL_PIXELFORMAT_RGB565},   {formats::bgr565, SDL_PIXELFORMAT_BGR565},
    {formats::rgb555, SDL_PIXELFORMAT_RGB555},   {formats::bgr555, SDL_PIXELFORMAT_BGR555},
    {formats::pal8, SDL_PIXELFORMAT_RGB888},
};

std::optional<PixelFormat> format_of_sdl(std::uint32_t sdl)
{
    for (const auto& [format, sdl_format] : sdl_formats)
        if (sdl_format == sdl && !format.palette)
            return format;
    return std::nullopt;
}

struct View {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int texture_width = 0, texture_height = 0;
    std::uint32_t texture_format = 0;
    bool fullscreen = false;
    // What the SDL window was last given, so that only changes reach it.
    std::string title;
    SDL_Rect placed{};
    bool shown = false, minimized = false;
    // Without a renderer: the window surface and where the picture was put on it.
    SDL_Surface* surface = nullptr;
    SDL_Rect picture{};
};

// The picture at a whole factor, centred in the output: the window's own scale,
// or in full screen the largest that fits, with black bars around it.
struct Layout {
    int factor;
    SDL_Rect picture;
    SDL_Rect bars[4];
};

Layout layout_of(int output_width, int output_height, int width, int height)
{
    Layout layout{};
    layout.factor = std::max(1, std::min(output_width / width, output_height / height));
    const SDL_Rect picture{(output_width - layout.factor * width) / 2, (output_height - layout.factor * height) / 2,
                           layout.factor * width, layout.factor * height};
    const int below = picture.y + picture.h, right_of = picture.x + picture.w;
    layout.picture = picture;
    layout.bars[0] = {0, 0, output_width, picture.y};
    layout.bars[1] = {0, below, output_width, output_height - below};
    layout.bars[2] = {0, picture.y, picture.x, picture.h};
    layout.bars[3] = {right_of, picture.y, output_width - right_of, picture.h};
    return layout;
}

// Writes count pixels: each pixel of from factor times, the first one phase
// times fewer.
template <int bytes>
void widen(const std::uint8_t* from, std::uint8_t* to, int phase, int count, int factor)
{
    for (int i = 0; i < count; ++i, to += bytes) {
        std::memcpy(to, from, bytes);
        if (++phase == factor) {
            phase = 0;
            from += bytes;
        }
    }
}

// Mesa's llvmpipe and its kin: OpenGL drawn by the processor.
bool drawn_in_software(SDL_Renderer* renderer)
{
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || (info.flags & SDL_RENDERER_SOFTWARE) ||
        std::strncmp(info.name, "opengl", 6) != 0)
        return false;
    using GetString = const unsigned char* (*)(unsigned int);
    const auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* name = get_string ? get_string(0x1F01 /* GL_RENDERER */) : nullptr;
    if (!name)
        return false;
    const char* text = reinterpret_cast<const char*>(name);
    for (const char* rasteriser : {"llvmpipe", "softpipe", "Software Rasterizer", "SWR"})
        if (std::strstr(text, rasteriser))
            return true;
    return false;
}

// The accelerated renderer, on a machine that draws with a GPU. Where OpenGL
// is a software rasteriser (Mesa's llvmpipe, as under Xvfb), or there is no
// accelerated renderer at all, none: measured there, a renderer's upload, copy
// and stretch (SDL's software one too) cost several times one pass straight
// into the window's own surface. A renderer named in SDL_RENDER_DRIVER is
// taken as it is.
SDL_Renderer* create_renderer(SDL_Window* window)
{
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    const char* named = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
    if (named && *named)
        return SDL_CreateRenderer(window, -1, 0);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (renderer && drawn_in_software(renderer)) {
        SDL_DestroyRenderer(renderer);
        renderer = nullptr;
    }
    // Else SDL would back the window surface with the same rasteriser; the
    // window system's shared-memory images are cheaper.
    if (!renderer)
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    return renderer;
}

class SdlHost final : public Host {
public:
    ~SdlHost() override
    {
        for (auto& [handle, view] : views)
            close(view);
        views.clear();
        if (started)
            SDL_Quit();
    }

    ScreenSetup setup() override
    {
        ScreenSetup setup;
        setup.no_display = !start();
        SDL_DisplayMode desktop{};
        if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
            setup.desktop.width = desktop.w;
            setup.desktop.height = desktop.h;
            setup.desktop.format = format_of_sdl(desktop.format).value_or(formats::xrgb8888);
        }
        apply_screen_settings(setup, environment_setting, environment_names);
        // A program that knows nothing of the scale factor sees a desktop that
        // many times smaller; its windows are shown that many times larger.
        scale = desktop_scale();
        setup.desktop.width = std::max(1, setup.desktop.width / scale);
        setup.desktop.height = std::max(1, setup.desktop.height / scale);
        for (std::uint32_t i = 0; i < 256; ++i)
            setup.palette[i] = i * 0x010101u;
        setup.screensaver_on = SDL_IsScreenSaverEnabled() == SDL_TRUE;
        return setup;
    }

    std::uint32_t ticks() override
    {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }

    void sleep(std::uint32_t milliseconds) override
    {
        if (milliseconds == 0)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

    void pump_events() override
    {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            translate(event);
    }

    void window_changed(const Window& window) override
    {
        View& view = views[window.handle];
        if (!window.visible) {
            if (view.window && view.shown)
                SDL_HideWindow(view.window);
            view.shown = false;
            return;
        }
        const RECT client = window.client_on_screen();
        const SDL_Rect placed{client.left * scale, client.top * scale,
                              std::max(1, static_cast<int>(client.right - client.left)) * scale,
                              std::max(1, static_cast<int>(client.bottom - client.top)) * scale};
        if (!view.window) {
            view.window = SDL_CreateWindow(window.title.c_str(), placed.x, placed.y, placed.w, placed.h,
                                           SDL_WINDOW_HIDDEN);
            if (!view.window)
                return;
            view.renderer = create_renderer(view.window);
            view.title = window.title;
            view.placed = placed;
        }
        // The demo retitles its window every frame; SDL hears of it only when
        // the text changes, and a new title alone needs no new picture.
        if (view.title != window.title) {
            SDL_SetWindowTitle(view.window, window.title.c_str());
            view.title = window.title;
        }
        // A minimized window keeps its place for when it comes back.
        const bool moved = !window.minimized && !SDL_RectEquals(&placed, &view.placed);
        if (view.shown && view.minimized == window.minimized && !moved)
            return;
        if (moved) {
            if (!view.fullscreen) {
                SDL_SetWindowPosition(view.window, placed.x, placed.y);
                SDL_SetWindowSize(view.window, placed.w, placed.h);
            }
            view.placed = placed;
        }
        view.shown = true;
        view.minimized = window.minimized;
        if (window.minimized)
            SDL_MinimizeWindow(view.window);
        else
            SDL_ShowWindow(view.window);
        present(window.handle, view);
    }

    void window_destroyed(HWND window) override
    {
        const auto found = views.find(window);
        if (found == views.end())
            return;
        close(found->second);
        views.erase(found);
    }

    void exclusive_changed(HWND window) override
    {
        for (auto& [handle, view] : views) {
            const bool fullscreen = handle == window;
            if (view.window && view.fullscreen != fullscreen) {
                SDL_SetWindowFullscreen(view.window, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
                view.fullscreen = fullscreen;
            }
        }
        screen_changed();
    }

    void mode_changed(const DisplayMode&) override { screen_changed(); }

    void screen_changed() override
    {
        for (auto& [handle, view] : views)
            present(handle, view);
    }

    void cursor_changed(bool shown) override { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

    void screensaver_changed(bool on) override
    {
        if (on)
            SDL_EnableScreenSaver();
        else
            SDL_DisableScreenSaver();
    }

private:
    // Whether there is a display to show on. SDL falls back to a driver that
    // shows nothing when no display server answers; that runs a program no one
    // can see or end, so only a driver asked for by name may be headless. A
    // failure here is the open's to report, not the host's.
    bool start()
    {
        if (started)
            return true;
        // A desktop's screensaver is on until someone turns it off; Ctrl+C
        // still ends the program; a fullscreen window that loses focus stays.
        SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        const char* asked = std::getenv("SDL_VIDEODRIVER");
        const bool named = asked && *asked;
        if (!named) {
            // Only the display servers the session names: probing the others
            // prints on stderr (a Wayland probe without XDG_RUNTIME_DIR does).
            std::string servers;
            for (auto [variable, driver] : {std::pair{"DISPLAY", "x11"}, std::pair{"WAYLAND_DISPLAY", "wayland"}}) {
                const char* value = std::getenv(variable);
                if (value && *value)
                    servers += (servers.empty() ? "" : ",") + std::string(driver);
            }
            if (servers.empty())
                return false;
            SDL_SetHint(SDL_HINT_VIDEODRIVER, servers.c_str());
        }
        if (SDL_Init(SDL_INIT_VIDEO) != 0)
            return false;
        if (headless(SDL_GetCurrentVideoDriver()) && !named) {
            SDL_Quit();
            return false;
        }
        if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0)
            end_when_x_connection_lost();
        started = true;
        return true;
    }

    static bool headless(const char* driver)
    {
        for (const char* name : {"offscreen", "dummy", "evdev"})
            if (driver && std::strcmp(driver, name) == 0)
                return true;
        return false;
    }

    static void close(View& view)
    {
        if (view.texture)
            SDL_DestroyTexture(view.texture);
        if (view.renderer)
            SDL_DestroyRenderer(view.renderer);
        if (view.window)
            SDL_DestroyWindow(view.window);
        view = View{};
    }

    HWND window_of(std::uint32_t sdl_id) const
    {
        for (const auto& [handle, view] : views)
            if (view.window && SDL_GetWindowID(view.window) == sdl_id)
                return handle;
        return nullptr;
    }

    void translate(const SDL_Event& event)
    {
        switch (event.type) {
        case SDL_WINDOWEVENT: {
            const HWND window = window_of(event.window.windowID);
            if (!window)
                return;
            switch (event.window.event) {
            case SDL_WINDOWEVENT_CLOSE: post_message(window, WM_CLOSE, 0, 0); break;
            case SDL_WINDOWEVENT_FOCUS_GAINED: set_app_active(window, true); break;
            case SDL_WINDOWEVENT_FOCUS_LOST: set_app_active(window, false); break;
            // The window manager's minimise: the window stays minimised until it
            // restores it, so a retitle must not show it again.
            case SDL_WINDOWEVENT_MINIMIZED: set_minimized(window, true); break;
            case SDL_WINDOWEVENT_RESTORED: set_minimized(window, false); break;
            case SDL_WINDOWEVENT_EXPOSED:
                invalidate(window);
                present(window, views[window]);
                break;
            case SDL_WINDOWEVENT_ENTER:
                post_message(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
                break;
            default: break;
            }
            break;
        }
        case SDL_MOUSEMOTION:
            if (const HWND window = window_of(event.motion.windowID))
                post_message(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            break;
        case SDL_KEYDOWN: {
            const HWND window = window_of(event.key.windowID);
            const int key = virtual_key_of(event.key.keysym.sym);
            if (!window || !key)
                return;
            // Alt combinations and F10 belong to the system menu.
            const bool alt = (event.key.keysym.mod & KMOD_ALT) != 0 || key == VK_MENU;
            LPARAM lParam = 1 | static_cast<LPARAM>(event.key.keysym.scancode & 0xFF) << 16;
            if (alt)
                lParam |= LPARAM{1} << 29;
            if (event.key.repeat)
                lParam |= LPARAM{1} << 30;
            post_message(window, alt || key == VK_F10 ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<WPARAM>(key), lParam);
            break;
        }
        default: break;
        }
    }

    void present(HWND handle, View& view)
    {
        const Window* window = find_window(handle);
        if (!view.window || !window || !window->visible || window->minimized)
            return;
        const Buffer& screen = *state().screen;
        const RECT area = view.fullscreen ? RECT{0, 0, screen.width, screen.height} : window->client_on_screen();
        const int width = area.right - area.left, height = area.bottom - area.top;
        if (width <= 0 || height <= 0)
            return;
        // Only the part of the client area on the screen has pixels to show.
        const LONG left = std::max(area.left, LONG{0}), top = std::max(area.top, LONG{0});
        const LONG right = std::min(area.right, static_cast<LONG>(screen.width));
        const LONG bottom = std::min(area.bottom, static_cast<LONG>(screen.height));
        const SDL_Rect into{left - area.left, top - area.top, std::max(LONG{0}, right - left),
                            std::max(LONG{0}, bottom - top)};
        const std::uint8_t* from = screen.row(top) + left * screen.format.bytes();
        if (view.renderer)
            present_rendered(view, width, height, into, from);
        else
            present_direct(view, *window, width, height, into, from);
    }

    void present_rendered(View& view, int width, int height, const SDL_Rect& into, const std::uint8_t* from)
    {
        const Buffer& screen = *state().screen;
        const std::uint32_t format = sdl_format_of(screen.format);
        if (!view.texture || view.texture_width != width || view.texture_height != height ||
            view.texture_format != format) {
            if (view.texture)
                SDL_DestroyTexture(view.texture);
            view.texture = SDL_CreateTexture(view.renderer, format, SDL_TEXTUREACCESS_STREAMING, width, height);
            view.texture_width = width;
            view.texture_height = height;
            view.texture_format = format;
            if (!view.texture)
                return;
        }
        if (into.w > 0 && into.h > 0) {
            if (screen.format.palette) {
                palette_row.resize(static_cast<std::size_t>(into.w) * into.h);
                for (int y = 0; y < into.h; ++y)
                    coloured(from + static_cast<std::size_t>(y) * screen.pitch, into.w,
                             palette_row.data() + static_cast<std::size_t>(y) * into.w);
                SDL_UpdateTexture(view.texture, &into, palette_row.data(), into.w * 4);
            } else {
                SDL_UpdateTexture(view.texture, &into, from, screen.pitch);
            }
        }
        int output_width = 0, output_height = 0;
        if (SDL_GetRendererOutputSize(view.renderer, &output_width, &output_height) != 0)
            return;
        // Drawn whole each time, as a swapped back buffer keeps nothing.
        const Layout layout = layout_of(output_width, output_height, width, height);
        SDL_SetRenderDrawColor(view.renderer, 0, 0, 0, 255);
        for (const SDL_Rect& bar : layout.bars)
            if (bar.w > 0 && bar.h > 0)
                SDL_RenderFillRect(view.renderer, &bar);
        SDL_RenderCopy(view.renderer, view.texture, nullptr, &layout.picture);
        SDL_RenderPresent(view.renderer);
    }

    // Each screen row converted to the window's format at most once, widened
    // once, and copied into the rows below it; only the picture goes to the
    // window system, the bars too when what the window showed is gone.
    void present_direct(View& view, const Window& window, int width, int height, const SDL_Rect& into,
                        const std::uint8_t* from)
    {
        const Buffer& screen = *state().screen;
        SDL_Surface* surface = SDL_GetWindowSurface(view.window);
        if (!surface)
            return;
        const Layout layout = layout_of(surface->w, surface->h, width, height);
        const bool whole = surface != view.surface || !SDL_RectEquals(&layout.picture, &view.picture) ||
                           window.needs_paint;
        if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0)
            return;
        if (whole) {
            for (const SDL_Rect& bar : layout.bars)
                if (bar.w > 0 && bar.h > 0)
                    SDL_FillRect(surface, &bar, SDL_MapRGB(surface->format, 0, 0, 0));
            view.surface = surface;
            view.picture = layout.picture;
        }
        // The screen's rows in the window's pixels, on the window's surface.
        const int factor = layout.factor;
        const SDL_Rect bounds{0, 0, surface->w, surface->h};
        const SDL_Rect shown{layout.picture.x + into.x * factor, layout.picture.y + into.y * factor,
                             into.w * factor, into.h * factor};
        SDL_Rect drawn{};
        const int bytes = surface->format->BytesPerPixel;
        const std::uint32_t screen_format = sdl_format_of(screen.format);
        const bool same = !screen.format.palette && screen_format == surface->format->format;
        // (An 8-bit window would need a palette of its own: it gets the bars alone.)
        if (SDL_IntersectRect(&shown, &bounds, &drawn) && bytes >= 2) {
            const int first_x = (drawn.x - shown.x) / factor, phase = (drawn.x - shown.x) % factor;
            const int last_x = (drawn.x + drawn.w - 1 - shown.x) / factor;
            const int used = last_x - first_x + 1;
            if (!same) {
                converted_row.resize(static_cast<std::size_t>(used) * 4);
                palette_row.resize(static_cast<std::size_t>(used));
            }
            std::uint8_t* widened = nullptr;  // the row last drawn
            int widened_from = -1;
            for (int y = drawn.y; y < drawn.y + drawn.h; ++y) {
                std::uint8_t* to = static_cast<std::uint8_t*>(surface->pixels) +
                                   static_cast<std::size_t>(y) * surface->pitch + drawn.x * bytes;
                const int source_y = (y - shown.y) / factor;
                if (source_y == widened_from) {
                    std::memcpy(to, widened, static_cast<std::size_t>(drawn.w) * bytes);
                    continue;
                }
                const std::uint8_t* row =
                    from + static_cast<std::size_t>(source_y) * screen.pitch + first_x * screen.format.bytes();
                if (!same) {
                    const void* pixels = row;
                    std::uint32_t pixels_format = screen_format;
                    if (screen.format.palette) {
                        coloured(row, used, palette_row.data());
                        pixels = palette_row.data();
                        pixels_format = SDL_PIXELFORMAT_RGB888;
                    }
                    SDL_ConvertPixels(used, 1, pixels_format, pixels, used * 4, surface->format->format,
                                      converted_row.data(), used * 4);
                    row = converted_row.data();
                }
                if (factor == 1) {
                    std::memcpy(to, row, static_cast<std::size_t>(drawn.w) * bytes);
                } else {
                    switch (bytes) {
                    case 2: widen<2>(row, to, phase, drawn.w, factor); break;
                    case 3: widen<3>(row, to, phase, drawn.w, factor); break;
                    default: widen<4>(row, to, phase, drawn.w, factor); break;
                    }
                }
                widened = to;
                widened_from = source_y;
            }
        }
        if (SDL_MUSTLOCK(surface))
            SDL_UnlockSurface(surface);
        if (whole)
            SDL_UpdateWindowSurface(view.window);
        else if (drawn.w > 0 && drawn.h > 0)
            SDL_UpdateWindowSurfaceRects(view.window, &drawn, 1);
    }

    // Palette indices as 0x00RRGGBB.
    void coloured(const std::uint8_t* indices, int count, std::uint32_t* to) const
    {
        const Palette& palette = state().setup.palette;
        for (int x = 0; x < count; ++x)
            to[x] = palette[indices[x]];
    }

    bool started = false;
    int scale = 1;
    std::map<HWND, View> views;
    // Rows on their way to the window, kept for the next frame.
    std::vector<std::uint32_t> palette_row;
    std::vector<std::uint8_t> converted_row;
};

}  // namespace

int desktop_scale()
{
    if (const auto scale = parse_scale(environment_setting(environment_names.scale)))
        return *scale;
    return scale_setting(environment_setting, environment_names.scale, scale_setting(environment_setting, "GDK_SCALE", 1));
}

std::uint32_t sdl_format_of(const PixelFormat& format)
{
    for (const auto& [named, sdl] : sdl_formats)
        if (named == format)
            return sdl;
    return SDL_PIXELFORMAT_RGB888;
}

int virtual_key_of(std::int32_t key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return VK_F1 + (key - SDLK_F1);
    static const std::map<std::int32_t, int> others = {
        {SDLK_ESCAPE, VK_ESCAPE}, {SDLK_SPACE, VK_SPACE},   {SDLK_RETURN, VK_RETURN}, {SDLK_BACKSPACE, VK_BACK},
        {SDLK_TAB, VK_TAB},       {SDLK_LEFT, VK_LEFT},     {SDLK_UP, VK_UP},         {SDLK_RIGHT, VK_RIGHT},
        {SDLK_DOWN, VK_DOWN},     {SDLK_LSHIFT, VK_SHIFT},  {SDLK_RSHIFT, VK_SHIFT},  {SDLK_LCTRL, VK_CONTROL},
        {SDLK_RCTRL, VK_CONTROL}, {SDLK_LALT, VK_MENU},     {SDLK_RALT, VK_MENU},
    };
    const auto found = others.find(key);
    return found != others.end() ? found->second : 0;
}

Host& host()
{
    static SdlHost instance;
    return instance;
}

}  // namespace platform
