#include "display_connection.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

wl_display* wayland_display = nullptr;
// wl_display_get_error of the Wayland client library that SDL loaded: asked of
// it, not linked, as SDL does, so that the host (and the installed display
// library) needs no Wayland library where SDL does without one.
int (*wayland_error)(wl_display*) = nullptr;

// Nothing is left to show on or to release: the kernel reclaims the rest.
[[noreturn]] void connection_lost()
{
    std::fprintf(stderr, "%s: the display connection was lost\n", program_invocation_short_name);
    std::_Exit(platform::display_lost_status);
}

// Xlib's own handler prints several lines and calls exit(), whose exit handlers
// then close SDL's windows and wait, forever, for an answer from the server that
// is gone; so the process ends here instead.
int x_connection_lost(Display*) { connection_lost(); }

}  // namespace

void platform::watch_display_connection(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info))
        return;
    if (info.subsystem == SDL_SYSWM_X11) {
        XSetIOErrorHandler(x_connection_lost);
    } else if (info.subsystem == SDL_SYSWM_WAYLAND) {
        void* library = dlopen("libwayland-client.so.0", RTLD_LAZY | RTLD_NOLOAD);
        wayland_error = library ? reinterpret_cast<int (*)(wl_display*)>(dlsym(library, "wl_display_get_error"))
                                : nullptr;
        wayland_display = wayland_error ? info.info.wl.display : nullptr;
    }
}

// A compositor that has gone leaves SDL's calls failing at once, and the demo
// drawing frames no one sees.
void platform::check_display_connection()
{
    if (wayland_display && wayland_error(wayland_display) != 0)
        connection_lost();
}
