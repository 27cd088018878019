// A stand-in launcher for the lifetime test: starts the engine (and so the browser) on the
// profile its first argument names, kept as it is when the second is "keep", says "ready" on its
// standard output once the browser is up, then runs a message loop until it is killed.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/engine/EngineTestSupport.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2 || !LoadTestEngine(argv[1], argc > 2 && std::wstring(argv[2]) == L"keep")) return 1;
    // The browser starts in the background; the view's page answers once it is up.
    wkeWebView view = wkeCreateWebView();
    if (!view || AnswerOncePageRuns(view, "1") != L"1") return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
