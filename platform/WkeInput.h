// How Win32 input and the engine's cursor types meet: the rules that the launcher's windows and
// the engine's own windows share. Header only, so that the engine (which does not link the
// launcher's loader) uses the same rules.
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
