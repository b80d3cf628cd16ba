// The USER32 and KERNEL32 calls the system makes, with the types and constants
// they need, under their Win32 names and at their Win32 values. Integer widths
// are those of 32-bit Windows: DWORD, LONG, UINT and BOOL stay 32 bits on a
// 64-bit Linux, where `long` is 64.
#pragma once

#include <cstdint>

#define WINAPI
#define CALLBACK
#define TRUE 1
#define FALSE 0

typedef std::uint8_t BYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef std::uint32_t ULONG;
typedef unsigned int UINT;
typedef int BOOL;
typedef WORD ATOM;
typedef std::uintptr_t WPARAM;  // pointer-sized, as in 64-bit Windows
typedef std::intptr_t LPARAM;
typedef std::intptr_t LRESULT;
typedef void* PVOID;
typedef void* LPVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* HANDLE;

// Opaque handle types, distinct from each other as with STRICT.
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef struct HCURSOR__* HCURSOR;
typedef struct HMENU__* HMENU;
typedef HINSTANCE HMODULE;

typedef std::intptr_t(WINAPI* FARPROC)();

#define LOWORD(l) ((WORD)(((std::uintptr_t)(l)) & 0xffff))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)((WORD)(l) | ((DWORD)(WORD)(h) << 16)))
#define MAKEINTRESOURCE(i) ((LPSTR)((std::uintptr_t)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((std::uintptr_t)(r)) >> 16) == 0)

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *LPPOINT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

// Only the members the system sets: nothing here reads the others, nor its size.
typedef struct tagWNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    HCURSOR hCursor;
    LPCSTR lpszClassName;
} WNDCLASSA;

// Messages.
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_ACTIVATEAPP 0x001C
#define WM_SETCURSOR 0x0020
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCOMMAND 0x0112
#define WM_MOUSEMOVE 0x0200

#define SC_CLOSE 0xF060
#define HTCLIENT 1

// Window styles.
#define WS_POPUP 0x80000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_MINIMIZEBOX 0x00020000u

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002

#define SW_SHOWNORMAL 1

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1

#define SPI_GETSCREENSAVEACTIVE 0x0010
#define SPI_SETSCREENSAVEACTIVE 0x0011

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

#define IDC_ARROW MAKEINTRESOURCE(32512)

// Virtual-key codes (F1 to F12 run on from VK_F1); letters and digits are their
// upper-case ASCII codes.
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_F1 0x70
#define VK_F4 0x73
#define VK_F10 0x79
#define VK_F12 0x7B

// USER32
ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass);
HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                            int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam);
LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL WINAPI DestroyWindow(HWND hWnd);
BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
BOOL WINAPI TranslateMessage(const MSG* lpMsg);
LRESULT WINAPI DispatchMessageA(const MSG* lpMsg);
BOOL WINAPI SystemParametersInfoA(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni);
HWND WINAPI GetActiveWindow();
BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString);
HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName);
BOOL WINAPI AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu);
int WINAPI GetSystemMetrics(int nIndex);
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint);
BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect);
HCURSOR WINAPI SetCursor(HCURSOR hCursor);

// KERNEL32
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
BOOL WINAPI FreeLibrary(HMODULE hLibModule);
DWORD WINAPI GetTickCount();
void WINAPI Sleep(DWORD dwMilliseconds);
[[noreturn]] void WINAPI ExitProcess(UINT uExitCode);
