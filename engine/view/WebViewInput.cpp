// Input for the page, and the caret and cursor that the page reports back.
#include "engine/view/WebView.h"

#include <cstdio>

#include "common/TextConv.h"
#include "engine/view/Engine.h"
#include "engine/view/InputEvents.h"

namespace {

// Finds, for a point, the CSS cursor and whether it is over a link or editable text; and the
// rectangle of the focused editable element (where the caret is).
const char kCaretScript[] =
    "(function(){var e=document.activeElement;if(!e||e===document.body||e===document.documentElement)return '';"
    "var r=e.getBoundingClientRect();var s=getComputedStyle(e);var l=parseFloat(s.paddingLeft)||0;"
    "var t=parseFloat(s.paddingTop)||0;var h=parseFloat(s.fontSize)||r.height;"
    "return Math.round(r.left+l)+','+Math.round(r.top+t)+',1,'+Math.round(Math.min(h*1.2,r.height));})()";

std::string CursorScript(int x, int y) {
    char script[512];
    std::snprintf(script, sizeof script,
                  "(function(){var e=document.elementFromPoint(%d,%d);if(!e)return 'default,0,0';"
                  "var c=getComputedStyle(e).cursor;var a=e.closest&&e.closest('a[href]')?1:0;"
                  "var t=(e.isContentEditable||e.tagName==='TEXTAREA'||(e.tagName==='INPUT'&&"
                  "/^(text|search|email|url|tel|password|number|)$/.test(e.type)))?1:0;return c+','+a+','+t;})()",
                  x, y);
    return script;
}

int KeyboardModifiers() {
    int modifiers = 0;
    if (GetKeyState(VK_SHIFT) < 0) modifiers |= kModShift;
    if (GetKeyState(VK_CONTROL) < 0) modifiers |= kModCtrl;
    if (GetKeyState(VK_MENU) < 0) modifiers |= kModAlt;
    return modifiers;
}

}  // namespace

bool WebView::FireMouse(unsigned message, int x, int y, unsigned flags) {
    Json params;
    if (!MouseEventParams(message, x, y, flags, m_lastClickCount, params)) return false;
    const std::string& type = params["type"].AsString();
    const bool press = type == "mousePressed";
    if (press || type == "mouseReleased") SendActivatingInput("Input.dispatchMouseEvent", params, press);
    else Send("Input.dispatchMouseEvent", params);
    RefreshCaretAndCursor(x, y, !press);
    return true;
}

bool WebView::FireWheel(int x, int y, int delta, unsigned flags) {
    Send("Input.dispatchMouseEvent", WheelEventParams(x, y, delta, flags));
    return true;
}

bool WebView::FireKey(bool down, unsigned virtualKey, unsigned flags) {
    if (virtualKey == 0 || virtualKey > 0xFE) return false;
    Json params = KeyEventParams(down ? "rawKeyDown" : "keyUp", virtualKey, flags, KeyboardModifiers());
    // As in a browser, Escape and the modifier keys alone do not count as the player's activation.
    const bool activates = down && virtualKey != VK_ESCAPE && virtualKey != VK_SHIFT && virtualKey != VK_CONTROL &&
                           virtualKey != VK_MENU && virtualKey != VK_LWIN && virtualKey != VK_RWIN;
    if (activates) SendActivatingInput("Input.dispatchKeyEvent", params, true);
    else Send("Input.dispatchKeyEvent", params);
    if (!down) RefreshCaretAndCursor(0, 0, false);
    return true;
}

bool WebView::FireChar(unsigned charCode, unsigned flags) {
    if (charCode >= 0xD800 && charCode < 0xDC00) {  // the first half of a pair: wait for the second
        m_highSurrogate = static_cast<wchar_t>(charCode);
        return true;
    }
    wchar_t text[3] = {0, 0, 0};
    if (charCode >= 0xDC00 && charCode < 0xE000 && m_highSurrogate) {
        text[0] = m_highSurrogate;
        text[1] = static_cast<wchar_t>(charCode);
    } else if (charCode > 0 && charCode < 0x10000) {
        text[0] = static_cast<wchar_t>(charCode);
    } else {
        return false;
    }
    m_highSurrogate = 0;
    Send("Input.dispatchKeyEvent", CharEventParams(ToUtf8(text), flags, KeyboardModifiers()));
    return true;
}

bool WebView::FireContextMenu(int x, int y, unsigned flags) {
    // Headless pages have no menu of their own; the page still gets its contextmenu event.
    char script[384];
    std::snprintf(script, sizeof script,
                  "(function(){var e=document.elementFromPoint(%d,%d)||document.body;if(e)e.dispatchEvent(new "
                  "MouseEvent('contextmenu',{bubbles:true,cancelable:true,clientX:%d,clientY:%d,button:2,"
                  "shiftKey:%s,ctrlKey:%s}));})()",
                  x, y, x, y, (flags & MK_SHIFT) ? "true" : "false", (flags & MK_CONTROL) ? "true" : "false");
    // Not as the player's gesture: the right button's press has activated the page already.
    Json params = Json::Object();
    params.Set("expression", script);
    Send("Runtime.evaluate", params);
    return true;
}

void WebView::SetFocus(bool focused) {
    m_focused = focused;
    ApplyFocus();
}

void WebView::ApplyFocus() {
    // A page that counts as focused also counts as shown: a hidden one is never focused.
    Json params = Json::Object();
    params.Set("enabled", m_focused && !m_hidden);
    Send("Emulation.setFocusEmulationEnabled", params);
}

void WebView::RefreshCaretAndCursor(int x, int y, bool withCursor) {
    // The browser does not announce caret or cursor changes, so ask the page after input and keep
    // the answers for the synchronous getters. One cursor question at a time keeps mouse moves cheap.
    if (!Attached()) return;
    Json caret = Json::Object();
    caret.Set("expression", kCaretScript).Set("returnByValue", true);
    // These run among the page's scripts, which may replace what they call (getComputedStyle,
    // getBoundingClientRect): their answers are refused unless short, and read only as short text.
    m_engine.Cdp().SendWithReply("Runtime.evaluate", caret, Session(), CdpConnection::OnUi{[live = Live()](const Json& result) {
        WebView* view = live.Get();
        if (!view) return;
        const std::string& text = result["result"]["value"].AsString();
        wkeRect rect{0, 0, 0, 0};
        if (text.size() < 64 && sscanf(text.c_str(), "%d,%d,%d,%d", &rect.x, &rect.y, &rect.w, &rect.h) == 4)
            view->m_caret = rect;
    }}, kSmallAnswer);
    if (!withCursor || m_cursorQueryInFlight) return;
    m_cursorQueryInFlight = true;
    Json cursor = Json::Object();
    cursor.Set("expression", CursorScript(x, y)).Set("returnByValue", true);
    m_engine.Cdp().SendWithReply("Runtime.evaluate", cursor, Session(), CdpConnection::OnUi{[live = Live()](const Json& result) {
        WebView* view = live.Get();
        if (!view) return;
        view->m_cursorQueryInFlight = false;
        const std::string& text = result["result"]["value"].AsString();
        size_t first = text.rfind(',', text.size() >= 2 ? text.size() - 3 : 0);
        if (text.size() < 5 || text.size() > 256 || first == std::string::npos) return;
        view->m_cursor = CursorTypeFromCss(text.substr(0, first), text[text.size() - 3] == '1', text.back() == '1');
    }}, kSmallAnswer);
}
