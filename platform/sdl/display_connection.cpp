#include "host.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// The Wayland client library SDL loaded, asked for its functions rather than
// linked, as SDL does: where SDL does without one, so does the host.
wl_display* wayland_display = nullptr;
int (*wayland_error)(wl_display*) = nullptr;

// Waits for the compositor's end of the connection to close, wherever the program
// is then: SDL has loops of its own that spin forever on a broken connection
// (showing a window, going full screen). Woken through stop_pipe to end.
std::thread watcher;
int stop_pipe[2] = {-1, -1};

// The line that says why the program ends, made when a watch starts, so that a
// signal handler can say it.
char lost_line[256];

void prepare_lost_line()
{
    std::snprintf(lost_line, sizeof lost_line, "%s: the display connection was lost\n", program_invocation_short_name);
}

// Nothing is left to show on or to release: the kernel reclaims the rest.
// Async-signal-safe.
[[noreturn]] void connection_lost()
{
    [[maybe_unused]] const ssize_t said = write(STDERR_FILENO, lost_line, std::strlen(lost_line));
    std::_Exit(platform::display_lost_status);
}

// Xlib's own handler calls exit(), whose handlers then wait forever for an answer
// from the server that is gone.
int x_connection_lost(Display*) { connection_lost(); }

int x_connection = -1;  // the watched X server's socket

// A write to an X server that has gone away raises SIGPIPE, a signal death before
// Xlib could report the break; a SIGPIPE from any other pipe keeps its default.
void x_write_failed(int)
{
    pollfd connection{x_connection, 0, 0};
    if (poll(&connection, 1, 0) == 1 && (connection.revents & (POLLHUP | POLLERR)))
        connection_lost();
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);  // delivered when this handler returns
}

}  // namespace

void platform::watch_display_connection(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info))
        return;
    if (info.subsystem == SDL_SYSWM_X11)
        watch_x11_connection(info.info.x11.display);
    else if (info.subsystem == SDL_SYSWM_WAYLAND)
        watch_wayland_connection(info.info.wl.display);
}

void platform::watch_x11_connection(Display* display)
{
    prepare_lost_line();
    XSetIOErrorHandler(x_connection_lost);
    x_connection = ConnectionNumber(display);
    // Only where the program left SIGPIPE as it comes: one that ignores it gets
    // EPIPE, and Xlib's report, already.
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        struct sigaction handler {};
        handler.sa_handler = x_write_failed;
        sigemptyset(&handler.sa_mask);
        sigaction(SIGPIPE, &handler, nullptr);
    }
}

void platform::watch_wayland_connection(wl_display* display)
{
    prepare_lost_line();
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
    x_connection = -1;  // its number may soon be another file's
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
