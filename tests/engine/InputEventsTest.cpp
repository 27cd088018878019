#include <gtest/gtest.h>

#include <windows.h>

#include "engine/view/InputEvents.h"
#include "platform/wke.h"

namespace {

TEST(InputEvents, MouseMessagesBecomePressesAndReleasesWithTheirClickCount) {
    int clicks = 0;
    Json p;
    ASSERT_TRUE(MouseEventParams(WM_LBUTTONDBLCLK, 5, 6, MK_LBUTTON | MK_SHIFT, clicks, p));
    EXPECT_EQ(p["type"].AsString(), "mousePressed");
    EXPECT_EQ(p["button"].AsString(), "left");
    EXPECT_EQ(p["clickCount"].AsInt(), 2);
    EXPECT_EQ(p["buttons"].AsInt(), 1);
    EXPECT_EQ(p["modifiers"].AsInt(), kModShift);
    EXPECT_EQ(p["x"].AsInt(), 5);
    ASSERT_TRUE(MouseEventParams(WM_LBUTTONUP, 5, 6, 0, clicks, p));
    EXPECT_EQ(p["type"].AsString(), "mouseReleased");
    EXPECT_EQ(p["clickCount"].AsInt(), 2) << "the release belongs to the double click";
    ASSERT_TRUE(MouseEventParams(WM_RBUTTONDOWN, 1, 1, MK_RBUTTON | MK_CONTROL, clicks, p));
    EXPECT_EQ(p["button"].AsString(), "right");
    EXPECT_EQ(p["modifiers"].AsInt(), kModCtrl);
    ASSERT_TRUE(MouseEventParams(WM_MOUSEMOVE, 1, 1, MK_MBUTTON, clicks, p));
    EXPECT_EQ(p["type"].AsString(), "mouseMoved");
    EXPECT_EQ(p["button"].AsString(), "middle");
    EXPECT_FALSE(MouseEventParams(WM_KEYDOWN, 1, 1, 0, clicks, p));
}

TEST(InputEvents, WheelTurnsAwayFromTheUserScrollUp) {
    Json up = WheelEventParams(3, 4, 120, 0);
    EXPECT_EQ(up["type"].AsString(), "mouseWheel");
    EXPECT_LT(up["deltaY"].AsNumber(), 0);
    EXPECT_GT(WheelEventParams(3, 4, -240, 0)["deltaY"].AsNumber(), up["deltaY"].AsNumber() * -1);
}

TEST(InputEvents, KeysCarryTheirNamesCodesAndRepeat) {
    Json enter = KeyEventParams("rawKeyDown", VK_RETURN, 0x4000, 0);
    EXPECT_EQ(enter["key"].AsString(), "Enter");
    EXPECT_EQ(enter["windowsVirtualKeyCode"].AsInt(), VK_RETURN);
    EXPECT_TRUE(enter["autoRepeat"].AsBool());
    Json a = KeyEventParams("rawKeyDown", 'A', 0, 0);
    EXPECT_EQ(a["key"].AsString(), "a");
    EXPECT_EQ(a["code"].AsString(), "KeyA");
    EXPECT_EQ(KeyEventParams("keyUp", 'A', 0, kModShift)["key"].AsString(), "A");
    EXPECT_EQ(KeyEventParams("keyUp", VK_F5, 0, 0)["key"].AsString(), "F5");
    EXPECT_EQ(KeyEventParams("keyUp", '7', 0, 0)["code"].AsString(), "Digit7");
    Json c = CharEventParams("\xC3\xA9", 0, 0);
    EXPECT_EQ(c["type"].AsString(), "char");
    EXPECT_EQ(c["text"].AsString(), "\xC3\xA9");
}

TEST(InputEvents, CssCursorsMapToTheEngineCursorTypes) {
    EXPECT_EQ(CursorTypeFromCss("pointer", false, false), WKE_CURSOR_HAND);
    EXPECT_EQ(CursorTypeFromCss("auto", true, false), WKE_CURSOR_HAND);
    EXPECT_EQ(CursorTypeFromCss("auto", false, true), WKE_CURSOR_IBEAM);
    EXPECT_EQ(CursorTypeFromCss("auto", false, false), WKE_CURSOR_POINTER);
    EXPECT_EQ(CursorTypeFromCss("ew-resize", false, false), WKE_CURSOR_EAST_WEST_RESIZE);
    EXPECT_EQ(CursorTypeFromCss("url(x.cur), grab", false, false), WKE_CURSOR_POINTER);
}

}  // namespace
