// Every platform test starts on a fresh fake screen and must end with nothing
// left alive.
#pragma once

#include "platform/fake/host.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { fake_reset(); }
    void TearDown() override { EXPECT_EQ(fake_live(), FakeCounts{}) << "objects left alive"; }
};

// Messages seen by record_proc, which otherwise behaves as DefWindowProcA.
struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Seen&) const = default;
};
inline std::vector<Seen> seen;

inline LRESULT CALLBACK record_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    seen.push_back({hwnd, message, wParam, lParam});
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

inline HWND make_window(const char* name, DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, int x = 10,
                        int y = 20, int width = 326, int height = 265)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = record_proc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
    return CreateWindowExA(0, name, name, style, x, y, width, height, nullptr, nullptr, nullptr, nullptr);
}

inline std::vector<MSG> pump(HWND window)
{
    std::vector<MSG> taken;
    MSG msg;
    while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
        taken.push_back(msg);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return taken;
}

inline std::vector<UINT> messages_of(const std::vector<MSG>& taken)
{
    std::vector<UINT> out;
    for (const MSG& m : taken)
        out.push_back(m.message);
    return out;
}
