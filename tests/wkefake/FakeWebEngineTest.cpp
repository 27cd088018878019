#include "tests/wkefake/FakeWebEngine.h"

#include "platform/WebEngineLoader.h"
#include "tests/support/SeenCaller.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Seen {
    int calls = 0;
    void* param = nullptr;
    std::wstring text;
    bool mainFrame = false;
};
Seen g_seen;

void WKE_CALL OnReady(wkeWebView, void* param) {
    ++g_seen.calls;
    g_seen.param = param;
}

bool WKE_CALL OnNavigation(wkeWebView, void* param, wkeNavigationType type, wkeString url) {
    g_seen.param = param;
    g_seen.text = wkeGetStringW(url);
    return type == WKE_NAVIGATION_TYPE_LINKCLICK;
}

void WKE_CALL OnUrlChanged(wkeWebView view, void*, wkeString url) {
    ++g_seen.calls;
    g_seen.text = wkeGetStringW(url);
    g_seen.mainFrame = wkeIsMainFrame(view, wkeGetTempCallbackInfo(view)->frame);
}

wkeWebView WKE_CALL OnCreateView(wkeWebView, void*, wkeNavigationType, wkeString,
                                 const wkeWindowFeatures* features) {
    return wkeCreateWebWindow(WKE_WINDOW_TYPE_POPUP, nullptr, features->x, features->y,
                              features->width, features->height);
}

void WKE_CALL OnPaint(wkeWebView, void* param, HDC dc, int x, int y, int cx, int cy) {
    g_seen.param = param;
    g_seen.text = std::to_wstring(GetPixel(dc, 1, 0)) + L"@" + std::to_wstring(x) + L"," +
                  std::to_wstring(y) + L"," + std::to_wstring(cx) + L"," + std::to_wstring(cy);
}

jsValue WKE_CALL Echo(jsExecState es) {
    if (jsArgCount(es) == 0 || !jsIsString(jsArg(es, 0))) return jsUndefined();
    return jsStringW(es, jsToTempStringW(es, jsArg(es, 0)));
}

SeenCaller g_caller;

jsValue WKE_CALL RecordCaller(jsExecState es) {
    g_caller = SeeCaller(es);
    return jsUndefined();
}

class FakeWebEngine : public testing::Test {
protected:
    void SetUp() override { g_seen = Seen(); }
    ScopedFakeWebEngine engine;
};

TEST_F(FakeWebEngine, RecordsEveryCallWithDecodedArgumentsAndKeepsViewState) {
    EXPECT_TRUE(IsWebEngineLoaded());
    wkeWebView first = wkeCreateWebView();
    wkeWebView second = wkeCreateWebView();
    ASSERT_NE(first, second);
    wkeSetUserAgent(first, "Agent/1.0");
    wkeSetLanguage(first, "vi");
    wkeResize(first, 300, 200);
    wkeLoadURLW(first, L"http://example.test/a b");
    wkeSetNpapiPluginsEnabled(first, true);

    EXPECT_EQ(wkefake::CallCount("wkeCreateWebView"), 2u);
    const wkefake::Call* resize = wkefake::LastCall("wkeResize");
    ASSERT_NE(resize, nullptr);
    EXPECT_EQ(resize->view, first);
    EXPECT_EQ(resize->Int(0), 300);
    EXPECT_EQ(resize->Int(1), 200);
    EXPECT_EQ(wkefake::LastCall("wkeLoadURLW")->Wide(0), L"http://example.test/a b");
    EXPECT_EQ(wkefake::Calls().back().name, "wkeSetNpapiPluginsEnabled");

    const wkefake::View* view = wkefake::FindView(first);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->userAgent, "Agent/1.0");
    EXPECT_EQ(view->language, "vi");
    EXPECT_EQ(view->width, 300);
    EXPECT_EQ(view->lastUrl, L"http://example.test/a b");
    EXPECT_EQ(view->npapi, std::optional<bool>(true));
    EXPECT_FALSE(view->cspCheck.has_value());
    EXPECT_EQ(wkefake::FindView(second)->number, 2);
}

TEST_F(FakeWebEngine, RaisedEventsReachTheRegisteredHandlerWithItsParam) {
    wkeWebView view = wkeCreateWebView();
    int owner = 0;
    EXPECT_FALSE(wkefake::RaiseDocumentReady(view));  // nothing registered yet
    wkeOnDocumentReady(view, OnReady, &owner);
    wkeOnNavigation(view, OnNavigation, &owner);
    EXPECT_EQ(wkefake::FindHandler(view, "wkeOnDocumentReady")->param, &owner);

    EXPECT_TRUE(wkefake::RaiseDocumentReady(view));
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.param, &owner);
    EXPECT_EQ(wkefake::RaiseNavigation(view, WKE_NAVIGATION_TYPE_LINKCLICK, L"http://x.test/"),
              std::optional<bool>(true));
    EXPECT_EQ(g_seen.text, L"http://x.test/");
    EXPECT_EQ(wkefake::RaiseNavigation(view, WKE_NAVIGATION_TYPE_RELOAD, L"http://x.test/"),
              std::optional<bool>(false));
}

TEST_F(FakeWebEngine, UrlChangeTellsTheHandlerWhetherTheMainFrameChanged) {
    wkeWebView view = wkeCreateWebView();
    wkeOnURLChanged(view, OnUrlChanged, nullptr);
    ASSERT_TRUE(wkefake::RaiseURLChanged(view, L"http://main.test/", true));
    EXPECT_TRUE(g_seen.mainFrame);
    ASSERT_TRUE(wkefake::RaiseURLChanged(view, L"http://frame.test/", false));
    EXPECT_FALSE(g_seen.mainFrame);
    EXPECT_EQ(g_seen.text, L"http://frame.test/");
}

TEST_F(FakeWebEngine, BoundFunctionsLearnTheCallerTheTestNames) {
    jsBindFunction("who", RecordCaller, 0);
    wkeWebView view = wkeCreateWebView();
    wkeLoadURLW(view, L"http://page.test/a");
    ASSERT_TRUE(wkefake::CallBound("who", {}, wkefake::MainFrameOf(view)));
    EXPECT_TRUE(g_caller.known);
    EXPECT_EQ(g_caller.view, view);
    EXPECT_TRUE(g_caller.mainFrame);
    EXPECT_TRUE(g_caller.frameIsMain);
    EXPECT_EQ(g_caller.url, L"http://page.test/a");
    EXPECT_EQ(g_caller.name, "who");

    ASSERT_TRUE(wkefake::CallBound("who", {}, wkefake::Caller{view, false, L"http://ad.test/"}));
    EXPECT_FALSE(g_caller.mainFrame);
    EXPECT_FALSE(g_caller.frameIsMain);
    EXPECT_EQ(g_caller.url, L"http://ad.test/");

    // Without a caller, and on a view's global state, the engine cannot tell.
    ASSERT_TRUE(wkefake::CallBound("who", {}, std::nullopt));
    EXPECT_FALSE(g_caller.known);
    EXPECT_EQ(jsGetCallerInfo(wkeGlobalExec(view)), nullptr);
}

TEST_F(FakeWebEngine, BoundFunctionsAndPageFunctionsAnswerWithChosenValues) {
    jsBindFunction("echo", Echo, 1);
    EXPECT_EQ(wkefake::BoundArgCount("echo"), std::optional<unsigned>(1));
    std::optional<wkefake::JsValue> echoed = wkefake::CallBound("echo", {wkefake::JsValue::Str(L"hi")}, std::nullopt);
    ASSERT_TRUE(echoed);
    EXPECT_EQ(echoed->kind, wkefake::JsValue::String);
    EXPECT_EQ(echoed->text, L"hi");
    EXPECT_EQ(wkefake::CallBound("echo", {wkefake::JsValue::Num(3)}, std::nullopt)->kind, wkefake::JsValue::Undefined);
    EXPECT_EQ(wkefake::CallBound("echo", {}, std::nullopt)->kind, wkefake::JsValue::Undefined);
    EXPECT_FALSE(wkefake::CallBound("unbound", {}, std::nullopt));

    wkeWebView view = wkeCreateWebView();
    wkefake::SetPageFunction(view, "callFlash", std::wstring(L"a\\nb"));
    wkefake::SetPageFunction(view, "silent", std::nullopt);
    jsExecState es = wkeGlobalExec(view);
    jsValue arg = jsStringW(es, L"getUnfinishedInfo");
    EXPECT_STREQ(jsToStringW(es, jsCallGlobal(es, jsGetGlobal(es, "callFlash"), &arg, 1)), L"a\\nb");
    EXPECT_STREQ(jsToStringW(es, jsCallGlobal(es, jsGetGlobal(es, "silent"), nullptr, 0)), L"undefined");
    EXPECT_STREQ(jsToStringW(es, jsCallGlobal(es, jsGetGlobal(es, "absent"), nullptr, 0)), L"undefined");
    ASSERT_EQ(wkefake::CallCount("jsCallGlobal"), 3u);
    const wkefake::Call first = wkefake::CallsNamed("jsCallGlobal").front();
    EXPECT_EQ(first.Wide(1), L"function callFlash");
    EXPECT_EQ(first.Int(2), 1);
    EXPECT_EQ(first.Wide(3), L"getUnfinishedInfo");
}

TEST_F(FakeWebEngine, PaintingUsesRealPixels) {
    wkeWebView view = wkeCreateWebView();
    int owner = 0;
    wkeOnPaintUpdated(view, OnPaint, &owner);
    ASSERT_TRUE(wkefake::RaisePaintUpdated(view, 4, 2, [](int x, int) { return x == 1 ? 0x00FF0000u : 0u; },
                                           RECT{1, 0, 3, 2}));
    EXPECT_EQ(g_seen.param, &owner);
    EXPECT_EQ(g_seen.text, std::to_wstring(RGB(255, 0, 0)) + L"@1,0,2,2");

    wkeResize(view, 3, 2);
    wkefake::SetPaintPixels([](int x, int y) { return static_cast<uint32_t>(y * 10 + x); });
    uint32_t pixels[6] = {};
    wkePaint(view, pixels, 0);
    EXPECT_EQ(pixels[0], 0u);
    EXPECT_EQ(pixels[2], 2u);
    EXPECT_EQ(pixels[3], 10u);
    EXPECT_EQ(pixels[5], 12u);
}

TEST_F(FakeWebEngine, PopupsAreRealWindowsAndDestroyedViewsHearNothing) {
    wkeWebView game = wkeCreateWebView();
    wkeOnCreateView(game, OnCreateView, nullptr);
    wkeWindowFeatures features{};
    features.width = 400;
    features.height = 300;
    std::optional<wkeWebView> popup =
        wkefake::RaiseCreateView(game, WKE_NAVIGATION_TYPE_LINKCLICK, L"http://p.test/", features);
    ASSERT_TRUE(popup && *popup);
    wkeSetWindowTitle(*popup, "T\xC3\xAA");
    wkeShowWindow(*popup, true);
    HWND window = wkeGetHostHWND(*popup);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetParent(window), nullptr);
    wchar_t title[8] = {};
    GetWindowTextW(window, title, 8);
    EXPECT_STREQ(title, L"T\u00EA");

    wkeOnDocumentReady(*popup, OnReady, nullptr);
    wkeDestroyWebView(*popup);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(wkefake::RaiseDocumentReady(*popup));
    EXPECT_EQ(g_seen.calls, 0);
    wkeResize(*popup, 10, 10);
    EXPECT_TRUE(wkefake::LastCall("wkeResize")->onDestroyedView);
    EXPECT_TRUE(wkefake::FindView(*popup)->destroyed);
}

}  // namespace
