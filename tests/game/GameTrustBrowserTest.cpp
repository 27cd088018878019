// The game window on the real engine and browser, its pages from a loopback server: a sub-frame
// of the game page and a popup that ask the bridge to close the launcher change nothing, and the
// game page itself still can. The game window's own message pump runs the whole test, as in the
// launcher; a timer plays the player's part and bounds the wait.
#include <gtest/gtest.h>

#include <string>

#include "core/GameAddress.h"
#include "game/GameWnd.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/PageReports.h"

namespace {

constexpr ULONGLONG kDeadlineMs = 60000;

// A page whose script asks every bridge function to close the launcher, then reports `label`.
std::string ClosingPage(const char* label) {
    return std::string("<html><body><script>") +
           "ExitGameToLogin('closeWindow');closeWindow('closeWindow');SetTitleText('closeWindow');"
           "AppFlashCall('closeWindow');Report('" + label + "');</script></body></html>";
}

struct Progress {
    wkeWebView view = nullptr;
    ULONGLONG deadline = 0;
    bool popupOpened = false;
    bool gameAsked = false;
    bool timedOut = false;
} g_progress;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (GetTickCount64() > g_progress.deadline) {
        g_progress.timedOut = true;
        PostQuitMessage(0);
    } else if (PageReported(L"frame") && !g_progress.popupOpened) {
        g_progress.popupOpened = true;
        ClickAt(g_progress.view, 20, 20);  // the page's button opens the popup
    } else if (PageReported(L"popup") && !g_progress.gameAsked) {
        g_progress.gameAsked = true;
        wkeRunJS(g_progress.view, "closeWindow('closeWindow')");
    }
}

}  // namespace

TEST(GameTrustBrowser, PopupAndSubFrameChangeNothingWhileTheGamePageEndsTheGame) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(LoadTestEngine()) << "the engine or its browser did not start";
    server.AddPage("/game.html",
                   "<html><body style='margin:0'><button style='display:block;width:200px;height:60px' "
                   "onclick=\"window.open('/popup.html','help','width=400,height=300')\">help</button>"
                   "<iframe src='/ad.html' width='200' height='100'></iframe></body></html>");
    server.AddPage("/ad.html", ClosingPage("frame"));
    server.AddPage("/popup.html", ClosingPage("popup"));
    jsBindFunction("Report", ReportFromPage, 1);
    g_gameAddress = server.Url("/game.html?desktopType=1").c_str();

    CGameWnd game(GetModuleHandleW(nullptr));
    game.Create();
    ASSERT_NE(game.WebView(), nullptr);
    g_progress.view = game.WebView();
    g_progress.deadline = GetTickCount64() + kDeadlineMs;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);
    ASSERT_NE(timer, 0u);
    // Ends on the first quit: a refused call that had been obeyed would end it before the popup.
    game.PumpMessages();
    KillTimer(nullptr, timer);

    EXPECT_FALSE(g_progress.timedOut);
    EXPECT_TRUE(PageReported(L"frame"));
    EXPECT_TRUE(PageReported(L"popup"));
    EXPECT_TRUE(g_progress.gameAsked);
    EXPECT_TRUE(IsWindow(game.HostWindow()));
}
