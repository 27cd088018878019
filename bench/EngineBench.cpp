// Measures the engine against the real browser: start-up times, frames per second of an animated
// page, and frames delivered while a page stands still.
// Run: wine64 build/x86_64/bench/engine_bench.exe
#include <windows.h>

#include <cstdio>

#include "tests/engine/EngineTestSupport.h"
#include "tests/support/LoopbackHttpServer.h"

namespace {

int g_frames = 0;

void WKE_CALL CountFrame(wkeWebView, void*, HDC, int, int, int, int) { ++g_frames; }

double FramesPerSecond(DWORD ms) {
    g_frames = 0;
    const ULONGLONG start = GetTickCount64();
    PumpUntil([] { return false; }, ms);
    return g_frames * 1000.0 / static_cast<double>(GetTickCount64() - start);
}

}  // namespace

int main() {
    LoopbackHttpServer server;
    if (!server.Start()) return 1;
    server.AddPage("/animated.html",
                   "<html><body style='margin:0'><canvas id=c width=800 height=600></canvas><script>"
                   "var c=document.getElementById('c').getContext('2d'),n=0;"
                   "function f(){n++;c.fillStyle='hsl('+(n%360)+',80%,50%)';c.fillRect(0,0,800,600);"
                   "c.fillStyle='#fff';c.fillRect((n*7)%760,(n*3)%560,40,40);requestAnimationFrame(f);}f();"
                   "</script></body></html>");
    server.AddPage("/still.html", "<html><body style='background:#eee'>still</body></html>");

    // The browser starts behind wkeInitializeEx: the calls return at once, and the first script
    // answer shows when the page is there.
    const ULONGLONG before = GetTickCount64();
    if (!LoadTestEngine()) return 1;
    std::printf("engine start (returns, the browser starting behind it): %llu ms\n", GetTickCount64() - before);
    const ULONGLONG viewStart = GetTickCount64();
    wkeWebView view = wkeCreateWebView();
    std::printf("first view: %llu ms\n", GetTickCount64() - viewStart);
    if (!view || AnswerOncePageRuns(view, "1") != L"1") return 1;
    std::printf("browser up, first page running: %llu ms\n", GetTickCount64() - before);
    wkeResize(view, 800, 600);
    wkeOnPaintUpdated(view, CountFrame, nullptr);

    const std::wstring animated = server.Url("/animated.html");
    wkeLoadURLW(view, animated.c_str());
    PumpUntil([] { return g_frames > 0; });
    std::printf("animated 800x600 page: %.1f frames/s\n", FramesPerSecond(5000));

    const std::wstring still = server.Url("/still.html");
    wkeLoadURLW(view, still.c_str());
    PumpUntil([] { return false; }, 1500);
    std::printf("still page: %.1f frames/s\n", FramesPerSecond(3000));
    return 0;
}
