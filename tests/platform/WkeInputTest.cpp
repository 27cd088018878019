// The input adapter: what each window that feeds a view from its own procedure hands the engine.
#include "platform/WkeInput.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The engine's input entry points, recording each call as text; the page takes input as told.
std::vector<std::string> g_calls;
bool g_pageTakes = true;

bool Record(const char* format, int a, int b = 0, int c = 0, int d = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    g_calls.push_back(text);
    return g_pageTakes;
}

bool WKE_CALL Mouse(wkeWebView, unsigned message, int x, int y, unsigned flags) {
    return Record("mouse %d %d,%d %d", static_cast<int>(message), x, y, static_cast<int>(flags));
}
bool WKE_CALL Wheel(wkeWebView, int x, int y, int delta, unsigned flags) {
    return Record("wheel %d,%d %d %d", x, y, delta, static_cast<int>(flags));
}
bool WKE_CALL KeyDown(wkeWebView, unsigned key, unsigned flags, bool system) {
    return Record("down %d %#x %d", static_cast<int>(key), static_cast<int>(flags), system);
}
bool WKE_CALL KeyUp(wkeWebView, unsigned key, unsigned flags, bool system) {
    return Record("up %d %#x %d", static_cast<int>(key), static_cast<int>(flags), system);
}
bool WKE_CALL Char(wkeWebView, unsigned code, unsigned flags, bool system) {
    return Record("char %d %#x %d", static_cast<int>(code), static_cast<int>(flags), system);
}
bool WKE_CALL Menu(wkeWebView, int x, int y, unsigned flags) {
    return Record("menu %d,%d %d", x, y, static_cast<int>(flags));
}
void WKE_CALL Focus(wkeWebView) { Record("focus", 0); }
void WKE_CALL Blur(wkeWebView) { Record("blur", 0); }
wkeRect WKE_CALL Caret(wkeWebView) {
    Record("caret", 0);
    return wkeRect{40, 50, 2, 18};
}
int WKE_CALL Cursor(wkeWebView) {
    Record("cursor", 0);
    return WKE_CURSOR_HAND;
}
const WkeInputCalls kRecorder{Mouse, Wheel, KeyDown, KeyUp, Char, Menu, Focus, Blur, Caret, Cursor};

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

// A window of its own at a known place, so that screen points and client points differ.
class WkeWindowInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 70, 300, 200, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        SetFocus(nullptr);
    }
    void TearDown() override {
        DestroyWindow(window);
        BYTE keys[256] = {};
        SetKeyboardState(keys);
    }
    LPARAM ScreenAt(int x, int y) const {
        POINT pt{x, y};
        ClientToScreen(window, &pt);
        return MAKELPARAM(pt.x, pt.y);
    }
    HWND window = nullptr;
};

void HoldShift(bool held) {
    BYTE keys[256] = {};
    if (held) keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
}

}  // namespace

TEST_F(WkeWindowInputTest, EachWindowsOptionsGiveItsCallsAndAnswers) {
    const LPARAM repeatedExtended = (1 << 30) | (1 << 24) | 0x001F0001;
    enum Capture { Any, Taken, Released };
    // What the page is handed (empty: nothing, the message is the caller's) and the procedure's
    // answer when it is the page's, for the game window and for the engine's own window. `taken`
    // rows are the page's whatever it answers; the others go to the caller when the page refuses.
    const struct Row {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool shift;
        const char* game;
        const char* engine;
        bool taken;
        LRESULT answer;
        Capture capture;
    } rows[] = {
        {WM_MOUSEMOVE, MK_SHIFT | MK_XBUTTON1 | 0x40, At(-5, 7), false, "mouse 512 -5,7 4", "mouse 512 -5,7 4",
         false, 0, Any},
        {WM_LBUTTONDOWN, MK_LBUTTON | MK_XBUTTON2, At(50, 60), false, "mouse 513 50,60 1", "mouse 513 50,60 1",
         false, 0, Taken},
        {WM_LBUTTONUP, MK_CONTROL, At(310, 230), false, "mouse 514 310,230 8", "mouse 514 310,230 8", false, 0,
         Released},
        {WM_RBUTTONDOWN, MK_RBUTTON | MK_MBUTTON, At(1, 2), false, "mouse 516 1,2 18", "mouse 516 1,2 18", false, 0,
         Taken},
        {WM_RBUTTONUP, 0, At(1, 2), false, "mouse 517 1,2 0", "mouse 517 1,2 0", false, 0, Released},
        {WM_MBUTTONDOWN, MK_MBUTTON, At(3, 4), false, "mouse 519 3,4 16", "mouse 519 3,4 16", false, 0, Taken},
        {WM_MBUTTONUP, 0, At(3, 4), false, "mouse 520 3,4 0", "mouse 520 3,4 0", false, 0, Released},
        {WM_LBUTTONDBLCLK, MK_LBUTTON, At(5, 6), false, "mouse 515 5,6 1", "mouse 515 5,6 1", false, 0, Any},
        {WM_RBUTTONDBLCLK, MK_RBUTTON, At(5, 6), false, "mouse 518 5,6 2", "mouse 518 5,6 2", false, 0, Any},
        {WM_MBUTTONDBLCLK, MK_MBUTTON, At(5, 6), false, "mouse 521 5,6 16", "mouse 521 5,6 16", false, 0, Any},
        // The wheel's point is a screen point; towards the user is negative.
        {WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL | MK_XBUTTON1, static_cast<WORD>(-WHEEL_DELTA)), 0, false,
         "wheel 8,9 -120 8", "wheel 8,9 -120 8", false, 0, Any},
        {WM_KEYDOWN, VK_LEFT, repeatedExtended, false, "down 37 0x4100 0", "down 37 0x4100 0", false, 0, Any},
        {WM_KEYUP, 'A', (1 << 24) | 0x001E0001, false, "up 65 0x100 0", "up 65 0x100 0", false, 0, Any},
        {WM_KEYDOWN, 'A', 0x001E0001, false, "down 65 0 0", "down 65 0 0", false, 0, Any},
        {WM_CHAR, 0xE9, 1 << 30, false, "char 233 0x4000 0", "char 233 0x4000 0", false, 0, Any},
        {WM_SETFOCUS, 0, 0, false, "focus", "focus", true, 0, Any},
        {WM_KILLFOCUS, 0, 0, false, "blur", "blur", true, 0, Any},
        // The menu key's (-1, -1) stays; a mouse menu's screen point becomes a client point; the
        // modifiers are those held, as the message carries none.
        {WM_CONTEXTMENU, 0, static_cast<LPARAM>(-1), false, "menu -1,-1 0", "", false, 0, Any},
        {WM_CONTEXTMENU, MK_CONTROL, 0, true, "menu 30,40 4", "", false, 0, Any},
        {WM_IME_STARTCOMPOSITION, 0, 0, false, "caret", "", true, 0, Any},
        {WM_SETCURSOR, 0, HTCLIENT, false, "", "cursor", true, TRUE, Any},
        {WM_SETCURSOR, 0, HTCAPTION, false, "", "", true, 0, Any},
        {WM_PAINT, 0, 0, false, "", "", true, 0, Any},
    };
    const struct {
        const char* name;
        const WkeWindowInputOptions& options;
        const char* Row::*expected;
    } windows[] = {{"game window", kGameWindowInput, &Row::game}, {"engine window", kEngineWindowInput, &Row::engine}};
    ASSERT_EQ(GetFocus(), nullptr);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    const LPARAM wheelAt = ScreenAt(8, 9);
    const LPARAM menuAt = ScreenAt(30, 40);
    for (const auto& w : windows) {
        for (bool pageTakes : {true, false}) {
            g_pageTakes = pageTakes;
            for (const Row& row : rows) {
                LPARAM lParam = row.lParam;
                if (row.message == WM_MOUSEWHEEL) lParam = wheelAt;
                if (row.message == WM_CONTEXTMENU && row.lParam == 0) lParam = menuAt;
                HoldShift(row.shift);
                g_calls.clear();
                LRESULT answer = -1;
                const bool handled = WkeWindowInput(kRecorder, w.options, nullptr, window, row.message, row.wParam,
                                                    lParam, &answer);
                const std::string expected = row.*w.expected;
                const std::string context = std::string(w.name) + ", message " + std::to_string(row.message) +
                                            (pageTakes ? "" : ", refused");
                EXPECT_EQ(g_calls, expected.empty() ? std::vector<std::string>() : std::vector<std::string>{expected})
                    << context;
                EXPECT_EQ(handled, !expected.empty() && (pageTakes || row.taken)) << context;
                if (handled) {
                    EXPECT_EQ(answer, row.answer) << context;
                }
                if (row.capture != Any) {
                    EXPECT_EQ(GetCapture(), row.capture == Taken ? window : nullptr) << context;
                }
            }
        }
    }
    // A press gives the window the focus; the engine's window shows the page's cursor.
    EXPECT_EQ(GetFocus(), window);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
}
