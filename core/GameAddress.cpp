#include "core/GameAddress.h"

CDuiString g_gameAddress;

CDuiString WithDesktopType(const CDuiString& address) {
    CDuiString result(address);
    if (result.Find(L"desktopType") < 0) result += L"&desktopType=1";
    return result;
}
