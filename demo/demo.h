// The demo's control flow: start-up, the frame loop with its frame-rate title and
// key poll, and the end.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

struct DemoState {
    float frames_counted;     // frames since the last frame-rate reading
    float frames_per_second;  // the figure in the title; 0 until the first reading
    std::int32_t start_second;  // whole second at which counting last restarted
    HWND title_window;
};
extern DemoState demo_state;

inline constexpr const char* demo_open_title = "Vorlix Julia (Kelvorn)";
inline constexpr const char* demo_title_prefix = "Vorlix Julia Rings FPS:";

// GetTickCount in seconds, in extended precision, unrounded.
long double elapsed_seconds();

// Empty when no key waits; never waits itself.
std::string key_poll();

// Start-up after the display opened: renderer tables, title window, first second.
void demo_start();

// Steps 2 to 4 of a frame: count it, take a reading when a second has passed, set
// the title.
void demo_count_frame();

// The whole program; ends the process with 0 after a key, -1 when no display opens.
[[noreturn]] void demo_run();
