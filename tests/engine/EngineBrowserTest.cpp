// The engine against the real headless browser: pages come from a loopback server in the test,
// and everything is observed through the engine interface and the server's log.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/Handles.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/SeenCaller.h"
#include "tests/support/TempFolder.h"

namespace {

const char kColourPage[] =
    "<html><head><title>Colour page</title></head>"
    "<body style='margin:0;background:#3366cc'></body></html>";

struct LoadEvents {
    int documentReady = 0;
    void* documentReadyParam = nullptr;
    std::vector<std::wstring> titles;
    std::vector<std::pair<std::wstring, bool>> urls;  // url, main frame
    std::vector<std::pair<std::wstring, int>> finished;
    int paints = 0;
    COLORREF paintedCentre = CLR_INVALID;
    RECT lastDirty{};
};

void WKE_CALL OnReady(wkeWebView, void* param) {
    auto* e = static_cast<LoadEvents*>(param);
    e->documentReady++;
    e->documentReadyParam = param;
}

void WKE_CALL OnTitle(wkeWebView, void* param, wkeString title) {
    static_cast<LoadEvents*>(param)->titles.push_back(EngineStringText(title));
}

void WKE_CALL OnUrl(wkeWebView view, void* param, wkeString url) {
    const wkeTempCallbackInfo* info = wkeGetTempCallbackInfo(view);
    const bool main = info && wkeIsMainFrame(view, info->frame);
    static_cast<LoadEvents*>(param)->urls.emplace_back(EngineStringText(url), main);
}

void WKE_CALL OnFinish(wkeWebView, void* param, wkeString url, wkeLoadingResult result, wkeString) {
    static_cast<LoadEvents*>(param)->finished.emplace_back(EngineStringText(url), result);
}

void WKE_CALL OnPaint(wkeWebView, void* param, HDC hdc, int x, int y, int cx, int cy) {
    auto* e = static_cast<LoadEvents*>(param);
    e->paints++;
    e->lastDirty = RECT{x, y, x + cx, y + cy};
    e->paintedCentre = GetPixel(hdc, 160, 100);
}

uint32_t PixelAt(wkeWebView view, int width, int height, int x, int y) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0);
    wkePaint(view, pixels.data(), 0);
    return pixels[static_cast<size_t>(y) * width + x] & 0x00FFFFFF;
}

class EngineBrowserTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(LoadTestEngine()) << "the engine or its browser did not start";
    }
    LoopbackHttpServer server;
};

TEST_F(EngineBrowserTest, OffscreenViewLoadsPagePaintsItAndReportsLoadEvents) {
    server.AddPage("/colour.html", kColourPage);
    LoadEvents events;
    wkeWebView view = wkeCreateWebView();
    ASSERT_NE(view, nullptr);
    wkeResize(view, 320, 200);
    wkeSetUserAgent(view, kTestUserAgent);
    wkeSetLanguage(view, "de-DE");
    wkeOnDocumentReady(view, OnReady, &events);
    wkeOnTitleChanged(view, OnTitle, &events);
    wkeOnURLChanged(view, OnUrl, &events);
    wkeOnLoadingFinish(view, OnFinish, &events);
    wkeOnPaintUpdated(view, OnPaint, &events);
    const std::wstring url = server.Url("/colour.html");
    wkeLoadURLW(view, url.c_str());

    // 0x3366cc in the buffer's BGRA order reads 0x3366CC as a little-endian pixel.
    EXPECT_TRUE(PumpUntil([&] { return PixelAt(view, 320, 200, 160, 100) == 0x3366CC; }))
        << std::hex << PixelAt(view, 320, 200, 160, 100);
    EXPECT_TRUE(PumpUntil([&] { return !events.finished.empty() && !events.titles.empty() &&
                                       events.titles.back() == L"Colour page"; }));
    EXPECT_EQ(PixelAt(view, 320, 200, 319, 199), 0x3366CCu);
    EXPECT_GE(events.documentReady, 1);
    EXPECT_EQ(events.documentReadyParam, &events);
    ASSERT_FALSE(events.finished.empty());
    EXPECT_EQ(events.finished.back().first, url);
    EXPECT_EQ(events.finished.back().second, WKE_LOADING_SUCCEEDED);
    ASSERT_FALSE(events.urls.empty());
    EXPECT_EQ(events.urls.back().first, url);
    EXPECT_TRUE(events.urls.back().second);
    EXPECT_GE(events.paints, 1);
    EXPECT_EQ(events.paintedCentre, RGB(0x33, 0x66, 0xCC));
    EXPECT_GT(events.lastDirty.right, events.lastDirty.left);

    bool seen = false;
    for (const RecordedRequest& r : server.Requests()) {
        if (r.target != "/colour.html") continue;
        seen = true;
        EXPECT_EQ(r.Header("User-Agent"), kTestUserAgent);
        EXPECT_EQ(r.Header("Accept-Language").compare(0, 5, "de-DE"), 0) << r.Header("Accept-Language");
    }
    EXPECT_TRUE(seen);

    // The page's screen is the display's, not the headless browser's own.
    const std::wstring screen = std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L"x" +
                                std::to_wstring(GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(ScriptText(view, wkeRunJS(view, "screen.width + 'x' + screen.height")), screen);
    EXPECT_EQ(ScriptText(view, wkeRunJS(view, "innerWidth + 'x' + innerHeight")), L"320x200");
    wkeDestroyWebView(view);
}

// A hidden view costs nothing: no frames, and its page is told, as a background tab is, so that it
// can pause itself; its timers go on. Shown again, it paints what the page shows now, exactly.
TEST_F(EngineBrowserTest, HiddenViewGetsNoFramesItsPageSeesHiddenAndShownAgainPaintsTheCurrentPicture) {
    server.AddPage("/hide.html",
                   "<html><body style='margin:0;background:#3366cc'><script>var seen=[];"
                   "document.addEventListener('visibilitychange',function(){seen.push(document.visibilityState);"
                   "if(document.hidden)setTimeout(function(){document.body.style.background='#cc3322';"
                   "document.body.dataset.changed='yes';},50);});</script></body></html>");
    LoadEvents events;
    wkeWebView view = wkeCreateWebView();
    ASSERT_NE(view, nullptr);
    wkeResize(view, 320, 200);
    wkeOnPaintUpdated(view, OnPaint, &events);
    const std::wstring url = server.Url("/hide.html");
    wkeLoadURLW(view, url.c_str());
    ASSERT_TRUE(PumpUntil([&] { return PixelAt(view, 320, 200, 160, 100) == 0x3366CC; }));

    wkeShowWindow(view, false);
    EXPECT_TRUE(PumpUntil([&] { return ScriptText(view, wkeRunJS(view, "document.visibilityState")) == L"hidden"; }));
    EXPECT_TRUE(PumpUntil([&] { return ScriptText(view, wkeRunJS(view, "document.body.dataset.changed")) == L"yes"; }))
        << "the hidden page's timer did not run";
    const int paintsWhileHidden = events.paints;
    PumpUntil([] { return false; }, 1000);  // a second in which a shown page would have painted
    EXPECT_EQ(events.paints, paintsWhileHidden);
    EXPECT_EQ(PixelAt(view, 320, 200, 160, 100), 0x3366CCu) << "the view shows what it showed";

    wkeShowWindow(view, true);
    EXPECT_TRUE(PumpUntil([&] { return PixelAt(view, 320, 200, 160, 100) == 0xCC3322; }))
        << std::hex << PixelAt(view, 320, 200, 160, 100);
    EXPECT_EQ(ScriptText(view, wkeRunJS(view, "seen.join()")), L"hidden,visible");
    wkeDestroyWebView(view);
}

// A page that moves comes in lossy frames; once it stands still, the view holds its picture
// exactly, to the last pixel.
TEST_F(EngineBrowserTest, StillPageEndsPixelExact) {
    constexpr int kWidth = 160, kHeight = 100, kLastStep = 29;
    server.AddPage("/detail.html",
                   "<html><body style='margin:0'><canvas id=c width=160 height=100></canvas><script>"
                   "var c=document.getElementById('c').getContext('2d'),d=c.createImageData(160,100),n=0;"
                   "function draw(k){for(var y=0;y<100;y++)for(var x=0;x<160;x++){var i=(y*160+x)*4;"
                   "d.data[i]=(x*7+y*13+k)&255;d.data[i+1]=(x*x+y*3)&255;d.data[i+2]=((x^y)*5)&255;"
                   "d.data[i+3]=255;}c.putImageData(d,0,0);}"
                   "function f(){draw(n++);if(n<=29)requestAnimationFrame(f);}f();</script></body></html>");
    wkeWebView view = wkeCreateWebView();
    ASSERT_NE(view, nullptr);
    wkeResize(view, kWidth, kHeight);
    const std::wstring url = server.Url("/detail.html");
    wkeLoadURLW(view, url.c_str());
    std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
    int wrong = 0;
    const bool exact = PumpUntil([&] {
        wkePaint(view, pixels.data(), 0);
        wrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const uint32_t r = (x * 7 + y * 13 + kLastStep) & 255, g = (x * x + y * 3) & 255, b = ((x ^ y) * 5) & 255;
                wrong += (pixels[static_cast<size_t>(y) * kWidth + x] & 0x00FFFFFF) != (r << 16 | g << 8 | b);
            }
        }
        return wrong == 0;
    });
    EXPECT_TRUE(exact) << wrong << " pixels differ from the page's last picture";
    wkeDestroyWebView(view);
}

TEST_F(EngineBrowserTest, FailedLoadAndSubFrameAreToldApart) {
    server.AddPage("/outer.html", "<html><body><iframe src='/inner.html'></iframe></body></html>");
    server.AddPage("/inner.html", "<html><body>inner</body></html>");
    LoadEvents events;
    wkeWebView view = wkeCreateWebView();
    ASSERT_NE(view, nullptr);
    wkeOnURLChanged(view, OnUrl, &events);
    wkeOnLoadingFinish(view, OnFinish, &events);
    const std::wstring outer = server.Url("/outer.html");
    const std::wstring inner = server.Url("/inner.html");
    wkeLoadURLW(view, outer.c_str());
    ASSERT_TRUE(PumpUntil([&] { return !events.finished.empty(); }));
    bool innerSeen = false;
    bool outerSeen = false;
    for (const auto& u : events.urls) {
        if (u.first == inner) innerSeen = !u.second;
        if (u.first == outer) outerSeen = u.second;
    }
    EXPECT_TRUE(innerSeen) << "the sub-frame's address arrives as a sub-frame";
    EXPECT_TRUE(outerSeen) << "the page's address arrives as the main frame";

    // Nothing listens on port 1: the load fails and says so.
    events.finished.clear();
    wkeLoadURLW(view, L"http://127.0.0.1:1/nothing.html");
    ASSERT_TRUE(PumpUntil([&] { return !events.finished.empty(); }));
    EXPECT_EQ(events.finished.front().second, WKE_LOADING_FAILED);
    EXPECT_EQ(events.finished.front().first, L"http://127.0.0.1:1/nothing.html");
    wkeDestroyWebView(view);
}

// ---- script ----

struct NativeCall {
    int argc = -1;
    std::vector<std::wstring> texts;
    std::vector<bool> strings;
};
std::vector<NativeCall> g_nativeCalls;

jsValue WKE_CALL NativeRecorder(jsExecState es) {
    NativeCall call;
    call.argc = jsArgCount(es);
    for (int i = 0; i < call.argc; ++i) {
        jsValue arg = jsArg(es, i);
        call.strings.push_back(jsIsString(arg));
        call.texts.push_back(jsToTempStringW(es, arg));
    }
    g_nativeCalls.push_back(call);
    return jsUndefined();
}

struct AlertEvents {
    wkeWebView view = nullptr;
    std::vector<std::wstring> messages;
    std::wstring scriptDuringAlert;
};

void WKE_CALL OnAlert(wkeWebView view, void* param, wkeString message) {
    auto* e = static_cast<AlertEvents*>(param);
    e->messages.push_back(EngineStringText(message));
    // The page is stopped inside alert(): a script call must come back empty, not hang.
    e->scriptDuringAlert = ScriptText(view, wkeRunJS(view, "1+1"));
}

void WKE_CALL DestroyingAlert(wkeWebView view, void* param, wkeString) {
    ++*static_cast<int*>(param);
    wkeDestroyWebView(view);
}

TEST_F(EngineBrowserTest, ScriptRunsBoundFunctionsReceiveArgumentsAndAlertsWait) {
    jsBindFunction("EarlyNative", NativeRecorder, 2);
    server.AddPage("/script.html",
                   "<html><head><script>EarlyNative('from page', 42, null);"
                   "function join(a,b){return a+'|'+b;}</script></head><body>s</body></html>");
    LoadEvents events;
    AlertEvents alerts;
    wkeWebView view = wkeCreateWebView();
    ASSERT_NE(view, nullptr);
    wkeOnLoadingFinish(view, OnFinish, &events);
    wkeOnAlertBox(view, OnAlert, &alerts);
    const std::wstring url = server.Url("/script.html");
    wkeLoadURLW(view, url.c_str());
    ASSERT_TRUE(PumpUntil([&] { return !g_nativeCalls.empty() && !events.finished.empty(); }));

    const NativeCall& early = g_nativeCalls.front();
    ASSERT_EQ(early.argc, 3);
    EXPECT_TRUE(early.strings[0]);
    EXPECT_EQ(early.texts[0], L"from page");
    EXPECT_FALSE(early.strings[1]);
    EXPECT_EQ(early.texts[1], L"42");
    EXPECT_FALSE(early.strings[2]);

    jsValue product = wkeRunJS(view, "6*7");
    EXPECT_EQ(ScriptText(view, product), L"42");
    EXPECT_FALSE(jsIsString(product));
    jsValue text = wkeRunJS(view, "'caf\xC3\xA9' + 1");
    EXPECT_TRUE(jsIsString(text));
    EXPECT_EQ(ScriptText(view, text), L"caf\u00e9" L"1");

    jsExecState es = wkeGlobalExec(view);
    jsValue args[2] = {jsStringW(es, L"left"), jsStringW(es, L"right \"quoted\"")};
    EXPECT_EQ(ScriptText(view, jsCallGlobal(es, jsGetGlobal(es, "join"), args, 2)), L"left|right \"quoted\"");
    EXPECT_EQ(ScriptText(view, jsCallGlobal(es, jsGetGlobal(es, "noSuchFunction"), args, 1)), L"undefined");

    // A function bound after the page loaded reaches the page that is already there.
    g_nativeCalls.clear();
    jsBindFunction("LateNative", NativeRecorder, 1);
    wkeRunJS(view, "LateNative('late')");
    ASSERT_TRUE(PumpUntil([&] { return !g_nativeCalls.empty(); }));
    ASSERT_EQ(g_nativeCalls.front().argc, 1);
    EXPECT_EQ(g_nativeCalls.front().texts[0], L"late");

    // The page goes on after the handler has returned, and not before.
    g_nativeCalls.clear();
    alerts.view = view;
    wkeRunJS(view, "setTimeout(function(){alert('stop here');LateNative('after alert');},0)");
    ASSERT_TRUE(PumpUntil([&] { return !g_nativeCalls.empty(); }));
    ASSERT_EQ(alerts.messages.size(), 1u);
    EXPECT_EQ(alerts.messages[0], L"stop here");
    EXPECT_EQ(alerts.scriptDuringAlert, L"undefined");
    EXPECT_EQ(g_nativeCalls.front().texts[0], L"after alert");

    // Back to back: the second comes the moment the first has been answered, and is shown too.
    g_nativeCalls.clear();
    alerts.messages.clear();
    wkeRunJS(view, "setTimeout(function(){alert('one');alert('two');LateNative('both');},0)");
    ASSERT_TRUE(PumpUntil([&] { return !g_nativeCalls.empty(); }));
    EXPECT_EQ(alerts.messages, (std::vector<std::wstring>{L"one", L"two"}));

    // A handler that destroys its view ends the page's session inside the alert: the engine
    // answers for it, and the next view's page has dialogs of its own.
    int destroyed = 0;
    wkeOnAlertBox(view, DestroyingAlert, &destroyed);
    wkeRunJS(view, "alert('last')");
    ASSERT_TRUE(PumpUntil([&] { return destroyed == 1; }));
    wkeWebView next = wkeCreateWebView();
    ASSERT_NE(next, nullptr);
    AlertEvents nextAlerts;
    wkeOnAlertBox(next, OnAlert, &nextAlerts);
    g_nativeCalls.clear();
    wkeLoadURLW(next, url.c_str());
    ASSERT_TRUE(PumpUntil([&] { return !g_nativeCalls.empty(); }));
    g_nativeCalls.clear();
    wkeRunJS(next, "setTimeout(function(){alert('next');LateNative('next');},0)");
    ASSERT_TRUE(PumpUntil([&] { return !g_nativeCalls.empty(); }));
    EXPECT_EQ(nextAlerts.messages, (std::vector<std::wstring>{L"next"}));
    EXPECT_EQ(destroyed, 1);
    wkeDestroyWebView(next);
}

// ---- navigation and input ----

struct NavigationEvents {
    bool allow = false;
    std::vector<std::pair<int, std::wstring>> seen;
};

bool WKE_CALL OnNavigation(wkeWebView, void* param, wkeNavigationType type, wkeString url) {
    auto* e = static_cast<NavigationEvents*>(param);
    e->seen.emplace_back(type, EngineStringText(url));
    return e->allow;
}

TEST_F(EngineBrowserTest, LinkClickAsksNavigationAndCancelKeepsThePageWhileTypedFormSubmits) {
    server.AddPage("/nav.html",
                   "<html><body style='margin:0'>"
                   "<a href='/target.html' style='position:absolute;left:0;top:0;width:200px;height:80px;"
                   "display:block'>link</a>"
                   "<form action='/submitted.html'><input name='q' style='position:absolute;left:0;top:120px;"
                   "width:200px;height:30px'></form></body></html>");
    server.AddPage("/target.html", "<html><body>target</body></html>");
    server.AddPage("/submitted.html", "<html><head><title>submitted</title></head><body>ok</body></html>");
    LoadEvents events;
    NavigationEvents navigation;
    wkeWebView view = wkeCreateWebView();
    ASSERT_NE(view, nullptr);
    wkeResize(view, 400, 300);
    wkeOnLoadingFinish(view, OnFinish, &events);
    wkeOnTitleChanged(view, OnTitle, &events);
    wkeOnNavigation(view, OnNavigation, &navigation);
    const std::wstring url = server.Url("/nav.html");
    wkeLoadURLW(view, url.c_str());
    ASSERT_TRUE(PumpUntil([&] { return !events.finished.empty(); }));
    EXPECT_TRUE(navigation.seen.empty()) << "a load the caller started is not the handler's to judge";

    ClickAt(view, 50, 40);
    ASSERT_TRUE(PumpUntil([&] { return !navigation.seen.empty(); }));
    EXPECT_EQ(navigation.seen[0].first, WKE_NAVIGATION_TYPE_LINKCLICK);
    EXPECT_EQ(navigation.seen[0].second, server.Url("/target.html"));
    // The cancelled request ends as cancelled, never reaches the server, and the page stays.
    ASSERT_TRUE(PumpUntil([&] { return events.finished.size() >= 2; }));
    EXPECT_EQ(events.finished[1].second, WKE_LOADING_CANCELED);
    EXPECT_FALSE(server.WasRequested("/target.html"));
    EXPECT_EQ(ScriptText(view, wkeRunJS(view, "location.pathname")), L"/nav.html");

    navigation.allow = true;
    ClickAt(view, 50, 135);
    for (wchar_t c : std::wstring(L"Hi")) {
        wkeFireKeyDownEvent(view, towupper(c), 0, false);
        wkeFireKeyPressEvent(view, c, 0, false);
        wkeFireKeyUpEvent(view, towupper(c), 0, false);
    }
    EXPECT_TRUE(PumpUntil([&] { return ScriptText(view, wkeRunJS(view, "document.forms[0].q.value")) == L"Hi"; }));
    wkeRect caret = wkeGetCaretRect(view);
    EXPECT_TRUE(PumpUntil([&] { caret = wkeGetCaretRect(view); return caret.y >= 120 && caret.y < 150; }))
        << caret.x << "," << caret.y;
    wkeFireKeyDownEvent(view, VK_RETURN, 0, false);
    wkeFireKeyPressEvent(view, L'\r', 0, false);
    wkeFireKeyUpEvent(view, VK_RETURN, 0, false);
    ASSERT_TRUE(PumpUntil([&] { return !events.titles.empty() && events.titles.back() == L"submitted"; }));
    ASSERT_EQ(navigation.seen.size(), 2u);
    EXPECT_EQ(navigation.seen[1].first, WKE_NAVIGATION_TYPE_FORMSUBMITTE);
    EXPECT_EQ(navigation.seen[1].second, server.Url("/submitted.html?q=Hi"));
    EXPECT_TRUE(server.WasRequested("/submitted.html?q=Hi"));
    wkeDestroyWebView(view);
}

// ---- new windows ----

struct CreateViewEvents {
    std::vector<std::pair<int, std::wstring>> requests;
    wkeWindowFeatures features{};
    std::vector<wkeWebView> created;
    LoadEvents createdEvents;
};

wkeWebView WKE_CALL OnCreateView(wkeWebView, void* param, wkeNavigationType type, wkeString url,
                                 const wkeWindowFeatures* features) {
    auto* e = static_cast<CreateViewEvents*>(param);
    e->requests.emplace_back(type, EngineStringText(url));
    if (features) e->features = *features;
    // Making a view from inside a handler works like anywhere else.
    wkeWebView view = wkeCreateWebView();
    wkeSetUserAgent(view, kTestUserAgent);
    wkeOnURLChanged(view, OnUrl, &e->createdEvents);
    e->created.push_back(view);
    return view;
}

// A popup blocker like a browser's: a window opens only for the player's click or key press in
// the view, one per click, and only for a web address; the create-view handler's view gets it.
TEST_F(EngineBrowserTest, PagesOpenPopupsOnlyForTheirPlayersClicksOnePerClickAndOnlyWebAddresses) {
    server.AddPage("/opener.html",
                   "<html><body style='margin:0'><a href='/blank.html' target='_blank' style='display:block;"
                   "width:200px;height:80px'>new</a>"
                   "<button id='two' style='position:absolute;left:0;top:100px;width:200px;height:40px' "
                   "onclick=\"window.second=window.open('/popup.html','w','left=10,top=20,width=400,height=300');"
                   "window.third=window.open('/third.html');\">two</button>"
                   "<button id='odd' style='position:absolute;left:0;top:160px;width:200px;height:40px' "
                   "onclick=\"window.open('about:blank');window.open('javascript:1');document.title='went on';\">"
                   "odd</button></body></html>");
    server.AddPage("/popup.html", "<html><body>popup</body></html>");
    server.AddPage("/blank.html", "<html><body>blank</body></html>");
    server.AddPage("/third.html", "<html><body>third</body></html>");
    LoadEvents events;
    CreateViewEvents created;
    wkeWebView view = wkeCreateWebView();
    ASSERT_NE(view, nullptr);
    wkeOnLoadingFinish(view, OnFinish, &events);
    wkeOnTitleChanged(view, OnTitle, &events);
    wkeOnCreateView(view, OnCreateView, &created);
    const std::wstring url = server.Url("/opener.html");
    wkeLoadURLW(view, url.c_str());
    ASSERT_TRUE(PumpUntil([&] { return !events.finished.empty(); }));

    // A flood without a click: no window, and the page learns it got none, as in a browser. The
    // launcher's own scripts give no activation either.
    EXPECT_EQ(ScriptText(view, wkeRunJS(view, "var w=[];for(var i=0;i<20;i++)w.push(window.open('/popup.html'));"
                                              "w.every(function(x){return x===null;})")),
              L"true");
    PumpPending();
    EXPECT_TRUE(created.requests.empty());

    // One click, two window.open: the first opens, with its features; the second gets nothing.
    ClickAt(view, 50, 120);
    ASSERT_TRUE(PumpUntil([&] { return !created.requests.empty(); }));
    EXPECT_EQ(created.requests[0].second, server.Url("/popup.html"));
    EXPECT_EQ(created.features.x, 10);
    EXPECT_EQ(created.features.y, 20);
    EXPECT_EQ(created.features.width, 400);
    EXPECT_EQ(created.features.height, 300);
    const std::wstring popupUrl = server.Url("/popup.html");
    EXPECT_TRUE(PumpUntil([&] {
        for (const auto& u : created.createdEvents.urls)
            if (u.first == popupUrl && u.second) return true;
        return false;
    }));
    EXPECT_EQ(ScriptText(view, wkeRunJS(view, "String(window.third)")), L"null");
    // Only the view asked for the page, with its own user agent: the browser's window for it was
    // closed before it could load anything.
    int popupRequests = 0;
    for (const RecordedRequest& r : server.Requests()) {
        if (r.target != "/popup.html") continue;
        ++popupRequests;
        EXPECT_EQ(r.Header("User-Agent"), kTestUserAgent);
    }
    EXPECT_EQ(popupRequests, 1);

    // A click for addresses that are not web pages opens nothing, and the page goes on.
    ClickAt(view, 50, 180);
    ASSERT_TRUE(PumpUntil([&] { return !events.titles.empty() && events.titles.back() == L"went on"; }));
    EXPECT_EQ(ScriptText(view, wkeRunJS(view, "1")), L"1");
    EXPECT_EQ(created.requests.size(), 1u);

    ClickAt(view, 50, 40);
    ASSERT_TRUE(PumpUntil([&] { return created.requests.size() >= 2; }));
    EXPECT_EQ(created.requests[1].first, WKE_NAVIGATION_TYPE_LINKCLICK);
    EXPECT_EQ(created.requests[1].second, server.Url("/blank.html"));
    EXPECT_TRUE(PumpUntil([&] { return server.WasRequested("/blank.html"); }));
    EXPECT_EQ(ScriptText(view, wkeRunJS(view, "location.pathname")), L"/opener.html");
    EXPECT_FALSE(server.WasRequested("/third.html"));
    for (wkeWebView v : created.created) wkeDestroyWebView(v);
    wkeDestroyWebView(view);
}

// ---- who calls a bound function ----

// Calls of "WhoCalls", each with its first argument as a label.
std::vector<std::pair<std::wstring, SeenCaller>> g_callers;

jsValue WKE_CALL CallerRecorder(jsExecState es) {
    g_callers.emplace_back(jsArgCount(es) > 0 ? jsToTempStringW(es, jsArg(es, 0)) : L"", SeeCaller(es));
    return jsUndefined();
}

const SeenCaller* CallerLabelled(const std::wstring& label) {
    for (const auto& call : g_callers)
        if (call.first == label) return &call.second;
    return nullptr;
}

TEST_F(EngineBrowserTest, BoundFunctionsLearnTheCallingViewFrameAndAddress) {
    jsBindFunction("WhoCalls", CallerRecorder, 1);
    server.AddPage("/host.html",
                   "<html><body style='margin:0'><button onclick=\"window.open('/opened.html')\" "
                   "style='display:block;width:200px;height:80px'>open</button><iframe src='/inner.html?f=1'>"
                   "</iframe><script>WhoCalls('main');</script></body></html>");
    server.AddPage("/inner.html", "<html><body><script>WhoCalls('frame');</script></body></html>");
    server.AddPage("/opened.html", "<html><body><script>WhoCalls('popup');</script></body></html>");
    CreateViewEvents created;
    wkeWebView view = wkeCreateWebView();
    ASSERT_NE(view, nullptr);
    wkeOnCreateView(view, OnCreateView, &created);
    const std::wstring hostUrl = server.Url("/host.html");
    wkeLoadURLW(view, hostUrl.c_str());
    ASSERT_TRUE(PumpUntil([&] { return CallerLabelled(L"main") && CallerLabelled(L"frame"); }));

    const SeenCaller main = *CallerLabelled(L"main");
    EXPECT_TRUE(main.known);
    EXPECT_EQ(main.view, view);
    EXPECT_TRUE(main.mainFrame);
    EXPECT_TRUE(main.frameIsMain);
    EXPECT_EQ(main.url, hostUrl);
    EXPECT_EQ(main.name, "WhoCalls");
    const SeenCaller frame = *CallerLabelled(L"frame");
    EXPECT_TRUE(frame.known);
    EXPECT_EQ(frame.view, view);
    EXPECT_FALSE(frame.mainFrame);
    EXPECT_FALSE(frame.frameIsMain);
    EXPECT_EQ(frame.url, server.Url("/inner.html?f=1"));

    // A page that writes the engine's own call record names a function, never where it stands.
    wkeRunJS(view, "__wkeNativeCall(JSON.stringify({n:'WhoCalls',a:[{t:'string',s:'forged'}],"
                   "url:'http://elsewhere.test/',frame:'main'}))");
    ASSERT_TRUE(PumpUntil([&] { return CallerLabelled(L"forged") != nullptr; }));
    EXPECT_EQ(CallerLabelled(L"forged")->url, hostUrl);

    // A window the page opens is a view of its own.
    ClickAt(view, 50, 40);
    ASSERT_TRUE(PumpUntil([&] { return CallerLabelled(L"popup") != nullptr; }));
    ASSERT_EQ(created.created.size(), 1u);
    const SeenCaller popup = *CallerLabelled(L"popup");
    EXPECT_EQ(popup.view, created.created[0]);
    EXPECT_TRUE(popup.mainFrame);
    EXPECT_EQ(popup.url, server.Url("/opened.html"));

    // Outside a native function there is no caller.
    EXPECT_EQ(jsGetCallerInfo(wkeGlobalExec(view)), nullptr);
    for (wkeWebView v : created.created) wkeDestroyWebView(v);
    wkeDestroyWebView(view);
}

// ---- window views ----

TEST_F(EngineBrowserTest, PopupWindowViewPaintsItsWindowAndTakesItsInput) {
    server.AddPage("/window.html",
                   "<html><body style='margin:0;background:#3366cc' "
                   "onmousedown=\"document.title='clicked '+event.clientX+','+event.clientY\"></body></html>");
    LoadEvents events;
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_POPUP, nullptr, 10, 10, 400, 300);
    ASSERT_NE(view, nullptr);
    HWND window = wkeGetHostHWND(view);
    ASSERT_TRUE(IsWindow(window));
    wkeSetWindowTitle(view, "Popup \xC3\xA9");
    wchar_t title[32] = {};
    GetWindowTextW(window, title, 32);
    EXPECT_STREQ(title, L"Popup \u00e9");
    wkeOnTitleChanged(view, OnTitle, &events);
    wkeShowWindow(view, true);
    wkeMoveToCenter(view);
    EXPECT_TRUE(IsWindowVisible(window));
    const std::wstring url = server.Url("/window.html");
    wkeLoadURLW(view, url.c_str());

    // The window shows the page: its own paint puts the page's colour on the screen.
    EXPECT_TRUE(PumpUntil([&] {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        HDC dc = GetDC(window);
        COLORREF c = GetPixel(dc, 50, 50);
        ReleaseDC(window, dc);
        return c == RGB(0x33, 0x66, 0xCC);
    }));
    // Mouse messages to the window reach the page at the same client coordinates.
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 40));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(30, 40));
    EXPECT_TRUE(PumpUntil([&] { return !events.titles.empty() && events.titles.back() == L"clicked 30,40"; }));

    // A child window view lives inside its parent.
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                                  nullptr);
    wkeWebView child = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, parent, 0, 0, 200, 100);
    ASSERT_NE(child, nullptr);
    const HWND own = wkeGetHostHWND(child);
    EXPECT_EQ(GetParent(own), parent);
    // Shown in its parent (which itself is not on the screen).
    auto shown = [own] { return (GetWindowLongW(own, GWL_STYLE) & WS_VISIBLE) != 0; };
    EXPECT_TRUE(shown());
    // A caller that names its own window as the view's takes over painting and input. The view's
    // window steps aside, out of sight also when the view is shown, and stays a window for whoever
    // holds it until the view goes; named again, it is the view's window once more.
    wkeSetHandle(child, parent);
    EXPECT_EQ(wkeGetHostHWND(child), parent);
    EXPECT_TRUE(IsWindow(own));
    wkeShowWindow(child, true);
    EXPECT_FALSE(shown());
    wkeSetHandle(child, own);
    EXPECT_EQ(wkeGetHostHWND(child), own);
    wkeShowWindow(child, true);
    EXPECT_TRUE(shown());
    wkeDestroyWebView(child);
    EXPECT_FALSE(IsWindow(own));
    // A view whose window went with its parent has none left to give out or to destroy.
    wkeWebView orphan = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, parent, 0, 0, 200, 100);
    ASSERT_NE(orphan, nullptr);
    EXPECT_TRUE(IsWindow(wkeGetHostHWND(orphan)));
    DestroyWindow(parent);
    EXPECT_EQ(wkeGetHostHWND(orphan), nullptr);
    wkeDestroyWebView(orphan);
    wkeDestroyWebView(view);
    EXPECT_FALSE(IsWindow(window));
}

}  // namespace

// A view is handed out before its page runs; loads asked for meanwhile are made once it does, in
// order, and seen like any other: the last one is the page.
TEST_F(EngineBrowserTest, LoadsAskedBeforeThePageRunsAreMadeInOrder) {
    server.AddPage("/first.html", "<html><head><title>First</title></head><body></body></html>");
    server.AddPage("/second.html", kColourPage);
    LoadEvents events;
    wkeWebView view = wkeCreateWebView();
    ASSERT_NE(view, nullptr);
    wkeOnTitleChanged(view, OnTitle, &events);
    wkeOnURLChanged(view, OnUrl, &events);
    wkeOnLoadingFinish(view, OnFinish, &events);
    const std::wstring first = server.Url("/first.html");
    const std::wstring second = server.Url("/second.html");
    wkeLoadURLW(view, first.c_str());
    wkeLoadURLW(view, second.c_str());

    ASSERT_TRUE(PumpUntil([&] {
        return !events.finished.empty() && events.finished.back().first == second &&
               !events.titles.empty() && events.titles.back() == L"Colour page";
    }));
    EXPECT_EQ(events.finished.back().second, WKE_LOADING_SUCCEEDED);
    ASSERT_FALSE(events.urls.empty());
    EXPECT_EQ(events.urls.back().first, second);
    // The first load was made before the second replaced it.
    EXPECT_EQ(events.finished.front().first, first);
    wkeDestroyWebView(view);
}

// The engine starts its browser in the background: views made before it is up work at once, keep
// what they are asked, and get it all on their pages. A script asked for meanwhile answers empty
// at once, and runs on the page when it comes.
TEST_F(EngineBrowserTest, ViewsMadeWhileTheBrowserStartsKeepWhatTheyAreAskedForTheirPages) {
    wkeWebView offscreen = wkeCreateWebView();
    wkeWebView window = wkeCreateWebWindow(WKE_WINDOW_TYPE_POPUP, nullptr, 10, 10, 400, 300);
    ASSERT_NE(offscreen, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindow(wkeGetHostHWND(window)));
    wkeResize(offscreen, 300, 150);
    wkeSetUserAgent(offscreen, kTestUserAgent);
    wkeSetLanguage(offscreen, "de-DE");
    jsBindFunction("WaitingNative", NativeRecorder, 1);
    // Had the call waited for the page, its value would be the script's.
    EXPECT_EQ(ScriptText(offscreen, wkeRunJS(offscreen, "window.keptForThePage = 'kept'")), L"undefined");

    EXPECT_EQ(AnswerOncePageRuns(offscreen, "innerWidth+'x'+innerHeight+' '+"
                                            "Intl.DateTimeFormat().resolvedOptions().locale+' '+navigator.userAgent"),
              L"300x150 de-DE " + std::wstring(kTestUserAgent, kTestUserAgent + strlen(kTestUserAgent)));
    EXPECT_EQ(ScriptText(offscreen, wkeRunJS(offscreen, "window.keptForThePage")), L"kept");
    EXPECT_EQ(AnswerOncePageRuns(window, "typeof WaitingNative"), L"function");
    g_nativeCalls.clear();
    wkeRunJS(offscreen, "WaitingNative('bound while waiting')");
    ASSERT_TRUE(PumpUntil([&] { return !g_nativeCalls.empty(); }));
    EXPECT_EQ(g_nativeCalls.front().texts[0], L"bound while waiting");
    wkeDestroyWebView(window);
    wkeDestroyWebView(offscreen);
}

// A synchronous call made while the page's own navigation is under way does not wait for that
// navigation: loads the caller started go ahead without the UI thread, so a script asked for in a
// handler right after a load gets its answer, from the new document.
struct ReadyDuringLoad {
    std::wstring next;
    int ready = 0;
    std::wstring answer;
};

void WKE_CALL LoadThenAsk(wkeWebView view, void* param) {
    auto* e = static_cast<ReadyDuringLoad*>(param);
    if (e->ready++ != 0) return;
    wkeLoadURLW(view, e->next.c_str());
    e->answer = ScriptText(view, wkeRunJS(view, "'answered'"));
}

TEST_F(EngineBrowserTest, ScriptAskedWhileALoadStartsIsAnsweredWithoutWaitingOutTheLoad) {
    server.AddPage("/next.html", kColourPage);
    ReadyDuringLoad ready;
    ready.next = server.Url("/next.html");
    LoadEvents events;
    wkeWebView view = wkeCreateWebView();
    ASSERT_NE(view, nullptr);
    wkeOnDocumentReady(view, LoadThenAsk, &ready);
    wkeOnLoadingFinish(view, OnFinish, &events);
    wkeLoadURLW(view, L"about:blank");
    ASSERT_TRUE(PumpUntil([&] { return !events.finished.empty() && events.finished.back().first == ready.next; }));
    EXPECT_EQ(ready.answer, L"answered");
    EXPECT_EQ(events.finished.back().second, WKE_LOADING_SUCCEEDED);
    wkeDestroyWebView(view);
}

// While the handler judges a navigation, the page waits for the UI thread: a script asked for
// in the handler answers at once with nothing and is not run later in the next page either.
struct JudgingEvents {
    int asked = 0;
    std::wstring answer;
};

bool WKE_CALL AskDuringJudgement(wkeWebView view, void* param, wkeNavigationType, wkeString) {
    auto* e = static_cast<JudgingEvents*>(param);
    e->asked++;
    e->answer = ScriptText(view, wkeRunJS(view, "window.askedDuringJudgement = 'yes'"));
    return true;
}

TEST_F(EngineBrowserTest, ScriptAskedWhileTheHandlerJudgesANavigationNeitherWaitsNorFollowsIntoTheNextPage) {
    server.AddPage("/from.html", "<html><body>from</body></html>");
    server.AddPage("/to.html", "<html><head><title>to</title></head><body>to</body></html>");
    LoadEvents events;
    JudgingEvents judging;
    wkeWebView view = wkeCreateWebView();
    ASSERT_NE(view, nullptr);
    wkeOnTitleChanged(view, OnTitle, &events);
    wkeOnLoadingFinish(view, OnFinish, &events);
    wkeOnNavigation(view, AskDuringJudgement, &judging);
    const std::wstring from = server.Url("/from.html");
    wkeLoadURLW(view, from.c_str());
    ASSERT_TRUE(PumpUntil([&] { return !events.finished.empty(); }));

    wkeRunJS(view, "location.href = '/to.html'");
    ASSERT_TRUE(PumpUntil([&] { return !events.titles.empty() && events.titles.back() == L"to"; }));
    EXPECT_EQ(judging.asked, 1);
    EXPECT_EQ(judging.answer, L"undefined");
    EXPECT_EQ(ScriptText(view, wkeRunJS(view, "location.pathname + ' ' + typeof window.askedDuringJudgement")),
              L"/to.html undefined");
    wkeDestroyWebView(view);
}

// A page can make a DevTools message too long to keep (a giant script result or console message):
// the call gets nothing, the message is dropped, and the view and its connection go on.
struct ConsoleLines {
    std::vector<size_t> lengths;
};

void WKE_CALL OnConsoleLine(wkeWebView, void* param, wkeConsoleLevel, const wkeString message, const wkeString,
                            unsigned, const wkeString) {
    static_cast<ConsoleLines*>(param)->lengths.push_back(EngineStringText(message).size());
}

TEST_F(EngineBrowserTest, MessagesTooLongToKeepAreDroppedAndTheViewGoesOn) {
    ConsoleLines console;
    wkeWebView view = wkeCreateWebView();
    ASSERT_NE(view, nullptr);
    wkeOnConsole(view, OnConsoleLine, &console);
    ASSERT_EQ(AnswerOncePageRuns(view, "1"), L"1");
    // Past the bounds of a script's answer and of a console message (1 MiB each).
    const char kGiant[] = "'x'.repeat(3 * 1024 * 1024)";
    EXPECT_EQ(ScriptText(view, wkeRunJS(view, kGiant)), L"undefined");
    EXPECT_EQ(ScriptText(view, wkeRunJS(view, "'x'.repeat(1000)")).size(), 1000u) << "a long answer within the bound";
    wkeRunJS(view, (std::string("console.log(") + kGiant + "); console.log('after')").c_str());
    ASSERT_TRUE(PumpUntil([&] { return !console.lengths.empty(); }));
    EXPECT_EQ(console.lengths, std::vector<size_t>{5}) << "only the short line arrives";
    EXPECT_EQ(ScriptText(view, wkeRunJS(view, "6*7")), L"42");
    wkeDestroyWebView(view);
}

// The start a browser gets on Windows, run here with a Windows program in the browser's place: it
// finds the pipe where the browser looks for it, talks to the engine end to end, and gets no
// handle but its two pipe ends, and no switch that gives up the sandbox or the graphics card. A
// launcher that asks for silence gets a browser that plays none.
TEST(EngineNativeStart, HandsTheBrowserItsPipeAsDescriptorsThreeAndFourAndNothingElse) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    UniqueHandle forbidden(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
    ASSERT_TRUE(forbidden);
    wchar_t hex[32];
    swprintf(hex, 32, L"%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(forbidden.Get())));
    ASSERT_TRUE(SetEnvironmentVariableW(L"PIPE_BROWSER_FORBIDDEN_HANDLE", hex));
    const TempFolder folder(L"engine-native-");
    ASSERT_TRUE(folder.Ready());
    const std::wstring profile = folder.Path() + L"Browser";
    ASSERT_TRUE(LoadTestEngine(profile, false, ProgramFolder() + L"pipe_browser.exe", true));

    wkeWebView view = wkeCreateWebView();
    ASSERT_NE(view, nullptr);
    const std::wstring report = AnswerOncePageRuns(view, "report");
    EXPECT_NE(report.find(L" --remote-debugging-pipe"), std::wstring::npos) << report;
    EXPECT_NE(report.find(L"--user-data-dir=" + profile), std::wstring::npos) << report;
    EXPECT_EQ(report.find(L"--no-sandbox"), std::wstring::npos) << report;
    EXPECT_EQ(report.find(L"--disable-gpu"), std::wstring::npos) << "a Windows browser uses the graphics card: " << report;
    EXPECT_NE(report.find(L" --mute-audio"), std::wstring::npos) << "the caller asked for silence: " << report;
    EXPECT_NE(report.find(L"\nforbidden handle absent"), std::wstring::npos) << report;
}
