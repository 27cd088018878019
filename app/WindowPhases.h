// The window phases of a launcher run. Each returns once its message loop has ended, or at once
// when its window could not be made (then no window would ever post the quit message).
#pragma once

#include <windows.h>

#include "duilib/UIString.h"
#include "update/UpdateRelease.h"

void RunUpdatePhase(const CDuiString& installerUrl, const UpdateRelease& release);
void RunLoginPhase();
void RunGamePhase(HINSTANCE instance);
