// The SDL2 host: each visible window is an SDL window showing its client area
// of the stand-in's screen, each pixel as a block of the desktop's scale factor;
// the exclusive window is a fullscreen-desktop window (present.cpp). The windows
// carry the rings icon; their class (X11) and app_id (Wayland) are SDL's, the
// program's file name, which the desktop entries name as StartupWMClass.
#include "host.h"
#include "platform/settings.h"

#include <cstdlib>
#include <map>
#include <thread>

namespace platform {

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

std::optional<MSG> key_message(const SDL_Keysym& key, bool repeat)
{
    const int code = virtual_key_of(key.sym);
    if (!code)
        return std::nullopt;
    return key_message(code, (key.mod & KMOD_ALT) != 0, key.scancode, repeat);
}

namespace {

class SdlHost final : public Host {
public:
    ~SdlHost() override
    {
        for (auto& [handle, view] : views)
            close_view(view);
        if (started) {
            SDL_FreeSurface(icon);
            stop_watching_display_connection();
            SDL_Quit();
        }
    }

    ScreenSetup setup() override
    {
        ScreenSetup setup;
        setup.no_display = !start();
        SDL_DisplayMode desktop{};
        if (SDL_GetDesktopDisplayMode(0, &desktop) == 0)
            setup.desktop = {desktop.w, desktop.h, format_of_sdl(desktop.format).value_or(formats::xrgb8888)};
        apply_screen_settings(setup, environment_setting, environment_names);
        vsync = vsync_setting(environment_setting, environment_names.vsync);
        // The desktop's scale factor: VORLIX_SCALE, else GDK_SCALE, else 1, a bad
        // value named on stderr and passed over. A program that knows nothing of
        // it sees a desktop that many times smaller; its windows are shown that
        // many times larger.
        const auto asked = parse_scale(environment_setting(environment_names.scale));
        scale = asked ? *asked
                      : scale_setting(environment_setting, environment_names.scale,
                                      scale_setting(environment_setting, "GDK_SCALE", 1));
        setup.desktop.width = std::max(1, setup.desktop.width / scale);
        setup.desktop.height = std::max(1, setup.desktop.height / scale);
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
        check_display_connection();
    }

    void window_changed(const Window& window) override
    {
        if (!window.visible)
            return;  // not shown yet
        View& view = views[window.handle];
        const RECT client = window.client_on_screen();
        const SDL_Rect placed{client.left * scale, client.top * scale,
                              std::max(1, static_cast<int>(client.right - client.left)) * scale,
                              std::max(1, static_cast<int>(client.bottom - client.top)) * scale};
        if (!view.window) {
            // A window without a caption (the fullscreen program's popup) has no
            // frame either. (On Wayland the compositor places windows.)
            const bool framed = (window.style & WS_CAPTION) == WS_CAPTION;
            view.window = SDL_CreateWindow(window.title.c_str(), placed.x, placed.y, placed.w, placed.h,
                                           SDL_WINDOW_HIDDEN | (framed ? 0 : SDL_WINDOW_BORDERLESS));
            if (!view.window)
                return;
            watch_display_connection(view.window);
            SDL_SetWindowIcon(view.window, icon);  // none if its bytes were bad: SDL passes over null
            attach_renderer(view, vsync);
            view.title = window.title;
            view.placed = placed;
        }
        // The demo retitles its window every frame; SDL hears of new text only,
        // and a new title alone needs no new picture.
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
        present(view, window);
    }

    void window_destroyed(HWND window) override
    {
        const auto found = views.find(window);
        if (found == views.end())
            return;
        close_view(found->second);
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

    void screen_changed() override
    {
        wait_for_refresh();
        for (auto& [handle, view] : views)
            if (const Window* window = find_window(handle))
                present(view, *window);
    }

    void cursor_changed(bool shown) override { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

    // On Wayland SDL holds the compositor's idle inhibitor for its windows.
    void screensaver_changed(bool on) override { on ? SDL_EnableScreenSaver() : SDL_DisableScreenSaver(); }

private:
    // Whether there is a display to show on. SDL falls back to a driver that shows
    // nothing, running a program no one can see or end: only a driver asked for by
    // name may be headless. A failure here is the open's to report.
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
            // Only the display servers the session names, X11 first (XWayland):
            // probing others prints on stderr.
            std::string servers;
            for (const auto& [variable, driver] :
                 {std::pair{"DISPLAY", "x11"}, std::pair{"WAYLAND_DISPLAY", "wayland"}})
                if (const char* value = std::getenv(variable); value && *value)
                    servers += (servers.empty() ? "" : ",") + std::string(driver);
            if (servers.empty())
                return false;
            SDL_SetHint(SDL_HINT_VIDEODRIVER, servers.c_str());
        }
        if (SDL_Init(SDL_INIT_VIDEO) != 0)
            return false;
        const std::string driver = SDL_GetCurrentVideoDriver();
        if (!named && (driver == "offscreen" || driver == "dummy" || driver == "evdev")) {
            SDL_Quit();
            return false;
        }
        icon = icon_surface(rings_icon, rings_icon_size);
        started = true;
        return true;
    }

    // Paced, a frame sleeps until the next refresh unless a shown window's
    // renderer waits for it already (a hidden window's frames are drawn too).
    void wait_for_refresh()
    {
        if (!vsync)
            return;
        SDL_Window* any = nullptr;
        for (const auto& [handle, view] : views) {
            if (view.renderer_paced && view.shown && !view.minimized)
                return;
            any = view.window ? view.window : any;
        }
        if (!pace)
            pace = RefreshPace(refresh_period(any));
        std::this_thread::sleep_until(pace->shown_at(RefreshPace::Clock::now()));
    }

    HWND window_of(std::uint32_t sdl_id) const
    {
        for (const auto& [handle, view] : views)
            if (view.window && SDL_GetWindowID(view.window) == sdl_id)
                return handle;
        return nullptr;
    }

    static void pointer_over(HWND window)
    {
        post_message(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
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
            // Minimised by the window manager until it restores it: a retitle
            // must not show it again.
            case SDL_WINDOWEVENT_MINIMIZED: set_minimized(window, true); break;
            case SDL_WINDOWEVENT_RESTORED: set_minimized(window, false); break;
            case SDL_WINDOWEVENT_EXPOSED:
                invalidate(window);
                if (const Window* shown = find_window(window))
                    present(views[window], *shown);
                break;
            case SDL_WINDOWEVENT_ENTER: pointer_over(window); break;
            default: break;
            }
            break;
        }
        case SDL_MOUSEMOTION:
            if (const HWND window = window_of(event.motion.windowID))
                pointer_over(window);
            break;
        case SDL_KEYDOWN:
            if (const HWND window = window_of(event.key.windowID))
                if (const auto key = key_message(event.key.keysym, event.key.repeat != 0))
                    post_message(window, key->message, key->wParam, key->lParam);
            break;
        default: break;
        }
    }

    bool started = false;
    int scale = 1;
    bool vsync = true;
    std::optional<RefreshPace> pace;
    SDL_Surface* icon = nullptr;
    std::map<HWND, View> views;
};

}  // namespace

Host& host()
{
    static SdlHost instance;
    return instance;
}

}  // namespace platform
