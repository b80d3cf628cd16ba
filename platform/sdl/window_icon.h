// The programs' icon on the SDL host's windows, as Windows shows a program's
// icon in its window's corner and the taskbar.
#pragma once

#include <SDL.h>

#include <cstddef>

namespace platform {

// The first image of an icon file (.ico) of 256 colours, as a 32-bit ARGB
// surface whose masked pixels are transparent; null when the bytes are no such
// file. The caller frees the surface.
SDL_Surface* icon_surface(const unsigned char* file, std::size_t size);

// res/rings.ico, built into the host.
extern const unsigned char rings_icon[];
extern const std::size_t rings_icon_size;

}  // namespace platform
