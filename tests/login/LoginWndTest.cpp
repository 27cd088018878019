// The login window: wiring of its page, the load-game handshake, its buttons and its end.
#include "tests/login/LoginTestWindow.h"

#include "common/TextConv.h"

#include <imm.h>

#include <vector>

using namespace logintest;
using wkefake::CallCount;
using wkefake::JsValue;
using wkefake::LastCall;

namespace {

const char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/86.0.4240.111 "
    "Safari/537.36 OrvelClient/2.0";

// Centres of the skin's buttons, in client coordinates.
constexpr POINT kBtn1{260 + 55, 90 + 18};
constexpr POINT kBtn3{500 + 55, 90 + 18};
constexpr POINT kCloseBtn{895 + 17, 40 + 17};
constexpr POINT kMinBtn{850 + 14, 45 + 14};

}  // namespace

TEST_F(LoginWindow, OpensTheConfiguredLoginPageWithTheLaunchersSettings) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    EXPECT_EQ(rc.right - rc.left, 1100);
    EXPECT_EQ(rc.bottom - rc.top, 550);
    const wkefake::View* view = wkefake::FindView(loginView);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->lastUrl, CKuku::GetInstance()->Get(L"LoginURL"));
    EXPECT_EQ(view->userAgent, kUserAgent);
    EXPECT_EQ(view->language, "vi");
    EXPECT_EQ(view->handle, hwnd);
    EXPECT_EQ(view->name, "login");
    EXPECT_EQ(wkefake::BoundArgCount("AppLoadGame"), std::optional<unsigned>(1));
    EXPECT_EQ(wkefake::BoundArgCount("LoadGame"), std::optional<unsigned>(1));
    // A failed load of the login page leaves a blank view.
    EXPECT_TRUE(wkefake::RaiseLoadingFinished(loginView, view->lastUrl, WKE_LOADING_FAILED, L"offline", true));
    EXPECT_EQ(view->lastUrl, L"about:blank");
}

TEST_F(LoginWindow, HandshakeStoresTheGameAddressClosesTheWindowAndEndsTheLoop) {
    ASSERT_TRUE(wkefake::RaiseDocumentReady(loginView));
    ASSERT_NE(LastCall("wkeRunJS"), nullptr);
    EXPECT_EQ(LastCall("wkeRunJS")->view, loginView);
    EXPECT_EQ(LastCall("wkeRunJS")->Narrow(0),
              "setTimeout(function(){window.LoadGame=function(url){AppLoadGame(url);} },1000);");

    const std::optional<JsValue> answer = wkefake::CallBound("LoadGame", {JsValue::Str(L"http://game.example/play?sid=9")});
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->kind, JsValue::Undefined);
    EXPECT_EQ(g_gameAddress, L"http://game.example/play?sid=9&desktopType=1");

    CPaintManagerUI::MessageLoop();  // returns once the closed window posted its quit message
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(g_pLoginWnd, nullptr);
    EXPECT_TRUE(wkefake::FindView(loginView)->destroyed);

    // The bindings outlive the window; a late call changes nothing.
    wkefake::CallBound("AppLoadGame", {JsValue::Str(L"http://other.example/")});
    EXPECT_EQ(g_gameAddress, L"http://game.example/play?sid=9&desktopType=1");
    for (const wkefake::Call& call : wkefake::Calls()) EXPECT_FALSE(call.onDestroyedView) << call.name;
}

TEST_F(LoginWindow, DesktopTypeIsAddedOnlyWhenTheAddressLacksIt) {
    const struct {
        const wchar_t* given;
        const wchar_t* stored;
    } cases[] = {
        {L"https://game.example/", L"https://game.example/&desktopType=1"},
        {L"http://game.example/?desktopType=7&a=1", L"http://game.example/?desktopType=7&a=1"},
        {L"http://game.example/?x=desktopType", L"http://game.example/?x=desktopType"},
        {L"HTTP://game.example/?DESKTOPTYPE=2", L"HTTP://game.example/?DESKTOPTYPE=2&desktopType=1"},
    };
    // Each accepted call only asks the window to close, so several can be made before it goes.
    for (const auto& c : cases) {
        wkefake::CallBound("AppLoadGame", {JsValue::Str(c.given)});
        EXPECT_EQ(g_gameAddress, c.stored);
    }
    EXPECT_TRUE(PumpPending());
    EXPECT_EQ(g_pLoginWnd, nullptr);
}

TEST_F(LoginWindow, OnlyWebAddressesAreAcceptedAndTheWindowStaysForAnythingElse) {
    const std::vector<std::vector<JsValue>> refused = {
        {},
        {JsValue::Num(42)},
        {JsValue::Str(L"")},
        {JsValue::Str(L"javascript:alert(1)")},
        {JsValue::Str(L"file:///C:/Windows/win.ini")},
        {JsValue::Str(L"data:text/html,<b>x</b>")},
        {JsValue::Str(L"game.example/play")},
        {JsValue::Str(L" http://game.example/")},
    };
    for (const auto& args : refused) {
        const std::optional<JsValue> answer = wkefake::CallBound("LoadGame", args);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->kind, JsValue::Undefined);
    }
    EXPECT_FALSE(PumpPending());
    EXPECT_TRUE(g_gameAddress.IsEmpty());
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(g_pLoginWnd, login);
}

TEST_F(LoginWindow, CloseButtonEndsTheLoopWithoutAGameAndLeavesTheWindow) {
    ClickAt(hwnd, kCloseBtn.x, kCloseBtn.y);
    CPaintManagerUI::MessageLoop();
    EXPECT_TRUE(g_gameAddress.IsEmpty());
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(g_pLoginWnd, login);
}

TEST_F(LoginWindow, MinimiseButtonMinimises) {
    ClickAt(hwnd, kMinBtn.x, kMinBtn.y);
    PumpPending();
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(LoginWindow, LinkButtonsOpenTheirConfiguredPageInACentredPopup) {
    const size_t views = wkefake::Views().size();
    ClickAt(hwnd, kBtn1.x, kBtn1.y);
    PumpPending();
    ASSERT_EQ(wkefake::Views().size(), views + 1);
    const wkefake::View* popup = wkefake::FindView(wkefake::LastView());
    EXPECT_TRUE(popup->isWindow);
    EXPECT_EQ(popup->windowType, WKE_WINDOW_TYPE_POPUP);
    EXPECT_EQ(popup->createRect.right - popup->createRect.left, 1080);
    EXPECT_EQ(popup->createRect.bottom - popup->createRect.top, 640);
    EXPECT_EQ(popup->lastUrl, CKuku::GetInstance()->Get(L"Btn1"));
    EXPECT_EQ(LastCall("wkeMoveToCenter")->view, wkefake::LastView());

    ClickAt(hwnd, kBtn3.x, kBtn3.y);
    PumpPending();
    ASSERT_EQ(wkefake::Views().size(), views + 2);
    EXPECT_EQ(wkefake::FindView(wkefake::LastView())->lastUrl, CKuku::GetInstance()->Get(L"Btn3"));
    // The login page itself stays where it was.
    EXPECT_EQ(wkefake::FindView(loginView)->lastUrl, CKuku::GetInstance()->Get(L"LoginURL"));
}

TEST_F(LoginWindow, PageAlertShowsAnUncaptionedBoxOwnedByTheWindow) {
    MessageBoxAnswerer answerer;
    EXPECT_TRUE(wkefake::RaiseAlert(loginView, L"Wrong password"));
    answerer.Join();
    ASSERT_TRUE(answerer.found());
    EXPECT_TRUE(answerer.clicked());
    EXPECT_EQ(answerer.text(), L"Wrong password");
    EXPECT_EQ(answerer.owner(), hwnd);
}

TEST_F(LoginWindow, CompositionWindowSitsBelowThePageCaret) {
    wkefake::SetCaret(wkeRect{30, 40, 1, 16});
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));  // away from the page
    SendMessageW(hwnd, WM_IME_STARTCOMPOSITION, 0, 0);
    ASSERT_NE(LastCall("wkeGetCaret"), nullptr);
    EXPECT_EQ(LastCall("wkeGetCaret")->view, loginView);
    HIMC context = ImmGetContext(hwnd);
    ASSERT_NE(context, nullptr);
    COMPOSITIONFORM form{};
    ASSERT_TRUE(ImmGetCompositionWindow(context, &form));
    ImmReleaseContext(hwnd, context);
    EXPECT_EQ(form.ptCurrentPos.x, 30);
    EXPECT_EQ(form.ptCurrentPos.y, 160);
}
