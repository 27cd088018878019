// The game address of this run: empty until the command line or the login page sets it.
#pragma once

#include "duilib/UIString.h"

extern CDuiString g_gameAddress;

// The address as the game page is loaded: with "&desktopType=1" appended when it does not name
// "desktopType" anywhere (the page tells the launcher from a browser by it).
CDuiString WithDesktopType(const CDuiString& address);
