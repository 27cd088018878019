#include "app/GameAddress.h"

CDuiString g_gameAddress;
