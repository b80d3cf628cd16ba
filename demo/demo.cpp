#include "demo/demo.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "demo/precision.h"
#include "demo/render.h"
#include "display/display.h"

DemoState demo_state;

namespace {

std::int32_t nearest_second(long double seconds)
{
    return static_cast<std::int32_t>(std::nearbyint(seconds));  // ties to even
}

}  // namespace

long double elapsed_seconds() { return static_cast<long double>(GetTickCount()) / 1000.0; }

std::string key_poll()
{
    if (!_kbhit())
        return {};
    const int code = _getch();
    if (code == 0 || code == 224) {
        // The display pushes one code per key, so a second one is rarely there:
        // read it only if it is, never wait for it.
        const int second = _kbhit() ? _getch() : 0;
        return {static_cast<char>(255), static_cast<char>(second)};
    }
    return std::string(1, static_cast<char>(code));
}

void demo_start()
{
    render_setup();
    demo_state.title_window = GetActiveWindow();
    demo_state.start_second = nearest_second(elapsed_seconds());
}

void demo_count_frame()
{
    DemoState& s = demo_state;
    s.frames_counted = static_cast<float>(static_cast<long double>(s.frames_counted) + 1.0);

    const long double now = elapsed_seconds();
    if (now > static_cast<std::int32_t>(s.start_second + 1)) {
        s.frames_per_second = s.frames_counted;
        s.frames_counted = 0;
        s.start_second = nearest_second(elapsed_seconds());
    } else if (now + 1 < s.start_second) {
        // The tick count wrapped (every 49.7 days): without this the readings would
        // stop until the clock climbed back past the old second. Rounding alone puts
        // the clock at most half a second below start_second.
        s.frames_counted = 0;
        s.start_second = nearest_second(now);
    }

    // The title: its prefix, then frames_per_second as plain digits ("0", "60").
    char title[64];
    std::strcpy(title, demo_title_prefix);
    char* const digits = title + std::strlen(title);
    _gcvt(static_cast<double>(s.frames_per_second), 8, digits);
    const std::size_t length = std::strlen(digits);
    if (length > 0 && digits[length - 1] == '.')
        digits[length - 1] = '\0';
    SetWindowTextA(s.title_window, title);
}

void demo_run()
{
    precision_setup();
    if (!display_open(demo_open_title, frame_width, frame_height))
        std::exit(-1);
    demo_start();
    for (;;) {
        render_frame();
        demo_count_frame();
        display_update(frame_buffer);
        if (!key_poll().empty())
            break;
    }
    display_close();
    std::exit(0);
}
