// The values the display code relies on, checked against the stand-in's headers and,
// by a test that compiles this file with mingw-w64, against the real ones.
#include "platform/platform.h"

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
