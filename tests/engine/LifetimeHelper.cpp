// A stand-in launcher for the lifetime test: starts the engine (and so the browser), says
// "ready" on its standard output once the browser is up, then runs a message loop until it is
// killed.
#include <windows.h>

#include <cstdio>

#include "tests/engine/EngineTestSupport.h"

int main() {
    if (!LoadTestEngine()) return 1;
    // The browser starts in the background; a script call waits until the view has its page.
    wkeWebView view = wkeCreateWebView();
    if (!view || !wkeRunJS(view, "1")) return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
