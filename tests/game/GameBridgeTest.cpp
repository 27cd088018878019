#include "tests/game/GameTestSupport.h"

#include "game/GameBridge.h"

using wkefake::CallBound;
using wkefake::JsValue;

TEST_F(GameTest, CloseWindowCommandQuitsFromEveryBridgeName) {
    Build();
    for (const char* name : {"ExitGameToLogin", "closeWindow", "SetTitleText", "AppFlashCall"}) {
        std::optional<JsValue> result = CallBound(name, {JsValue::Str(L"CLOSEWINDOW")}, Page());
        ASSERT_TRUE(result.has_value()) << name;
        EXPECT_EQ(result->kind, JsValue::Undefined) << name;
        EXPECT_TRUE(TakeQuit()) << name;
    }
}

TEST_F(GameTest, BridgeIgnoresMissingNonStringAndUnknownArguments) {
    Build();
    EXPECT_EQ(CallBound("closeWindow", {}, Page())->kind, JsValue::Undefined);
    EXPECT_FALSE(TakeQuit());
    EXPECT_EQ(CallBound("closeWindow", {JsValue::Num(1)}, Page())->kind, JsValue::Undefined);
    EXPECT_FALSE(TakeQuit());
    CallBound("AppFlashCall", {JsValue::Str(L"closeWindowX")}, Page());
    CallBound("AppFlashCall", {JsValue::Str(L"")}, Page());
    EXPECT_FALSE(TakeQuit());
    // Only the first argument counts.
    CallBound("AppFlashCall", {JsValue::Str(L"nothing"), JsValue::Str(L"closeWindow")}, Page());
    EXPECT_FALSE(TakeQuit());
    EXPECT_EQ(wkefake::CallCount("wkeCreateWebWindow"), 1u);
}

TEST_F(GameTest, SetTitleTextLeavesTheTitleAlone) {
    Setting(L"Title", L"Orvel");
    Build();
    CallBound("SetTitleText", {JsValue::Str(L"New title")}, Page());
    EXPECT_FALSE(TakeQuit());
    wchar_t title[64] = {};
    GetWindowTextW(m_game->HostWindow(), title, 64);
    EXPECT_STREQ(title, L"Orvel");
    EXPECT_EQ(wkefake::CallCount("wkeSetWindowTitleW"), 1u);
    EXPECT_EQ(wkefake::CallCount("wkeSetWindowTitle"), 0u);
}

TEST_F(GameTest, DocumentReadyInjectsTheClientScript) {
    Build();
    ASSERT_TRUE(wkefake::RaiseDocumentReady(View()));
    ASSERT_TRUE(wkefake::RaiseDocumentReady(View()));
    const auto runs = wkefake::CallsNamed("wkeRunJS");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].view, View());
    EXPECT_EQ(runs[0].Narrow(0),
              "var head = document.getElementsByTagName('head').item(0);"
              "var script = document.createElement('script');"
              "script.setAttribute('type', 'text/javascript');"
              "script.setAttribute('src', '" ORVEL_TEST_CLIENT_SCRIPT_URL "');"
              "head.appendChild(script);");
    EXPECT_EQ(runs[1].Narrow(0), runs[0].Narrow(0));
}

TEST_F(GameTest, CallFlashCleansThePageAnswer) {
    Build();
    EXPECT_STREQ(m_game->CallFlash(L"getUnfinishedInfo").GetData(), L"");
    wkefake::SetPageFunction(View(), "callFlash", std::wstring(L"UNDEFINED"));
    EXPECT_STREQ(m_game->CallFlash(L"getUnfinishedInfo").GetData(), L"");
    wkefake::SetPageFunction(View(), "callFlash", std::wstring(L"two\\nlines\\n"));
    EXPECT_STREQ(m_game->CallFlash(L"getUnfinishedInfo").GetData(), L"two\nlines\n");
    // The page was asked by name with the one string argument.
    const wkefake::Call* get = wkefake::LastCall("jsGetGlobal");
    ASSERT_NE(get, nullptr);
    EXPECT_EQ(get->Narrow(1), "callFlash");
    const wkefake::Call* call = wkefake::LastCall("jsCallGlobal");
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->Int(2), 1);  // the argument count
}

TEST_F(GameTest, CallPageFunctionWithoutViewGivesEmptyText) {
    CGameWnd lonely(GetModuleHandleW(nullptr));
    EXPECT_EQ(lonely.CallPageFunction(L"callFlash", {L"x"}), L"");
    EXPECT_STREQ(lonely.CallFlash(L"getUnfinishedInfo").GetData(), L"");
    EXPECT_EQ(wkefake::CallCount("wkeGlobalExec"), 0u);
}

class ConfirmExitTest : public GameTest {
protected:
    // Closes the host as the close box does and answers the question with `button`.
    std::wstring CloseAndAnswer(int button) {
        MessageBoxUser user(GetCurrentThreadId(), button);
        EXPECT_EQ(SendMessageW(m_game->HostWindow(), WM_CLOSE, 0, 0), 0);
        EXPECT_TRUE(user.Finish());
        EXPECT_EQ(user.Owner(), m_game->HostWindow());
        EXPECT_EQ(user.Caption(), L"");
        // Closing never destroys the host.
        EXPECT_TRUE(IsWindow(m_game->HostWindow()));
        return user.Text();
    }
};

TEST_F(ConfirmExitTest, NoKeepsRunningYesQuits) {
    Setting(L"ExitSTR", L"Quit now?");
    Build();
    Show();
    wkefake::SetPageFunction(View(), "callFlash", std::wstring(L"Battle\\nunfinished"));
    const std::wstring text = CloseAndAnswer(IDNO);
    EXPECT_FALSE(TakeQuit());
    // Message boxes may show the line breaks as they like; the words and their order count.
    EXPECT_NE(text.find(L"Battle"), std::wstring::npos) << text;
    EXPECT_LT(text.find(L"Battle"), text.find(L"unfinished"));
    EXPECT_LT(text.find(L"unfinished"), text.find(L"Quit now?"));
    EXPECT_EQ(text.find(L"\\n"), std::wstring::npos);

    CloseAndAnswer(IDYES);
    EXPECT_TRUE(TakeQuit());
}

TEST_F(ConfirmExitTest, WithoutCallFlashOnlyTheQuestionShows) {
    Setting(L"ExitSTR", L"Leave the game?");
    Build();
    Show();
    const std::wstring text = CloseAndAnswer(IDNO);
    EXPECT_EQ(text.find(L"undefined"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"Leave the game?"), std::wstring::npos) << text;
    EXPECT_FALSE(TakeQuit());
}

TEST_F(GameTest, NavigationOpensAMaximisedPopupAndTheGameStays) {
    Build();
    const std::wstring gameUrl = ViewState().lastUrl;
    std::optional<bool> result =
        wkefake::RaiseNavigation(View(), WKE_NAVIGATION_TYPE_LINKCLICK, L"http://news.test/a");
    ASSERT_TRUE(result.has_value());
    EXPECT_FALSE(*result);
    ASSERT_EQ(wkefake::Views().size(), 2u);
    wkeWebView popup = wkefake::LastView();
    const wkefake::View* state = wkefake::FindView(popup);
    EXPECT_EQ(state->windowType, WKE_WINDOW_TYPE_POPUP);
    EXPECT_EQ(state->createRect.right - state->createRect.left, 1080);
    EXPECT_EQ(state->createRect.bottom - state->createRect.top, 640);
    EXPECT_EQ(state->lastUrl, L"http://news.test/a");
    EXPECT_TRUE(IsZoomed(state->hostWindow));
    EXPECT_EQ(ViewState().lastUrl, gameUrl);
    // Reloads and form posts go the same way.
    EXPECT_EQ(wkefake::RaiseNavigation(View(), WKE_NAVIGATION_TYPE_RELOAD, gameUrl),
              std::optional<bool>(false));
    EXPECT_EQ(wkefake::Views().size(), 3u);
}

TEST_F(GameTest, AlertFromPopupIsOwnedByTheGameHost) {
    Build();
    Show();
    wkeWindowFeatures features{};
    features.width = 300;
    features.height = 200;
    wkeWebView popup =
        *wkefake::RaiseCreateView(View(), WKE_NAVIGATION_TYPE_OTHER, L"http://p.test/", features);
    ASSERT_NE(popup, nullptr);
    MessageBoxUser user(GetCurrentThreadId(), IDOK);
    ASSERT_TRUE(wkefake::RaiseAlert(popup, L"Popup says hi"));
    ASSERT_TRUE(user.Finish());
    EXPECT_EQ(user.Owner(), m_game->HostWindow());
    EXPECT_EQ(user.Text(), L"Popup says hi");
    EXPECT_EQ(user.Caption(), L"");
}

TEST_F(GameTest, ConsoleAndAlertOfTheGameView) {
    Build();
    Show();
    EXPECT_TRUE(wkefake::RaiseConsole(View(), WKE_CONSOLE_LEVEL_ERROR, L"boom", L"a.js", 3, L""));
    MessageBoxUser user(GetCurrentThreadId(), IDOK);
    ASSERT_TRUE(wkefake::RaiseAlert(View(), L"Game alert"));
    ASSERT_TRUE(user.Finish());
    EXPECT_EQ(user.Owner(), m_game->HostWindow());
    EXPECT_EQ(user.Text(), L"Game alert");
}

// The bridge obeys only the game page: the game view's main frame on the game address's origin
// or on one listed under "TrustedOrigins".
TEST_F(GameTest, BridgeRefusesCallersOtherThanTheGamePage) {
    Setting(L"TrustedOrigins", L"https://cdn.game.test:8443 not-an-origin");
    Build(L"http://game.test/play?id=1");
    wkeWindowFeatures features{};
    wkeWebView popup = *wkefake::RaiseCreateView(View(), WKE_NAVIGATION_TYPE_OTHER, L"http://game.test/", features);
    ASSERT_NE(popup, nullptr);
    const wkefake::Caller refused[] = {
        {View(), false, L"http://game.test/ad-frame"},         // a sub-frame of the game page
        {popup, true, L"http://game.test/"},                   // another view, even on the same origin
        {View(), true, L"http://ads.test/"},                   // another origin in the game view
        {View(), true, L"http://game.test.evil.test/"},
        {View(), true, L"http://game.test:81/"},
        {View(), true, L"https://game.test/"},
        {View(), true, L"https://cdn.game.test/"},             // listed with another port
        {View(), true, L"http://not-an-origin/"},
    };
    for (const wkefake::Caller& caller : refused) {
        std::optional<JsValue> result = CallBound("closeWindow", {JsValue::Str(L"closeWindow")}, caller);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->kind, JsValue::Undefined);
        EXPECT_FALSE(TakeQuit()) << caller.url;
    }
    // An engine that cannot tell who called is not obeyed either.
    CallBound("ExitGameToLogin", {JsValue::Str(L"closeWindow")}, std::nullopt);
    EXPECT_FALSE(TakeQuit());

    CallBound("AppFlashCall", {JsValue::Str(L"closeWindow")}, wkefake::Caller{View(), true, L"HTTP://GAME.TEST:80/x"});
    EXPECT_TRUE(TakeQuit());
    CallBound("AppFlashCall", {JsValue::Str(L"closeWindow")}, wkefake::Caller{View(), true, L"https://cdn.game.test:8443/"});
    EXPECT_TRUE(TakeQuit());
}
