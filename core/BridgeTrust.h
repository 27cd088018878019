// Which callers the launcher's script bridge answers. The bound functions are global to the
// engine, so every page of every view (a popup opened from a link, an advertisement frame inside
// the login page) can call them; only the launcher's own page in its own view may be obeyed.
#pragma once

#include <string>
#include <vector>

#include "common/WebOrigin.h"
#include "platform/wke.h"

// The origins named by the configuration key "TrustedOrigins" (see ParseOriginList). Entries that
// are no origin are written to the debugger output and ignored.
std::vector<WebOrigin> ConfiguredTrustedOrigins();

// True when the native function running for `es` was called from the main frame of `view` by a
// document on the origin of `ownAddress` or on one of ConfiguredTrustedOrigins(). Otherwise (also
// when `view` is null or the engine cannot tell who called) the call is refused: the function
// name and the caller's address go to the debugger output, and the caller must change nothing.
bool IsTrustedBridgeCall(jsExecState es, wkeWebView view, const wchar_t* ownAddress);
