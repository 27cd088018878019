// The window phases of a launcher run. Each returns once its message loop has ended, or at once
// when its window could not be made (then no window would ever post the quit message).
#pragma once

#include <windows.h>

#include "duilib/UIString.h"

class CWindowWnd;

// Creates `window` as a top-level framework window, centres it and runs the message loop.
// False, with no loop run, when the native window could not be created.
bool RunFrameworkWindow(CWindowWnd* window, const wchar_t* name, int width, int height);

void RunLoginPhase();
void RunGamePhase(HINSTANCE instance);
