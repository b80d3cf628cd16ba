// DirectDraw on the fake host, in the manner of DirectDraw's conformance tests:
// each call's exact result, then its effect on the screen and the objects.
#include "platform_fixture.h"

#include <cstring>

namespace {

using DirectDraw = PlatformTest;

DDSURFACEDESC desc(DWORD flags, DWORD caps, DWORD width = 0, DWORD height = 0, DWORD back_buffers = 0)
{
    DDSURFACEDESC d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof(DDSURFACEDESC);
    d.dwFlags = flags;
    d.dwWidth = width;
    d.dwHeight = height;
    d.dwBackBufferCount = back_buffers;
    d.ddsCaps.dwCaps = caps;
    return d;
}

const DDSURFACEDESC primary_desc = desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY);
const DWORD chain_caps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;

LPDIRECTDRAW create()
{
    LPDIRECTDRAW ddraw = nullptr;
    EXPECT_EQ(DirectDrawCreate(nullptr, &ddraw, nullptr), DD_OK);
    return ddraw;
}

LPDIRECTDRAWSURFACE surface(LPDIRECTDRAW ddraw, DDSURFACEDESC d)
{
    LPDIRECTDRAWSURFACE made = nullptr;
    EXPECT_EQ(ddraw->CreateSurface(&d, &made, nullptr), DD_OK);
    return made;
}

LPDIRECTDRAWSURFACE offscreen(LPDIRECTDRAW ddraw, DWORD width, DWORD height)
{
    return surface(ddraw, desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, width, height));
}

// Fills a surface with the stored pixel value (x, y) -> pixel.
template <class Pixel>
void paint(LPDIRECTDRAWSURFACE target, Pixel pixel)
{
    DDSURFACEDESC locked = desc(0, 0);
    ASSERT_EQ(target->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    const int bytes = static_cast<int>(locked.ddpfPixelFormat.dwRGBBitCount / 8);
    for (DWORD y = 0; y < locked.dwHeight; ++y)
        for (DWORD x = 0; x < locked.dwWidth; ++x) {
            const std::uint32_t value = pixel(static_cast<int>(x), static_cast<int>(y));
            std::memcpy(static_cast<BYTE*>(locked.lpSurface) + y * locked.lPitch + x * bytes, &value,
                        static_cast<std::size_t>(bytes));
        }
    ASSERT_EQ(target->Unlock(locked.lpSurface), DD_OK);
}

std::uint32_t shown(int x, int y) { return fake_screen_rgb()[static_cast<std::size_t>(y * fake_display_mode().width + x)]; }

// A window at (100, 50) whose 4 x 3 client area starts at (103, 72).
struct Windowed {
    HWND window = make_window("windowed", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 100, 50, 10, 28);
    LPDIRECTDRAW ddraw = create();
    LPDIRECTDRAWSURFACE primary = nullptr;
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    Windowed()
    {
        ShowWindow(window, SW_SHOWNORMAL);
        EXPECT_EQ(ddraw->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
        primary = surface(ddraw, primary_desc);
        EXPECT_EQ(ddraw->CreateClipper(0, &clipper, nullptr), DD_OK);
        EXPECT_EQ(clipper->SetHWnd(0, window), DD_OK);
        EXPECT_EQ(primary->SetClipper(clipper), DD_OK);
    }
    ~Windowed()
    {
        ddraw->Release();
        DestroyWindow(window);
    }
};

TEST_F(DirectDraw, CreateChecksItsArguments)
{
    LPDIRECTDRAW ddraw = nullptr;
    unsigned char guid[16]{};  // any driver's identity but the default's
    EXPECT_EQ(DirectDrawCreate(nullptr, nullptr, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DirectDrawCreate(reinterpret_cast<GUID*>(guid), &ddraw, nullptr), DDERR_INVALIDDIRECTDRAWGUID);
    EXPECT_EQ(DirectDrawCreate(nullptr, &ddraw, reinterpret_cast<IUnknown*>(guid)), DDERR_INVALIDPARAMS);
    EXPECT_EQ(ddraw, nullptr);
    ddraw = create();
    EXPECT_EQ(fake_live().directdraws, 1);
    EXPECT_EQ(ddraw->Release(), 0u);
}

TEST_F(DirectDraw, CooperativeLevels)
{
    const HWND gone = make_window("gone", WS_POPUP);
    DestroyWindow(gone);
    const HWND window = make_window("coop", WS_POPUP);
    LPDIRECTDRAW ddraw = create();
    LPDIRECTDRAW second = nullptr;
    EXPECT_EQ(DirectDrawCreate(nullptr, &second, nullptr), DDERR_DIRECTDRAWALREADYCREATED);  // one per process
    const struct {
        HWND window;
        DWORD flags;
        HRESULT result;
    } cases[] = {
        {nullptr, DDSCL_NORMAL, DD_OK},
        {window, DDSCL_NORMAL, DD_OK},
        {window, DDSCL_EXCLUSIVE, DDERR_INVALIDPARAMS},
        {window, DDSCL_FULLSCREEN, DDERR_INVALIDPARAMS},
        {window, DDSCL_NORMAL | DDSCL_EXCLUSIVE, DDERR_INVALIDPARAMS},
        {nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN, DDERR_INVALIDPARAMS},
        {gone, DDSCL_NORMAL, DDERR_INVALIDPARAMS},
        {window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN, DD_OK},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ddraw->SetCooperativeLevel(c.window, c.flags), c.result) << std::hex << c.flags;
    // The exclusive window covers the screen, is active and told so.
    EXPECT_EQ(GetActiveWindow(), window);
    EXPECT_TRUE(fake_window(window).visible);
    EXPECT_EQ(fake_window(window).client.right, 1024);
    EXPECT_EQ(messages_of(pump(window)), (std::vector<UINT>{WM_ACTIVATEAPP, WM_PAINT}));
    EXPECT_EQ(ddraw->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    ddraw->Release();
    DestroyWindow(window);
}

TEST_F(DirectDraw, DisplayModesNeedExclusiveLevelAndAnOfferedMode)
{
    const HWND window = make_window("modes", WS_POPUP);
    LPDIRECTDRAW ddraw = create();
    EXPECT_EQ(ddraw->SetDisplayMode(320, 240, 32), DDERR_NOEXCLUSIVEMODE);
    ddraw->SetCooperativeLevel(window, DDSCL_NORMAL);
    EXPECT_EQ(ddraw->SetDisplayMode(320, 240, 32), DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(ddraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    const struct {
        DWORD width, height, bits;
        HRESULT result;
        FakeFormat format;
    } cases[] = {
        {320, 240, 32, DD_OK, fake_xrgb8888}, {320, 240, 24, DD_OK, fake_rgb888},
        {320, 240, 16, DD_OK, fake_rgb565},   {320, 240, 8, DDERR_INVALIDMODE, fake_rgb565},
        {640, 480, 32, DDERR_INVALIDMODE, fake_rgb565},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ddraw->SetDisplayMode(c.width, c.height, c.bits), c.result) << c.bits;
        EXPECT_EQ(fake_display_format(), c.format) << c.bits;
    }
    EXPECT_EQ(fake_display_mode(), (FakeMode{320, 240, 16}));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
    EXPECT_EQ(fake_window(window).client.bottom, 240);  // follows the mode
    EXPECT_EQ(ddraw->RestoreDisplayMode(), DD_OK);
    EXPECT_EQ(fake_display_mode(), (FakeMode{1024, 768, 32}));
    EXPECT_EQ(shown(0, 0), 0x00008080u);  // the desktop again
    EXPECT_EQ(ddraw->RestoreDisplayMode(), DD_OK);  // nothing to restore
    ddraw->SetDisplayMode(320, 240, 24);
    ddraw->Release();  // releasing restores the mode too
    EXPECT_EQ(fake_display_mode(), (FakeMode{1024, 768, 32}));
    DestroyWindow(window);
}

TEST_F(DirectDraw, ModeOfTheDesktopDepthKeepsTheDesktopFormat)
{
    FakeScreen screen;
    screen.format = fake_bgr555;
    fake_reset(screen);
    const HWND window = make_window("bgr", WS_POPUP);
    LPDIRECTDRAW ddraw = create();
    ddraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    EXPECT_EQ(ddraw->SetDisplayMode(320, 240, 16), DD_OK);
    EXPECT_EQ(fake_display_format(), fake_bgr555);
    ddraw->Release();
    DestroyWindow(window);
}

TEST_F(DirectDraw, CreateSurfaceRefusals)
{
    const HWND window = make_window("refusals", WS_POPUP);
    LPDIRECTDRAW ddraw = create();
    LPDIRECTDRAWSURFACE made = nullptr;
    DDSURFACEDESC d = primary_desc;
    EXPECT_EQ(ddraw->CreateSurface(&d, &made, nullptr), DDERR_NOCOOPERATIVELEVELSET);
    ddraw->SetCooperativeLevel(window, DDSCL_NORMAL);
    DDSURFACEDESC small = primary_desc;
    small.dwSize = 108 - 4;
    const DDSURFACEDESC chain = desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT, chain_caps, 0, 0, 2);
    const struct {
        DDSURFACEDESC d;
        HRESULT result;
    } cases[] = {
        {small, DDERR_INVALIDPARAMS},
        {desc(0, DDSCAPS_PRIMARYSURFACE), DDERR_INVALIDPARAMS},
        {desc(DDSD_CAPS, 0), DDERR_INVALIDCAPS},
        {chain, DDERR_NOEXCLUSIVEMODE},
        {desc(DDSD_CAPS | DDSD_WIDTH, DDSCAPS_OFFSCREENPLAIN, 10), DDERR_INVALIDPARAMS},
        {desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, 0, 10), DDERR_INVALIDPARAMS},
    };
    for (const auto& c : cases) {
        DDSURFACEDESC copy = c.d;
        EXPECT_EQ(ddraw->CreateSurface(&copy, &made, nullptr), c.result) << std::hex << c.d.dwFlags << ' ' << c.d.ddsCaps.dwCaps;
    }
    EXPECT_EQ(fake_live().surfaces, 0);
    LPDIRECTDRAWSURFACE primary = surface(ddraw, primary_desc);
    EXPECT_EQ(ddraw->CreateSurface(&d, &made, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
    EXPECT_EQ(primary->Release(), 0u);

    ddraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    const struct {
        DWORD flags, count;
        HRESULT result;
    } chains[] = {{DDSD_CAPS, 2, DDERR_INVALIDPARAMS},
                  {DDSD_CAPS | DDSD_BACKBUFFERCOUNT, 0, DDERR_INVALIDPARAMS},
                  {DDSD_CAPS | DDSD_BACKBUFFERCOUNT, 4, DDERR_OUTOFVIDEOMEMORY}};
    for (const auto& c : chains) {
        DDSURFACEDESC copy = desc(c.flags, chain_caps, 0, 0, c.count);
        EXPECT_EQ(ddraw->CreateSurface(&copy, &made, nullptr), c.result) << c.count;
    }
    EXPECT_EQ(fake_live().surfaces, 0);
    ddraw->Release();
    DestroyWindow(window);
}

// Every screen format: the surfaces share it, report it, and what is written
// in it reaches the screen as the same colours.
TEST_F(DirectDraw, SurfacesTakeTheScreenFormat)
{
    const struct {
        FakeFormat format;
        std::uint32_t white, red;
    } cases[] = {
        {fake_xrgb8888, 0xFFFFFF, 0xFF0000}, {fake_xbgr8888, 0xFFFFFF, 0x0000FF}, {fake_rgb888, 0xFFFFFF, 0xFF0000},
        {fake_bgr888, 0xFFFFFF, 0x0000FF},   {fake_rgb565, 0xFFFF, 0xF800},       {fake_bgr565, 0xFFFF, 0x001F},
        {fake_rgb555, 0x7FFF, 0x7C00},       {fake_bgr555, 0x7FFF, 0x001F},
    };
    for (const auto& c : cases) {
        FakeScreen screen;
        screen.width = 128;
        screen.height = 96;
        screen.format = c.format;
        fake_reset(screen);
        {
            Windowed display;
            LPDIRECTDRAWSURFACE picture = offscreen(display.ddraw, 4, 3);
            DDPIXELFORMAT format{};
            format.dwSize = sizeof format;
            ASSERT_EQ(display.primary->GetPixelFormat(&format), DD_OK);
            EXPECT_EQ(format.dwFlags, static_cast<DWORD>(DDPF_RGB));
            EXPECT_EQ(format.dwRGBBitCount, c.format.bits);
            EXPECT_EQ(format.dwRBitMask, c.format.red);
            EXPECT_EQ(format.dwGBitMask, c.format.green);
            EXPECT_EQ(format.dwBBitMask, c.format.blue);
            DDSURFACEDESC locked = desc(0, 0);
            ASSERT_EQ(picture->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
            EXPECT_GT(locked.lPitch, static_cast<LONG>(4 * c.format.bits / 8));
            EXPECT_EQ(locked.dwWidth, 4u);
            EXPECT_EQ(locked.ddpfPixelFormat.dwRBitMask, c.format.red);
            picture->Unlock(nullptr);
            paint(picture, [&](int x, int) { return x < 2 ? c.white : c.red; });
            RECT client{103, 72, 107, 75};
            EXPECT_EQ(display.primary->Blt(&client, picture, nullptr, DDBLT_WAIT, nullptr), DD_OK);
            EXPECT_EQ(shown(103, 72), 0xFFFFFFu) << c.format.bits;
            EXPECT_EQ(shown(105, 74), 0xFF0000u) << c.format.bits;
            EXPECT_FALSE(fake_slack_touched());
        }
        EXPECT_EQ(fake_live(), (FakeCounts{}));
    }
}

TEST_F(DirectDraw, PaletteScreenIsNotRgb)
{
    FakeScreen screen;
    screen.format = fake_pal8;
    fake_reset(screen);
    Windowed display;
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    ASSERT_EQ(display.primary->GetPixelFormat(&format), DD_OK);
    EXPECT_EQ(format.dwFlags & DDPF_RGB, 0u);
    EXPECT_EQ(format.dwFlags, static_cast<DWORD>(DDPF_PALETTEINDEXED8));
    EXPECT_EQ(format.dwRGBBitCount, 8u);
    format.dwSize = 28;
    EXPECT_EQ(display.primary->GetPixelFormat(&format), DDERR_INVALIDPARAMS);
}

TEST_F(DirectDraw, LockAndUnlock)
{
    Windowed display;
    LPDIRECTDRAWSURFACE picture = offscreen(display.ddraw, 8, 4);
    DDSURFACEDESC locked = desc(0, 0);
    locked.dwSize = 108;  // the 32-bit size: refused where a pointer is 8 bytes
    if (sizeof(DDSURFACEDESC) != 108) {
        EXPECT_EQ(picture->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    }
    locked.dwSize = sizeof locked;
    EXPECT_EQ(picture->Unlock(nullptr), DDERR_NOTLOCKED);
    RECT part{1, 2, 3, 4};
    EXPECT_EQ(picture->Lock(&part, &locked, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);  // whole surfaces only
    ASSERT_EQ(picture->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(locked.dwFlags & (DDSD_PITCH | DDSD_LPSURFACE), static_cast<DWORD>(DDSD_PITCH | DDSD_LPSURFACE));
    void* const whole = locked.lpSurface;
    EXPECT_EQ(picture->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(display.primary->Blt(nullptr, picture, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(picture->Unlock(static_cast<BYTE*>(whole) + 4), DDERR_NOTLOCKED);
    EXPECT_EQ(picture->Unlock(whole), DD_OK);
}

TEST_F(DirectDraw, WindowedBltCopiesIntoTheVisibleClientArea)
{
    FakeScreen screen;
    screen.width = 106;
    screen.height = 74;  // the client area (103, 72)-(107, 75) crosses the corner
    fake_reset(screen);
    Windowed display;
    LPDIRECTDRAWSURFACE picture = offscreen(display.ddraw, 4, 3);
    paint(picture, [](int x, int y) { return 0x010000u * static_cast<std::uint32_t>(1 + x + 4 * y); });
    RECT client{103, 72, 107, 75};
    EXPECT_EQ(display.primary->Blt(&client, picture, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(shown(103, 72), 0x010000u);
    EXPECT_EQ(shown(105, 73), 0x070000u);
    EXPECT_EQ(shown(102, 72), 0x008080u);  // outside the client area
    EXPECT_FALSE(fake_slack_touched());
}

TEST_F(DirectDraw, BltStretchesToTheDestination)
{
    Windowed display;
    LPDIRECTDRAWSURFACE picture = offscreen(display.ddraw, 2, 1);
    paint(picture, [](int x, int) { return x ? 0x0000FFu : 0xFF0000u; });
    RECT twice{103, 72, 107, 74};
    ASSERT_EQ(display.primary->Blt(&twice, picture, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ((std::vector<std::uint32_t>{shown(103, 72), shown(104, 72), shown(105, 72), shown(106, 73)}),
              (std::vector<std::uint32_t>{0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF}));
}

// Every blit against a pixel-by-pixel reference: odd sizes, every pixel width,
// stretched up and down, clipped by the client area and the screen's edges.
TEST_F(DirectDraw, BltMatchesThePixelByPixelCopy)
{
    const struct {
        FakeFormat format;
        int screen_width, screen_height;
        RECT client, to, from;  // from empty: the whole source
        int source_width, source_height;
    } cases[] = {
        {fake_rgb888, 40, 30, {5, 24, 12, 29}, {5, 24, 12, 29}, {2, 1, 9, 6}, 10, 8},
        {fake_rgb565, 40, 30, {33, 26, 44, 33}, {33, 26, 44, 33}, {}, 11, 7},
        {fake_bgr888, 40, 30, {-4, -2, 3, 3}, {-4, -2, 3, 3}, {}, 3, 2},
        {fake_pal8, 40, 30, {10, 22, 17, 27}, {10, 22, 17, 27}, {}, 3, 2},
        {fake_bgr555, 40, 30, {3, 25, 7, 28}, {3, 25, 7, 28}, {1, 2, 8, 7}, 9, 7},
        {fake_xbgr8888, 40, 30, {20, 23, 25, 30}, {18, 21, 27, 31}, {}, 5, 4},
        {fake_xrgb8888, 40, 30, {20, 23, 29, 30}, {18, 21, 27, 31}, {}, 9, 10},
    };
    for (const auto& c : cases) {
        FakeScreen screen;
        screen.width = c.screen_width;
        screen.height = c.screen_height;
        screen.format = c.format;
        fake_reset(screen);
        HWND window = make_window("odd", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, c.client.left - 3,
                                  c.client.top - 22, c.client.right - c.client.left + 6,
                                  c.client.bottom - c.client.top + 25);
        ShowWindow(window, SW_SHOWNORMAL);
        LPDIRECTDRAW ddraw = create();
        ASSERT_EQ(ddraw->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
        LPDIRECTDRAWSURFACE primary = surface(ddraw, primary_desc);
        LPDIRECTDRAWCLIPPER clipper = nullptr;
        ASSERT_EQ(ddraw->CreateClipper(0, &clipper, nullptr), DD_OK);
        ASSERT_EQ(clipper->SetHWnd(0, window), DD_OK);
        ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
        LPDIRECTDRAWSURFACE picture =
            offscreen(ddraw, static_cast<DWORD>(c.source_width), static_cast<DWORD>(c.source_height));
        const std::uint32_t mask = c.format.bits == 32 ? 0xFFFFFFu : (1u << c.format.bits) - 1;
        const auto source = [&](int x, int y) { return static_cast<std::uint32_t>(1 + x * 37 + y * 1009) & mask; };
        paint(picture, source);
        std::vector<std::uint32_t> expected = fake_screen_pixels();

        const bool whole = c.from.right == 0;
        RECT to = c.to, from = whole ? RECT{0, 0, c.source_width, c.source_height} : c.from;
        const auto inside = [](const RECT& r, LONG x, LONG y) {
            return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        };
        for (LONG y = std::max(to.top, LONG{0}); y < std::min(to.bottom, static_cast<LONG>(c.screen_height)); ++y)
            for (LONG x = std::max(to.left, LONG{0}); x < std::min(to.right, static_cast<LONG>(c.screen_width)); ++x)
                if (inside(c.client, x, y))
                    expected[static_cast<std::size_t>(y * c.screen_width + x)] =
                        source(from.left + (x - to.left) * (from.right - from.left) / (to.right - to.left),
                               from.top + (y - to.top) * (from.bottom - from.top) / (to.bottom - to.top));
        EXPECT_EQ(primary->Blt(&to, picture, whole ? nullptr : &from, DDBLT_WAIT, nullptr), DD_OK);
        EXPECT_EQ(fake_screen_pixels(), expected) << c.format.bits << "-bit, to " << c.to.left << ',' << c.to.top;
        EXPECT_FALSE(fake_slack_touched());
        ddraw->Release();
        DestroyWindow(window);
    }
}

TEST_F(DirectDraw, BltRefusals)
{
    Windowed display;
    LPDIRECTDRAWSURFACE picture = offscreen(display.ddraw, 4, 3);
    RECT client{103, 72, 107, 75}, empty{103, 72, 103, 72}, too_big{0, 0, 5, 3};
    EXPECT_EQ(display.primary->Blt(&client, nullptr, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(display.primary->Blt(&empty, picture, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(display.primary->Blt(&client, picture, &too_big, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    // Without a clipper the destination must lie on the surface.
    RECT off_screen{1022, 0, 1026, 3};
    EXPECT_EQ(picture->Blt(&off_screen, picture, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    LPDIRECTDRAWCLIPPER unset = nullptr;
    display.ddraw->CreateClipper(0, &unset, nullptr);
    EXPECT_EQ(display.primary->SetClipper(unset), DD_OK);
    EXPECT_EQ(display.primary->Blt(&client, picture, nullptr, DDBLT_WAIT, nullptr), DDERR_NOCLIPLIST);
    EXPECT_EQ(display.clipper->SetHWnd(1, display.window), DDERR_INVALIDPARAMS);
}

TEST_F(DirectDraw, MinimizedWindowGetsNothing)
{
    Windowed display;
    LPDIRECTDRAWSURFACE picture = offscreen(display.ddraw, 4, 3);
    paint(picture, [](int, int) { return 0xFFFFFFu; });
    fake_minimize(true);
    POINT origin{0, 0};
    RECT client{};
    ClientToScreen(display.window, &origin);
    GetClientRect(display.window, &client);
    EXPECT_EQ(client.right, 0);
    client.left += origin.x;
    client.right += origin.x;
    client.top += origin.y;
    client.bottom += origin.y;
    EXPECT_EQ(display.primary->Blt(&client, picture, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(shown(103, 72), 0x008080u);
}

TEST_F(DirectDraw, FlipShowsTheBackBufferAndRotatesBehindFixedReferences)
{
    for (const DWORD count : {1u, 2u}) {
        fake_reset();
        const HWND window = make_window("flip", WS_POPUP);
        LPDIRECTDRAW ddraw = create();
        ASSERT_EQ(ddraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
        ASSERT_EQ(ddraw->SetDisplayMode(320, 240, 32), DD_OK);
        LPDIRECTDRAWSURFACE front = surface(ddraw, desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT, chain_caps, 0, 0, count));
        EXPECT_EQ(fake_live().surfaces, static_cast<int>(count) + 1);
        DDSCAPS caps{DDSCAPS_BACKBUFFER};
        LPDIRECTDRAWSURFACE back = nullptr;
        ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
        LPDIRECTDRAWSURFACE none = nullptr;
        EXPECT_EQ(back->GetAttachedSurface(&caps, &none), DDERR_NOTFOUND);
        EXPECT_EQ(back->Flip(nullptr, DDFLIP_NOVSYNC), DDERR_NOTFLIPPABLE);

        std::vector<void*> memory;
        for (std::uint32_t frame = 1; frame <= 4; ++frame) {
            DDSURFACEDESC locked = desc(0, 0);
            ASSERT_EQ(back->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
            memory.push_back(locked.lpSurface);
            EXPECT_EQ(front->Flip(nullptr, DDFLIP_NOVSYNC | DDFLIP_DONOTWAIT), DDERR_SURFACEBUSY);
            back->Unlock(locked.lpSurface);
            paint(back, [frame](int, int) { return frame * 0x111111u; });
            EXPECT_EQ(front->Flip(nullptr, DDFLIP_NOVSYNC | DDFLIP_DONOTWAIT), DD_OK);
            EXPECT_EQ(shown(0, 0), frame * 0x111111u);
            EXPECT_EQ(shown(319, 239), frame * 0x111111u);
        }
        // count + 1 buffers take turns behind the back buffer's reference.
        EXPECT_NE(memory[0], memory[1]);
        EXPECT_EQ(memory[0] == memory[2], count == 1);
        EXPECT_EQ(memory[0] == memory[3], count == 2);
        EXPECT_FALSE(fake_slack_touched());
        EXPECT_EQ(front->Release(), 0u);  // the chain goes with its front
        EXPECT_EQ(fake_live().surfaces, 0);
        ddraw->Release();
        DestroyWindow(window);
    }
}

TEST_F(DirectDraw, LostSurfacesComeBackWithRestore)
{
    Windowed display;
    LPDIRECTDRAWSURFACE picture = offscreen(display.ddraw, 4, 3);
    fake_lose_surfaces();
    DDSURFACEDESC locked = desc(0, 0);
    EXPECT_EQ(picture->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(display.primary->Blt(nullptr, picture, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(display.primary->Restore(), DD_OK);
    EXPECT_EQ(display.primary->Blt(nullptr, picture, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(picture->Restore(), DD_OK);
    EXPECT_EQ(picture->Restore(), DD_OK);
    EXPECT_EQ(picture->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    picture->Unlock(nullptr);
}

TEST_F(DirectDraw, ExclusiveProgramLosesItsChainWithTheForeground)
{
    const HWND window = make_window("alt-tab", WS_POPUP);
    LPDIRECTDRAW ddraw = create();
    ddraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    ddraw->SetDisplayMode(320, 240, 16);
    LPDIRECTDRAWSURFACE front = surface(ddraw, desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT, chain_caps, 0, 0, 1));
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    LPDIRECTDRAWSURFACE back = nullptr;
    front->GetAttachedSurface(&caps, &back);
    fake_activate(false);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_NOVSYNC), DDERR_SURFACELOST);
    fake_activate(true);
    EXPECT_EQ(front->Restore(), DD_OK);  // restores the back buffer with it
    DDSURFACEDESC locked = desc(0, 0);
    EXPECT_EQ(back->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    back->Unlock(nullptr);
    // Made for another mode: it cannot come back in this one.
    ddraw->SetDisplayMode(320, 240, 32);
    EXPECT_EQ(front->Restore(), DDERR_WRONGMODE);
    ddraw->Release();
    DestroyWindow(window);
}

TEST_F(DirectDraw, ReleasingTheObjectReleasesWhatItMade)
{
    const HWND window = make_window("owner");
    LPDIRECTDRAW ddraw = create();
    ddraw->SetCooperativeLevel(window, DDSCL_NORMAL);
    LPDIRECTDRAWSURFACE primary = surface(ddraw, primary_desc);
    offscreen(ddraw, 8, 8);
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    ddraw->CreateClipper(0, &clipper, nullptr);
    primary->SetClipper(clipper);
    EXPECT_EQ(clipper->Release(), 0u);  // counted only: it goes with the DirectDraw object
    EXPECT_EQ(fake_live(), (FakeCounts{1, 2, 1, 1, 0}));
    EXPECT_EQ(ddraw->Release(), 0u);
    EXPECT_EQ(fake_live(), (FakeCounts{1, 0, 0, 0, 0}));
    DestroyWindow(window);
}

TEST_F(DirectDraw, InjectedFailureHasNoEffect)
{
    Windowed display;
    fake_fail("IDirectDraw::CreateSurface", 2, DDERR_OUTOFVIDEOMEMORY);  // the first was the primary
    LPDIRECTDRAWSURFACE made = nullptr;
    DDSURFACEDESC d = desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, 4, 4);
    EXPECT_EQ(display.ddraw->CreateSurface(&d, &made, nullptr), DDERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(fake_live().surfaces, 1);
    EXPECT_EQ(display.ddraw->CreateSurface(&d, &made, nullptr), DD_OK);
    fake_journal_clear();
    DDSURFACEDESC locked = desc(0, 0);
    made->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr);
    made->Unlock(locked.lpSurface);
    EXPECT_EQ(fake_journal(), (std::vector<FakeCall>{
                                  {"IDirectDrawSurface::Lock", "surface#2, NULL, {dwSize=" +
                                                                   std::to_string(sizeof(DDSURFACEDESC)) +
                                                                   "}, 0x1, NULL",
                                   "DD_OK"},
                                  {"IDirectDrawSurface::Unlock", "surface#2, ptr", "DD_OK"}}));
}

// A call that makes an object journals it after its DD_OK; a forced DD_OK made nothing.
TEST_F(DirectDraw, JournalNamesWhatACallMade)
{
    Windowed display;
    DDSURFACEDESC d = desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, 4, 4);
    fake_fail("IDirectDraw::CreateSurface", 3, DD_OK);  // after the primary and the next
    fake_journal_clear();
    LPDIRECTDRAWSURFACE made = nullptr, forced = nullptr;
    EXPECT_EQ(display.ddraw->CreateSurface(&d, &made, nullptr), DD_OK);
    EXPECT_EQ(display.ddraw->CreateSurface(&d, &forced, nullptr), DD_OK);
    EXPECT_EQ(forced, nullptr);
    ASSERT_EQ(fake_journal().size(), 2u);
    EXPECT_EQ(fake_journal()[0].result, "DD_OK surface#2");
    EXPECT_EQ(fake_journal()[1].result, "DD_OK");
    made->Release();
}

}  // namespace
