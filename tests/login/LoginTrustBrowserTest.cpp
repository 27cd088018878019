// The login window on the real engine and browser, its pages from a loopback server: a sub-frame
// of the login page and a popup that call the bridge change nothing, and the login page itself
// still hands the game address over through the handshake.
#include "common/TextConv.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/login/LoginTestWindow.h"
#include "tests/support/PageReports.h"

#include <string>

namespace {

// A page whose script calls both login functions with `address`, then reports `label`.
std::string CallingPage(const std::string& address, const char* label) {
    return "<html><body><script>AppLoadGame('" + address + "');LoadGame('" + address + "');Report('" + label +
           "');</script></body></html>";
}

}  // namespace

TEST(LoginTrustBrowser, PopupAndSubFrameChangeNothingWhileTheLoginPageLogsIn) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(LoadTestEngine()) << "the engine or its browser did not start";
    const std::string stolen = ToUtf8(server.Url("/stolen.html").c_str());
    server.AddPage("/login.html",
                   "<html><body style='margin:0'><button style='display:block;width:200px;height:60px' "
                   "onclick=\"window.open('/pay.html','pay','width=400,height=300')\">pay</button>"
                   "<iframe src='/ad.html' width='200' height='100'></iframe></body></html>");
    server.AddPage("/ad.html", CallingPage(stolen, "frame"));
    server.AddPage("/pay.html", CallingPage(stolen, "popup"));
    // The store keeps a key's first value: this login page wins over the skin's.
    CKuku::GetInstance()->Add(L"LoginURL", server.Url("/login.html").c_str());
    logintest::UsePackedSkin();
    jsBindFunction("Report", ReportFromPage, 1);

    CLoginWnd* login = GetLoginWnd();
    ASSERT_NE(login->Create(nullptr, L"Login", WS_POPUP | WS_CLIPCHILDREN | WS_VISIBLE, 0), nullptr);
    const HWND hwnd = login->GetHWND();
    ASSERT_NE(login->GetWebViewControl(), nullptr);
    const wkeWebView view = login->GetWebViewControl()->GetWebView();
    ASSERT_TRUE(PumpUntil([] { return PageReported(L"frame"); }));

    // The player clicks the login page's button, which opens a page in a popup window of the
    // launcher; that page calls too.
    ClickAt(view, 20, 20);
    ASSERT_TRUE(PumpUntil([] { return PageReported(L"popup"); }));
    EXPECT_TRUE(g_gameAddress.IsEmpty());
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(g_pLoginWnd, login);

    // The handshake script replaces the page's LoadGame a second after the document is ready; the
    // page then logs in through it.
    ASSERT_TRUE(PumpUntil([&] {
        return ScriptText(view, wkeRunJS(view, "String(window.LoadGame).indexOf('AppLoadGame(url)')>=0")) == L"true";
    }));
    const std::string game = ToUtf8(server.Url("/game.html?user=1").c_str());
    wkeRunJS(view, ("LoadGame('" + game + "')").c_str());
    ASSERT_TRUE(PumpUntil([] { return !g_gameAddress.IsEmpty(); }));
    EXPECT_EQ(std::wstring(g_gameAddress.GetData()), server.Url("/game.html?user=1") + L"&desktopType=1");
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }));
}
