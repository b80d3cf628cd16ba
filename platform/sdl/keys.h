// Key presses on the SDL host as the window messages Win32 sends for them.
#pragma once

#include "platform/platform.h"

#include <SDL.h>

#include <cstdint>
#include <optional>

namespace platform {

// The Win32 virtual-key code of an SDL key, 0 for keys the stand-in ignores.
int virtual_key_of(std::int32_t sdl_keycode);

struct KeyMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
// WM_KEYDOWN with the virtual-key code, or WM_SYSKEYDOWN for Alt combinations
// and F10, which belong to the system menu; none for keys the stand-in ignores.
std::optional<KeyMessage> key_message(const SDL_Keysym& key, bool repeat);

}  // namespace platform
