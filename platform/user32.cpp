// USER32: window classes and windows, the message queue, the title, the cursor
// and the screensaver setting. Messages are posted, never sent, except WM_CLOSE
// from the default handling of the system menu's close command; creation and
// destruction send none.
#include "core.h"
#include "journal.h"

#include <algorithm>
#include <cctype>

using namespace platform;

namespace {

std::string lower(const char* name)
{
    std::string result(name);
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

bool is_key_message(UINT message)
{
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

void destroy_window(HWND handle)
{
    State& s = state();
    std::erase_if(s.queue, [handle](const MSG& m) { return m.hwnd == handle; });
    std::erase_if(s.windows, [handle](const std::unique_ptr<Window>& w) { return w->handle == handle; });
    if (s.active_window == handle) {
        s.active_window = nullptr;
        s.app_active = false;
    }
    host().window_destroyed(handle);
}

void set_cursor(HCURSOR cursor)
{
    State& s = state();
    s.cursor = cursor;
    const bool hidden = cursor == nullptr;
    if (hidden != s.cursor_hidden) {
        s.cursor_hidden = hidden;
        host().cursor_changed(!hidden);
    }
}

std::string point_text(const POINT* point)
{
    return point ? '{' + std::to_string(point->x) + ',' + std::to_string(point->y) + '}' : "NULL";
}

}  // namespace

ATOM WINAPI RegisterClassA(CONST WNDCLASSA* wc)
{
    const auto args = [&] {
        return wc ? '{' + hex(wc->style) + ", " + pointer(reinterpret_cast<const void*>(wc->lpfnWndProc)) + ", " +
                        cursor_name(wc->hCursor) + ", " + text(wc->lpszClassName) + '}'
                  : std::string("NULL");
    };
    return journaled<Number<ATOM>>("RegisterClassA", args, [&]() -> ATOM {
        State& s = state();
        if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || s.classes.contains(lower(wc->lpszClassName)))
            return 0;
        s.classes[lower(wc->lpszClassName)] = WindowClass{wc->lpszClassName, wc->lpfnWndProc, wc->hCursor};
        return static_cast<ATOM>(0xC000 + s.classes.size());
    });
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    const auto args = [&] {
        return hex(dwExStyle) + ", " + text(lpClassName) + ", " + text(lpWindowName) + ", " + hex(dwStyle) + ", " +
               std::to_string(X) + ", " + std::to_string(Y) + ", " + std::to_string(nWidth) + ", " +
               std::to_string(nHeight) + ", " + window_name(hWndParent) + ", " + pointer(hMenu) + ", " +
               pointer(hInstance) + ", " + pointer(lpParam);
    };
    return journaled<Handle<HWND>>("CreateWindowExA", args, [&] {
        State& s = state();
        const auto found = lpClassName ? s.classes.find(lower(lpClassName)) : s.classes.end();
        if (found == s.classes.end())
            return HWND{};
        auto window = std::make_unique<Window>();
        window->id = ++s.windows_made;
        window->handle = window_handle(window->id);
        window->class_name = found->second.name;
        window->title = lpWindowName ? lpWindowName : "";
        window->style = dwStyle;
        window->outer = RECT{X, Y, X + nWidth, Y + nHeight};
        window->proc = found->second.proc;
        window->class_cursor = found->second.cursor;
        window->visible = (dwStyle & WS_VISIBLE) != 0;
        window->needs_paint = window->visible;
        const HWND handle = window->handle;
        s.windows.push_back(std::move(window));
        if (s.windows.back()->visible) {
            activate(handle);
            host().window_changed(*s.windows.back());
        }
        return handle;
    });
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    const auto args = [&] {
        return window_name(hWnd) + ", " + message_name(Msg) + ", " + hex(wParam) + ", " +
               hex(static_cast<std::uint64_t>(lParam));
    };
    return journaled<Number<LRESULT>>("DefWindowProcA", args, [&] {
        Window* window = find_window(hWnd);
        if (!window)
            return 0;
        switch (Msg) {
        case WM_CLOSE:
            destroy_window(hWnd);
            return 0;
        case WM_PAINT:
            window->needs_paint = false;  // validated, as BeginPaint/EndPaint would
            return 0;
        case WM_SYSKEYDOWN:
            // Alt+F4 (bit 29 of lParam: Alt held) chooses Close from the system menu.
            if (wParam == VK_F4 && (lParam & (LPARAM{1} << 29)))
                post_message(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE)
                window->proc(hWnd, WM_CLOSE, 0, 0);
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && window->class_cursor) {
                set_cursor(window->class_cursor);
                return TRUE;
            }
            return FALSE;
        default:
            return 0;
        }
    });
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    return journaled<Boolean>("DestroyWindow", [&] { return window_name(hWnd); }, [&] {
        if (!find_window(hWnd))
            return FALSE;
        destroy_window(hWnd);
        return TRUE;
    });
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    const auto args = [&] {
        return pointer(lpMsg) + ", " + window_name(hWnd) + ", " + hex(wMsgFilterMin) + ", " + hex(wMsgFilterMax) +
               ", " + hex(wRemoveMsg);
    };
    const auto outputs = [&] { return message_text(*lpMsg); };
    return journaled<Boolean>("PeekMessageA", args, outputs, [&] {
        host().pump_events();
        State& s = state();
        if (!lpMsg || (hWnd && !find_window(hWnd)))
            return FALSE;
        const bool all = wMsgFilterMin == 0 && wMsgFilterMax == 0;
        const auto wanted = [&](HWND window, UINT message) {
            return (!hWnd || window == hWnd) && (all || (message >= wMsgFilterMin && message <= wMsgFilterMax));
        };
        const auto found =
            std::find_if(s.queue.begin(), s.queue.end(), [&](const MSG& m) { return wanted(m.hwnd, m.message); });
        if (found != s.queue.end()) {
            *lpMsg = *found;
            if (wRemoveMsg & PM_REMOVE)
                s.queue.erase(found);
            return TRUE;
        }
        // WM_PAINT is never queued: it comes when nothing else waits, for as long
        // as the window stays invalid.
        for (const auto& window : s.windows)
            if (window->needs_paint && window->visible && wanted(window->handle, WM_PAINT)) {
                *lpMsg = MSG{};
                lpMsg->hwnd = window->handle;
                lpMsg->message = WM_PAINT;
                lpMsg->time = host().ticks();
                return TRUE;
            }
        return FALSE;
    });
}

BOOL WINAPI TranslateMessage(CONST MSG* lpMsg)
{
    const auto args = [&] { return lpMsg ? message_text(*lpMsg) : std::string("NULL"); };
    // Nothing reads character messages, so none are made; key messages still
    // count as translated.
    return journaled<Boolean>("TranslateMessage", args, [&] { return lpMsg && is_key_message(lpMsg->message); });
}

LRESULT WINAPI DispatchMessageA(CONST MSG* lpMsg)
{
    const auto args = [&] { return lpMsg ? message_text(*lpMsg) : std::string("NULL"); };
    return journaled<Number<LRESULT>>("DispatchMessageA", args, [&]() -> LRESULT {
        const Window* window = lpMsg ? find_window(lpMsg->hwnd) : nullptr;
        if (!window)
            return 0;
        const WNDPROC proc = window->proc;
        return proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
    });
}

BOOL WINAPI SystemParametersInfoA(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni)
{
    const auto args = [&] {
        return std::to_string(uiAction) + ", " + std::to_string(uiParam) + ", " + pointer(pvParam) + ", " +
               hex(fWinIni);
    };
    return journaled<Boolean>("SystemParametersInfoA", args, [&] {
        State& s = state();
        switch (uiAction) {
        case SPI_SETSCREENSAVEACTIVE:
            s.screensaver_on = uiParam != 0;
            host().screensaver_changed(s.screensaver_on);
            return TRUE;
        case SPI_GETSCREENSAVEACTIVE:
            if (!pvParam)
                return FALSE;
            *static_cast<BOOL*>(pvParam) = s.screensaver_on;
            return TRUE;
        default:
            return FALSE;
        }
    });
}

HWND WINAPI GetActiveWindow(VOID)
{
    return journaled<Handle<HWND>>("GetActiveWindow", no_args, [] { return state().active_window; });
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    return journaled<Boolean>("SetWindowTextA", [&] { return window_name(hWnd) + ", " + text(lpString); }, [&] {
        Window* window = find_window(hWnd);
        if (!window)
            return FALSE;
        window->title = lpString ? lpString : "";
        host().window_changed(*window);
        return TRUE;
    });
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    const auto args = [&] { return pointer(hInstance) + ", " + resource_text(lpCursorName); };
    return journaled<Handle<HCURSOR>>("LoadCursorA", args, [&] {
        if (hInstance || !lpCursorName || !IS_INTRESOURCE(lpCursorName))
            return HCURSOR{};
        const int resource = static_cast<int>(reinterpret_cast<std::uintptr_t>(lpCursorName));
        if (resource < 32512 || resource > 32651)
            return HCURSOR{};
        return cursor_handle(resource);
    });
}

BOOL WINAPI AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu)
{
    const auto args = [&] { return rect_text(lpRect) + ", " + hex(dwStyle) + ", " + std::to_string(bMenu); };
    const auto outputs = [&] { return rect_text(lpRect); };
    return journaled<Boolean>("AdjustWindowRect", args, outputs, [&] {
        if (!lpRect)
            return FALSE;
        const RECT inset = frame_insets(dwStyle, bMenu != FALSE);
        lpRect->left -= inset.left;
        lpRect->top -= inset.top;
        lpRect->right += inset.right;
        lpRect->bottom += inset.bottom;
        return TRUE;
    });
}

int WINAPI GetSystemMetrics(int nIndex)
{
    return journaled<Number<int>>("GetSystemMetrics", [&] { return std::to_string(nIndex); }, [&] {
        const State& s = state();
        switch (nIndex) {
        case SM_CXSCREEN: return s.mode.width;
        case SM_CYSCREEN: return s.mode.height;
        default: return 0;
        }
    });
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    return journaled<Boolean>("ShowWindow", [&] { return window_name(hWnd) + ", " + std::to_string(nCmdShow); }, [&] {
        Window* window = find_window(hWnd);
        if (!window)
            return FALSE;
        const BOOL was_visible = window->visible ? TRUE : FALSE;
        switch (nCmdShow) {
        case SW_HIDE:
            window->visible = false;
            window->needs_paint = false;
            break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
            window->visible = true;
            window->minimized = true;
            break;
        default:
            window->visible = true;
            window->minimized = false;
            window->needs_paint = true;
            activate(hWnd);
            break;
        }
        host().window_changed(*window);
        return was_visible;
    });
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint)
{
    const auto args = [&] { return window_name(hWnd) + ", " + point_text(lpPoint); };
    const auto outputs = [&] { return point_text(lpPoint); };
    return journaled<Boolean>("ClientToScreen", args, outputs, [&] {
        const Window* window = find_window(hWnd);
        if (!window || !lpPoint)
            return FALSE;
        const RECT client = window->client_on_screen();
        lpPoint->x += client.left;
        lpPoint->y += client.top;
        return TRUE;
    });
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    const auto args = [&] { return window_name(hWnd) + ", " + pointer(lpRect); };
    const auto outputs = [&] { return rect_text(lpRect); };
    return journaled<Boolean>("GetClientRect", args, outputs, [&] {
        const Window* window = find_window(hWnd);
        if (!window || !lpRect)
            return FALSE;
        const RECT client = window->client_on_screen();
        *lpRect = RECT{0, 0, client.right - client.left, client.bottom - client.top};
        return TRUE;
    });
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor)
{
    return journaled<Handle<HCURSOR>>("SetCursor", [&] { return cursor_name(hCursor); }, [&] {
        const HCURSOR previous = state().cursor;
        set_cursor(hCursor);
        return previous;
    });
}
