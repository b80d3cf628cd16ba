// Display-style use of the platform calls, for the platform tests.
#pragma once

#include "platform/platform.h"

#include <cstdint>

// Each open returns 1 when ready and 0 at the first failing step; the pictures
// are 0x00RRGGBB, width x height, rows from the top.
int usage_windowed_open(const char* title, int width, int height);
int usage_windowed_update(const std::uint32_t* pixels);
void usage_windowed_close();
int usage_fullscreen_open(const char* title, int width, int height, int back_buffers);
int usage_fullscreen_update(const std::uint32_t* pixels);
void usage_fullscreen_close();
int usage_key_poll();  // the code pushed back by the window procedure, or -1
HWND usage_window();
