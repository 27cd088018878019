// Pages the login window opens in popups, and the window's behaviour around them.
#include "tests/login/LoginTestWindow.h"

#include "common/TextConv.h"
#include "tests/support/TempFolder.h"

using namespace logintest;
using wkefake::CallsNamed;
using wkefake::FindView;
using wkefake::LastCall;

namespace {

wkeWindowFeatures Features(int x, int y, int width, int height) {
    wkeWindowFeatures features{};
    features.x = x;
    features.y = y;
    features.width = width;
    features.height = height;
    return features;
}

// Checks that `view` is a popup web window set up as every login popup is.
void ExpectConfiguredPopup(wkeWebView view, const RECT& requested) {
    const wkefake::View* popup = FindView(view);
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->isWindow);
    EXPECT_EQ(popup->windowType, WKE_WINDOW_TYPE_POPUP);
    EXPECT_EQ(popup->parent, nullptr);
    EXPECT_EQ(popup->createRect.left, requested.left);
    EXPECT_EQ(popup->createRect.top, requested.top);
    EXPECT_EQ(popup->createRect.right, requested.right);
    EXPECT_EQ(popup->createRect.bottom, requested.bottom);
    EXPECT_EQ(popup->title, ToUtf8(CKuku::GetInstance()->Get(L"Title")));
    EXPECT_EQ(popup->shown, std::optional<bool>(true));
    EXPECT_EQ(popup->userAgent, FindView(wkefake::Views().front())->userAgent);
    EXPECT_EQ(popup->language, "vi");
    for (const char* name : {"wkeOnAlertBox", "wkeOnConsole", "wkeOnCreateView"}) {
        EXPECT_NE(wkefake::FindHandler(view, name), nullptr) << name;
    }
    bool centred = false;
    for (const wkefake::Call& call : CallsNamed("wkeMoveToCenter")) centred = centred || call.view == view;
    EXPECT_TRUE(centred);
}

}  // namespace

TEST_F(LoginWindow, LinkClickOpensACentredPopupAndTheLoginPageStays) {
    const std::wstring before = FindView(loginView)->lastUrl;
    EXPECT_EQ(wkefake::RaiseNavigation(loginView, WKE_NAVIGATION_TYPE_LINKCLICK, L"http://news.example/a"), false);
    const wkeWebView popup = wkefake::LastView();
    ASSERT_NE(popup, loginView);
    ExpectConfiguredPopup(popup, RECT{0, 0, 1080, 640});
    EXPECT_EQ(FindView(popup)->lastUrl, L"http://news.example/a");
    EXPECT_EQ(FindView(loginView)->lastUrl, before);
}

TEST_F(LoginWindow, OtherNavigationsProceedInTheLoginView) {
    const size_t views = wkefake::Views().size();
    for (wkeNavigationType type : {WKE_NAVIGATION_TYPE_FORMSUBMITTE, WKE_NAVIGATION_TYPE_BACKFORWARD,
                                   WKE_NAVIGATION_TYPE_RELOAD, WKE_NAVIGATION_TYPE_FORMRESUBMITT,
                                   WKE_NAVIGATION_TYPE_OTHER}) {
        EXPECT_EQ(wkefake::RaiseNavigation(loginView, type, L"http://login.example/submit"), true) << type;
    }
    EXPECT_EQ(wkefake::Views().size(), views);
}

TEST_F(LoginWindow, WindowOpenGetsAPopupWithThePagesFeaturesAndSoDoesAPopupsPopup) {
    const std::optional<wkeWebView> first =
        wkefake::RaiseCreateView(loginView, WKE_NAVIGATION_TYPE_OTHER, L"http://pay.example/", Features(5, 6, 500, 400));
    ASSERT_TRUE(first.has_value());
    ASSERT_NE(*first, nullptr);
    ExpectConfiguredPopup(*first, RECT{5, 6, 505, 406});

    const std::optional<wkeWebView> second =
        wkefake::RaiseCreateView(*first, WKE_NAVIGATION_TYPE_LINKCLICK, L"http://pay.example/card", Features(0, 0, 320, 240));
    ASSERT_TRUE(second.has_value());
    ASSERT_NE(*second, nullptr);
    EXPECT_NE(*second, *first);
    ExpectConfiguredPopup(*second, RECT{0, 0, 320, 240});
}

TEST_F(LoginWindow, PopupAlertIsOwnedByTheLoginWindowWhileItLives) {
    wkefake::RaiseNavigation(loginView, WKE_NAVIGATION_TYPE_LINKCLICK, L"http://support.example/");
    const wkeWebView popup = wkefake::LastView();
    MessageBoxAnswerer answerer;
    EXPECT_TRUE(wkefake::RaiseAlert(popup, L"Ticket sent"));
    answerer.Join();
    ASSERT_TRUE(answerer.found());
    EXPECT_TRUE(answerer.clicked());
    EXPECT_EQ(answerer.text(), L"Ticket sent");
    EXPECT_EQ(answerer.owner(), hwnd);
    // Console messages of popups are dropped without harm.
    EXPECT_TRUE(wkefake::RaiseConsole(popup, WKE_CONSOLE_LEVEL_LOG, L"hello", L"p.js", 1, L""));
}

TEST_F(LoginWindow, PopupsOutliveTheLoginWindowWithoutTouchingIt) {
    wkefake::RaiseNavigation(loginView, WKE_NAVIGATION_TYPE_LINKCLICK, L"http://support.example/");
    const wkeWebView popup = wkefake::LastView();
    DestroyWindow(hwnd);
    PumpPending();
    ASSERT_EQ(g_pLoginWnd, nullptr);

    MessageBoxAnswerer answerer;
    EXPECT_TRUE(wkefake::RaiseAlert(popup, L"Still here"));
    answerer.Join();
    ASSERT_TRUE(answerer.found());
    EXPECT_TRUE(answerer.clicked());
    EXPECT_EQ(answerer.text(), L"Still here");
    EXPECT_EQ(answerer.owner(), nullptr);

    const std::optional<wkeWebView> child =
        wkefake::RaiseCreateView(popup, WKE_NAVIGATION_TYPE_OTHER, L"http://support.example/2", Features(1, 2, 300, 200));
    ASSERT_TRUE(child.has_value());
    ExpectConfiguredPopup(*child, RECT{1, 2, 301, 202});
}

namespace {

// The login skin without its web view: the window must still work.
const char kSkinWithoutPage[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<Window size=\"1100,550\">\n"
    "  <VerticalLayout name=\"root\">\n"
    "    <Button name=\"closebtn\" float=\"true\" pos=\"895,40,930,75\"/>\n"
    "    <Button name=\"Btn1\" float=\"true\" pos=\"260,90,370,127\"/>\n"
    "    <Label name=\"login\" float=\"true\" pos=\"264,129,824,470\"/>\n"
    "  </VerticalLayout>\n"
    "</Window>\n";
const char kIds[] = "<?xml version=\"1.0\"?><Res><Xml id=\"XML_LOGIN\" path=\"login.xml\"/></Res>";

}  // namespace

TEST(LoginWindowSkin, WindowWithoutTheLoginPageStillOpensAndCloses) {
    ScopedFakeWebEngine engine;
    TempFolder folder(L"orvel-login-");
    ASSERT_TRUE(folder.Write(L"login.xml", kSkinWithoutPage));
    ASSERT_TRUE(folder.Write(L"res.xml", kIds));
    CPaintManagerUI::SetResourceType(UILIB_FILE);
    CPaintManagerUI::SetResourcePath(folder.Path().c_str());
    ASSERT_TRUE(CResourceManager::GetInstance()->LoadResource(L"res.xml"));
    CKuku::GetInstance()->Add(L"Btn1", L"http://home.example/");

    CLoginWnd* login = GetLoginWnd();
    HWND hwnd = login->Create(nullptr, L"Login", WS_POPUP | WS_VISIBLE, 0);
    ASSERT_NE(hwnd, nullptr);
    PumpPending();
    EXPECT_EQ(login->GetWebViewControl(), nullptr);
    EXPECT_EQ(wkefake::CallCount("wkeCreateWebView"), 0u);
    SendMessageW(hwnd, WM_IME_STARTCOMPOSITION, 0, 0);
    EXPECT_EQ(wkefake::CallCount("wkeGetCaret"), 0u);

    ClickAt(hwnd, 260 + 55, 90 + 18);
    PumpPending();
    ASSERT_NE(wkefake::LastView(), nullptr);
    EXPECT_EQ(FindView(wkefake::LastView())->lastUrl, L"http://home.example/");

    ClickAt(hwnd, 895 + 17, 40 + 17);
    EXPECT_TRUE(PumpPending());
    DestroyWindow(hwnd);
    PumpPending();
    EXPECT_EQ(g_pLoginWnd, nullptr);
}
