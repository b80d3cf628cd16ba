// USER32: window classes and windows, the message queue, the title, the cursor
// and the screensaver setting. Messages are posted, never sent, except WM_CLOSE
// from the default handling of the system menu's close command; creation and
// destruction send none.
#include "core.h"
#include "journal.h"

#include <algorithm>
#include <utility>

using namespace platform;

namespace {

void destroy_window(HWND handle)
{
    State& s = state();
    std::erase_if(s.queue, [handle](const MSG& m) { return m.hwnd == handle; });
    std::erase_if(s.windows, [handle](const std::unique_ptr<Window>& w) { return w->handle == handle; });
    if (s.active_window == handle)
        s.active_window = nullptr;
    host().window_destroyed(handle);
}

void set_cursor(HCURSOR cursor)
{
    if ((std::exchange(state().cursor, cursor) == nullptr) != (cursor == nullptr))
        host().cursor_changed(cursor != nullptr);
}

}  // namespace

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc)
{
    Call<ATOM> call("RegisterClassA", wc);
    if (call.forced()) return call.forced_result();
    State& s = state();
    // Names are matched exactly: the display names its class one way only.
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || s.classes.contains(wc->lpszClassName))
        return call(0);
    s.classes[wc->lpszClassName] = WindowClass{wc->lpfnWndProc, wc->hCursor};
    return call(static_cast<ATOM>(0xC000 + s.classes.size()));
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    Call<HWND> call("CreateWindowExA", Hex{dwExStyle}, lpClassName, lpWindowName, Hex{dwStyle}, X, Y, nWidth, nHeight,
                    hWndParent, Pointer{hMenu}, Pointer{hInstance}, Pointer{lpParam});
    if (call.forced()) return call.forced_result();
    State& s = state();
    const auto found = lpClassName ? s.classes.find(lpClassName) : s.classes.end();
    if (found == s.classes.end())
        return call(nullptr);
    // Made hidden, whatever the style says: the display shows its window with ShowWindow.
    s.windows.push_back(std::make_unique<Window>(Window{window_handle(++s.windows_made), found->first,
                                                        lpWindowName ? lpWindowName : "", dwStyle,
                                                        RECT{X, Y, X + nWidth, Y + nHeight}, found->second}));
    return call(s.windows.back()->handle);
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Call<LRESULT> call("DefWindowProcA", hWnd, Message{Msg}, Hex{wParam}, Hex{static_cast<std::uint64_t>(lParam)});
    if (call.forced()) return call.forced_result();
    Window* window = find_window(hWnd);
    if (!window)
        return call(0);
    switch (Msg) {
    case WM_CLOSE:
        destroy_window(hWnd);
        break;
    case WM_PAINT:
        window->needs_paint = false;  // validated, as BeginPaint/EndPaint would
        break;
    case WM_SYSKEYDOWN:
        // Alt+F4 (bit 29 of lParam: Alt held) chooses Close from the system menu.
        if (wParam == VK_F4 && (lParam & (LPARAM{1} << 29)))
            post_message(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            window->window_class.proc(hWnd, WM_CLOSE, 0, 0);
        break;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && window->window_class.cursor) {
            set_cursor(window->window_class.cursor);
            return call(TRUE);
        }
        return call(FALSE);
    }
    return call(0);
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    Call<BOOL> call("DestroyWindow", hWnd);
    if (call.forced()) return call.forced_result();
    if (!find_window(hWnd))
        return call(FALSE);
    destroy_window(hWnd);
    return call(TRUE);
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    Call<BOOL> call("PeekMessageA", Pointer{lpMsg}, hWnd, Hex{wMsgFilterMin}, Hex{wMsgFilterMax}, Hex{wRemoveMsg});
    if (call.forced()) return call.forced_result();
    host().pump_events();
    State& s = state();
    // Every message is taken, as the display asks: no range, no PM_NOREMOVE.
    if (!lpMsg || (hWnd && !find_window(hWnd)) || wMsgFilterMin || wMsgFilterMax || !(wRemoveMsg & PM_REMOVE))
        return call(FALSE);
    const auto wanted = [hWnd](HWND window) { return !hWnd || window == hWnd; };
    if (const auto found = std::find_if(s.queue.begin(), s.queue.end(), [&](const MSG& m) { return wanted(m.hwnd); });
        found != s.queue.end()) {
        *lpMsg = *found;
        s.queue.erase(found);
        return call(TRUE, lpMsg);
    }
    // WM_PAINT is never queued: it comes when nothing else waits, for as long
    // as the window stays invalid.
    for (const auto& window : s.windows)
        if (window->needs_paint && window->visible && wanted(window->handle)) {
            *lpMsg = MSG{window->handle, WM_PAINT, 0, 0, host().ticks(), {}};
            return call(TRUE, lpMsg);
        }
    return call(FALSE);
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg)
{
    Call<BOOL> call("TranslateMessage", lpMsg);
    if (call.forced()) return call.forced_result();
    // Nothing reads character messages, so none are made; key messages still
    // count as translated.
    const UINT message = lpMsg ? lpMsg->message : 0;
    return call(message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP);
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg)
{
    Call<LRESULT> call("DispatchMessageA", lpMsg);
    if (call.forced()) return call.forced_result();
    const Window* window = lpMsg ? find_window(lpMsg->hwnd) : nullptr;
    return call(window ? window->window_class.proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam) : 0);
}

BOOL WINAPI SystemParametersInfoA(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni)
{
    Call<BOOL> call("SystemParametersInfoA", uiAction, uiParam, Pointer{pvParam}, Hex{fWinIni});
    if (call.forced()) return call.forced_result();
    bool& on = state().setup.screensaver_on;
    if (uiAction == SPI_SETSCREENSAVEACTIVE) {
        on = uiParam != 0;
        host().screensaver_changed(on);
        return call(TRUE);
    }
    if (uiAction != SPI_GETSCREENSAVEACTIVE || !pvParam)
        return call(FALSE);
    *static_cast<BOOL*>(pvParam) = on;
    return call(TRUE);
}

HWND WINAPI GetActiveWindow()
{
    Call<HWND> call("GetActiveWindow");
    return call.forced() ? call.forced_result() : call(state().active_window);
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    Call<BOOL> call("SetWindowTextA", hWnd, lpString);
    if (call.forced()) return call.forced_result();
    Window* window = find_window(hWnd);
    if (!window)
        return call(FALSE);
    window->title = lpString ? lpString : "";
    host().window_changed(*window);
    return call(TRUE);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    Call<HCURSOR> call("LoadCursorA", Pointer{hInstance}, Resource{lpCursorName});
    if (call.forced()) return call.forced_result();
    // The arrow, the one system cursor the display asks for.
    return call(!hInstance && lpCursorName == IDC_ARROW ? cursor_handle(32512) : nullptr);
}

BOOL WINAPI AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu)
{
    Call<BOOL> call("AdjustWindowRect", lpRect, Hex{dwStyle}, bMenu);
    if (call.forced()) return call.forced_result();
    if (!lpRect || bMenu || (dwStyle & WS_THICKFRAME))
        return call(FALSE);  // frames the stand-in does not draw
    const RECT inset = frame_insets(dwStyle);
    *lpRect = RECT{lpRect->left - inset.left, lpRect->top - inset.top, lpRect->right + inset.right,
                   lpRect->bottom + inset.bottom};
    return call(TRUE, lpRect);
}

int WINAPI GetSystemMetrics(int nIndex)
{
    Call<int> call("GetSystemMetrics", nIndex);
    if (call.forced()) return call.forced_result();
    return call(nIndex == SM_CXSCREEN ? state().mode.width : nIndex == SM_CYSCREEN ? state().mode.height : 0);
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    Call<BOOL> call("ShowWindow", hWnd, nCmdShow);
    if (call.forced()) return call.forced_result();
    Window* window = find_window(hWnd);
    if (!window)
        return call(FALSE);
    // Every command shows the window as SW_SHOWNORMAL, the display's only one, does.
    const BOOL was_visible = window->visible ? TRUE : FALSE;
    show_window(*window);
    return call(was_visible);
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint)
{
    Call<BOOL> call("ClientToScreen", hWnd, lpPoint);
    if (call.forced()) return call.forced_result();
    const Window* window = find_window(hWnd);
    if (!window || !lpPoint)
        return call(FALSE);
    const RECT client = window->client_on_screen();
    *lpPoint = POINT{lpPoint->x + client.left, lpPoint->y + client.top};
    return call(TRUE, lpPoint);
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    Call<BOOL> call("GetClientRect", hWnd, Pointer{lpRect});
    if (call.forced()) return call.forced_result();
    const Window* window = find_window(hWnd);
    if (!window || !lpRect)
        return call(FALSE);
    const RECT client = window->client_on_screen();
    *lpRect = RECT{0, 0, client.right - client.left, client.bottom - client.top};
    return call(TRUE, lpRect);
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor)
{
    Call<HCURSOR> call("SetCursor", hCursor);
    if (call.forced()) return call.forced_result();
    const HCURSOR previous = state().cursor;
    set_cursor(hCursor);
    return call(previous);
}
