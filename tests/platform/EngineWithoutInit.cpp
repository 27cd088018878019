// An engine DLL that lacks the initialiser but exports a view entry point.
#define WKE_BUILDING_ENGINE
#include "platform/wke.h"

extern "C" __declspec(dllexport) wkeWebView WKE_CALL wkeCreateWebView(void) {
    return reinterpret_cast<wkeWebView>(static_cast<intptr_t>(1));
}
