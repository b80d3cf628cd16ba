#include "display_connection.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// The Wayland client library that SDL loaded, asked for its functions rather
// than linked, as SDL does: the host (and the installed display library) needs
// no Wayland library where SDL does without one.
wl_display* wayland_display = nullptr;
int (*wayland_error)(wl_display*) = nullptr;

// Waits for the compositor's end of the connection to close, wherever the
// program is then: SDL has loops of its own (showing a window, going full
// screen, waiting for a frame) that spin forever on a broken connection and
// never come back to the program's pump. Woken through stop_pipe to end.
std::thread watcher;
int stop_pipe[2] = {-1, -1};

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
    if (info.subsystem == SDL_SYSWM_X11)
        XSetIOErrorHandler(x_connection_lost);
    else if (info.subsystem == SDL_SYSWM_WAYLAND)
        watch_wayland_connection(info.info.wl.display);
}

void platform::watch_wayland_connection(wl_display* display)
{
    void* library = dlopen("libwayland-client.so.0", RTLD_LAZY | RTLD_NOLOAD);
    using Query = int (*)(wl_display*);
    const auto get_fd = library ? reinterpret_cast<Query>(dlsym(library, "wl_display_get_fd")) : nullptr;
    wayland_error = library ? reinterpret_cast<Query>(dlsym(library, "wl_display_get_error")) : nullptr;
    if (!get_fd || !wayland_error)
        return;
    wayland_display = display;
    if (watcher.joinable() || pipe2(stop_pipe, O_CLOEXEC) != 0)
        return;
    // Asking for no events: poll reports a hang-up and errors all the same, and
    // leaves SDL's reading of the connection alone.
    watcher = std::thread([fd = get_fd(display)] {
        pollfd watched[2] = {{fd, 0, 0}, {stop_pipe[0], POLLIN, 0}};
        while (poll(watched, 2, -1) < 0 && errno == EINTR) {
        }
        if (!(watched[1].revents & POLLIN) && (watched[0].revents & (POLLHUP | POLLERR)))
            connection_lost();
    });
}

// A connection that SDL's client library broke on its own side (a protocol
// error) stays open, but shows nothing more.
void platform::check_display_connection()
{
    if (wayland_display && wayland_error(wayland_display) != 0)
        connection_lost();
}

void platform::stop_watching_display_connection()
{
    if (!watcher.joinable())
        return;
    const char stop = 0;
    while (write(stop_pipe[1], &stop, 1) < 0 && errno == EINTR) {
    }
    watcher.join();
    close(stop_pipe[0]);
    close(stop_pipe[1]);
    wayland_display = nullptr;
}
