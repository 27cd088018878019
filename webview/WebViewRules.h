// The web view control's fixed rules: which loader a URL goes to, how framework input flags
// become engine flags, and bounded URL storage. (The cursor and mouse-flag rules it shares with
// the game window are in platform/WkeInput.h.)
#pragma once

#include <windows.h>

#include <string>

// Capacity, terminator included, of the control's stored URLs (home page, error page).
constexpr size_t kWebUrlCapacity = 1024;

// The lower-cased scheme of `url` as converted to the ANSI code page: the text before the first
// ':', empty when there is no ':' or that text holds anything but ASCII letters, '+', '-', '.'.
std::string UrlScheme(const wchar_t* url);

// True when the engine must load `url` as a local file (scheme "file", any letter case).
bool IsFileUrl(const wchar_t* url);

// True for an address with the scheme http or https (any letter case).
bool IsWebUrl(const wchar_t* url);

// Context-menu flags: only MK_SHIFT and MK_CONTROL of wParam.
unsigned ContextMenuFlags(WPARAM wParam);

// Wheel delta: +120 (up) when wParam is 0, -120 otherwise.
int WheelDelta(WPARAM wParam);

// Copies zero-terminated `text` into `buffer` when it fits with its terminator and returns true.
// Longer text is refused: the buffer keeps what it held and the result is false. Null text is
// stored as the empty string.
bool StoreBoundedUrl(wchar_t (&buffer)[kWebUrlCapacity], const wchar_t* text);
