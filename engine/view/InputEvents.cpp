#include "engine/view/InputEvents.h"

#include <windows.h>

#include <cstdio>

#include "platform/wke.h"

namespace {

struct NamedKey {
    unsigned vk;
    const char* key;
    const char* code;
};

const NamedKey kNamedKeys[] = {
    {VK_BACK, "Backspace", "Backspace"}, {VK_TAB, "Tab", "Tab"}, {VK_RETURN, "Enter", "Enter"},
    {VK_SHIFT, "Shift", "ShiftLeft"}, {VK_CONTROL, "Control", "ControlLeft"}, {VK_MENU, "Alt", "AltLeft"},
    {VK_PAUSE, "Pause", "Pause"}, {VK_CAPITAL, "CapsLock", "CapsLock"}, {VK_ESCAPE, "Escape", "Escape"},
    {VK_SPACE, " ", "Space"}, {VK_PRIOR, "PageUp", "PageUp"}, {VK_NEXT, "PageDown", "PageDown"},
    {VK_END, "End", "End"}, {VK_HOME, "Home", "Home"}, {VK_LEFT, "ArrowLeft", "ArrowLeft"},
    {VK_UP, "ArrowUp", "ArrowUp"}, {VK_RIGHT, "ArrowRight", "ArrowRight"}, {VK_DOWN, "ArrowDown", "ArrowDown"},
    {VK_INSERT, "Insert", "Insert"}, {VK_DELETE, "Delete", "Delete"}, {VK_LWIN, "Meta", "MetaLeft"},
    {VK_RWIN, "Meta", "MetaRight"}, {VK_APPS, "ContextMenu", "ContextMenu"},
};

}  // namespace

int MouseModifiers(unsigned flags) {
    int modifiers = 0;
    if (flags & MK_SHIFT) modifiers |= kModShift;
    if (flags & MK_CONTROL) modifiers |= kModCtrl;
    return modifiers;
}

static int MouseButtons(unsigned flags) {
    int buttons = 0;
    if (flags & MK_LBUTTON) buttons |= 1;
    if (flags & MK_RBUTTON) buttons |= 2;
    if (flags & MK_MBUTTON) buttons |= 4;
    return buttons;
}

bool MouseEventParams(unsigned message, int x, int y, unsigned flags, int& lastClickCount, Json& params) {
    const char* type;
    const char* button;
    int clickCount = 0;
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
        type = "mouseMoved";
        button = (flags & MK_LBUTTON) ? "left" : (flags & MK_RBUTTON) ? "right" : (flags & MK_MBUTTON) ? "middle" : "none";
        break;
    case WM_LBUTTONDOWN: type = "mousePressed"; button = "left"; clickCount = 1; break;
    case WM_LBUTTONDBLCLK: type = "mousePressed"; button = "left"; clickCount = 2; break;
    case WM_RBUTTONDOWN: type = "mousePressed"; button = "right"; clickCount = 1; break;
    case WM_RBUTTONDBLCLK: type = "mousePressed"; button = "right"; clickCount = 2; break;
    case WM_MBUTTONDOWN: type = "mousePressed"; button = "middle"; clickCount = 1; break;
    case WM_MBUTTONDBLCLK: type = "mousePressed"; button = "middle"; clickCount = 2; break;
    case WM_LBUTTONUP: type = "mouseReleased"; button = "left"; break;
    case WM_RBUTTONUP: type = "mouseReleased"; button = "right"; break;
    case WM_MBUTTONUP: type = "mouseReleased"; button = "middle"; break;
    default: return false;
    }
    if (clickCount) {
        lastClickCount = clickCount;
    } else if (type[5] == 'R') {  // mouseReleased ends the press it belongs to
        clickCount = lastClickCount ? lastClickCount : 1;
        lastClickCount = 0;
    }
    params = Json::Object();
    params.Set("type", type).Set("x", x).Set("y", y).Set("button", button).Set("buttons", MouseButtons(flags));
    params.Set("modifiers", MouseModifiers(flags)).Set("clickCount", clickCount);
    return true;
}

Json WheelEventParams(int x, int y, int delta, unsigned flags) {
    Json params = Json::Object();
    // One notch (120) scrolls 100 pixels, as desktop browsers do; up is negative in DevTools.
    params.Set("type", "mouseWheel").Set("x", x).Set("y", y).Set("deltaX", 0);
    params.Set("deltaY", -static_cast<double>(delta) * 100.0 / WHEEL_DELTA).Set("modifiers", MouseModifiers(flags));
    return params;
}

Json KeyEventParams(const char* type, unsigned virtualKey, unsigned flags, int modifiers) {
    Json params = Json::Object();
    params.Set("type", type).Set("windowsVirtualKeyCode", virtualKey).Set("nativeVirtualKeyCode", virtualKey);
    params.Set("modifiers", modifiers).Set("autoRepeat", (flags & 0x4000) != 0);
    std::string key;
    std::string code;
    for (const NamedKey& named : kNamedKeys) {
        if (named.vk == virtualKey) {
            key = named.key;
            code = named.code;
        }
    }
    char buf[16];
    if (key.empty() && virtualKey >= 'A' && virtualKey <= 'Z') {
        key = std::string(1, static_cast<char>((modifiers & kModShift) ? virtualKey : virtualKey + 32));
        code = std::string("Key") + static_cast<char>(virtualKey);
    } else if (key.empty() && virtualKey >= '0' && virtualKey <= '9') {
        key = std::string(1, static_cast<char>(virtualKey));
        code = std::string("Digit") + static_cast<char>(virtualKey);
    } else if (key.empty() && virtualKey >= VK_F1 && virtualKey <= VK_F24) {
        std::snprintf(buf, sizeof buf, "F%u", virtualKey - VK_F1 + 1);
        key = code = buf;
    } else if (key.empty() && virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9) {
        key = std::string(1, static_cast<char>('0' + virtualKey - VK_NUMPAD0));
        std::snprintf(buf, sizeof buf, "Numpad%u", virtualKey - VK_NUMPAD0);
        code = buf;
    }
    if (!key.empty()) params.Set("key", key);
    if (!code.empty()) params.Set("code", code);
    if ((flags & 0x0100) && virtualKey == VK_RETURN) params.Set("isKeypad", true);
    return params;
}

Json CharEventParams(const std::string& text, unsigned flags, int modifiers) {
    Json params = Json::Object();
    params.Set("type", "char").Set("text", text).Set("unmodifiedText", text).Set("key", text);
    params.Set("modifiers", modifiers).Set("autoRepeat", (flags & 0x4000) != 0);
    return params;
}

int CursorTypeFromCss(const std::string& css, bool overLink, bool overText) {
    static const struct {
        const char* css;
        int type;
    } kCursors[] = {
        {"default", WKE_CURSOR_POINTER}, {"pointer", WKE_CURSOR_HAND}, {"crosshair", WKE_CURSOR_CROSS},
        {"text", WKE_CURSOR_IBEAM}, {"vertical-text", WKE_CURSOR_IBEAM}, {"wait", WKE_CURSOR_WAIT},
        {"progress", WKE_CURSOR_WAIT}, {"help", WKE_CURSOR_HELP}, {"e-resize", WKE_CURSOR_EAST_RESIZE},
        {"n-resize", WKE_CURSOR_NORTH_RESIZE}, {"ne-resize", WKE_CURSOR_NORTH_EAST_RESIZE},
        {"nw-resize", WKE_CURSOR_NORTH_WEST_RESIZE}, {"s-resize", WKE_CURSOR_SOUTH_RESIZE},
        {"se-resize", WKE_CURSOR_SOUTH_EAST_RESIZE}, {"sw-resize", WKE_CURSOR_SOUTH_WEST_RESIZE},
        {"w-resize", WKE_CURSOR_WEST_RESIZE}, {"ns-resize", WKE_CURSOR_NORTH_SOUTH_RESIZE},
        {"ew-resize", WKE_CURSOR_EAST_WEST_RESIZE}, {"nesw-resize", WKE_CURSOR_NORTH_EAST_SOUTH_WEST_RESIZE},
        {"nwse-resize", WKE_CURSOR_NORTH_WEST_SOUTH_EAST_RESIZE}, {"col-resize", WKE_CURSOR_COLUMN_RESIZE},
        {"row-resize", WKE_CURSOR_ROW_RESIZE}, {"move", WKE_CURSOR_NORTH_WEST_SOUTH_EAST_RESIZE},
        {"all-scroll", WKE_CURSOR_NORTH_EAST_SOUTH_WEST_RESIZE},
    };
    if (css == "auto" || css.empty()) {
        if (overLink) return WKE_CURSOR_HAND;
        return overText ? WKE_CURSOR_IBEAM : WKE_CURSOR_POINTER;
    }
    for (const auto& c : kCursors) {
        if (css == c.css) return c.type;
    }
    return WKE_CURSOR_POINTER;
}
