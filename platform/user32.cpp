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

std::string resource_text(LPCSTR name)
{
    return name && IS_INTRESOURCE(name) ? '#' + std::to_string(reinterpret_cast<std::uintptr_t>(name)) : text(name);
}

}  // namespace

ATOM WINAPI RegisterClassA(CONST WNDCLASSA* wc)
{
    Call call("RegisterClassA", [&] {
        return wc ? '{' + hex(wc->style) + ", " + pointer(reinterpret_cast<const void*>(wc->lpfnWndProc)) + ", " +
                        cursor_name(wc->hCursor) + ", " + text(wc->lpszClassName) + '}'
                  : std::string("NULL");
    });
    if (call.forced())
        return call.forced_number<ATOM>();
    State& s = state();
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || s.classes.contains(lower(wc->lpszClassName)))
        return static_cast<ATOM>(call.number(0));
    s.classes[lower(wc->lpszClassName)] = WindowClass{wc->lpszClassName, wc->lpfnWndProc, wc->hCursor};
    return static_cast<ATOM>(call.number(0xC000 + static_cast<long long>(s.classes.size())));
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    Call call("CreateWindowExA", [&] {
        return hex(dwExStyle) + ", " + text(lpClassName) + ", " + text(lpWindowName) + ", " + hex(dwStyle) + ", " +
               std::to_string(X) + ", " + std::to_string(Y) + ", " + std::to_string(nWidth) + ", " +
               std::to_string(nHeight) + ", " + window_name(hWndParent) + ", " + pointer(hMenu) + ", " +
               pointer(hInstance) + ", " + pointer(lpParam);
    });
    if (call.forced())
        return call.handle(HWND{});
    State& s = state();
    const auto found = lpClassName ? s.classes.find(lower(lpClassName)) : s.classes.end();
    if (found == s.classes.end())
        return call.handle(HWND{});
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
    return call.handle(handle);
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Call call("DefWindowProcA", [&] {
        return window_name(hWnd) + ", " + message_name(Msg) + ", " + hex(wParam) + ", " +
               hex(static_cast<std::uint64_t>(lParam));
    });
    if (call.forced())
        return call.forced_number<LRESULT>();
    Window* window = find_window(hWnd);
    if (!window)
        return call.number(0);
    switch (Msg) {
    case WM_CLOSE:
        destroy_window(hWnd);
        return call.number(0);
    case WM_PAINT:
        window->needs_paint = false;  // validated, as BeginPaint/EndPaint would
        return call.number(0);
    case WM_SYSKEYDOWN:
        // Alt+F4 (bit 29 of lParam: Alt held) chooses Close from the system menu.
        if (wParam == VK_F4 && (lParam & (LPARAM{1} << 29)))
            post_message(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return call.number(0);
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            window->proc(hWnd, WM_CLOSE, 0, 0);
        return call.number(0);
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && window->class_cursor) {
            set_cursor(window->class_cursor);
            return call.number(TRUE);
        }
        return call.number(FALSE);
    default:
        return call.number(0);
    }
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    Call call("DestroyWindow", [&] { return window_name(hWnd); });
    if (call.forced())
        return call.forced_boolean();
    if (!find_window(hWnd))
        return call.boolean(FALSE);
    destroy_window(hWnd);
    return call.boolean(TRUE);
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    Call call("PeekMessageA", [&] {
        return pointer(lpMsg) + ", " + window_name(hWnd) + ", " + hex(wMsgFilterMin) + ", " + hex(wMsgFilterMax) +
               ", " + hex(wRemoveMsg);
    });
    if (call.forced())
        return call.forced_boolean();
    host().pump_events();
    State& s = state();
    if (!lpMsg || (hWnd && !find_window(hWnd)))
        return call.boolean(FALSE);
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
        call.done([&] { return "1 " + message_text(*lpMsg); });
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
            call.done([&] { return "1 " + message_text(*lpMsg); });
            return TRUE;
        }
    return call.boolean(FALSE);
}

BOOL WINAPI TranslateMessage(CONST MSG* lpMsg)
{
    Call call("TranslateMessage", [&] { return lpMsg ? message_text(*lpMsg) : std::string("NULL"); });
    if (call.forced())
        return call.forced_boolean();
    // Nothing reads character messages, so none are made; key messages still
    // count as translated.
    return call.boolean(lpMsg && is_key_message(lpMsg->message));
}

LRESULT WINAPI DispatchMessageA(CONST MSG* lpMsg)
{
    Call call("DispatchMessageA", [&] { return lpMsg ? message_text(*lpMsg) : std::string("NULL"); });
    if (call.forced())
        return call.forced_number<LRESULT>();
    const Window* window = lpMsg ? find_window(lpMsg->hwnd) : nullptr;
    if (!window)
        return call.number(0);
    const WNDPROC proc = window->proc;
    return call.number(proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam));
}

BOOL WINAPI SystemParametersInfoA(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni)
{
    Call call("SystemParametersInfoA", [&] {
        return std::to_string(uiAction) + ", " + std::to_string(uiParam) + ", " + pointer(pvParam) + ", " +
               hex(fWinIni);
    });
    if (call.forced())
        return call.forced_boolean();
    State& s = state();
    switch (uiAction) {
    case SPI_SETSCREENSAVEACTIVE:
        s.screensaver_on = uiParam != 0;
        host().screensaver_changed(s.screensaver_on);
        return call.boolean(TRUE);
    case SPI_GETSCREENSAVEACTIVE:
        if (!pvParam)
            return call.boolean(FALSE);
        *static_cast<BOOL*>(pvParam) = s.screensaver_on;
        return call.boolean(TRUE);
    default:
        return call.boolean(FALSE);
    }
}

HWND WINAPI GetActiveWindow(VOID)
{
    Call call("GetActiveWindow", [] { return std::string(); });
    if (call.forced())
        return call.handle(HWND{});
    return call.handle(state().active_window);
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    Call call("SetWindowTextA", [&] { return window_name(hWnd) + ", " + text(lpString); });
    if (call.forced())
        return call.forced_boolean();
    Window* window = find_window(hWnd);
    if (!window)
        return call.boolean(FALSE);
    window->title = lpString ? lpString : "";
    host().window_changed(*window);
    return call.boolean(TRUE);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    Call call("LoadCursorA", [&] { return pointer(hInstance) + ", " + resource_text(lpCursorName); });
    if (call.forced())
        return call.handle(HCURSOR{});
    if (hInstance || !lpCursorName || !IS_INTRESOURCE(lpCursorName))
        return call.handle(HCURSOR{});
    const int resource = static_cast<int>(reinterpret_cast<std::uintptr_t>(lpCursorName));
    if (resource < 32512 || resource > 32651)
        return call.handle(HCURSOR{});
    return call.handle(cursor_handle(resource));
}

BOOL WINAPI AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu)
{
    Call call("AdjustWindowRect",
              [&] { return rect_text(lpRect) + ", " + hex(dwStyle) + ", " + std::to_string(bMenu); });
    if (call.forced())
        return call.forced_boolean();
    if (!lpRect)
        return call.boolean(FALSE);
    const RECT inset = frame_insets(dwStyle, bMenu != FALSE);
    lpRect->left -= inset.left;
    lpRect->top -= inset.top;
    lpRect->right += inset.right;
    lpRect->bottom += inset.bottom;
    call.done([&] { return "1 " + rect_text(lpRect); });
    return TRUE;
}

int WINAPI GetSystemMetrics(int nIndex)
{
    Call call("GetSystemMetrics", [&] { return std::to_string(nIndex); });
    if (call.forced())
        return call.forced_number<int>();
    const State& s = state();
    switch (nIndex) {
    case SM_CXSCREEN: return static_cast<int>(call.number(s.mode.width));
    case SM_CYSCREEN: return static_cast<int>(call.number(s.mode.height));
    default: return static_cast<int>(call.number(0));
    }
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    Call call("ShowWindow", [&] { return window_name(hWnd) + ", " + std::to_string(nCmdShow); });
    if (call.forced())
        return call.forced_boolean();
    Window* window = find_window(hWnd);
    if (!window)
        return call.boolean(FALSE);
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
    return call.boolean(was_visible);
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint)
{
    Call call("ClientToScreen", [&] {
        return window_name(hWnd) + ", " +
               (lpPoint ? '{' + std::to_string(lpPoint->x) + ',' + std::to_string(lpPoint->y) + '}' : "NULL");
    });
    if (call.forced())
        return call.forced_boolean();
    const Window* window = find_window(hWnd);
    if (!window || !lpPoint)
        return call.boolean(FALSE);
    const RECT client = window->client_on_screen();
    lpPoint->x += client.left;
    lpPoint->y += client.top;
    call.done([&] { return "1 {" + std::to_string(lpPoint->x) + ',' + std::to_string(lpPoint->y) + '}'; });
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    Call call("GetClientRect", [&] { return window_name(hWnd) + ", " + pointer(lpRect); });
    if (call.forced())
        return call.forced_boolean();
    const Window* window = find_window(hWnd);
    if (!window || !lpRect)
        return call.boolean(FALSE);
    const RECT client = window->client_on_screen();
    *lpRect = RECT{0, 0, client.right - client.left, client.bottom - client.top};
    call.done([&] { return "1 " + rect_text(lpRect); });
    return TRUE;
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor)
{
    Call call("SetCursor", [&] { return cursor_name(hCursor); });
    if (call.forced())
        return call.handle(HCURSOR{});
    const HCURSOR previous = state().cursor;
    set_cursor(hCursor);
    return call.handle(previous);
}
