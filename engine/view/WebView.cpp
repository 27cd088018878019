// A view's life, its page's set-up and settings, its loads and its frames.
#include "engine/view/WebView.h"

#include "engine/view/Engine.h"

WebView::WebView(Engine& engine, bool offscreen, wkeWindowType type, HWND parent, int x, int y, int width, int height)
    : m_engine(engine) {
    m_globalExec.view = this;
    m_tempInfo.size = sizeof m_tempInfo;
    if (!offscreen) CreateOwnWindow(type, parent, x, y, width, height);
    m_popupWindow = m_window && type == WKE_WINDOW_TYPE_POPUP;
}

WebView::~WebView() { DestroyOwnWindow(); }

void WebView::Send(const std::string& method, Json params) {
    if (m_destroyed || m_withoutPage) return;
    if (!Attached()) {
        // Kept for the page, in order. A page that never comes (the browser is stuck) must not
        // let input pile up without end; what is beyond the bound is of no use to a new page.
        if (m_waitingCommands.size() < kMaxWaitingCommands) m_waitingCommands.emplace_back(method, std::move(params));
        return;
    }
    m_engine.Cdp().Send(method, std::move(params), m_session);
}

void WebView::SendActivatingInput(const std::string& method, Json params, bool press) {
    if (m_destroyed || !Attached() || (!press && !m_activation)) {
        Send(method, std::move(params));
        return;
    }
    // Granted as the press leaves, so that no page can be quicker than its activation; the second
    // counts from when the browser has taken the press and its release, however long they took to
    // get there.
    UserActivation& activation = m_engine.Activation();
    const std::string session = m_session;
    const unsigned id = press ? activation.Grant(session, GetTickCount()) : m_activation;
    m_activation = press ? id : 0;
    m_engine.Cdp().SendWithReply(method, std::move(params), session, [&activation, session, id](const Json& result) {
        if (!result.IsNull()) activation.Refresh(session, id, GetTickCount());
    }, true, kSmallAnswer);
}

void WebView::Attach(std::string targetId, std::string sessionId) {
    m_targetId = std::move(targetId);
    m_session = std::move(sessionId);
    // Before the page's requests can stop (Fetch.enable below).
    m_engine.Gate().AddPage(m_session, m_targetId, m_onNavigation.fn != nullptr);
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
    target.Set("targetId", m_targetId);
    WebView* view = this;
    wkeWebView own = Handle();
    Engine* owner = &m_engine;
    m_engine.Cdp().SendWithReply("Browser.getWindowForTarget", target, "", [view, own, owner](const Json& result) {
        if (owner->Find(own) != view || !result["windowId"].IsNumber()) return;
        view->m_windowId = result["windowId"].AsNumber();
        if (view->m_hidden) view->ApplyVisibility();
    });
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
    WebView* self = this;
    Engine* engine = &m_engine;
    wkeWebView handle = Handle();
    m_engine.Cdp().SendWithReply("Runtime.evaluate", probe, m_session, [self, engine, handle](const Json&) {
        if (engine->Find(handle) != self) return;
        self->m_pageRunning = true;
        std::vector<std::string> loads;
        loads.swap(self->m_pendingLoads);
        for (const std::string& url : loads) self->LoadUrl(url);
    }, false, kSmallAnswer);
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
        close.Set("targetId", m_targetId);
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
    m_engine.Gate().ForgetRequested(m_session);
    Json params = Json::Object();
    params.Set("url", url.empty() ? std::string("about:blank") : url);
    WebView* self = this;
    Engine* engine = &m_engine;
    wkeWebView handle = Handle();
    m_engine.Cdp().SendWithReply("Page.navigate", params, m_session, [self, engine, handle, url](const Json& result) {
        // A refused address never reaches the network, so no network failure reports it.
        if (!result.IsNull() || engine->Find(handle) != self) return;
        self->RaiseLoadingFinish(url, WKE_LOADING_FAILED, "net::ERR_INVALID_URL", self->m_targetId);
    }, false, kSmallAnswer);
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
    m_scrollX = scrollX;
    m_scrollY = scrollY;
    const RECT changed = m_frame.Update(frame);
    // A frame that changes nothing (the browser sends one when the exact picture is taken, say)
    // leaves a question for the exact picture standing.
    if (IsRectEmpty(&changed)) return;
    ++m_frameSerial;
    // What changed is only nearly right (JPEG); once the page rests it is asked for exactly.
    m_lossy = true;
    StartRestTimer();
    ShowChange(changed);
}

void WebView::StartRestTimer() {
    m_restTimer = SetTimer(nullptr, m_restTimer, kRestMs, &WebView::OnRestTimer);
    if (m_restTimer) RestTimers()[m_restTimer] = Handle();
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
        onPaint.fn(Handle(), onPaint.param, m_frame.Dc(), changed.left, changed.top, changed.right - changed.left,
                   changed.bottom - changed.top);
}

std::map<UINT_PTR, wkeWebView>& WebView::RestTimers() {
    static std::map<UINT_PTR, wkeWebView> timers;  // UI thread only
    return timers;
}

void CALLBACK WebView::OnRestTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    auto& timers = RestTimers();
    auto it = timers.find(id);
    if (it == timers.end()) return;
    const wkeWebView handle = it->second;
    timers.erase(it);
    Engine* engine = Engine::Get();
    WebView* view = engine ? engine->Find(handle) : nullptr;
    if (!view || view->m_restTimer != id) return;
    view->m_restTimer = 0;
    view->AskExactPicture();
}

void WebView::AskExactPicture() {
    const RECT area{0, 0, m_frame.Width(), m_frame.Height()};
    if (m_hidden || !Attached() || !m_lossy || IsRectEmpty(&area)) return;
    // The whole view, not only what the moving frames changed: the browser may have drawn more
    // since its last frame (a change it made while taking this picture comes as no frame of its
    // own), and the picture at rest must be the page as it is. In the page's coordinates (scrolled).
    Json clip = Json::Object();
    clip.Set("x", area.left + m_scrollX).Set("y", area.top + m_scrollY);
    clip.Set("width", static_cast<int>(area.right - area.left)).Set("height", static_cast<int>(area.bottom - area.top));
    clip.Set("scale", 1);
    Json params = Json::Object();
    params.Set("format", "png").Set("clip", clip);
    Engine* engine = &m_engine;
    const wkeWebView handle = Handle();
    const unsigned serial = m_frameSerial;
    m_engine.Cdp().SendWithReply(
        "Page.captureScreenshot", params, m_session,
        [engine, handle, serial, area](const Json& result) {
            const std::string& data = result["data"].AsString();
            std::shared_ptr<DecodedFrame> picture = data.empty() ? nullptr : engine->DecodeOnReader(data.data(), data.size());
            if (!picture) return;
            engine->Cdp().PostToUi([engine, handle, serial, area, picture] {
                if (WebView* view = engine->Find(handle)) view->ApplyExact(*picture, area, serial);
            });
        },
        true);
}

void WebView::ApplyExact(const DecodedFrame& picture, const RECT& area, unsigned serial) {
    // A frame that came after the question shows a newer page, and asks again once it rests.
    if (m_destroyed || serial != m_frameSerial || picture.width != area.right - area.left ||
        picture.height != area.bottom - area.top)
        return;
    m_lossy = false;
    ShowChange(m_frame.Patch(picture, area.left, area.top));
}
