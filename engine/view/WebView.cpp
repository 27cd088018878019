// A view's life, its page's set-up and settings, its loads and its frames.
#include "engine/view/WebView.h"

#include "engine/view/Engine.h"

namespace {

unsigned g_nextSerial = 1;  // UI thread only

}  // namespace

LiveView::LiveView(const Engine* engine, const WebView* view, unsigned serial)
    : m_engine(engine), m_view(view), m_serial(serial) {}

WebView* LiveView::Get() const {
    WebView* view = m_engine->Find(reinterpret_cast<wkeWebView>(const_cast<WebView*>(m_view)));
    return view && view->Serial() == m_serial ? view : nullptr;
}

WebView::WebView(Engine& engine, bool offscreen, wkeWindowType type, HWND parent, int x, int y, int width, int height)
    : m_engine(engine), m_serial(g_nextSerial++) {
    m_globalExec.view = this;
    m_tempInfo.size = sizeof m_tempInfo;
    if (!offscreen) CreateOwnWindow(type, parent, x, y, width, height);
    m_popupWindow = m_window && type == WKE_WINDOW_TYPE_POPUP;
}

WebView::~WebView() { DestroyOwnWindow(); }

const std::string& WebView::NoId() {
    static const std::string none;
    return none;
}

void WebView::Send(const std::string& method, Json params) {
    if (m_destroyed || m_withoutPage) return;
    if (!Attached()) {
        // Kept for the page, in order. A page that never comes (the browser is stuck) must not
        // let input pile up without end; what is beyond the bound is of no use to a new page.
        if (m_waitingCommands.size() < kMaxWaitingCommands) m_waitingCommands.emplace_back(method, std::move(params));
        return;
    }
    m_engine.Cdp().Send(method, std::move(params), Session());
}

void WebView::SendActivatingInput(const std::string& method, Json params, bool press) {
    if (m_destroyed || !Attached() || (!press && !m_activation)) {
        Send(method, std::move(params));
        return;
    }
    // Granted as the press leaves, so that no page can be quicker than its activation; the second
    // counts from when the browser has taken the press and its release, however long they took to
    // get there.
    std::shared_ptr<PageSession> page = m_page;
    const unsigned id = press ? page->GrantActivation(GetTickCount()) : m_activation;
    m_activation = press ? id : 0;
    m_engine.Cdp().SendWithReply(method, std::move(params), Session(), CdpConnection::OnReader{[page, id](const Json& result) {
        if (!result.IsNull()) page->RefreshActivation(id, GetTickCount());
    }}, kSmallAnswer);
}

void WebView::Attach(std::shared_ptr<PageSession> page) {
    m_page = std::move(page);
    Send("Page.enable");
    Send("Runtime.enable");
    Send("Network.enable");
    Json fetch = Json::Object();
    Json pattern = Json::Object();
    pattern.Set("urlPattern", "*").Set("resourceType", "Document").Set("requestStage", "Request");
    fetch.Set("patterns", Json::Array().Push(pattern));
    Send("Fetch.enable", fetch);
    ApplyFocus();
    Json binding = Json::Object();
    binding.Set("name", kNativeBindingName);
    Send("Runtime.addBinding", binding);
    Json titles = Json::Object();
    titles.Set("source", TitleWatchScript());
    Send("Page.addScriptToEvaluateOnNewDocument", titles);
    ApplyUserAgent();
    Resize(m_width, m_height);
    if (!m_hidden) StartFrames();
    // The page's browser window (each view has one of its own) decides whether the page is
    // shown: minimised, the page is hidden as in a background tab.
    Json target = Json::Object();
    target.Set("targetId", TargetId());
    m_engine.Cdp().SendWithReply("Browser.getWindowForTarget", target, "", CdpConnection::OnUi{[live = Live()](const Json& result) {
        WebView* view = live.Get();
        if (!view || !result["windowId"].IsNumber()) return;
        view->m_windowId = result["windowId"].AsNumber();
        if (view->m_hidden) view->ApplyVisibility();
    }});
    // What the caller asked of the view before it had its page, in the order asked.
    std::vector<std::pair<std::string, Json>> waiting;
    waiting.swap(m_waitingCommands);
    for (auto& command : waiting) Send(command.first, std::move(command.second));
    Send("Runtime.runIfWaitingForDebugger");
    // The page's side takes the commands above only once it runs; until it has, a navigation
    // would commit unseen. Commands are handled in order, so the answer to this probe means all
    // are. Loads asked for before it wait for it, in order; the caller does not: a new page's renderer
    // takes most of a second to start, which a window being built would otherwise wait out.
    Json probe = Json::Object();
    probe.Set("expression", "0");
    m_engine.Cdp().SendWithReply("Runtime.evaluate", probe, Session(), CdpConnection::OnUi{[live = Live()](const Json&) {
        WebView* view = live.Get();
        if (!view) return;
        view->m_pageRunning = true;
        std::vector<std::string> loads;
        loads.swap(view->m_pendingLoads);
        for (const std::string& url : loads) view->LoadUrl(url);
    }}, kSmallAnswer);
}

void WebView::GoWithoutPage() {
    m_withoutPage = true;
    m_waitingCommands.clear();
    m_pendingLoads.clear();
}

void WebView::InstallBinding(const std::string& name) {
    const std::string source = BindingInstallScript(name);
    Json add = Json::Object();
    add.Set("source", source);
    Send("Page.addScriptToEvaluateOnNewDocument", add);
    Json now = Json::Object();
    now.Set("expression", source);
    Send("Runtime.evaluate", now);
}

void WebView::BeginDestroy() {
    StopRestTimer();
    if (Attached()) {
        Json close = Json::Object();
        close.Set("targetId", TargetId());
        m_engine.Cdp().Send("Target.closeTarget", close);
    }
    m_destroyed = true;
    DestroyOwnWindow();
}

void WebView::SetTransparent(bool transparent) {
    Json params = Json::Object();
    if (transparent) {
        Json color = Json::Object();
        color.Set("r", 0).Set("g", 0).Set("b", 0).Set("a", 0);
        params.Set("color", color);
    }
    Send("Emulation.setDefaultBackgroundColorOverride", params);
}

void WebView::Resize(int width, int height) {
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return;
    m_width = width;
    m_height = height;
    Json metrics = Json::Object();
    metrics.Set("width", width).Set("height", height).Set("deviceScaleFactor", 1).Set("mobile", false);
    // The page's screen is the monitor its window is on (the primary one while it has none), not
    // the headless browser's own small one: games size themselves, and go fullscreen, by it.
    const HWND window = HostWindow();
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                               : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY),
                        &monitor)) {
        metrics.Set("screenWidth", static_cast<int>(monitor.rcMonitor.right - monitor.rcMonitor.left));
        metrics.Set("screenHeight", static_cast<int>(monitor.rcMonitor.bottom - monitor.rcMonitor.top));
    }
    Send("Emulation.setDeviceMetricsOverride", metrics);
}

void WebView::SetUserAgent(const std::string& userAgent) {
    m_userAgent = userAgent;
    ApplyUserAgent();
}

void WebView::SetLanguage(const std::string& language) {
    m_language = language;
    ApplyUserAgent();
    if (!language.empty()) {
        Json locale = Json::Object();
        locale.Set("locale", language);
        Send("Emulation.setLocaleOverride", locale);
    }
}

void WebView::ApplyUserAgent() {
    Json params = Json::Object();
    params.Set("userAgent", m_userAgent.empty() ? m_engine.DefaultUserAgent() : m_userAgent);
    if (!m_language.empty()) params.Set("acceptLanguage", m_language);
    Send("Emulation.setUserAgentOverride", params);
}

void WebView::SetCspCheck(bool enable) {
    Json params = Json::Object();
    params.Set("enabled", !enable);
    Send("Page.setBypassCSP", params);
}

void WebView::LoadUrl(const std::string& url) {
    if (m_destroyed) return;
    if (!m_pageRunning) {
        m_pendingLoads.push_back(url);
        return;
    }
    m_page->ForgetRequested();
    Json params = Json::Object();
    params.Set("url", url.empty() ? std::string("about:blank") : url);
    m_engine.Cdp().SendWithReply("Page.navigate", params, Session(), CdpConnection::OnUi{[live = Live(), url](const Json& result) {
        // A refused address never reaches the network, so no network failure reports it.
        WebView* view = live.Get();
        if (!result.IsNull() || !view) return;
        view->RaiseLoadingFinish(url, WKE_LOADING_FAILED, "net::ERR_INVALID_URL", view->TargetId());
    }}, kSmallAnswer);
}

void WebView::StartFrames() {
    Json screencast = Json::Object();
    screencast.Set("format", "jpeg").Set("quality", kFrameQuality).Set("everyNthFrame", 1);
    Send("Page.startScreencast", screencast);
}

void WebView::SetPageVisible(bool visible) {
    if (m_hidden == !visible) return;
    m_hidden = !visible;
    if (Attached()) ApplyVisibility();
}

void WebView::ApplyVisibility() {
    // No frames for what nobody sees; the browser stops making them once its window is minimised.
    if (m_hidden) {
        Send("Page.stopScreencast");
    } else {
        StartFrames();
    }
    ApplyFocus();
    if (m_windowId == 0) return;  // applied once the browser has said which window it is
    Json bounds = Json::Object();
    bounds.Set("windowState", m_hidden ? "minimized" : "normal");
    Json params = Json::Object();
    params.Set("windowId", m_windowId).Set("bounds", bounds);
    m_engine.Cdp().Send("Browser.setWindowBounds", params);
}

void WebView::ApplyFrame(const DecodedFrame& frame, double scrollX, double scrollY) {
    if (m_destroyed) return;
    const RECT changed = m_picture.ApplyFrame(frame, scrollX, scrollY);
    if (IsRectEmpty(&changed)) return;
    // What changed is only nearly right (JPEG); once the page rests it is asked for exactly.
    m_unfitPictures = 0;
    StartRestTimer();
    ShowChange(changed);
}

void WebView::StartRestTimer() {
    m_restTimer = SetTimer(nullptr, m_restTimer, kRestMs, &WebView::OnRestTimer);
    if (m_restTimer) RestTimers().insert_or_assign(m_restTimer, Live());
}

void WebView::StopRestTimer() {
    if (!m_restTimer) return;
    KillTimer(nullptr, m_restTimer);
    RestTimers().erase(m_restTimer);
    m_restTimer = 0;
}

void WebView::ShowChange(const RECT& changed) {
    if (IsRectEmpty(&changed)) return;
    if (m_window) InvalidateRect(m_window, &changed, FALSE);
    if (onPaint.fn)
        onPaint.fn(Handle(), onPaint.param, m_picture.Buffer().Dc(), changed.left, changed.top, changed.right - changed.left,
                   changed.bottom - changed.top);
}

std::map<UINT_PTR, LiveView>& WebView::RestTimers() {
    static std::map<UINT_PTR, LiveView> timers;  // UI thread only
    return timers;
}

void CALLBACK WebView::OnRestTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    auto& timers = RestTimers();
    auto it = timers.find(id);
    if (it == timers.end()) return;
    WebView* view = it->second.Get();
    timers.erase(it);
    if (!view || view->m_restTimer != id) return;
    view->m_restTimer = 0;
    view->AskExactPicture();
}

void WebView::AskExactPicture() {
    PagePicture::ExactRequest request;
    if (m_hidden || !Attached() || !m_picture.Request(m_width, m_height, &request)) return;
    Json clip = Json::Object();
    clip.Set("x", request.x).Set("y", request.y).Set("width", request.width).Set("height", request.height);
    clip.Set("scale", 1);
    Json params = Json::Object();
    params.Set("format", "png").Set("clip", clip);
    Engine* engine = &m_engine;
    m_engine.Cdp().SendWithReply(
        "Page.captureScreenshot", params, Session(), CdpConnection::OnReader{[engine, live = Live(), request](const Json& result) {
            // Decoded here, off the UI thread, like the frames.
            const std::string& data = result["data"].AsString();
            std::shared_ptr<DecodedFrame> picture = data.empty() ? nullptr : engine->DecodeOnReader(data.data(), data.size());
            if (!picture) return;
            engine->Cdp().PostToUi([live, request, picture] {
                if (WebView* view = live.Get()) view->ApplyExact(*picture, request);
            });
        }});
}

void WebView::ApplyExact(const DecodedFrame& picture, const PagePicture::ExactRequest& request) {
    if (m_destroyed) return;
    RECT changed;
    switch (m_picture.ApplyExact(picture, request, &changed)) {
    case PagePicture::Exact::Taken:
        m_unfitPictures = 0;
        ShowChange(changed);
        break;
    case PagePicture::Exact::Outdated:
        break;  // the newer frame asks again once the page rests
    case PagePicture::Exact::Unfit:
        // Never left with a wrong picture for want of asking; nor asking without end.
        m_engine.Cdp().Trace('!', "the exact picture came " + std::to_string(picture.width) + "x" +
                                      std::to_string(picture.height) + " for a view of " +
                                      std::to_string(request.width) + "x" + std::to_string(request.height));
        if (++m_unfitPictures < kMaxUnfitPictures && !m_restTimer) StartRestTimer();
        break;
    }
}
