// The web view control against the stand-in engine: loading rules, the engine's events in both
// directions, painting and the end of the control's life.
#include "webview/WkeWebkitUI.h"

#include "tests/wkefake/FakeWebEngine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using wkefake::CallsNamed;
using wkefake::FindView;
using wkefake::LastCall;

// Records what reaches the owner; answers as configured.
class RecordingOwner : public IWkeCallback {
public:
    std::vector<std::wstring> events;
    bool navigationAnswer = true;
    bool downloadAnswer = false;
    bool loadUrlBeginAnswer = true;
    wkeWebView createViewAnswer = nullptr;
    size_t urlLoadsWhenFinishHeard = 0;
    CWkeWebkitUI* lastSender = nullptr;
    CWkeWebkitUI* lastControl = nullptr;
    wkeNetJob lastJob = nullptr;
    int lastFeaturesWidth = 0;

    void OnWkeConsole(CWkeWebkitUI* s, const wchar_t* m, const wchar_t* src, unsigned line,
                      const wchar_t* st) override {
        lastSender = s;
        events.push_back(L"console " + std::wstring(m) + L"|" + src + L"|" + std::to_wstring(line) + L"|" + st);
    }
    void OnWkeTitleChanged(CWkeWebkitUI* s, const wchar_t* t) override {
        lastSender = s;
        events.push_back(L"title " + std::wstring(t));
    }
    void OnWkeURLChanged(CWkeWebkitUI* s, const wchar_t* u) override {
        lastSender = s;
        events.push_back(L"url " + std::wstring(u));
    }
    void OnWkeAlertBox(CWkeWebkitUI* s, const wchar_t* m) override {
        lastSender = s;
        events.push_back(L"alert " + std::wstring(m));
    }
    bool OnWkeNavigation(CWkeWebkitUI* s, wkeNavigationType t, const wchar_t* u) override {
        lastSender = s;
        events.push_back(L"navigation " + std::to_wstring(t) + L" " + u);
        return navigationAnswer;
    }
    wkeWebView OnWkeCreateView(CWkeWebkitUI* s, wkeNavigationType t, wkeString u,
                               const wkeWindowFeatures* f) override {
        lastSender = s;
        lastFeaturesWidth = f ? f->width : -1;
        events.push_back(L"create " + std::to_wstring(t) + L" " + wkeGetStringW(u));
        return createViewAnswer;
    }
    void OnWkeDocumentReady(CWkeWebkitUI* s) override {
        lastSender = s;
        events.push_back(L"ready");
    }
    bool OnWkeLoadUrlBegin(CWkeWebkitUI* s, CWkeWebkitUI* c, const utf8* u, wkeNetJob j) override {
        lastSender = s;
        lastControl = c;
        lastJob = j;
        events.push_back(L"begin " + std::wstring(u, u + strlen(u)));
        return loadUrlBeginAnswer;
    }
    bool OnWkeDownload(CWkeWebkitUI* s, const utf8* u) override {
        lastSender = s;
        events.push_back(L"download " + std::wstring(u, u + strlen(u)));
        return downloadAnswer;
    }
    void OnWkeLoadingFinish(CWkeWebkitUI* s, const wchar_t* u, wkeLoadingResult r, const wchar_t* why) override {
        lastSender = s;
        urlLoadsWhenFinishHeard = wkefake::CallCount("wkeLoadURLW");
        events.push_back(L"finish " + std::wstring(u) + L" " + std::to_wstring(r) + L" " + why);
    }
    void OnWkeFavicon(CWkeWebkitUI* s, const utf8* u, wkeMemBuf* b) override {
        lastSender = s;
        events.push_back(L"favicon " + std::wstring(u, u + strlen(u)) + L" " + std::to_wstring(b->length));
    }
};

// Overrides nothing: the interface's defaults answer.
class SilentOwner : public IWkeCallback {};

class WebViewControl : public ::testing::Test {
protected:
    ScopedFakeWebEngine engine;
    std::unique_ptr<CWkeWebkitUI> control{new CWkeWebkitUI()};
    wkeWebView view() const { return control->GetWebView(); }
    // Handlers registered, as once the control is in a window.
    void Init() { control->DoInit(); }
};

}  // namespace

TEST_F(WebViewControl, OwnsOneOffscreenViewAndAnswersItsQueries) {
    ASSERT_NE(view(), nullptr);
    EXPECT_EQ(wkefake::CallCount("wkeCreateWebView"), 1u);
    EXPECT_EQ(wkefake::LastView(), view());
    EXPECT_FALSE(FindView(view())->isWindow);
    EXPECT_STREQ(control->GetClass(), L"CWkeWebkitUI");
    EXPECT_EQ(control->GetInterface(L"WkeBrowser"), static_cast<void*>(control.get()));
    EXPECT_NE(control->GetInterface(L"wkebrowser"), static_cast<void*>(control.get()));
}

TEST_F(WebViewControl, NavigateSendsFileAddressesToTheFileLoaderUnchanged) {
    for (const wchar_t* url : {L"file:///C:/page.html", L"FILE:///C:/page.html"}) {
        control->Navigate(url);
        ASSERT_NE(LastCall("wkeLoadFileW"), nullptr);
        EXPECT_EQ(LastCall("wkeLoadFileW")->Wide(0), url);
        EXPECT_EQ(LastCall("wkeLoadFileW")->view, view());
    }
    EXPECT_EQ(wkefake::CallCount("wkeLoadURLW"), 0u);
    for (const wchar_t* url : {L"http://a.example/x", L"HTTPS://a.example/", L"about:blank", L"c:\\page.html", L"",
                               L"h2:x"}) {
        control->Navigate(url);
        ASSERT_NE(LastCall("wkeLoadURLW"), nullptr);
        EXPECT_EQ(LastCall("wkeLoadURLW")->Wide(0), url);
    }
    EXPECT_EQ(wkefake::CallCount("wkeLoadFileW"), 2u);
}

TEST_F(WebViewControl, HomepageAndUrlAttributesLoadAtOnce) {
    control->SetAttribute(L"homepage", L"about:blank");
    ASSERT_NE(LastCall("wkeLoadURLW"), nullptr);
    EXPECT_EQ(LastCall("wkeLoadURLW")->Wide(0), L"about:blank");
    control->SetAttribute(L"url", L"file:///C:/start.html");
    ASSERT_NE(LastCall("wkeLoadFileW"), nullptr);
    EXPECT_EQ(LastCall("wkeLoadFileW")->Wide(0), L"file:///C:/start.html");
    // A home page too long to keep is still loaded in full.
    const std::wstring longUrl = L"http://a.example/?" + std::wstring(3000, L'q');
    control->SetAttribute(L"homepage", longUrl.c_str());
    EXPECT_EQ(LastCall("wkeLoadURLW")->Wide(0), longUrl);
    // Other names are the framework's.
    control->SetAttribute(L"name", L"login");
    EXPECT_EQ(control->GetName(), L"login");
}

TEST_F(WebViewControl, InitRegistersTheTwelveHandlersInOrderWithTheControlAsContext) {
    Init();
    const std::vector<std::string> expected = {
        "wkeOnTitleChanged", "wkeOnURLChanged",   "wkeOnNavigation",     "wkeOnCreateView",
        "wkeOnDocumentReady", "wkeOnLoadUrlBegin", "wkeOnLoadingFinish", "wkeOnDownload",
        "wkeOnPaintUpdated", "wkeOnAlertBox",     "wkeOnWindowClosing",  "wkeOnConsole"};
    std::vector<std::string> registered;
    for (const wkefake::Call& call : wkefake::Calls()) {
        if (call.name.rfind("wkeOn", 0) == 0) registered.push_back(call.name);
    }
    EXPECT_EQ(registered, expected);
    for (const std::string& name : expected) {
        const wkefake::Handler* handler = wkefake::FindHandler(view(), name);
        ASSERT_NE(handler, nullptr) << name;
        EXPECT_EQ(handler->param, static_cast<void*>(control.get())) << name;
    }
    ASSERT_NE(LastCall("wkeSetTransparent"), nullptr);
    EXPECT_FALSE(LastCall("wkeSetTransparent")->Bool(0));
}

TEST_F(WebViewControl, WithoutOwnerNavigationsAndDownloadsProceedAndNothingIsCreated) {
    Init();
    EXPECT_EQ(wkefake::RaiseNavigation(view(), WKE_NAVIGATION_TYPE_LINKCLICK, L"http://a.example/"), true);
    EXPECT_EQ(wkefake::RaiseDownload(view(), "http://a.example/file.zip"), true);
    wkeWindowFeatures features{};
    EXPECT_EQ(wkefake::RaiseCreateView(view(), WKE_NAVIGATION_TYPE_OTHER, L"http://b.example/", features),
              std::optional<wkeWebView>(nullptr));
    EXPECT_EQ(wkefake::RaiseLoadUrlBegin(view(), "http://a.example/", nullptr), false);
    EXPECT_EQ(wkefake::RaiseWindowClosing(view()), false);
    EXPECT_TRUE(wkefake::RaiseTitleChanged(view(), L"t"));
}

TEST_F(WebViewControl, AnOwnerThatOverridesNothingCancelsNavigationsAndDownloads) {
    Init();
    SilentOwner owner;
    control->SetWkeCallback(&owner);
    EXPECT_EQ(wkefake::RaiseNavigation(view(), WKE_NAVIGATION_TYPE_FORMSUBMITTE, L"http://a.example/"), false);
    EXPECT_EQ(wkefake::RaiseDownload(view(), "http://a.example/f.zip"), false);
    wkeWindowFeatures features{};
    EXPECT_EQ(wkefake::RaiseCreateView(view(), WKE_NAVIGATION_TYPE_OTHER, L"http://b.example/", features),
              std::optional<wkeWebView>(nullptr));
}

TEST_F(WebViewControl, PageEventsReachTheOwnerWithTheirArguments) {
    Init();
    RecordingOwner owner;
    control->SetWkeCallback(&owner);
    owner.createViewAnswer = reinterpret_cast<wkeWebView>(0x1234);
    wkeWindowFeatures features{};
    features.width = 300;

    EXPECT_TRUE(wkefake::RaiseTitleChanged(view(), L"Welcome"));
    EXPECT_TRUE(wkefake::RaiseURLChanged(view(), L"http://main.example/", true));
    EXPECT_TRUE(wkefake::RaiseURLChanged(view(), L"http://frame.example/", false));
    EXPECT_EQ(wkefake::RaiseNavigation(view(), WKE_NAVIGATION_TYPE_RELOAD, L"http://a.example/"), true);
    owner.navigationAnswer = false;
    EXPECT_EQ(wkefake::RaiseNavigation(view(), WKE_NAVIGATION_TYPE_LINKCLICK, L"http://b.example/"), false);
    EXPECT_EQ(wkefake::RaiseCreateView(view(), WKE_NAVIGATION_TYPE_OTHER, L"http://c.example/", features),
              std::optional<wkeWebView>(owner.createViewAnswer));
    EXPECT_EQ(owner.lastFeaturesWidth, 300);
    EXPECT_TRUE(wkefake::RaiseDocumentReady(view()));
    // The owner's answer to a request is not passed on: the engine always hears false.
    EXPECT_EQ(wkefake::RaiseLoadUrlBegin(view(), "http://d.example/", reinterpret_cast<wkeNetJob>(0x55)), false);
    EXPECT_EQ(owner.lastControl, control.get());
    EXPECT_EQ(owner.lastJob, reinterpret_cast<wkeNetJob>(0x55));
    owner.downloadAnswer = true;
    EXPECT_EQ(wkefake::RaiseDownload(view(), "http://e.example/f.zip"), true);
    EXPECT_TRUE(wkefake::RaiseAlert(view(), L"Hello"));
    EXPECT_TRUE(wkefake::RaiseConsole(view(), WKE_CONSOLE_LEVEL_ERROR, L"oops", L"page.js", 42, L"at f"));
    EXPECT_EQ(wkefake::RaiseWindowClosing(view()), false);
    EXPECT_EQ(owner.lastSender, control.get());

    const std::vector<std::wstring> expected = {
        L"title Welcome",
        L"url http://main.example/",
        L"navigation 3 http://a.example/",
        L"navigation 0 http://b.example/",
        L"create 5 http://c.example/",
        L"ready",
        L"begin http://d.example/",
        L"download http://e.example/f.zip",
        L"alert Hello",
        L"console oops|page.js|42|at f",
    };
    EXPECT_EQ(owner.events, expected);
}

TEST_F(WebViewControl, FinishedMainFrameAsksForTheFaviconAndHandsItOn) {
    Init();
    RecordingOwner owner;
    control->SetWkeCallback(&owner);
    EXPECT_TRUE(wkefake::RaiseLoadingFinished(view(), L"http://a.example/frame", WKE_LOADING_SUCCEEDED, L"", false));
    EXPECT_EQ(wkefake::CallCount("wkeNetGetFavicon"), 0u);
    EXPECT_TRUE(wkefake::RaiseLoadingFinished(view(), L"http://a.example/", WKE_LOADING_SUCCEEDED, L"", true));
    EXPECT_EQ(wkefake::CallCount("wkeNetGetFavicon"), 1u);
    EXPECT_TRUE(wkefake::DeliverFavicon(view(), "http://a.example/favicon.ico", std::vector<char>(7, 'x')));
    ASSERT_EQ(owner.events.size(), 3u);
    EXPECT_EQ(owner.events[0], L"finish http://a.example/frame 0 ");
    EXPECT_EQ(owner.events[2], L"favicon http://a.example/favicon.ico 7");
    EXPECT_EQ(wkefake::CallCount("wkeLoadURLW"), 0u);
}

TEST_F(WebViewControl, FailedLoadShowsTheErrorPageOnceBeforeTheOwnerHears) {
    Init();
    RecordingOwner owner;
    control->SetWkeCallback(&owner);
    control->SetErrorPage(L"http://error.example/");
    control->Navigate(L"http://login.example/");
    const size_t loadsBefore = wkefake::CallCount("wkeLoadURLW");

    // A failing sub-frame replaces the page too.
    EXPECT_TRUE(wkefake::RaiseLoadingFinished(view(), L"http://ads.example/", WKE_LOADING_FAILED, L"refused", false));
    ASSERT_EQ(wkefake::CallCount("wkeLoadURLW"), loadsBefore + 1);
    EXPECT_EQ(LastCall("wkeLoadURLW")->Wide(0), L"http://error.example/");
    EXPECT_EQ(owner.urlLoadsWhenFinishHeard, loadsBefore + 1);
    EXPECT_EQ(owner.events.back(), L"finish http://ads.example/ 1 refused");

    // The error page failing in turn loads nothing more.
    EXPECT_TRUE(wkefake::RaiseLoadingFinished(view(), L"http://error.example/", WKE_LOADING_FAILED, L"down", true));
    EXPECT_TRUE(wkefake::RaiseLoadingFinished(view(), L"http://error.example/", WKE_LOADING_FAILED, L"down", true));
    EXPECT_EQ(wkefake::CallCount("wkeLoadURLW"), loadsBefore + 1);

    // The owner's next navigation may show it again.
    control->Navigate(L"http://login.example/");
    EXPECT_TRUE(wkefake::RaiseLoadingFinished(view(), L"http://login.example/", WKE_LOADING_FAILED, L"", true));
    EXPECT_EQ(wkefake::CallCount("wkeLoadURLW"), loadsBefore + 3);
    EXPECT_EQ(LastCall("wkeLoadURLW")->Wide(0), L"http://error.example/");
}

TEST_F(WebViewControl, FailedLoadWithoutOwnerOrErrorPageLoadsTheEmptyAddress) {
    Init();
    EXPECT_TRUE(wkefake::RaiseLoadingFinished(view(), L"http://a.example/", WKE_LOADING_FAILED, L"", true));
    ASSERT_NE(LastCall("wkeLoadURLW"), nullptr);
    EXPECT_EQ(LastCall("wkeLoadURLW")->Wide(0), L"");
    // Canceled loads are no failures.
    control->Navigate(L"http://b.example/");
    EXPECT_TRUE(wkefake::RaiseLoadingFinished(view(), L"http://b.example/", WKE_LOADING_CANCELED, L"", true));
    EXPECT_EQ(LastCall("wkeLoadURLW")->Wide(0), L"http://b.example/");
}

TEST_F(WebViewControl, ErrorPageLongerThanItsBufferIsRefused) {
    Init();
    control->SetErrorPage(L"about:blank");
    const std::wstring longUrl = L"http://error.example/?" + std::wstring(2000, L'e');
    control->SetErrorPage(longUrl.c_str());
    EXPECT_TRUE(wkefake::RaiseLoadingFinished(view(), L"http://a.example/", WKE_LOADING_FAILED, L"", true));
    EXPECT_EQ(LastCall("wkeLoadURLW")->Wide(0), L"about:blank");
}

TEST_F(WebViewControl, RunJSHandsUtf8ScriptToTheView) {
    control->RunJS(L"document.title='\x00e9t\x00e9';");
    ASSERT_NE(LastCall("wkeRunJS"), nullptr);
    EXPECT_EQ(LastCall("wkeRunJS")->view, view());
    EXPECT_EQ(LastCall("wkeRunJS")->Narrow(0), "document.title='\xc3\xa9t\xc3\xa9';");
}

TEST_F(WebViewControl, AfterDestructionBeganNoEventReachesTheOwner) {
    Init();
    RecordingOwner owner;
    control->SetWkeCallback(&owner);
    EXPECT_TRUE(wkefake::RaiseLoadingFinished(view(), L"http://a.example/", WKE_LOADING_SUCCEEDED, L"", true));
    const wkeWebView gone = view();
    owner.events.clear();
    control.reset();

    ASSERT_NE(FindView(gone), nullptr);
    EXPECT_TRUE(FindView(gone)->destroyed);
    EXPECT_FALSE(wkefake::RaiseTitleChanged(gone, L"late"));
    EXPECT_FALSE(wkefake::RaiseNavigation(gone, WKE_NAVIGATION_TYPE_LINKCLICK, L"http://x.example/").has_value());
    EXPECT_FALSE(wkefake::RaiseLoadingFinished(gone, L"http://x.example/", WKE_LOADING_FAILED, L"", true));
    EXPECT_FALSE(wkefake::RaiseAlert(gone, L"late"));
    EXPECT_FALSE(wkefake::DeliverFavicon(gone, "http://a.example/favicon.ico", {'x'}));
    EXPECT_TRUE(owner.events.empty());
    for (const wkefake::Call& call : wkefake::Calls()) EXPECT_FALSE(call.onDestroyedView) << call.name;
}
