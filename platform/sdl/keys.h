// Key presses on the SDL host as the window messages Win32 sends for them.
#pragma once

#include "platform/core.h"

#include <SDL.h>

#include <cstdint>
#include <optional>

namespace platform {

// The Win32 virtual-key code of an SDL key, 0 for keys the stand-in ignores.
int virtual_key_of(std::int32_t sdl_keycode);

// The message for a key press; none for keys the stand-in ignores.
std::optional<MSG> key_message(const SDL_Keysym& key, bool repeat);

}  // namespace platform
