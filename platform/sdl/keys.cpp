#include "keys.h"

#include <map>

namespace platform {

int virtual_key_of(std::int32_t key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return VK_F1 + (key - SDLK_F1);
    static const std::map<std::int32_t, int> others = {
        {SDLK_ESCAPE, VK_ESCAPE}, {SDLK_SPACE, VK_SPACE},   {SDLK_RETURN, VK_RETURN}, {SDLK_BACKSPACE, VK_BACK},
        {SDLK_TAB, VK_TAB},       {SDLK_LEFT, VK_LEFT},     {SDLK_UP, VK_UP},         {SDLK_RIGHT, VK_RIGHT},
        {SDLK_DOWN, VK_DOWN},     {SDLK_LSHIFT, VK_SHIFT},  {SDLK_RSHIFT, VK_SHIFT},  {SDLK_LCTRL, VK_CONTROL},
        {SDLK_RCTRL, VK_CONTROL}, {SDLK_LALT, VK_MENU},     {SDLK_RALT, VK_MENU},
    };
    const auto found = others.find(key);
    return found != others.end() ? found->second : 0;
}

std::optional<MSG> key_message(const SDL_Keysym& key, bool repeat)
{
    const int code = virtual_key_of(key.sym);
    if (!code)
        return std::nullopt;
    return key_message(code, (key.mod & KMOD_ALT) != 0, key.scancode, repeat);
}

}  // namespace platform
