#include "engine/view/Engine.h"

#include <objbase.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>

#include "common/TextConv.h"
#include "common/WebOrigin.h"
#include "engine/frames/FrameDecoder.h"
#include "engine/view/WebView.h"

namespace {

Engine* g_engine = nullptr;  // owned; lives until the process ends

// The browser can take a while on a cold start under Wine; after that it answers in milliseconds.
constexpr DWORD kBrowserStartTimeoutMs = 30000;

}  // namespace

Engine* Engine::Get() { return g_engine; }

bool Engine::Initialize(const wkeSettings* settings) {
    if (g_engine) return true;
    auto* engine = new Engine();
    if (!engine->Begin(settings)) {
        delete engine;
        return false;
    }
    g_engine = engine;
    return true;
}

namespace {

// Whether the caller's record is long enough to hold `member` (an older caller's is shorter).
template <typename Member>
bool Holds(const wkeSettings* settings, Member wkeSettings::*member, size_t memberOffset) {
    return settings && settings->size >= static_cast<int>(memberOffset + sizeof(settings->*member));
}

// A text setting of the caller's record, when the record holds it.
std::wstring TextSetting(const wkeSettings* settings, const utf8* wkeSettings::*member, size_t memberOffset) {
    if (!Holds(settings, member, memberOffset) || !(settings->*member)) return std::wstring();
    const char* text = settings->*member;
    return Utf8ToWide(text, strnlen(text, 32768));
}

// A yes-or-no setting of the caller's record; no when the record does not hold it.
bool FlagSetting(const wkeSettings* settings, int wkeSettings::*member, size_t memberOffset) {
    return Holds(settings, member, memberOffset) && settings->*member != 0;
}

}  // namespace

bool Engine::Begin(const wkeSettings* settings) {
    m_uiThread = GetCurrentThreadId();
    BrowserLaunch launch;
    launch.browser =
        BrowserProcess::Locate(TextSetting(settings, &wkeSettings::browserPath, offsetof(wkeSettings, browserPath)));
    launch.profile = TextSetting(settings, &wkeSettings::profilePath, offsetof(wkeSettings, profilePath));
    if (launch.profile.empty()) launch.profile = BrowserProcess::DefaultProfile();
    launch.cleanProfile = FlagSetting(settings, &wkeSettings::cleanProfile, offsetof(wkeSettings, cleanProfile));
    launch.userAgent = TextSetting(settings, &wkeSettings::userAgent, offsetof(wkeSettings, userAgent));
    launch.muteAudio = FlagSetting(settings, &wkeSettings::muteAudio, offsetof(wkeSettings, muteAudio));
    if (launch.browser.empty() || launch.profile.empty() || !m_cdp.OpenDispatch()) return false;
    m_defaultUserAgent = ToUtf8(launch.userAgent.c_str());
    // The browser takes a second or two to start (more on a cold start), and the caller has
    // windows to show meanwhile: start it on a thread of its own, which waits for its first
    // answer, and set up the session once it is up. Until then views wait for their pages (see
    // CreateView). The thread touches only the browser process object, the connection (which
    // nothing uses before it has been joined) and the members it sets, read after the join.
    m_starter = std::thread([this, launch] {
        m_browserStarted = m_browser.Start(launch, kBrowserStartTimeoutMs) &&
                           m_cdp.Open(m_browser.TakeStream(), [this](const std::string& text) { return OnReaderText(text); },
                                      [this](const Json& message) { return OnReaderMessage(message); },
                                      [this](const Json& message) { OnEvent(message); });
        Json version;
        m_browserStarted = m_browserStarted &&
                           m_cdp.Call("Browser.getVersion", Json(), "", kBrowserStartTimeoutMs, &version);
        if (m_browserStarted && m_defaultUserAgent.empty()) {
            // Pages see an ordinary browser, not the headless one.
            m_defaultUserAgent = version["userAgent"].AsString();
            const size_t headless = m_defaultUserAgent.find("HeadlessChrome");
            if (headless != std::string::npos) m_defaultUserAgent.replace(headless, 14, "Chrome");
        }
        if (!m_browserStarted) {
            m_cdp.Disconnect();
            m_browser.Stop();
        }
        m_cdp.PostToUi([this] { EnsureConnected(); });
    });
    return true;
}

void Engine::EnsureConnected() {
    if (m_state != State::Starting || !m_starter.joinable()) return;
    m_starter.join();  // it has ended: this runs from the last thing it did
    if (!m_browserStarted) {
        OnConnected(false);
        return;
    }
    // Every new page stops before its first script until we have set it up (or closed it). Pages
    // are asked for only once the browser has confirmed this, so that none runs unseen.
    Json autoAttach = Json::Object();
    autoAttach.Set("autoAttach", true).Set("waitForDebuggerOnStart", true).Set("flatten", true);
    if (!m_cdp.SendWithReply("Target.setAutoAttach", autoAttach, "",
                             CdpConnection::OnUi{[this](const Json& result) { OnConnected(!result.IsNull()); }})) {
        OnConnected(false);
        return;
    }
    Json downloads = Json::Object();
    downloads.Set("behavior", "deny").Set("eventsEnabled", true);
    m_cdp.Send("Browser.setDownloadBehavior", downloads);
}

void Engine::OnConnected(bool ok) {
    m_state = ok ? State::Connected : State::Failed;
    if (!ok) OutputDebugStringW(L"node.dll: the browser could not be started\n");
    std::vector<WebView*> waiting;
    waiting.swap(m_unattached);
    for (WebView* view : waiting) {
        if (ok) RequestPage(view);
        else view->GoWithoutPage();
    }
    // With no view waiting for it, the browser's first tab goes like any page no view asked for.
    std::string firstTarget, firstSession;
    {
        std::lock_guard<std::mutex> lock(m_targetLock);
        firstTarget.swap(m_firstTargetId);
        firstSession.swap(m_firstSession);
    }
    if (ok && !firstTarget.empty()) CloseTarget(firstTarget, firstSession);
}

bool Engine::OnReaderText(const std::string& text) {
    ScreencastFrame frame;
    if (!ParseScreencastFrame(text, frame)) return false;
    DeliverFrame(frame, text.data() + frame.dataOffset, frame.dataSize);
    return true;
}

std::shared_ptr<DecodedFrame> Engine::DecodeOnReader(const char* base64, size_t size) {
    // Decoding is the expensive part of a frame; it stays off the UI thread, in memory that is
    // used again frame after frame.
    static thread_local bool comReady = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    static thread_local std::string bytes;
    std::shared_ptr<DecodedFrame> frame = m_frames.Take();
    if (comReady && DecodeBase64(base64, size, bytes) && DecodeImage(bytes, *frame)) return frame;
    m_cdp.Trace('!', "undecodable image, " + std::to_string(bytes.size()) + " bytes, COM " +
                         (comReady ? "ready" : "not ready"));
    return nullptr;
}

void Engine::DeliverFrame(const ScreencastFrame& screencast, const char* data, size_t size) {
    std::shared_ptr<PageSession> page = Page(screencast.session);
    if (!page) return;  // its view has gone, and the page with it
    page->FrameArrived(screencast.ackId);
    std::shared_ptr<DecodedFrame> frame = DecodeOnReader(data, size);
    const double scrollX = screencast.scrollX, scrollY = screencast.scrollY;
    m_cdp.PostToUi([this, page, frame, scrollX, scrollY] {
        WebView* view = ViewOf(*page);
        if (frame && view) view->ApplyFrame(*frame, scrollX, scrollY);
        page->FrameTaken();
    });
}

bool Engine::OnReaderMessage(const Json& message) {
    const std::string& method = message["method"].AsString();
    const std::string& session = message["sessionId"].AsString();
    const Json& params = message["params"];
    if (method == "Page.screencastFrame") {
        ScreencastFrame frame;
        frame.session = session;
        frame.ackId = params["sessionId"].AsInt();
        frame.scrollX = params["metadata"]["scrollOffsetX"].AsNumber();
        frame.scrollY = params["metadata"]["scrollOffsetY"].AsNumber();
        const std::string& data = params["data"].AsString();
        DeliverFrame(frame, data.data(), data.size());
        return true;
    }
    if (method == "Fetch.requestPaused") {
        OnRequestPaused(session, params);
        return true;
    }
    if (method == "Page.frameRequestedNavigation") {
        if (std::shared_ptr<PageSession> page = Page(session)) page->OnNavigationRequested(params);
        return true;
    }
    if (method == "Page.javascriptDialogOpening") {
        OnDialogOpening(session, params);
        return true;
    }
    if (method == "Page.windowOpen") {
        OnWindowOpen(session, params);
        return true;
    }
    if (method == "Target.attachedToTarget") {
        OnPageAttached(params);
        return true;
    }
    if (method == "Page.frameNavigated" && !params["frame"].Has("parentId")) {
        if (std::shared_ptr<PageSession> page = Page(session)) page->OnMainFrameNavigated();
    }
    return false;  // the view's, on the UI thread
}

void Engine::OnWindowOpen(const std::string& session, const Json& params) {
    // Decided here, where the page's request arrives: the player's activation counts from the
    // page's point of view, not from whenever the UI thread gets to it.
    std::shared_ptr<PageSession> page = Page(session);
    const std::string& url = params["url"].AsString();
    const char* refusal = nullptr;
    if (!params["userGesture"].AsBool())
        refusal = "without a click or key press in its view (the browser made no window either)";
    else if (!page || !page->ConsumeActivation(GetTickCount()))
        refusal = "later than a second after a click or key press in its view, or a second one for it";
    else if (!OriginOf(Utf8ToWide(url)))
        refusal = "to an address that is not http or https";
    if (refusal) {
        ReportRefusedPopup(refusal, url);
        return;
    }
    m_cdp.PostToUi([this, page, params] {
        if (WebView* view = ViewOf(*page)) view->OnWindowOpen(params);
    }, url.size() * 2 + 1024);
}

void Engine::OnPageAttached(const Json& params) {
    const Json& info = params["targetInfo"];
    const std::string& session = params["sessionId"].AsString();
    const std::string& targetId = info["targetId"].AsString();
    if (info["type"].AsString() != "page") {
        // Workers and the like: let them run and leave them alone.
        m_cdp.Send("Runtime.runIfWaitingForDebugger", Json(), session);
        Json detach = Json::Object();
        detach.Set("sessionId", session);
        m_cdp.Send("Target.detachFromTarget", detach);
        return;
    }
    // A window the page opened (the browser's own, for window.open or a link's target) never
    // becomes a view: the create-view handler's view loads its address, with that view's user
    // agent. It and any other page that no view asked for go at once, whatever their address,
    // all but the browser's first tab (below).
    if (!info["openerId"].AsString().empty()) {
        CloseTarget(targetId, session);
        return;
    }
    std::optional<LiveView> owner;  // the view that asked for the page, when one did
    {
        std::lock_guard<std::mutex> lock(m_targetLock);
        // The one page that ran before the session began (every later one waits for us): the
        // browser's first tab, on about:blank, kept for the first view.
        if (!params["waitingForDebugger"].AsBool() && !m_firstPageSeen) {
            m_firstPageSeen = true;
            m_firstTargetId = targetId;
            m_firstSession = session;
            return;
        }
        auto created = m_createdFor.find(targetId);
        if (created != m_createdFor.end()) {
            owner = created->second;
            m_createdFor.erase(created);
        } else if (m_creating > 0) {
            m_attachedUnknown[targetId] = session;  // perhaps a page whose answer is still to come
            return;
        }
    }
    if (!owner) {
        CloseTarget(targetId, session);
        return;
    }
    m_cdp.PostToUi([this, live = *owner, targetId, session] { OnPageReady(live, targetId, session); });
}

void Engine::OnTargetCreated(const LiveView& live, const std::string& targetId) {
    std::string session;
    std::map<std::string, std::string> strangers;
    {
        std::lock_guard<std::mutex> lock(m_targetLock);
        --m_creating;
        auto attached = m_attachedUnknown.find(targetId);
        if (attached != m_attachedUnknown.end()) {
            session = attached->second;
            m_attachedUnknown.erase(attached);
        } else if (!targetId.empty()) {
            m_createdFor.insert_or_assign(targetId, live);
        }
        // Every page asked for is answered: those still unknown are no view's.
        if (m_creating == 0) strangers.swap(m_attachedUnknown);
    }
    for (const auto& stranger : strangers) CloseTarget(stranger.first, stranger.second);
    if (targetId.empty()) {
        m_cdp.PostToUi([live] {
            if (WebView* view = live.Get()) view->GoWithoutPage();
        });
    } else if (!session.empty()) {
        m_cdp.PostToUi([this, live, targetId, session] { OnPageReady(live, targetId, session); });
    }
}

void Engine::CloseTarget(const std::string& targetId, const std::string& session) {
    // A page that waits for the debugger keeps its opener waiting inside window.open until it
    // runs, also when it is closed first: it is let run, offline, so that nothing it loads
    // reaches the network (with the browser's user agent, not a view's), and then closed.
    m_cdp.Send("Network.enable", Json(), session);
    Json offline = Json::Object();
    offline.Set("offline", true).Set("latency", 0).Set("downloadThroughput", -1).Set("uploadThroughput", -1);
    m_cdp.Send("Network.emulateNetworkConditions", offline, session);
    m_cdp.Send("Runtime.runIfWaitingForDebugger", Json(), session);
    Json close = Json::Object();
    close.Set("targetId", targetId);
    m_cdp.Send("Target.closeTarget", close);
}

void Engine::OnDialogOpening(const std::string& session, const Json& params) {
    std::shared_ptr<PageSession> page = Page(session);
    if (!page || !params.IsObject()) {
        // No view's page, or a dialog nobody could read: nothing would ever answer it.
        m_cdp.Send("Page.handleJavaScriptDialog", PageSession::DismissedDialog(), session);
        return;
    }
    if (!page->AdmitDialog(GetTickCount())) return;  // refused, and dismissed
    m_cdp.PostToUi([this, page, params] {
        WebView* view = ViewOf(*page);
        page->AnswerDialog(view ? view->ShowDialog(params) : PageSession::DismissedDialog());
    });
}

void Engine::OnRequestPaused(const std::string& session, const Json& params) {
    std::shared_ptr<PageSession> page = Page(session);
    std::string reason;
    if (!page || page->DecideRequest(params, &reason) == NavigationGate::Verdict::GoOn) {
        Json answer = Json::Object();
        answer.Set("requestId", params["requestId"].AsString());
        m_cdp.Send("Fetch.continueRequest", answer, session);
        return;
    }
    page->Hold();
    const DWORD arrival = GetTickCount();
    m_cdp.PostToUi([this, page, params, reason, arrival] {
        if (WebView* view = ViewOf(*page)) view->JudgeNavigation(params, reason, arrival);
        page->Release();
    });
}

void Engine::OnEvent(const Json& message) {
    const std::string& method = message["method"].AsString();
    const Json& params = message["params"];
    const std::string& session = message["sessionId"].AsString();
    if (!session.empty()) {
        std::shared_ptr<PageSession> page = Page(session);
        if (WebView* view = page ? ViewOf(*page) : nullptr) view->OnEvent(method, params);
        return;
    }
    if (method == "Browser.downloadWillBegin") {
        for (WebView* view : m_views) {
            if (view->TargetId() == params["frameId"].AsString()) view->OnDownload(params["url"].AsString());
        }
    }
}

WebView* Engine::CreateView(bool offscreen, wkeWindowType type, HWND parent, int x, int y, int width, int height) {
    if (m_state == State::Failed) return nullptr;
    if (m_popupScope && !AllowPopup(!offscreen && type == WKE_WINDOW_TYPE_POPUP)) return nullptr;
    auto* view = new WebView(*this, offscreen, type, parent, x, y, width, height);
    m_views.insert(view);
    if (m_state == State::Starting) m_unattached.push_back(view);
    else RequestPage(view);
    return view;
}

void Engine::RequestPage(WebView* view) {
    std::string firstTarget, firstSession;
    {
        std::lock_guard<std::mutex> lock(m_targetLock);
        firstTarget.swap(m_firstTargetId);
        firstSession.swap(m_firstSession);
        if (firstTarget.empty()) ++m_creating;
    }
    if (!firstTarget.empty()) {
        OnPageReady(view->Live(), firstTarget, firstSession);
        return;
    }
    // A window of its own for each page: a page shares its window's visibility, and only the
    // front tab of a window counts as shown.
    Json create = Json::Object();
    create.Set("url", "about:blank").Set("newWindow", true);
    const LiveView live = view->Live();
    const int sent = m_cdp.SendWithReply(
        "Target.createTarget", create, "",
        CdpConnection::OnReader{[this, live](const Json& result) { OnTargetCreated(live, result["targetId"].AsString()); }});
    if (sent) return;
    {
        std::lock_guard<std::mutex> lock(m_targetLock);
        --m_creating;
    }
    view->GoWithoutPage();
}

void Engine::OnPageReady(const LiveView& live, const std::string& targetId, const std::string& session) {
    WebView* view = live.Get();
    if (!view || view->Destroyed()) {
        CloseTarget(targetId, session);  // its view went while the page was being made
        return;
    }
    auto page = std::make_shared<PageSession>(m_cdp, session, targetId, view->Handle(), view->HasNavigationHandler());
    {
        std::lock_guard<std::mutex> lock(m_pagesLock);
        m_pages[session] = page;
    }
    view->Attach(page);
    for (const auto& binding : m_bindings) view->InstallBinding(binding.first);
}

Engine::PopupScope::PopupScope(Engine& engine, const std::string& session, const std::string& url, bool granted,
                               DWORD arrival)
    : m_engine(engine), m_outer(engine.m_popupScope), m_session(session), m_url(url), m_granted(granted),
      m_arrival(arrival) {
    engine.m_popupScope = this;
}

Engine::PopupScope::~PopupScope() { m_engine.m_popupScope = m_outer; }

void Engine::ReportRefusedPopup(const char* reason, const std::string& url) {
    constexpr size_t kShown = 200;
    const std::string shown = url.size() > kShown ? url.substr(0, kShown) + "..." : url;
    OutputDebugStringW((L"node.dll: a page's popup was refused, " + Utf8ToWide(reason) + L": " + Utf8ToWide(shown) +
                        L"\n").c_str());
}

bool Engine::AllowPopup(bool window) {
    PopupScope& scope = *m_popupScope;
    const char* refusal = nullptr;
    if (scope.m_used)
        refusal = "a second one for one click or key press";
    else if (!scope.m_granted && !ConsumeActivation(scope))
        refusal = "later than a second after a click or key press in its view";
    else if (window && PopupWindowCount() >= kMaxPopupWindows)
        refusal = "8 popup windows are open";
    scope.m_used = true;
    if (refusal) ReportRefusedPopup(refusal, scope.m_url);
    return !refusal;
}

bool Engine::ConsumeActivation(const PopupScope& scope) {
    std::shared_ptr<PageSession> page = Page(scope.m_session);
    return page && page->ConsumeActivation(scope.m_arrival);
}

size_t Engine::PopupWindowCount() const {
    size_t count = 0;
    for (const WebView* view : m_views) count += view->IsPopupWindow() ? 1 : 0;
    return count;
}

void Engine::DestroyView(WebView* view) {
    if (!m_views.erase(view)) return;
    m_unattached.erase(std::remove(m_unattached.begin(), m_unattached.end(), view), m_unattached.end());
    if (view->Attached()) {
        // The page's session ends here; messages of it already in hand finish with their own
        // reference, and find no view.
        std::lock_guard<std::mutex> lock(m_pagesLock);
        m_pages.erase(view->Session());
    }
    view->BeginDestroy();
    // A callback of this view may be running further up the stack: delete from the message loop.
    m_cdp.PostToUi([view] { delete view; });
}

const ScriptValue* Engine::Value(int64_t handle) {
    const ScriptValue* value = m_values.Find(handle);
    if (!value || value->kind != ScriptValue::Kind::Pending) return value;
    const int ticket = value->ticket;
    const std::string session = value->name;
    Json answer;
    ScriptValue resolved;
    if (m_cdp.Await(ticket, kScriptTimeoutMs, &answer)) {
        const Json& remote = answer["result"];
        if (remote.Has("objectId")) {
            Json release = Json::Object();
            release.Set("objectId", remote["objectId"].AsString());
            m_cdp.Send("Runtime.releaseObject", release, session);
        }
        if (!answer.Has("exceptionDetails")) resolved = ValueFromRemoteObject(remote);
    }
    return m_values.Resolve(handle, std::move(resolved));
}

std::shared_ptr<PageSession> Engine::Page(const std::string& session) const {
    if (session.empty()) return nullptr;
    std::lock_guard<std::mutex> lock(m_pagesLock);
    auto it = m_pages.find(session);
    return it == m_pages.end() ? nullptr : it->second;
}

WebView* Engine::ViewOf(const PageSession& page) const {
    // The session tells the view whose page it was from a later view at the same address.
    WebView* view = Find(page.View());
    return view && view->Session() == page.Id() ? view : nullptr;
}

WebView* Engine::Find(wkeWebView handle) const {
    auto* view = reinterpret_cast<WebView*>(handle);
    return view && m_views.count(view) ? view : nullptr;
}

void Engine::BindFunction(const std::string& name, jsNativeFunction fn) {
    const bool isNew = m_bindings.count(name) == 0;
    m_bindings[name] = fn;
    if (!isNew) return;
    // Views still waiting for their pages get every binding when they get the page.
    for (WebView* view : m_views) {
        if (view->Attached()) view->InstallBinding(name);
    }
}

wkeString Engine::NewString(std::wstring text) {
    auto* s = new std::wstring(std::move(text));
    m_strings.insert(s);
    return reinterpret_cast<wkeString>(s);
}

bool Engine::DeleteString(wkeString s) {
    auto* text = reinterpret_cast<std::wstring*>(s);
    if (!m_strings.erase(text)) return false;
    delete text;
    return true;
}
