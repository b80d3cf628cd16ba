// USER32, KERNEL32 and the C runtime on the fake host.
#include "platform_fixture.h"

#include <cstring>

namespace {

std::string rect_text(const RECT* r) { return platform::arg_text(r); }

using Win32 = PlatformTest;
using Win32Death = PlatformTest;

TEST_F(Win32, LoadLibraryKnowsOnlyDdraw)
{
    const struct {
        const char* name;
        bool loads;
    } cases[] = {{"ddraw.dll", true}, {"user32.dll", false}, {"ddraw.dl", false}, {"", false}, {nullptr, false}};
    for (const auto& c : cases) {
        const HMODULE module = LoadLibraryA(c.name);
        EXPECT_EQ(module != nullptr, c.loads) << (c.name ? c.name : "NULL");
        if (module) {
            EXPECT_EQ(FreeLibrary(module), TRUE);
        }
    }
}

TEST_F(Win32, ModuleReferencesAreCountedAndBindDirectDrawCreate)
{
    EXPECT_EQ(GetProcAddress(LoadLibraryA("user32.dll"), "DirectDrawCreate"), nullptr);
    const HMODULE first = LoadLibraryA("ddraw.dll");
    const HMODULE second = LoadLibraryA("ddraw.dll");
    EXPECT_EQ(first, second);
    EXPECT_EQ(fake_live().modules, 2);
    EXPECT_NE(GetProcAddress(first, "DirectDrawCreate"), nullptr);
    EXPECT_EQ(GetProcAddress(first, "DirectDrawCreateEx"), nullptr);
    EXPECT_EQ(GetProcAddress(first, "directdrawcreate"), nullptr);
    EXPECT_EQ(FreeLibrary(first), TRUE);
    EXPECT_EQ(FreeLibrary(second), TRUE);
    EXPECT_EQ(FreeLibrary(second), FALSE);
    EXPECT_EQ(GetProcAddress(first, "DirectDrawCreate"), nullptr);  // unloaded
    EXPECT_EQ(FreeLibrary(nullptr), FALSE);
}

TEST_F(Win32, TickCountIsTheFakeClockAndWraps)
{
    fake_set_ticks(0xFFFFFFFE);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFFEu);
    Sleep(3);
    EXPECT_EQ(GetTickCount(), 1u);
    Sleep(0);
    EXPECT_EQ(GetTickCount(), 1u);
    EXPECT_EQ(fake_journal()[1], (FakeCall{"Sleep", "3", ""}));
}

TEST_F(Win32, PushBackHoldsOneCode)
{
    EXPECT_EQ(_kbhit(), 0);
    EXPECT_EQ(_getch(), EOF);  // nothing to wait for: returns at once
    EXPECT_EQ(_ungetch(0x41), 0x41);
    EXPECT_EQ(_ungetch(0x1B), EOF);  // refused while one waits
    EXPECT_NE(_kbhit(), 0);
    EXPECT_EQ(_getch(), 0x41);
    EXPECT_EQ(_kbhit(), 0);
    EXPECT_EQ(_ungetch(0x1B), 0x1B);
    EXPECT_EQ(_getch(), 0x1B);
    EXPECT_EQ(_ungetch(EOF), EOF);
}

// The x87's precision as the demo sets it, and as the runtime reports it after.
TEST_F(Win32, ControlfpSetsAndReportsThePrecision)
{
    EXPECT_EQ(_controlfp(_PC_53, _MCW_PC), _PC_53);
    EXPECT_EQ(_controlfp(0, 0), _PC_53);  // no mask: nothing changes
    EXPECT_EQ(_controlfp(_PC_24, _MCW_PC), _PC_24);
    EXPECT_EQ(_controlfp(_PC_64, _MCW_PC), _PC_64);
}

// The demo's frame rates: whole numbers below 2^24 to 8 digits, the point kept.
TEST_F(Win32, GcvtFormatsFrameRatesAsTheWindowsRuntime)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {{60.0, "60."}, {0.0, "0."}, {1.0, "1."}, {16777215.0, "16777215."}};
    for (const auto& c : cases) {
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(_gcvt(c.value, 8, buffer), buffer);
        EXPECT_STREQ(buffer, c.text) << c.value;
    }
}

TEST_F(Win32Death, ExitProcessEndsWithItsCode)
{
    EXPECT_EXIT(ExitProcess(0), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(ExitProcess(3), ::testing::ExitedWithCode(3), "");
}

TEST_F(Win32, AdjustWindowRectAddsTheFrameOfTheStyle)
{
    const struct {
        DWORD style;
        BOOL menu;
        RECT expected;
    } cases[] = {
        {WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE, {-3, -22, 323, 243}},
        {WS_POPUP, FALSE, {0, 0, 320, 240}},
        {WS_POPUP | WS_BORDER, FALSE, {-1, -1, 321, 241}},
    };
    for (const auto& c : cases) {
        RECT rect{0, 0, 320, 240};
        EXPECT_EQ(AdjustWindowRect(&rect, c.style, c.menu), TRUE);
        EXPECT_EQ(rect_text(&rect), rect_text(&c.expected)) << std::hex << c.style;
    }
    EXPECT_EQ(AdjustWindowRect(nullptr, WS_POPUP, FALSE), FALSE);
    RECT rect{0, 0, 320, 240};
    EXPECT_EQ(AdjustWindowRect(&rect, WS_CAPTION | WS_THICKFRAME, FALSE), FALSE);  // no sizing border drawn
    EXPECT_EQ(AdjustWindowRect(&rect, WS_CAPTION, TRUE), FALSE);                  // nor a menu
}

// The windowed display's arithmetic: centred, halves rounded down, and a
// client area of exactly the asked size wherever that puts the window.
TEST_F(Win32, CentredWindowHasTheAskedClientArea)
{
    const struct {
        int screen_width, screen_height;
        POINT client_origin;
    } cases[] = {{1024, 768, {352, 273}}, {640, 480, {160, 129}}, {300, 200, {-10, -11}}, {321, 241, {0, 10}}};
    for (const auto& c : cases) {
        FakeScreen screen;
        screen.width = c.screen_width;
        screen.height = c.screen_height;
        fake_reset(screen);
        const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        RECT outer{0, 0, 320, 240};
        AdjustWindowRect(&outer, style, FALSE);
        const int width = outer.right - outer.left, height = outer.bottom - outer.top;
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), c.screen_width);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), c.screen_height);
        const int x = (GetSystemMetrics(SM_CXSCREEN) - width) >> 1;
        const int y = (GetSystemMetrics(SM_CYSCREEN) - height) >> 1;
        const HWND window = make_window("centred", style, x, y, width, height);
        POINT origin{0, 0};
        RECT client{};
        EXPECT_EQ(ClientToScreen(window, &origin), TRUE);
        EXPECT_EQ(GetClientRect(window, &client), TRUE);
        EXPECT_EQ(origin.x, c.client_origin.x);
        EXPECT_EQ(origin.y, c.client_origin.y);
        EXPECT_EQ(client.right - client.left, 320);
        EXPECT_EQ(client.bottom - client.top, 240);
        EXPECT_EQ(DestroyWindow(window), TRUE);
    }
}

TEST_F(Win32, WindowsNeedARegisteredClass)
{
    EXPECT_EQ(CreateWindowExA(0, "nowhere", "t", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = record_proc;
    wc.lpszClassName = "Vorlix";
    EXPECT_NE(RegisterClassA(&wc), 0);
    EXPECT_EQ(RegisterClassA(&wc), 0);  // already registered
    const HWND window = CreateWindowExA(0, "Vorlix", "Title", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(fake_window(window).title, "Title");
    EXPECT_FALSE(fake_window(window).visible);
    EXPECT_EQ(DestroyWindow(window), TRUE);
    EXPECT_EQ(DestroyWindow(window), FALSE);
}

TEST_F(Win32, DestroyWindowOfNullFailsWithoutEffect)
{
    const HWND window = make_window("w");
    EXPECT_EQ(DestroyWindow(nullptr), FALSE);
    EXPECT_EQ(fake_live().windows, 1);
    DestroyWindow(window);
}

TEST_F(Win32, ShowingActivatesAndPaints)
{
    const HWND window = make_window("shown");
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(ShowWindow(window, SW_SHOWNORMAL), FALSE);  // was hidden
    EXPECT_EQ(GetActiveWindow(), window);
    EXPECT_EQ(ShowWindow(window, SW_SHOWNORMAL), TRUE);
    // Activation is posted; WM_PAINT comes once the queue is empty.
    EXPECT_EQ(messages_of(pump(window)), (std::vector<UINT>{WM_ACTIVATEAPP, WM_PAINT}));
    EXPECT_TRUE(pump(window).empty());  // record_proc's DefWindowProcA validated it
    EXPECT_TRUE(fake_expose(window));
    EXPECT_EQ(messages_of(pump(window)), (std::vector<UINT>{WM_PAINT}));
    DestroyWindow(window);
    EXPECT_EQ(GetActiveWindow(), nullptr);
}

TEST_F(Win32, FocusKeptElsewhereLeavesNoActiveWindow)
{
    FakeScreen screen;
    screen.focus_elsewhere = true;
    fake_reset(screen);
    const HWND window = make_window("behind");
    ShowWindow(window, SW_SHOWNORMAL);
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(SetWindowTextA(GetActiveWindow(), "lost"), FALSE);
    EXPECT_EQ(messages_of(pump(window)), (std::vector<UINT>{WM_PAINT}));
    DestroyWindow(window);
}

TEST_F(Win32, UnvalidatedPaintComesBack)
{
    const HWND window = make_window("paint");
    ShowWindow(window, SW_SHOWNORMAL);
    MSG msg;
    ASSERT_EQ(PeekMessageA(&msg, window, 0, 0, PM_REMOVE), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_ACTIVATEAPP));  // queued first
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(PeekMessageA(&msg, window, 0, 0, PM_REMOVE), TRUE);
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    }
    EXPECT_EQ(DefWindowProcA(window, WM_PAINT, 0, 0), 0);
    EXPECT_EQ(PeekMessageA(&msg, window, 0, 0, PM_REMOVE), FALSE);
    DestroyWindow(window);
}

TEST_F(Win32, QueueIsFilteredByWindow)
{
    const HWND first = make_window("first");
    const HWND second = make_window("second");
    fake_key(0x41, first);
    fake_key(0x42, second);
    fake_close_box(first);
    MSG msg;
    // Only what the display asks: every message, taken.
    EXPECT_EQ(PeekMessageA(&msg, second, 0, 0, PM_NOREMOVE), FALSE);
    EXPECT_EQ(PeekMessageA(&msg, first, WM_CLOSE, WM_CLOSE, PM_REMOVE), FALSE);
    ASSERT_EQ(PeekMessageA(&msg, second, 0, 0, PM_REMOVE), TRUE);
    EXPECT_EQ(msg.wParam, 0x42u);
    ASSERT_EQ(PeekMessageA(&msg, first, 0, 0, PM_REMOVE), TRUE);
    EXPECT_EQ(msg.wParam, 0x41u);
    ASSERT_EQ(PeekMessageA(&msg, first, 0, 0, PM_REMOVE), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(PeekMessageA(&msg, first, 0, 0, PM_REMOVE), FALSE);
    fake_key(0x43, second);
    ASSERT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), TRUE);  // any window
    EXPECT_EQ(msg.hwnd, second);
    DestroyWindow(first);
    EXPECT_EQ(PeekMessageA(&msg, first, 0, 0, PM_REMOVE), FALSE);
    DestroyWindow(second);
}

TEST_F(Win32, DispatchRunsTheWindowProcedure)
{
    const HWND window = make_window("keys");
    seen.clear();
    fake_key(0x41);
    fake_key(VK_ESCAPE);
    fake_system_key(VK_F10, false);
    const std::vector<MSG> taken = pump(window);
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(seen, (std::vector<Seen>{{window, WM_KEYDOWN, 0x41, 1},
                                       {window, WM_KEYDOWN, VK_ESCAPE, 1},
                                       {window, WM_SYSKEYDOWN, VK_F10, 1}}));
    EXPECT_EQ(TranslateMessage(&taken[0]), TRUE);
    EXPECT_EQ(fake_live().windows, 1);  // F10 alone does not close
    MSG paint{};
    paint.hwnd = window;
    paint.message = WM_PAINT;
    EXPECT_EQ(TranslateMessage(&paint), FALSE);
    DestroyWindow(window);
}

TEST_F(Win32, CloseBoxDefaultDestroysTheWindow)
{
    const HWND window = make_window("close");
    seen.clear();
    fake_close_box();
    pump(window);
    EXPECT_EQ(seen, (std::vector<Seen>{{window, WM_CLOSE, 0, 0}}));
    EXPECT_FALSE(fake_window(window).exists);
}

TEST_F(Win32, AltF4DefaultAsksToClose)
{
    const HWND window = make_window("altf4");
    seen.clear();
    fake_system_key(VK_F4, true);
    pump(window);
    const LPARAM alt = 1 | (LPARAM{1} << 29);
    EXPECT_EQ(seen, (std::vector<Seen>{{window, WM_SYSKEYDOWN, VK_F4, alt},
                                       {window, WM_SYSCOMMAND, SC_CLOSE, 0},
                                       {window, WM_CLOSE, 0, 0}}));
    EXPECT_FALSE(fake_window(window).exists);
}

TEST_F(Win32, ActivationMessagesFollowFocus)
{
    const HWND window = make_window("focus");
    seen.clear();
    fake_activate(true);
    fake_activate(false);
    pump(window);
    EXPECT_EQ(seen, (std::vector<Seen>{{window, WM_ACTIVATEAPP, TRUE, 0}, {window, WM_ACTIVATEAPP, FALSE, 0}}));
    EXPECT_EQ(GetActiveWindow(), nullptr);
    DestroyWindow(window);
}

TEST_F(Win32, TitleAndScreensaverAndCursor)
{
    const HWND window = make_window("state");
    EXPECT_EQ(SetWindowTextA(window, "Vorlix Julia Rings FPS:60"), TRUE);
    EXPECT_EQ(fake_window().title, "Vorlix Julia Rings FPS:60");
    EXPECT_EQ(SetWindowTextA(nullptr, "x"), FALSE);

    BOOL on = FALSE;
    EXPECT_EQ(SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &on, 0), TRUE);
    EXPECT_EQ(on, TRUE);
    EXPECT_EQ(SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, nullptr, 0), TRUE);
    EXPECT_FALSE(fake_screensaver_on());
    EXPECT_EQ(SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &on, 0), TRUE);
    EXPECT_EQ(on, FALSE);
    EXPECT_EQ(SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, 0), TRUE);
    EXPECT_TRUE(fake_screensaver_on());

    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    EXPECT_NE(arrow, nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCE(1)), nullptr);
    EXPECT_EQ(SetCursor(nullptr), arrow);
    EXPECT_TRUE(fake_cursor_hidden());
    fake_mouse_over();
    pump(window);  // the class cursor comes back through DefWindowProcA
    EXPECT_FALSE(fake_cursor_hidden());
    DestroyWindow(window);
}

TEST_F(Win32, ScreensaverStartsAsTheScreenSays)
{
    FakeScreen screen;
    screen.screensaver_on = false;
    fake_reset(screen);
    BOOL on = TRUE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &on, 0);
    EXPECT_EQ(on, FALSE);
}

TEST_F(Win32, InjectedFailuresHitTheNthCallOnly)
{
    fake_fail("LoadLibraryA", 2, 0, 2);
    const HMODULE ddraw = LoadLibraryA("ddraw.dll");
    EXPECT_NE(ddraw, nullptr);
    EXPECT_EQ(LoadLibraryA("ddraw.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA("ddraw.dll"), nullptr);
    EXPECT_NE(LoadLibraryA("ddraw.dll"), nullptr);
    EXPECT_EQ(fake_live().modules, 2);  // failed calls had no effect
    FreeLibrary(ddraw);
    FreeLibrary(ddraw);

    fake_fail("CreateWindowExA", 1, 12345);
    EXPECT_EQ(make_window("failing"), nullptr);  // handles fail as null whatever the result
    EXPECT_EQ(fake_live().windows, 0);
    fake_fail("SetWindowTextA", 1, 0);
    const HWND window = make_window("ok");
    EXPECT_EQ(SetWindowTextA(window, "new"), FALSE);
    EXPECT_EQ(fake_window(window).title, "ok");
    DestroyWindow(window);
}

TEST_F(Win32, JournalNamesCallsArgumentsAndResults)
{
    const HWND window = make_window("Vorlix");
    ShowWindow(window, SW_SHOWNORMAL);
    fake_journal_clear();
    SetWindowTextA(window, "t");
    MSG msg;
    PeekMessageA(&msg, window, 0, 0, PM_REMOVE);
    DispatchMessageA(&msg);
    DestroyWindow(nullptr);
    const std::vector<FakeCall> expected = {
        {"SetWindowTextA", "hwnd#1, \"t\"", "1"},
        {"PeekMessageA", "ptr, hwnd#1, 0x0, 0x0, 0x1", "1 {hwnd#1, WM_ACTIVATEAPP, 0x1, 0x0}"},
        {"DispatchMessageA", "{hwnd#1, WM_ACTIVATEAPP, 0x1, 0x0}", "0"},
        {"DefWindowProcA", "hwnd#1, WM_ACTIVATEAPP, 0x1, 0x0", "0"},  // from inside the dispatch
        {"DestroyWindow", "NULL", "0"},
    };
    EXPECT_EQ(fake_journal(), expected);
    DestroyWindow(window);
}

}  // namespace
