// The game page bridge: what the page asks of the launcher and what the launcher asks of it.
// The handlers themselves are members of CGameWnd (game/GameWnd.h); this header adds the pieces
// that are useful on their own.
#pragma once

#include <string>

// The script run on every document of the game view: it adds the client script element.
std::wstring ClientScriptInjection();

// Starts the launcher's own executable without arguments. Refuses (returns false) when the
// executable's path cannot be read whole, rather than starting a truncated one.
bool RestartLauncher();

// Binds the page's bridge names ("ExitGameToLogin", "closeWindow", "SetTitleText",
// "AppFlashCall") to CGameWnd::OnBridgeCall. The binding is global, not per view.
void BindBridgeFunctions();
