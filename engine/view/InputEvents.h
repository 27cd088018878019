// Win32 input, as the engine interface receives it, turned into DevTools Input commands.
#pragma once

#include <string>

#include "engine/devtools/Json.h"

// DevTools modifier bits.
enum : int { kModAlt = 1, kModCtrl = 2, kModMeta = 4, kModShift = 8 };

// Input.dispatchMouseEvent parameters for a Win32 mouse message (WM_MOUSEMOVE, WM_xBUTTONDOWN,
// WM_xBUTTONUP, WM_xBUTTONDBLCLK, WM_MOUSELEAVE) at view coordinates with MK_* flags. A double
// click is a press with click count 2. False for messages that are not mouse messages.
// `lastClickCount` carries the count of the last press to its release.
bool MouseEventParams(unsigned message, int x, int y, unsigned flags, int& lastClickCount, Json& params);

// Input.dispatchMouseEvent parameters for a wheel turn of `delta` (WHEEL_DELTA units, positive
// away from the user, which scrolls up).
Json WheelEventParams(int x, int y, int delta, unsigned flags);

// Input.dispatchKeyEvent parameters. `type` is "rawKeyDown" or "keyUp"; flags carry 0x4000 for a
// repeat and 0x0100 for an extended key; `modifiers` are DevTools bits.
Json KeyEventParams(const char* type, unsigned virtualKey, unsigned flags, int modifiers);

// Input.dispatchKeyEvent parameters for typed text (one character, already UTF-8).
Json CharEventParams(const std::string& text, unsigned flags, int modifiers);

// DevTools modifiers from MK_* mouse flags.
int MouseModifiers(unsigned flags);

// The engine's cursor type (wkeCursorType) for a CSS cursor value; `overLink` and `overText`
// say what "auto" resolves to.
int CursorTypeFromCss(const std::string& css, bool overLink, bool overText);
