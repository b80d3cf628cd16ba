// The X connection's end. Xlib's own handler for a broken connection calls
// exit(), whose exit handlers then close SDL's windows and wait, forever, for an
// answer from the server that is gone; so the process ends here instead.
#include "sdl_host.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace {

// Nothing is left to show on or to release: the kernel reclaims the rest.
int connection_lost(Display*)
{
    std::_Exit(platform::display_lost_status);
}

}  // namespace

void platform::end_when_x_connection_lost() { XSetIOErrorHandler(connection_lost); }
