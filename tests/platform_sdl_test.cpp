// The SDL host under SDL_VIDEODRIVER=dummy: its formats, keys, icon and pace; the
// watch on the display connection, on a Wayland socket and an X server of its own.
#include "platform/sdl/host.h"

#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wayland-client.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

// After GoogleTest, whose names Xlib's macros (None, Bool) would take.
#include <X11/Xlib.h>

using namespace platform;

namespace {

const PixelFormat all_rgb[] = {formats::xrgb8888, formats::xbgr8888, formats::rgb888, formats::bgr888,
                               formats::rgb565,   formats::bgr565,   formats::rgb555, formats::bgr555};

// SDL must read each format's bytes as the colours the stand-in stored (give
// or take SDL's own widening of narrow channels: 6-bit 63 may come out 0xFE).
bool near(std::uint32_t a, std::uint32_t b)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int difference = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (difference < -2 || difference > 2)
            return false;
    }
    return true;
}

TEST(SdlHost, TextureFormatsHoldTheSurfaceBytesAsTheyAre)
{
    for (const PixelFormat& format : all_rgb)
        for (const std::uint32_t rgb : {0xFF0000u, 0x00FF00u, 0x0000FFu, 0x123456u}) {
            const std::uint32_t pixel = rgb_to_pixel(rgb, format);
            std::uint8_t bytes[4] = {};
            write_pixel(bytes, format.bytes(), pixel);
            std::uint32_t argb = 0;
            ASSERT_EQ(SDL_ConvertPixels(1, 1, sdl_format_of(format), bytes, 4, SDL_PIXELFORMAT_ARGB8888, &argb, 4), 0);
            EXPECT_PRED2(near, argb & 0xFFFFFF, pixel_to_rgb(pixel, format))
                << SDL_GetPixelFormatName(sdl_format_of(format)) << ' ' << std::hex << rgb;
        }
}

TEST(SdlHost, KeysBecomeVirtualKeyCodes)
{
    const struct {
        SDL_Keycode sdl;
        int vk;
    } cases[] = {{SDLK_a, 0x41},         {SDLK_z, 0x5A},     {SDLK_0, 0x30},        {SDLK_9, 0x39},
                 {SDLK_ESCAPE, VK_ESCAPE}, {SDLK_SPACE, 0x20}, {SDLK_RETURN, 0x0D},   {SDLK_LEFT, VK_LEFT},
                 {SDLK_DOWN, VK_DOWN},   {SDLK_F1, VK_F1},   {SDLK_F10, VK_F10},    {SDLK_F12, VK_F12},
                 {SDLK_LALT, VK_MENU},   {SDLK_CAPSLOCK, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(virtual_key_of(c.sdl), c.vk) << SDL_GetKeyName(c.sdl);

    // Alt combinations and F10 go to the system menu, so they end no demo.
    const struct {
        SDL_Keycode sdl;
        Uint16 mod;
        bool repeat;
        UINT message;
        LPARAM flags;  // bits 29 (Alt) and 30 (a repeat)
    } messages[] = {
        {SDLK_ESCAPE, KMOD_NONE, false, WM_KEYDOWN, 0},       {SDLK_a, KMOD_LSHIFT, true, WM_KEYDOWN, 1 << 30},
        {SDLK_x, KMOD_LALT, false, WM_SYSKEYDOWN, 1 << 29},  {SDLK_F4, KMOD_RALT, false, WM_SYSKEYDOWN, 1 << 29},
        {SDLK_LALT, KMOD_NONE, false, WM_SYSKEYDOWN, 1 << 29}, {SDLK_F10, KMOD_NONE, false, WM_SYSKEYDOWN, 0},
    };
    for (const auto& c : messages) {
        SDL_Keysym key{SDL_GetScancodeFromKey(c.sdl), c.sdl, c.mod, 0};
        const auto message = key_message(key, c.repeat);
        ASSERT_TRUE(message) << SDL_GetKeyName(c.sdl);
        EXPECT_EQ(message->message, c.message) << SDL_GetKeyName(c.sdl);
        EXPECT_EQ(message->wParam, static_cast<WPARAM>(virtual_key_of(c.sdl)));
        EXPECT_EQ(message->lParam, 1 | (key.scancode & 0xFF) << 16 | c.flags) << SDL_GetKeyName(c.sdl);
    }
    EXPECT_FALSE(key_message(SDL_Keysym{SDL_SCANCODE_CAPSLOCK, SDLK_CAPSLOCK, KMOD_NONE, 0}, false));
}

// A 3 x 2 icon of 256 colours: top row palette entries 1, 2, 3, bottom row 4, 5,
// 6, the middle pixel of the top row masked out.
std::vector<unsigned char> small_icon()
{
    std::vector<unsigned char> file;
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            file.push_back(static_cast<unsigned char>(value >> (8 * i)));
    };
    put(0, 2), put(1, 2), put(1, 2);                                   // directory
    put(3, 1), put(2, 1), put(0, 2), put(1, 2), put(8, 2), put(0, 4), put(22, 4);  // entry
    put(40, 4), put(3, 4), put(4, 4), put(1, 2), put(8, 2);            // bitmap header
    for (int i = 0; i < 6; ++i)
        put(0, 4);
    for (std::uint32_t i = 0; i < 256; ++i)
        put(i * 0x030201u, 4);  // B = i, G = 2i, R = 3i
    put(0x00060504, 4), put(0x00030201, 4);  // colour rows, bottom first
    put(0, 4), put(0x40, 4);                 // mask rows
    return file;
}

TEST(SdlHost, IconFilesBecomeSurfaces)
{
    std::vector<unsigned char> file = small_icon();
    SDL_Surface* icon = icon_surface(file.data(), file.size());
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(icon->w, 3);
    ASSERT_EQ(icon->h, 2);
    const auto pixel = [&](int x, int y) {
        return static_cast<const std::uint32_t*>(icon->pixels)[y * icon->pitch / 4 + x];
    };
    const auto opaque = [](std::uint32_t i) { return 0xFF000000u | (3 * i & 0xFF) << 16 | (2 * i & 0xFF) << 8 | i; };
    EXPECT_EQ(pixel(0, 0), opaque(1));
    EXPECT_EQ(pixel(1, 0), opaque(2) & 0xFFFFFF);  // masked: transparent
    EXPECT_EQ(pixel(2, 0), opaque(3));
    EXPECT_EQ(pixel(0, 1), opaque(4));
    EXPECT_EQ(pixel(2, 1), opaque(6));
    SDL_FreeSurface(icon);

    // Cut short, or of another depth: no icon, nothing read past the end.
    EXPECT_EQ(icon_surface(file.data(), file.size() - 1), nullptr);
    file[22 + 14] = 4;
    EXPECT_EQ(icon_surface(file.data(), file.size()), nullptr);

    // The rings icon built into the host.
    icon = icon_surface(rings_icon, rings_icon_size);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->w, 31);
    EXPECT_EQ(icon->h, 25);
    SDL_FreeSurface(icon);
}

// The frames a demo hands over faster than the display refreshes, then after a
// stall: one a period, and no run of frames to catch up.
TEST(SdlHost, PaceShowsAtMostOneFrameARefresh)
{
    using namespace std::chrono_literals;
    const RefreshPace::Clock::time_point start{1000ms};
    RefreshPace pace(10ms);
    const struct {
        std::chrono::milliseconds ready, shown;
    } frames[] = {{0ms, 0ms}, {1ms, 10ms}, {11ms, 20ms}, {21ms, 30ms}, {57ms, 57ms}, {58ms, 60ms}, {61ms, 70ms}};
    for (const auto& frame : frames)
        EXPECT_EQ(pace.shown_at(start + frame.ready) - start, RefreshPace::Clock::duration(frame.shown))
            << "frame ready at " << frame.ready.count() << " ms";
}

// A compositor that goes away while the program waits elsewhere (inside SDL,
// which never comes back from some of its waits on a broken connection) ends
// the program; a connection closed after the watch has stopped, as at a normal
// end, does not.
TEST(SdlHostDeathTest, AWaylandConnectionThatHangsUpEndsTheProgram)
{
    const auto run = [](bool stop_first) {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            std::_Exit(2);
        wl_display* display = wl_display_connect_to_fd(ends[0]);
        watch_wayland_connection(display);
        if (stop_first) {  // as the host does before SDL disconnects
            stop_watching_display_connection();
            wl_display_disconnect(display);
        }
        close(ends[1]);
        std::this_thread::sleep_for(std::chrono::seconds(stop_first ? 1 : 20));
        std::exit(0);
    };
    EXPECT_EXIT(run(false), testing::ExitedWithCode(display_lost_status), "the display connection was lost\n");
    EXPECT_EXIT(run(true), testing::ExitedWithCode(0), "^$");
}

// An X server of a death test's own (Xvfb, gone with the test's child), connected
// to; the child ends with 4 where none starts.
Display* own_x_server(pid_t& server)
{
    int told[2];
    if (pipe(told) != 0)
        std::_Exit(4);
    server = fork();
    if (server == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(told[1], 3);
        // Quiet: while it looks for a free display it reports each one another X
        // server took meanwhile, and the death tests read this process's stderr.
        dup2(open("/dev/null", O_WRONLY), 2);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", nullptr);
        std::_Exit(127);
    }
    close(told[1]);
    std::string display = ":";
    char digit = 0;
    while (read(told[0], &digit, 1) == 1 && digit != '\n')
        display += digit;
    Display* connection = display.size() > 1 ? XOpenDisplay(display.c_str()) : nullptr;
    if (!connection)
        std::_Exit(4);
    return connection;
}

// An X server that goes away while the program writes to it ends the program as
// one that goes away while it reads: with the lost-display status, never a death
// by SIGPIPE. A SIGPIPE from another pipe still ends it as it always did.
TEST(SdlHostDeathTest, AnXServerGoneMidWriteEndsTheProgram)
{
    if (std::system("command -v Xvfb >/dev/null") != 0)
        GTEST_SKIP() << "no Xvfb to run";
    const auto write_to_gone_server = [] {
        pid_t server = -1;
        Display* display = own_x_server(server);
        watch_x11_connection(display);
        kill(server, SIGKILL);
        waitpid(server, nullptr, 0);
        // Straight to the socket, as libxcb writes while another thread reads the
        // connection (Xlib alone would read first, see the end and report it).
        const char request = 0;
        for (;;)
            [[maybe_unused]] const ssize_t written = write(ConnectionNumber(display), &request, 1);
    };
    EXPECT_EXIT(write_to_gone_server(), testing::ExitedWithCode(display_lost_status),
                "the display connection was lost\n");
    const auto write_to_closed_pipe = [] {
        pid_t server = -1;
        watch_x11_connection(own_x_server(server));
        int ends[2];
        if (pipe(ends) != 0)
            std::_Exit(2);
        close(ends[0]);
        [[maybe_unused]] const ssize_t written = write(ends[1], "x", 1);
        std::_Exit(3);
    };
    EXPECT_EXIT(write_to_closed_pipe(), testing::KilledBySignal(SIGPIPE), "^$");
}

}  // namespace
