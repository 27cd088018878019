// How Win32 input reaches the engine: the flags and the cursor table, and the one adapter that the
// game window, the web view control and the engine's own windows feed their views through. The
// engine builds it too (it does not link the launcher's loader), so everyone uses the same rules.
#pragma once

#include <windows.h>

#include "platform/wke.h"

// The engine's flags for a mouse or wheel message: the MK_LBUTTON, MK_RBUTTON, MK_SHIFT,
// MK_CONTROL and MK_MBUTTON bits of wParam at their places, every other bit cleared.
inline unsigned WkeMouseFlags(WPARAM wParam) {
    return static_cast<unsigned>(wParam & (MK_LBUTTON | MK_RBUTTON | MK_SHIFT | MK_CONTROL | MK_MBUTTON));
}

// The engine's flags for a key message: 0x4000 for a repeat (bit 30 of lParam), 0x0100 for an
// extended key (bit 24).
inline unsigned WkeKeyFlags(LPARAM lParam) {
    unsigned flags = 0;
    if (lParam & (1 << 30)) flags |= 0x4000;
    if (lParam & (1 << 24)) flags |= 0x0100;
    return flags;
}

// The system cursor (for LoadCursorW with no module) for the page's cursor type; the arrow for
// every type without a cursor of its own, the column and row resize types and unknown values
// included.
inline LPCWSTR WkeCursorId(int cursorType) {
    switch (cursorType) {
    case WKE_CURSOR_CROSS: return IDC_CROSS;
    case WKE_CURSOR_HAND: return IDC_HAND;
    case WKE_CURSOR_IBEAM: return IDC_IBEAM;
    case WKE_CURSOR_WAIT: return IDC_WAIT;
    case WKE_CURSOR_HELP: return IDC_HELP;
    case WKE_CURSOR_EAST_RESIZE:
    case WKE_CURSOR_WEST_RESIZE:
    case WKE_CURSOR_EAST_WEST_RESIZE: return IDC_SIZEWE;
    case WKE_CURSOR_NORTH_RESIZE:
    case WKE_CURSOR_SOUTH_RESIZE:
    case WKE_CURSOR_NORTH_SOUTH_RESIZE: return IDC_SIZENS;
    case WKE_CURSOR_NORTH_EAST_RESIZE:
    case WKE_CURSOR_SOUTH_WEST_RESIZE: return IDC_SIZENESW;
    case WKE_CURSOR_NORTH_WEST_RESIZE:
    case WKE_CURSOR_SOUTH_EAST_RESIZE: return IDC_SIZENWSE;
    case WKE_CURSOR_NORTH_EAST_SOUTH_WEST_RESIZE:
    case WKE_CURSOR_NORTH_WEST_SOUTH_EAST_RESIZE: return IDC_SIZEALL;
    default: return IDC_ARROW;
    }
}

// Shows the system cursor for the page's cursor type.
void SetWkeCursor(int cursorType);

// The engine's input entry points, as the adapter calls them: the launcher passes those it loaded
// from node.dll (WkeLoadedInputCalls), the engine its own. They cross the DLL boundary, so each
// carries the interface's convention.
struct WkeInputCalls {
    bool(WKE_CALL* fireMouse)(wkeWebView view, unsigned message, int x, int y, unsigned flags);
    bool(WKE_CALL* fireWheel)(wkeWebView view, int x, int y, int delta, unsigned flags);
    bool(WKE_CALL* fireKeyDown)(wkeWebView view, unsigned virtualKey, unsigned flags, bool systemKey);
    bool(WKE_CALL* fireKeyUp)(wkeWebView view, unsigned virtualKey, unsigned flags, bool systemKey);
    bool(WKE_CALL* fireKeyPress)(wkeWebView view, unsigned charCode, unsigned flags, bool systemKey);
    bool(WKE_CALL* fireContextMenu)(wkeWebView view, int x, int y, unsigned flags);
    void(WKE_CALL* setFocus)(wkeWebView view);
    void(WKE_CALL* killFocus)(wkeWebView view);
    wkeRect(WKE_CALL* caretRect)(wkeWebView view);
    int(WKE_CALL* cursorType)(wkeWebView view);
};

// One input for the page, in the terms of the engine's entry points.
struct WkeInputEvent {
    enum Kind { None, Mouse, Wheel, KeyDown, KeyUp, Char, ContextMenu, SetFocus, KillFocus };
    Kind kind = None;
    unsigned message = 0;  // Mouse: the Win32 mouse message, unchanged
    int x = 0;             // Mouse, Wheel, ContextMenu: view coordinates
    int y = 0;
    int delta = 0;         // Wheel: WHEEL_DELTA units, positive away from the user
    unsigned code = 0;     // KeyDown, KeyUp: the virtual key; Char: the character
    unsigned flags = 0;    // as the entry point takes them
};

// Hands the event to the view (keys never as system keys). True when the page took it; focus
// changes are always taken, None never.
bool FireWkeInput(const WkeInputCalls& calls, wkeWebView view, const WkeInputEvent& event);

// Where the input method's window goes when a composition starts.
enum class WkeImePlacement {
    System,              // left to the default processing
    CandidateBelowCaret, // the candidate list below the caret, never over it
    CompositionAtCaret,  // the composition window forced to the caret's top-left corner
};

// Places the input method's window of `window` for the caret (view coordinates) of a view whose
// top-left corner is at `origin` in the window's client area. Nothing for System.
void PlaceWkeImeWindow(HWND window, WkeImePlacement placement, const wkeRect& caret, POINT origin);

// What differs between the windows that feed a view from their own window procedure (the view
// fills their client area). Everything else is the same for all of them: points from lParam
// (screen points of the wheel and the menu made client points), the flags above, the focus and
// the mouse capture taken on a button press and released on its release.
struct WkeWindowInputOptions {
    bool contextMenu;       // WM_CONTEXTMENU goes to the page
    bool pageCursor;        // WM_SETCURSOR over the client area shows the page's cursor
    WkeImePlacement ime;    // what WM_IME_STARTCOMPOSITION does
};

// The game window ("ORVEL_GAME"). The menu key reaches the game page as its context menu, with
// the modifiers held (the message itself carries none). The window keeps its class's arrow over
// the page: WM_SETCURSOR is the default processing's. An input method lists its candidates
// below the page's caret, so the list never hides what is being typed.
constexpr WkeWindowInputOptions kGameWindowInput{true, false, WkeImePlacement::CandidateBelowCaret};

// The engine's own window of a window view (the launcher's popups). Nothing draws a cursor for
// these windows but the window itself, so it shows the page's. The page's context menu is the one
// its right button raises in the browser, and the input method keeps the system's placement:
// WM_CONTEXTMENU and the composition are the default processing's.
constexpr WkeWindowInputOptions kEngineWindowInput{false, true, WkeImePlacement::System};

// Feeds one message of `window`, which shows `view`, to the view. True when the message was the
// page's, with the procedure's answer in *result (0, or TRUE for a cursor shown); false when it is
// the caller's to handle (its default processing): not input, or input the page refused.
bool WkeWindowInput(const WkeInputCalls& calls, const WkeWindowInputOptions& options, wkeWebView view, HWND window,
                    UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
