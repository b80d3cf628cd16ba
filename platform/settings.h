// The settings a person gives the stand-in's hosts, in place of a desktop's
// colour depth, a graphics card's modes, a desktop's scale and a driver's
// vertical sync: the environment's VORLIX_* variables on a desktop, the page's
// address in a browser. The programs themselves read none.
#pragma once

#include "core.h"

#include <optional>
#include <vector>

namespace platform {

// xrgb8888, xbgr8888, rgb888, bgr888, rgb565, bgr565, rgb555, bgr555 or pal8.
std::optional<PixelFormat> parse_screen_format(const char* text);
// WIDTHxHEIGHTxBITS, comma-separated; bits 8, 16, 24 or 32. A depth takes the
// desktop's format when it is the desktop's depth (format_for_depth).
std::optional<std::vector<DisplayMode>> parse_display_modes(const char* text, const PixelFormat& desktop);
inline constexpr const char* default_display_modes = "320x240x32,320x240x24,320x240x16";
// A whole number from 1 to 8.
std::optional<int> parse_scale(const char* text);

// Where a host finds a setting's text by its name (null when it is not set).
using SettingLookup = const char* (*)(const char* name);
// The process environment.
const char* environment_setting(const char* name);

// The names a host reads its settings by.
struct SettingNames {
    const char* screen_format;
    const char* display_modes;
    const char* scale;
    const char* vsync;
};
inline constexpr SettingNames environment_names{"VORLIX_SCREEN_FORMAT", "VORLIX_DISPLAY_MODES", "VORLIX_SCALE",
                                                "VORLIX_VSYNC"};

// The screen format and the display modes the settings ask for, over the
// desktop the host found. A value that is not one is named in one line on
// stderr and passed over.
void apply_screen_settings(ScreenSetup& setup, SettingLookup lookup, const SettingNames& names);
// The scale setting named, else `otherwise`; a bad value is named on stderr.
int scale_setting(SettingLookup lookup, const char* name, int otherwise);
// The vertical sync setting: presents paced to the display's refresh, at most
// one frame a refresh, unless it is 0 (as fast as the machine can, for
// measuring). Today's machines draw thousands of frames a second, and a screen
// showing one in dozens of them strobes. A bad value is named on stderr.
bool vsync_setting(SettingLookup lookup, const char* name);

}  // namespace platform
