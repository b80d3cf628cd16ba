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

std::optional<KeyMessage> key_message(const SDL_Keysym& key, bool repeat)
{
    const int code = virtual_key_of(key.sym);
    if (!code)
        return std::nullopt;
    // lParam: repeat count 1, the scan code, bit 29 for Alt held, bit 30 for a repeat.
    const bool alt = (key.mod & KMOD_ALT) != 0 || code == VK_MENU;
    LPARAM lParam = 1 | static_cast<LPARAM>(key.scancode & 0xFF) << 16;
    if (alt)
        lParam |= LPARAM{1} << 29;
    if (repeat)
        lParam |= LPARAM{1} << 30;
    const UINT message = alt || code == VK_F10 ? WM_SYSKEYDOWN : WM_KEYDOWN;
    return KeyMessage{message, static_cast<WPARAM>(code), lParam};
}

}  // namespace platform
