// The game address of this run: empty until the command line or the login page sets it.
#pragma once

#include "duilib/UIString.h"

extern CDuiString g_gameAddress;
