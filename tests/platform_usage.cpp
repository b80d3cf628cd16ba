// A windowed and a fullscreen display written as the display library writes
// them, against the Win32, DirectDraw and C-runtime names alone. The same file
// is compiled against mingw-w64's real headers, so anything the stand-in
// accepts here the real platform accepts too, at the same values.
#include "platform_usage.h"

#include <cstring>

// The values the display code relies on, checked against both sets of headers.
static_assert(WM_PAINT == 0x000F && WM_CLOSE == 0x0010 && WM_ACTIVATEAPP == 0x001C && WM_SETCURSOR == 0x0020);
static_assert(WM_KEYDOWN == 0x0100 && WM_SYSKEYDOWN == 0x0104 && VK_ESCAPE == 0x1B && VK_F4 == 0x73);
static_assert(VK_F10 == 0x79 && PM_REMOVE == 1 && CS_HREDRAW == 2 && CS_VREDRAW == 1 && SW_SHOWNORMAL == 1);
static_assert((WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX) == 0xCA0000 && WS_POPUP == 0x80000000);
static_assert(SM_CXSCREEN == 0 && SM_CYSCREEN == 1 && SPI_SETSCREENSAVEACTIVE == 17 && SPI_GETSCREENSAVEACTIVE == 16);
static_assert(DDSCL_NORMAL == 8 && (DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) == 0x11);
static_assert(DDSD_CAPS == 1 && (DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH) == 7 && (DDSD_CAPS | DDSD_BACKBUFFERCOUNT) == 0x21);
static_assert((DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY) == 0x4200 && DDSCAPS_OFFSCREENPLAIN == 0x40);
static_assert((DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY) == 0x4218);
static_assert(DDSCAPS_BACKBUFFER == 4 && DDPF_RGB == 0x40 && DDPF_PALETTEINDEXED8 == 0x20 && DDLOCK_WAIT == 1);
static_assert(DDBLT_WAIT == 0x01000000 && (DDFLIP_NOVSYNC | DDFLIP_DONOTWAIT) == 0x28);
static_assert(DD_OK == 0 && DDERR_SURFACELOST == static_cast<HRESULT>(0x887601C2));
static_assert(DDERR_INVALIDPARAMS == static_cast<HRESULT>(0x80070057) && DDERR_GENERIC == static_cast<HRESULT>(0x80004005));
static_assert(DDERR_INVALIDMODE == static_cast<HRESULT>(0x88760078) && DDERR_NOEXCLUSIVEMODE == static_cast<HRESULT>(0x887600E1));
static_assert(DDERR_UNSUPPORTEDMODE == static_cast<HRESULT>(0x8876024E) && DDERR_NOTFLIPPABLE == static_cast<HRESULT>(0x88760246));
static_assert(DDERR_SURFACEBUSY == static_cast<HRESULT>(0x887601AE) && DDERR_NOTLOCKED == static_cast<HRESULT>(0x88760248));
static_assert(DDERR_WRONGMODE == static_cast<HRESULT>(0x8876024B) && DDERR_OUTOFVIDEOMEMORY == static_cast<HRESULT>(0x8876017C));
static_assert(sizeof(DDPIXELFORMAT) == 32 && sizeof(DDSCAPS) == 4 && sizeof(RECT) == 16 && sizeof(POINT) == 8);
static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(BOOL) == 4 && sizeof(HRESULT) == 4);
static_assert(sizeof(WPARAM) == sizeof(void*) && sizeof(LPARAM) == sizeof(void*) && sizeof(LRESULT) == sizeof(void*));

namespace {

typedef HRESULT(WINAPI* DirectDrawCreateProc)(GUID*, LPDIRECTDRAW*, IUnknown*);

struct Usage {
    HWND window;
    int width, height;
    WNDCLASSA window_class;
    HMODULE ddraw_library;
    LPDIRECTDRAW ddraw;
    LPDIRECTDRAWSURFACE primary, offscreen, draw_surface;
    LPDIRECTDRAWCLIPPER clipper;
    DDPIXELFORMAT format;
    int active;
} usage;

unsigned int shift_of(DWORD mask)
{
    unsigned int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// Any RGB format, one pixel at a time: enough for a test of the platform.
DWORD encode(std::uint32_t rgb, const DDPIXELFORMAT& f)
{
    const DWORD channels[3] = {(rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF};
    const DWORD masks[3] = {f.dwRBitMask, f.dwGBitMask, f.dwBBitMask};
    DWORD pixel = 0;
    for (int i = 0; i < 3; ++i) {
        DWORD width = 0;
        for (DWORD m = masks[i] >> shift_of(masks[i]); m & 1; m >>= 1)
            ++width;
        pixel |= ((channels[i] >> (8 - width)) << shift_of(masks[i])) & masks[i];
    }
    return pixel;
}

void convert_rows(const std::uint32_t* pixels, const DDSURFACEDESC& locked)
{
    const int bytes = static_cast<int>(usage.format.dwRGBBitCount / 8);
    BYTE* row = static_cast<BYTE*>(locked.lpSurface);
    for (int y = 0; y < usage.height; ++y, row += locked.lPitch)
        for (int x = 0; x < usage.width; ++x) {
            const DWORD pixel = encode(pixels[y * usage.width + x], usage.format);
            std::memcpy(row + x * bytes, &pixel, static_cast<std::size_t>(bytes));
        }
}

void pump()
{
    MSG msg;
    while (PeekMessageA(&msg, usage.window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void paint()
{
    if (!usage.primary)
        return;
    RECT source = {0, 0, usage.width, usage.height};
    POINT origin = {0, 0};
    RECT client;
    ClientToScreen(usage.window, &origin);
    GetClientRect(usage.window, &client);
    client.left += origin.x;
    client.right += origin.x;
    client.top += origin.y;
    client.bottom += origin.y;
    usage.primary->Blt(&client, usage.offscreen, &source, DDBLT_WAIT, NULL);
}

void close_common()
{
    if (usage.ddraw) {
        usage.ddraw->RestoreDisplayMode();
        usage.ddraw->SetCooperativeLevel(usage.window, DDSCL_NORMAL);
        usage.ddraw->Release();
        usage.ddraw = NULL;
    }
    DestroyWindow(usage.window);
    if (usage.ddraw_library) {
        FreeLibrary(usage.ddraw_library);
        usage.ddraw_library = NULL;
    }
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, NULL, 0);
}

LRESULT CALLBACK windowed_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        paint();
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_CLOSE:
        usage_windowed_close();
        ExitProcess(0);
    case WM_KEYDOWN:
        _ungetch(static_cast<int>(wParam & 0xFF));
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK fullscreen_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        usage_fullscreen_close();
        ExitProcess(0);
    case WM_ACTIVATEAPP:
        usage.active = static_cast<int>(wParam);
        return 0;
    case WM_SETCURSOR:
        SetCursor(NULL);
        return 0;
    case WM_KEYDOWN:
        _ungetch(static_cast<int>(wParam & 0xFF));
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

int bind_ddraw()
{
    usage.ddraw_library = LoadLibraryA("ddraw.dll");
    if (!usage.ddraw_library)
        return 0;
    FARPROC proc = GetProcAddress(usage.ddraw_library, "DirectDrawCreate");
    if (!proc)
        return 0;
    const DirectDrawCreateProc create = reinterpret_cast<DirectDrawCreateProc>(reinterpret_cast<void (*)()>(proc));
    return create(NULL, &usage.ddraw, NULL) >= 0;
}

int read_format()
{
    std::memset(&usage.format, 0, sizeof usage.format);
    usage.format.dwSize = sizeof(DDPIXELFORMAT);
    return usage.primary->GetPixelFormat(&usage.format) >= 0 && (usage.format.dwFlags & DDPF_RGB);
}

}  // namespace

int usage_windowed_open(const char* title, int width, int height)
{
    usage = Usage{};
    usage.width = width;
    usage.height = height;
    if (!bind_ddraw())
        return 0;
    usage.window_class.style = CS_HREDRAW | CS_VREDRAW;
    usage.window_class.lpfnWndProc = windowed_proc;
    usage.window_class.hCursor = LoadCursorA(NULL, IDC_ARROW);
    usage.window_class.lpszClassName = title;
    RegisterClassA(&usage.window_class);
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT outer = {0, 0, width, height};
    AdjustWindowRect(&outer, style, FALSE);
    const int outer_width = outer.right - outer.left, outer_height = outer.bottom - outer.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - outer_width) >> 1;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - outer_height) >> 1;
    usage.window = CreateWindowExA(0, title, title, style, x, y, outer_width, outer_height, NULL, NULL, NULL, NULL);
    ShowWindow(usage.window, SW_SHOWNORMAL);
    if (usage.ddraw->SetCooperativeLevel(usage.window, DDSCL_NORMAL) < 0)
        return 0;
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY;
    if (usage.ddraw->CreateSurface(&desc, &usage.primary, NULL) < 0)
        return 0;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (usage.ddraw->CreateSurface(&desc, &usage.offscreen, NULL) < 0)
        return 0;
    if (usage.ddraw->CreateClipper(0, &usage.clipper, NULL) < 0 || usage.clipper->SetHWnd(0, usage.window) < 0 ||
        usage.primary->SetClipper(usage.clipper) < 0)
        return 0;
    usage.draw_surface = usage.offscreen;
    if (!read_format())
        return 0;
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, NULL, 0);
    return 1;
}

int usage_windowed_update(const std::uint32_t* pixels)
{
    pump();
    usage.primary->Restore();
    usage.offscreen->Restore();
    DDSURFACEDESC locked;
    std::memset(&locked, 0, sizeof locked);
    locked.dwSize = sizeof(DDSURFACEDESC);
    if (usage.draw_surface->Lock(NULL, &locked, DDLOCK_WAIT, NULL) < 0)
        return 0;
    convert_rows(pixels, locked);
    usage.draw_surface->Unlock(locked.lpSurface);
    paint();
    Sleep(0);
    return 1;
}

void usage_windowed_close()
{
    if (usage.offscreen) {
        usage.offscreen->Release();
        usage.offscreen = NULL;
    }
    if (usage.primary) {
        usage.primary->Release();
        usage.primary = NULL;
    }
    close_common();
}

int usage_fullscreen_open(const char* title, int width, int height, int back_buffers)
{
    usage = Usage{};
    usage.width = width;
    usage.height = height;
    if (!bind_ddraw())
        return 0;
    usage.window_class.lpfnWndProc = fullscreen_proc;
    usage.window_class.lpszClassName = title;
    RegisterClassA(&usage.window_class);
    usage.window = CreateWindowExA(0, title, title, WS_POPUP, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    if (usage.ddraw->SetCooperativeLevel(usage.window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) < 0)
        return 0;
    if (usage.ddraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height), 32) < 0 &&
        usage.ddraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height), 24) < 0 &&
        usage.ddraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height), 16) < 0)
        return 0;
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = static_cast<DWORD>(back_buffers);
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
    if (usage.ddraw->CreateSurface(&desc, &usage.primary, NULL) < 0)
        return 0;
    DDSCAPS caps;
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    if (usage.primary->GetAttachedSurface(&caps, &usage.draw_surface) < 0 || !read_format())
        return 0;
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, NULL, 0);
    return 1;
}

int usage_fullscreen_update(const std::uint32_t* pixels)
{
    pump();
    if (!usage.active) {
        Sleep(1);
        return 1;
    }
    usage.primary->Restore();
    DDSURFACEDESC locked;
    std::memset(&locked, 0, sizeof locked);
    locked.dwSize = sizeof(DDSURFACEDESC);
    if (usage.draw_surface->Lock(NULL, &locked, DDLOCK_WAIT, NULL) < 0)
        return 0;
    convert_rows(pixels, locked);
    usage.draw_surface->Unlock(locked.lpSurface);
    usage.primary->Flip(NULL, DDFLIP_NOVSYNC | DDFLIP_DONOTWAIT);
    Sleep(0);
    return 1;
}

void usage_fullscreen_close()
{
    if (usage.primary) {
        usage.primary->Release();
        usage.primary = NULL;
    }
    close_common();
}

int usage_key_poll()
{
    if (!_kbhit())
        return -1;
    return _getch();
}

HWND usage_window() { return usage.window; }
