#include "settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

struct NamedFormat { const char* name; PixelFormat format; };

const NamedFormat named_formats[] = {
    {"xrgb8888", formats::xrgb8888}, {"xbgr8888", formats::xbgr8888}, {"rgb888", formats::rgb888},
    {"bgr888", formats::bgr888},     {"rgb565", formats::rgb565},     {"bgr565", formats::bgr565},
    {"rgb555", formats::rgb555},     {"bgr555", formats::bgr555},     {"pal8", formats::pal8},
};

// One digit from low to high.
std::optional<int> parse_digit(const char* text, int low, int high)
{
    if (!text || text[0] < '0' + low || text[0] > '0' + high || text[1] != '\0')
        return std::nullopt;
    return text[0] - '0';
}

// The setting named as a digit from low to high, else `otherwise`; a bad value is
// named on stderr as not `what`.
int digit_setting(SettingLookup lookup, const char* name, int low, int high, int otherwise, const char* what)
{
    const char* chosen = lookup(name);
    if (!chosen)
        return otherwise;
    if (const auto value = parse_digit(chosen, low, high))
        return *value;
    std::fprintf(stderr, "%s=%s is not %s; using %d\n", name, chosen, what, otherwise);
    return otherwise;
}

}  // namespace

std::optional<PixelFormat> parse_screen_format(const char* text)
{
    for (const NamedFormat& named : named_formats)
        if (text && std::strcmp(text, named.name) == 0)
            return named.format;
    return std::nullopt;
}

std::optional<std::vector<DisplayMode>> parse_display_modes(const char* text, const PixelFormat& desktop)
{
    std::vector<DisplayMode> modes;
    for (const char* at = text; at; ++at) {
        int width = 0, height = 0, bits = 0, used = 0;
        if (std::sscanf(at, "%dx%dx%d%n", &width, &height, &bits, &used) != 3 || (at[used] && at[used] != ',') ||
            width <= 0 || height <= 0 || (bits != 8 && bits != 16 && bits != 24 && bits != 32))
            return std::nullopt;
        modes.push_back(DisplayMode{width, height, format_for_depth(static_cast<std::uint32_t>(bits), desktop)});
        at += used;
        if (!*at)
            return modes;
    }
    return std::nullopt;
}

std::optional<int> parse_scale(const char* text) { return parse_digit(text, 1, 8); }

const char* environment_setting(const char* name) { return std::getenv(name); }

void apply_screen_settings(ScreenSetup& setup, SettingLookup lookup, const SettingNames& names)
{
    if (const char* chosen = lookup(names.screen_format)) {
        if (const auto format = parse_screen_format(chosen))
            setup.desktop.format = *format;
        else
            std::fprintf(stderr, "%s=%s is not a screen format; using the desktop's\n", names.screen_format, chosen);
    }
    const char* modes = lookup(names.display_modes);
    auto parsed = parse_display_modes(modes ? modes : default_display_modes, setup.desktop.format);
    if (!parsed) {
        std::fprintf(stderr, "%s=%s is not a list of modes; using %s\n", names.display_modes, modes,
                     default_display_modes);
        parsed = parse_display_modes(default_display_modes, setup.desktop.format);
    }
    setup.modes = *parsed;
}

int scale_setting(SettingLookup lookup, const char* name, int otherwise)
{
    return digit_setting(lookup, name, 1, 8, otherwise, "a scale from 1 to 8");
}

bool vsync_setting(SettingLookup lookup, const char* name) { return digit_setting(lookup, name, 0, 1, 1, "0 or 1"); }

}  // namespace platform
