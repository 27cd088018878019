// The launcher's popup web windows and what every one of its views is told about itself.
// Pages open popups (window.open, target=_blank, links the launcher turns into popups) and the
// login window's link buttons open configured pages; all of them show in top-level windows of
// the engine, titled with the configured "Title", with the launcher's user agent and language.
#pragma once

#include "platform/wke.h"

// Gives `view` the launcher's user agent and, when configured, the "Language" value (converted
// to the system code page, as the engine takes it).
void ApplyLauncherIdentity(wkeWebView view);

// The handlers of a popup, with the parameter they get. Every popup's own popups get the same.
struct PopupHandlers {
    wkeCreateViewCallback onCreateView = nullptr;
    wkeAlertBoxCallback onAlert = nullptr;
    wkeConsoleCallback onConsole = nullptr;  // null: console messages go nowhere
    void* param = nullptr;
};

// Makes a popup web window at the place and size `features` asks (null: the engine's defaults),
// titled, shown and centred on the screen, with `handlers` and the launcher's identity. Null when
// the engine makes none.
wkeWebView CreatePopupWindow(const wkeWindowFeatures* features, const PopupHandlers& handlers);
