#include "tests/game/GameTestSupport.h"

#include "core/UserAgent.h"

#include <algorithm>

#include "core/GameAddress.h"
#include "game/RenderGDI.h"

using wkefake::CallsNamed;
using wkefake::FindView;

namespace {

SIZE OuterSize(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

size_t IndexOf(const std::string& name) {
    const auto& calls = wkefake::Calls();
    for (size_t i = 0; i < calls.size(); ++i)
        if (calls[i].name == name) return i;
    return calls.size();
}

}  // namespace

TEST_F(GameTest, OuterSizeAddsFrameAndCaptionToTheGameArea) {
    Setting(L"GameW", L"1080");
    Setting(L"GameH", L"640");
    Build();
    const int frame = GetSystemMetrics(SM_CXFRAME);
    const SIZE size = OuterSize(m_game->HostWindow());
    EXPECT_EQ(size.cx, 1080 + 2 * frame);
    EXPECT_EQ(size.cy, 640 + GetSystemMetrics(SM_CYCAPTION) + 2 * frame);
    // The game window and the view fill the host's client area.
    RECT client{}, game{};
    GetClientRect(m_game->HostWindow(), &client);
    GetClientRect(m_game->GameWindow(), &game);
    EXPECT_EQ(game.right, client.right);
    EXPECT_EQ(game.bottom, client.bottom);
    EXPECT_EQ(ViewState().width, client.right);
    EXPECT_EQ(ViewState().height, client.bottom);
}

TEST_F(GameTest, EmptySizeKeysGiveExactlyTheDefaultOuterSize) {
    Build();
    const SIZE size = OuterSize(m_game->HostWindow());
    EXPECT_EQ(size.cx, 1080);
    EXPECT_EQ(size.cy, 640);
}

TEST_F(GameTest, SizeWithoutDigitsCountsAsZero) {
    Setting(L"GameW", L"wide");
    Setting(L"GameH", L" 300px");
    Build();
    const int frame = GetSystemMetrics(SM_CXFRAME);
    const SIZE size = OuterSize(m_game->HostWindow());
    // Wine, like Windows, keeps a top-level window at least as wide as its caption needs.
    EXPECT_LE(size.cx, std::max<LONG>(2 * frame, GetSystemMetrics(SM_CXMINTRACK)));
    EXPECT_EQ(size.cy, 300 + GetSystemMetrics(SM_CYCAPTION) + 2 * frame);
}

TEST_F(GameTest, HostIsCentredOnTheWorkArea) {
    Setting(L"GameW", L"601");
    Setting(L"GameH", L"401");
    Build();
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT rc{};
    GetWindowRect(m_game->HostWindow(), &rc);
    const SIZE size = OuterSize(m_game->HostWindow());
    EXPECT_EQ(rc.left, (work.right - work.left - size.cx) / 2 + work.left);
    EXPECT_EQ(rc.top, (work.bottom - work.top - size.cy) / 2 + work.top);
}

TEST_F(GameTest, LockSizeOneRemovesThickFrameAndMaximiseBox) {
    Setting(L"LockSize", L"1");
    Build();
    const LONG style = GetWindowLongW(m_game->HostWindow(), GWL_STYLE);
    EXPECT_EQ(style & WS_THICKFRAME, 0);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
}

class LockSizeOtherText : public GameTest, public testing::WithParamInterface<const wchar_t*> {};

TEST_P(LockSizeOtherText, LeavesTheSizeFree) {
    Setting(L"LockSize", GetParam());
    Build();
    const LONG style = GetWindowLongW(m_game->HostWindow(), GWL_STYLE);
    EXPECT_NE(style & WS_THICKFRAME, 0);
    EXPECT_NE(style & WS_MAXIMIZEBOX, 0);
}

INSTANTIATE_TEST_SUITE_P(Texts, LockSizeOtherText, testing::Values(L" 1", L"01", L"true", L""));

TEST_F(GameTest, DesktopTypeIsAppendedInPlaceWhenMissing) {
    Build(L"http://game.test/play?id=7");
    EXPECT_STREQ(g_gameAddress.GetData(), L"http://game.test/play?id=7&desktopType=1");
    EXPECT_EQ(ViewState().lastUrl, L"http://game.test/play?id=7&desktopType=1");
}

TEST_F(GameTest, DesktopTypeIsAppendedWithoutQueryPart) {
    Build(L"http://game.test/play");
    EXPECT_STREQ(g_gameAddress.GetData(), L"http://game.test/play&desktopType=1");
    EXPECT_EQ(ViewState().lastUrl, L"http://game.test/play&desktopType=1");
}

TEST_F(GameTest, AddressWithDesktopTypeIsLoadedUnchanged) {
    Build(L"http://game.test/play?desktopType=0&id=2");
    EXPECT_STREQ(g_gameAddress.GetData(), L"http://game.test/play?desktopType=0&id=2");
    EXPECT_EQ(ViewState().lastUrl, L"http://game.test/play?desktopType=0&id=2");
}

TEST_F(GameTest, CreateSetsUpTheGameViewAndHandlers) {
    Setting(L"Title", L"Orvel \x4e16");
    Setting(L"Language", L"zh-cn");
    Build();
    const wkefake::View& view = ViewState();
    EXPECT_EQ(view.windowType, WKE_WINDOW_TYPE_CONTROL);
    EXPECT_EQ(view.parent, m_game->GameWindow());
    EXPECT_EQ(view.handle, m_game->GameWindow());
    EXPECT_EQ(view.titleW, L"Orvel \x4e16");
    EXPECT_EQ(view.userAgent, kLauncherUserAgent);
    EXPECT_EQ(view.language, "zh-cn");
    EXPECT_EQ(view.cspCheck, std::optional<bool>(false));
    EXPECT_EQ(view.npapi, std::optional<bool>(true));
    for (const char* name : {"wkeOnDocumentReady", "wkeOnCreateView", "wkeOnAlertBox",
                             "wkeOnPaintUpdated", "wkeOnNavigation"}) {
        const wkefake::Handler* handler = wkefake::FindHandler(View(), name);
        ASSERT_NE(handler, nullptr) << name;
        EXPECT_EQ(handler->param, m_game.get()) << name;
    }
    const wkefake::Handler* console = wkefake::FindHandler(View(), "wkeOnConsole");
    ASSERT_NE(console, nullptr);
    EXPECT_EQ(console->param, nullptr);
    EXPECT_EQ(wkefake::BoundArgCount("ExitGameToLogin"), std::optional<unsigned>(2));
    EXPECT_EQ(wkefake::BoundArgCount("closeWindow"), std::optional<unsigned>(2));
    EXPECT_EQ(wkefake::BoundArgCount("SetTitleText"), std::optional<unsigned>(1));
    EXPECT_EQ(wkefake::BoundArgCount("AppFlashCall"), std::optional<unsigned>(2));
    // Both windows carry the title; the host stays hidden until the entry shows it.
    wchar_t title[64] = {};
    GetWindowTextW(m_game->HostWindow(), title, 64);
    EXPECT_STREQ(title, L"Orvel \x4e16");
    EXPECT_FALSE(IsWindowVisible(m_game->HostWindow()));
    EXPECT_EQ(g_pGameWnd, m_game.get());
}

TEST_F(GameTest, NavigationHandlerComesOnlyAfterTheLoadStarted) {
    Build();
    const size_t load = IndexOf("wkeLoadURLW");
    const size_t navigation = IndexOf("wkeOnNavigation");
    ASSERT_LT(load, wkefake::Calls().size());
    ASSERT_LT(navigation, wkefake::Calls().size());
    EXPECT_LT(load, navigation);
    // No language key: the view is given none.
    EXPECT_EQ(wkefake::CallCount("wkeSetLanguage"), 0u);
}

TEST_F(GameTest, PopupIsCreatedAtTheRequestedSizeCentredThenMaximised) {
    Setting(L"Title", L"Popup \x4e16");
    Setting(L"Language", L"en");
    Build();
    wkeWindowFeatures features{};
    features.x = 10;
    features.y = 20;
    features.width = 400;
    features.height = 300;
    std::optional<wkeWebView> popup =
        wkefake::RaiseCreateView(View(), WKE_NAVIGATION_TYPE_LINKCLICK, L"http://x.test/", features);
    ASSERT_TRUE(popup.has_value());
    ASSERT_NE(*popup, nullptr);
    const wkefake::View* view = FindView(*popup);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->windowType, WKE_WINDOW_TYPE_POPUP);
    EXPECT_EQ(view->parent, nullptr);
    EXPECT_EQ(view->createRect.left, 10);
    EXPECT_EQ(view->createRect.top, 20);
    EXPECT_EQ(view->createRect.right - view->createRect.left, 400);
    EXPECT_EQ(view->createRect.bottom - view->createRect.top, 300);
    EXPECT_EQ(view->title, "Popup \xe4\xb8\x96");
    EXPECT_EQ(view->userAgent, kLauncherUserAgent);
    EXPECT_EQ(view->language, "en");
    EXPECT_EQ(view->shown, std::optional<bool>(true));
    EXPECT_EQ(wkefake::CallCount("wkeMoveToCenter"), 1u);
    ASSERT_NE(view->hostWindow, nullptr);
    EXPECT_TRUE(IsZoomed(view->hostWindow));
    EXPECT_EQ(wkefake::FindHandler(*popup, "wkeOnNavigation"), nullptr);
    EXPECT_EQ(wkefake::FindHandler(*popup, "wkeOnPaintUpdated"), nullptr);
    // Popups open further popups the same way.
    std::optional<wkeWebView> second = wkefake::RaiseCreateView(*popup, WKE_NAVIGATION_TYPE_OTHER, L"http://y.test/", {});
    ASSERT_TRUE(second.has_value());
    ASSERT_NE(*second, nullptr);
    EXPECT_EQ(FindView(*second)->windowType, WKE_WINDOW_TYPE_POPUP);
    EXPECT_TRUE(IsZoomed(FindView(*second)->hostWindow));
}

// The launcher keeps its game window for the whole run, but whatever the engine still holds when
// the window goes must not lead back to it: its view goes with it, and popups (which outlive it)
// find no window.
TEST_F(GameTest, NoEngineEventReachesAGameWindowThatIsGone) {
    Build();
    std::optional<wkeWebView> popup = wkefake::RaiseCreateView(View(), WKE_NAVIGATION_TYPE_LINKCLICK, L"http://x.test/", {});
    ASSERT_TRUE(popup.has_value());
    ASSERT_NE(*popup, nullptr);
    const wkeWebView view = View();
    m_game.reset();
    EXPECT_EQ(g_pGameWnd, nullptr);
    EXPECT_TRUE(FindView(view)->destroyed);
    EXPECT_FALSE(wkefake::RaiseDocumentReady(view));
    EXPECT_FALSE(wkefake::RaiseAlert(view, L"late"));
    EXPECT_FALSE(wkefake::RaiseNavigation(view, WKE_NAVIGATION_TYPE_LINKCLICK, L"http://x.test/2").has_value());
    // A popup's alert reaches its handler and shows nothing (a box would hold this call), and a
    // popup of a popup is no longer made.
    EXPECT_TRUE(wkefake::RaiseAlert(*popup, L"late"));
    EXPECT_EQ(wkefake::RaiseCreateView(*popup, WKE_NAVIGATION_TYPE_OTHER, L"http://x.test/3", {}),
              std::optional<wkeWebView>(nullptr));
}

// A class of that name already taken by a window that refuses to be created: the host cannot be
// made. Create says so in a box without owner, leaves m_hHostWnd null, and the pump does not wait.
LRESULT CALLBACK RefuseCreation(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) return FALSE;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(GameCreateFailure, ReportsAndLeavesNoHostSoThePumpEndsAtOnce) {
    ScopedFakeWebEngine engine;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RefuseCreation;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ORVEL_GAME_HOST";
    ASSERT_NE(RegisterClassExW(&wc), 0);

    g_gameAddress = L"http://game.test/";
    CGameWnd game(GetModuleHandleW(nullptr));
    MessageBoxUser user(GetCurrentThreadId(), IDOK);
    game.Create();
    ASSERT_TRUE(user.Finish());
    EXPECT_EQ(user.Text().rfind(L"CreateWindow():", 0), 0u) << user.Text();
    EXPECT_EQ(user.Caption(), L"");
    EXPECT_EQ(user.Owner(), nullptr);
    EXPECT_EQ(game.HostWindow(), nullptr);
    EXPECT_EQ(game.GameWindow(), nullptr);
    EXPECT_EQ(game.Renderer(), nullptr);
    EXPECT_EQ(game.WebView(), nullptr);
    EXPECT_EQ(wkefake::CallCount("wkeCreateWebWindow"), 0u);
    // Nothing will post WM_QUIT, yet the pump returns.
    EXPECT_EQ(game.PumpMessages(), 0);
}

TEST_F(GameTest, PumpMessagesEndsOnQuit) {
    Build();
    PostQuitMessage(0);
    EXPECT_EQ(m_game->PumpMessages(), 0);
}
