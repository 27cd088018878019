#include "platform/WkeInput.h"

#include <imm.h>
#include <windowsx.h>

namespace {

// The modifier state the player holds right now, in the mouse flags' bits. WM_CONTEXTMENU carries
// a window handle where the mouse messages carry these.
unsigned HeldModifiers() {
    unsigned flags = 0;
    if (GetKeyState(VK_SHIFT) < 0) flags |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0) flags |= MK_CONTROL;
    return flags;
}

WkeInputEvent Event(WkeInputEvent::Kind kind) {
    WkeInputEvent event;
    event.kind = kind;
    return event;
}

WkeInputEvent MouseEvent(UINT message, WPARAM wParam, LPARAM lParam) {
    WkeInputEvent event = Event(WkeInputEvent::Mouse);
    event.message = message;
    event.x = GET_X_LPARAM(lParam);
    event.y = GET_Y_LPARAM(lParam);
    event.flags = WkeMouseFlags(wParam);
    return event;
}

WkeInputEvent KeyEvent(WkeInputEvent::Kind kind, WPARAM wParam, LPARAM lParam) {
    WkeInputEvent event = Event(kind);
    event.code = static_cast<unsigned>(wParam);
    event.flags = WkeKeyFlags(lParam);
    return event;
}

// The client point of a message that carries a screen point; the menu key's (-1, -1) is no
// screen point and stays as it is.
POINT ClientPoint(HWND window, LPARAM lParam, bool keepMenuKey) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (!keepMenuKey || (pt.x != -1 && pt.y != -1)) ScreenToClient(window, &pt);
    return pt;
}

}  // namespace

void SetWkeCursor(int cursorType) { SetCursor(LoadCursorW(nullptr, WkeCursorId(cursorType))); }

bool FireWkeInput(const WkeInputCalls& calls, wkeWebView view, const WkeInputEvent& event) {
    switch (event.kind) {
    case WkeInputEvent::Mouse: return calls.fireMouse(view, event.message, event.x, event.y, event.flags);
    case WkeInputEvent::Wheel: return calls.fireWheel(view, event.x, event.y, event.delta, event.flags);
    case WkeInputEvent::KeyDown: return calls.fireKeyDown(view, event.code, event.flags, false);
    case WkeInputEvent::KeyUp: return calls.fireKeyUp(view, event.code, event.flags, false);
    case WkeInputEvent::Char: return calls.fireKeyPress(view, event.code, event.flags, false);
    case WkeInputEvent::ContextMenu: return calls.fireContextMenu(view, event.x, event.y, event.flags);
    case WkeInputEvent::SetFocus: calls.setFocus(view); return true;
    case WkeInputEvent::KillFocus: calls.killFocus(view); return true;
    case WkeInputEvent::None: break;
    }
    return false;
}

void PlaceWkeImeWindow(HWND window, WkeImePlacement placement, const wkeRect& caret, POINT origin) {
    if (placement == WkeImePlacement::System) return;
    HIMC context = ImmGetContext(window);
    if (!context) return;
    const int x = origin.x + caret.x;
    const int y = origin.y + caret.y;
    if (placement == WkeImePlacement::CandidateBelowCaret) {
        CANDIDATEFORM form{};
        form.dwIndex = 0;
        form.dwStyle = CFS_EXCLUDE;
        form.ptCurrentPos = POINT{x, y + caret.h};
        form.rcArea = RECT{x, y, x + caret.w, y + caret.h};
        ImmSetCandidateWindow(context, &form);
    } else {
        COMPOSITIONFORM form{};
        form.dwStyle = CFS_POINT | CFS_FORCE_POSITION;
        form.ptCurrentPos = POINT{x, y};
        ImmSetCompositionWindow(context, &form);
    }
    ImmReleaseContext(window, context);
}

bool WkeWindowInput(const WkeInputCalls& calls, const WkeWindowInputOptions& options, wkeWebView view, HWND window,
                    UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    WkeInputEvent event;
    switch (message) {
    case WM_SETFOCUS: event = Event(WkeInputEvent::SetFocus); break;
    case WM_KILLFOCUS: event = Event(WkeInputEvent::KillFocus); break;
    case WM_IME_STARTCOMPOSITION:
        if (options.ime == WkeImePlacement::System) return false;
        PlaceWkeImeWindow(window, options.ime, calls.caretRect(view), POINT{0, 0});
        return true;
    case WM_SETCURSOR:
        if (!options.pageCursor || LOWORD(lParam) != HTCLIENT) return false;
        SetWkeCursor(calls.cursorType(view));
        *result = TRUE;
        return true;
    case WM_CONTEXTMENU: {
        if (!options.contextMenu) return false;
        const POINT pt = ClientPoint(window, lParam, true);
        event = Event(WkeInputEvent::ContextMenu);
        event.x = pt.x;
        event.y = pt.y;
        event.flags = HeldModifiers();
        break;
    }
    case WM_KEYDOWN: event = KeyEvent(WkeInputEvent::KeyDown, wParam, lParam); break;
    case WM_KEYUP: event = KeyEvent(WkeInputEvent::KeyUp, wParam, lParam); break;
    case WM_CHAR: event = KeyEvent(WkeInputEvent::Char, wParam, lParam); break;
    case WM_MOUSEWHEEL: {
        const POINT pt = ClientPoint(window, lParam, false);
        event = Event(WkeInputEvent::Wheel);
        event.x = pt.x;
        event.y = pt.y;
        event.delta = GET_WHEEL_DELTA_WPARAM(wParam);
        event.flags = WkeMouseFlags(GET_KEYSTATE_WPARAM(wParam));
        break;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        SetFocus(window);
        // Captured, so that a drag released outside the window still reaches the page.
        SetCapture(window);
        event = MouseEvent(message, wParam, lParam);
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        ReleaseCapture();
        event = MouseEvent(message, wParam, lParam);
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        event = MouseEvent(message, wParam, lParam);
        break;
    default:
        return false;
    }
    return FireWkeInput(calls, view, event);
}
