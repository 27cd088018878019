// A stand-in launcher for the lifetime test: starts the engine (and so the browser), says
// "ready" on its standard output, then runs a message loop until it is killed.
#include <windows.h>

#include <cstdio>

#include "tests/engine/EngineTestSupport.h"

int main() {
    if (!LoadTestEngine() || !wkeCreateWebView()) return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
