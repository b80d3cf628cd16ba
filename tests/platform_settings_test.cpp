// The hosts' settings: screen formats, display modes, scale and vertical sync,
// as the environment or a page's address gives them.
#include "platform/settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>

using namespace platform;

namespace {

TEST(Settings, Parse)
{
    const std::pair<const char*, PixelFormat> named[] = {
        {"xrgb8888", formats::xrgb8888}, {"xbgr8888", formats::xbgr8888}, {"rgb888", formats::rgb888},
        {"bgr888", formats::bgr888},     {"rgb565", formats::rgb565},     {"bgr565", formats::bgr565},
        {"rgb555", formats::rgb555},     {"bgr555", formats::bgr555},     {"pal8", formats::pal8}};
    for (const auto& [name, format] : named)
        EXPECT_EQ(parse_screen_format(name), format) << name;
    EXPECT_EQ(parse_screen_format("RGB565"), std::nullopt);
    EXPECT_EQ(parse_screen_format(nullptr), std::nullopt);
    const auto modes = parse_display_modes("320x240x32,640x480x16", formats::bgr565);
    ASSERT_TRUE(modes);
    ASSERT_EQ(modes->size(), 2u);
    EXPECT_EQ((*modes)[0].format, formats::xrgb8888);
    EXPECT_EQ((*modes)[1].width, 640);
    EXPECT_EQ((*modes)[1].format, formats::bgr565);  // the desktop's depth keeps its format
    for (const char* bad : {"", "320x240", "320x240x15", "320x240x32,", "320x240x32x1", "ax240x32", "-320x240x32"})
        EXPECT_EQ(parse_display_modes(bad, formats::xrgb8888), std::nullopt) << bad;
    EXPECT_EQ(parse_scale("1"), 1);
    EXPECT_EQ(parse_scale("8"), 8);
    for (const char* bad : {"", "0", "9", "10", "2x", " 2", "-1", "1.5"})
        EXPECT_EQ(parse_scale(bad), std::nullopt) << bad;
    EXPECT_EQ(parse_scale(nullptr), std::nullopt);
}

// Settings looked up by name, as a page's address gives them.
std::map<std::string, std::string> given;
const char* given_setting(const char* name)
{
    const auto found = given.find(name);
    return found != given.end() ? found->second.c_str() : nullptr;
}
constexpr SettingNames page_names{"format", "modes", "scale", "vsync"};

TEST(Settings, BadValuesArePassedOverWhateverTheSource)
{
    given = {{"format", "bgr565"}, {"modes", "320x240x16"}, {"scale", "3"}, {"vsync", "1"}};
    ScreenSetup setup;
    apply_screen_settings(setup, given_setting, page_names);
    EXPECT_EQ(setup.desktop.format, formats::bgr565);
    ASSERT_EQ(setup.modes.size(), 1u);
    EXPECT_EQ(setup.modes[0].format, formats::bgr565);
    EXPECT_EQ(scale_setting(given_setting, page_names.scale, 1), 3);
    EXPECT_TRUE(vsync_setting(given_setting, page_names.vsync));
    given["vsync"] = "0";
    EXPECT_FALSE(vsync_setting(given_setting, page_names.vsync)) << "unpaced only when asked for";
    given.clear();
    EXPECT_TRUE(vsync_setting(given_setting, page_names.vsync)) << "paced by default";
    testing::internal::CaptureStderr();
    for (const char* bad : {"", "2", "on", "10", "01"}) {
        given["vsync"] = bad;
        EXPECT_TRUE(vsync_setting(given_setting, page_names.vsync)) << bad;
    }
    testing::internal::GetCapturedStderr();

    given = {{"format", "bgr5650"}, {"modes", "320x240"}, {"scale", "9"}, {"vsync", "yes"}};
    setup = ScreenSetup{};
    testing::internal::CaptureStderr();
    apply_screen_settings(setup, given_setting, page_names);
    EXPECT_EQ(scale_setting(given_setting, page_names.scale, 2), 2);
    EXPECT_TRUE(vsync_setting(given_setting, page_names.vsync)) << "a bad value keeps the pace";
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(setup.desktop.format, formats::xrgb8888);
    ASSERT_EQ(setup.modes.size(), 3u);  // the default modes
    EXPECT_EQ(setup.modes[2].format, formats::rgb565);
    for (const char* named : {"format=bgr5650", "modes=320x240", "scale=9", "vsync=yes"})
        EXPECT_NE(said.find(named), std::string::npos) << said;
}

}  // namespace
