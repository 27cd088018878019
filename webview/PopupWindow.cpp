#include "webview/PopupWindow.h"

#include "common/TextConv.h"
#include "core/ConfigKeys.h"
#include "core/Kuku.h"
#include "core/UserAgent.h"

void ApplyLauncherIdentity(wkeWebView view) {
    wkeSetUserAgent(view, kLauncherUserAgent);
    const wchar_t* language = ConfigValue(ConfigKey::kLanguage);
    if (*language) wkeSetLanguage(view, WideToMultiByte(language, CP_ACP).c_str());
}

wkeWebView CreatePopupWindow(const wkeWindowFeatures* features, const PopupHandlers& handlers) {
    const wkeWindowFeatures none{};
    if (!features) features = &none;
    wkeWebView popup = wkeCreateWebWindow(WKE_WINDOW_TYPE_POPUP, nullptr, features->x, features->y,
                                          features->width, features->height);
    if (!popup) return nullptr;
    wkeSetWindowTitle(popup, ToUtf8(ConfigValue(ConfigKey::kTitle)).c_str());
    wkeOnCreateView(popup, handlers.onCreateView, handlers.param);
    wkeOnAlertBox(popup, handlers.onAlert, handlers.param);
    if (handlers.onConsole) wkeOnConsole(popup, handlers.onConsole, handlers.param);
    ApplyLauncherIdentity(popup);
    wkeShowWindow(popup, true);
    // Centred before any caller maximises it, so that restoring brings it back to the middle.
    wkeMoveToCenter(popup);
    return popup;
}
