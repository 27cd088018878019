#include "engine/Engine.h"

#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>

#include "common/TextConv.h"
#include "engine/FrameDecoder.h"
#include "engine/WebView.h"

namespace {

Engine* g_engine = nullptr;  // owned; lives until the process ends

// The browser can take a while on a cold start under Wine; after that it answers in milliseconds.
constexpr DWORD kBrowserStartTimeoutMs = 30000;
constexpr DWORD kCommandTimeoutMs = 10000;

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

// A text setting of the caller's record, when the record is long enough to hold it.
template <typename Member>
std::wstring TextSetting(const wkeSettings* settings, Member wkeSettings::*member, size_t end) {
    if (!settings || settings->size < static_cast<int>(end) || !(settings->*member)) return std::wstring();
    const char* text = settings->*member;
    return Utf8ToWide(text, strnlen(text, 32768));
}

}  // namespace

bool Engine::Begin(const wkeSettings* settings) {
    m_uiThread = GetCurrentThreadId();
    BrowserLaunch launch;
    launch.browser = BrowserProcess::Locate(
        TextSetting(settings, &wkeSettings::browserPath, offsetof(wkeSettings, browserPath) + sizeof(const utf8*)));
    launch.profile =
        TextSetting(settings, &wkeSettings::profilePath, offsetof(wkeSettings, profilePath) + sizeof(const utf8*));
    if (launch.profile.empty()) launch.profile = BrowserProcess::DefaultProfile();
    launch.cleanProfile =
        settings && settings->size >= static_cast<int>(offsetof(wkeSettings, cleanProfile) + sizeof(int)) &&
        settings->cleanProfile != 0;
    launch.userAgent =
        TextSetting(settings, &wkeSettings::userAgent, offsetof(wkeSettings, userAgent) + sizeof(const utf8*));
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

bool Engine::EnsureConnected() {
    if (m_state != State::Starting) return m_state == State::Connected;
    m_starter.join();  // at most the browser's start-up timeout
    if (m_browserStarted && Connect()) {
        m_state = State::Connected;
    } else {
        m_state = State::Failed;
        OutputDebugStringW(L"node.dll: the browser could not be started\n");
    }
    std::vector<WebView*> waiting;
    waiting.swap(m_unattached);
    for (WebView* view : waiting) {
        if (m_state != State::Connected || !AttachView(view)) view->GoWithoutPage();
    }
    return m_state == State::Connected;
}

bool Engine::Connect() {
    // Every new page stops before its first script until we have set it up (or closed it).
    Json autoAttach = Json::Object();
    autoAttach.Set("autoAttach", true).Set("waitForDebuggerOnStart", true).Set("flatten", true);
    if (!m_cdp.Call("Target.setAutoAttach", autoAttach, "", kCommandTimeoutMs, nullptr)) return false;
    Json downloads = Json::Object();
    downloads.Set("behavior", "deny").Set("eventsEnabled", true);
    m_cdp.Send("Browser.setDownloadBehavior", downloads);
    return true;
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
    const std::string& session = screencast.session;
    // The acknowledgement asks for the next frame. Sent before decoding while the UI thread has
    // taken the last one, the browser makes the next frame while this one is decoded; otherwise
    // it waits for the UI thread, so frames never run more than one ahead of what it has taken.
    bool ackNow = false;
    {
        std::lock_guard<std::mutex> lock(m_ackLock);
        FrameAcks& acks = m_acks[session];
        if (!acks.uiBusy) {
            acks.uiBusy = ackNow = true;
        } else {
            acks.held = true;
            acks.heldId = screencast.ackId;
        }
    }
    if (ackNow) SendFrameAck(session, screencast.ackId);
    std::shared_ptr<DecodedFrame> frame = DecodeOnReader(data, size);
    const double scrollX = screencast.scrollX, scrollY = screencast.scrollY;
    m_cdp.PostToUi([this, session, frame, scrollX, scrollY] {
        auto it = m_bySession.find(session);
        if (frame && it != m_bySession.end()) it->second->ApplyFrame(*frame, scrollX, scrollY);
        FrameTaken(session);
    });
}

void Engine::FrameTaken(const std::string& session) {
    int heldId = 0;
    bool held = false;
    {
        std::lock_guard<std::mutex> lock(m_ackLock);
        auto it = m_acks.find(session);
        if (it == m_acks.end()) return;
        FrameAcks& acks = it->second;
        // The frame that came meanwhile is on its way to this thread already: it keeps it busy.
        held = acks.held;
        heldId = acks.heldId;
        acks.held = false;
        acks.uiBusy = held;
    }
    if (held) SendFrameAck(session, heldId);
}

void Engine::SendFrameAck(const std::string& session, int ackId) {
    Json ack = Json::Object();
    ack.Set("sessionId", ackId);
    m_cdp.Send("Page.screencastFrameAck", ack, session);
}

bool Engine::OnReaderMessage(const Json& message) {
    const std::string& method = message["method"].AsString();
    if (method == "Page.screencastFrame") {
        const Json& params = message["params"];
        ScreencastFrame frame;
        frame.session = message["sessionId"].AsString();
        frame.ackId = params["sessionId"].AsInt();
        frame.scrollX = params["metadata"]["scrollOffsetX"].AsNumber();
        frame.scrollY = params["metadata"]["scrollOffsetY"].AsNumber();
        const std::string& data = params["data"].AsString();
        DeliverFrame(frame, data.data(), data.size());
        return true;
    }
    if (method == "Fetch.requestPaused" || method == "Target.detachedFromTarget") {
        const std::string& session =
            method == "Fetch.requestPaused" ? message["sessionId"].AsString() : message["params"]["sessionId"].AsString();
        auto discarded = m_discardedWindows.find(session);
        if (discarded == m_discardedWindows.end())
            return method == "Fetch.requestPaused" && OnRequestPaused(session, message["params"]);
        if (method == "Target.detachedFromTarget") {
            m_discardedWindows.erase(discarded);
            return false;
        }
        Json refuse = Json::Object();
        refuse.Set("requestId", message["params"]["requestId"].AsString()).Set("errorReason", "Aborted");
        m_cdp.Send("Fetch.failRequest", refuse, session);
        Json close = Json::Object();
        close.Set("targetId", discarded->second);
        m_cdp.Send("Target.closeTarget", close);
        return true;
    }
    if (method == "Page.frameRequestedNavigation") {
        m_gate.OnNavigationRequested(message["sessionId"].AsString(), message["params"]);
        return true;
    }
    if (method == "Page.javascriptDialogOpening") {
        // The page stops until the dialog is answered on the UI thread (OnEvent releases it).
        m_cdp.HoldSession(message["sessionId"].AsString());
        return false;
    }
    if (method == "Target.attachedToTarget") {
        const Json& params = message["params"];
        const Json& info = params["targetInfo"];
        const std::string& session = params["sessionId"].AsString();
        const std::string& targetId = info["targetId"].AsString();
        if (info["type"].AsString() != "page") {
            // Workers and the like: let them run and leave them alone.
            m_cdp.Send("Runtime.runIfWaitingForDebugger", Json(), session);
            Json detach = Json::Object();
            detach.Set("sessionId", session);
            m_cdp.Send("Target.detachFromTarget", detach);
            return true;
        }
        if (!info["openerId"].AsString().empty()) {
            // A window the page opened. The opener's Page.windowOpen hands its address to the
            // create-view handler, whose view loads it; the browser's own window goes away unseen.
            // It may share the opener's renderer, which stays blocked while the new page waits, so
            // it is let run, with its requests stopped so that none of them reaches the network
            // (with the browser's user agent, not the view's). It is closed once its document
            // request has been refused: closing it while the request waits would let it go on.
            m_discardedWindows[session] = targetId;
            Json hold = Json::Object();
            Json pattern = Json::Object();
            pattern.Set("urlPattern", "*");
            hold.Set("patterns", Json::Array().Push(pattern));
            // Stopping takes effect only once answered; the UI thread may be waiting on the opener.
            m_cdp.SendWithReply(
                "Fetch.enable", hold, session,
                [this, session](const Json&) { m_cdp.Send("Runtime.runIfWaitingForDebugger", Json(), session); },
                true);
            return true;
        }
        std::lock_guard<std::mutex> lock(m_attachLock);
        m_sessionOfTarget[targetId] = session;
        m_attached.notify_all();
        return true;
    }
    return false;
}

bool Engine::OnRequestPaused(const std::string& session, const Json& params) {
    std::string reason;
    switch (m_gate.Decide(session, params, &reason)) {
    case NavigationGate::Verdict::NotOurs:
        return false;
    case NavigationGate::Verdict::GoOn: {
        Json answer = Json::Object();
        answer.Set("requestId", params["requestId"].AsString());
        m_cdp.Send("Fetch.continueRequest", answer, session);
        return true;
    }
    case NavigationGate::Verdict::Judge:
        break;
    }
    m_cdp.HoldSession(session);
    m_cdp.PostToUi([this, session, params, reason] {
        auto it = m_bySession.find(session);
        if (it != m_bySession.end()) it->second->JudgeNavigation(params, reason);
        m_cdp.ReleaseSession(session);
    });
    return true;
}

std::string Engine::WaitForSession(const std::string& targetId, DWORD timeoutMs) {
    std::unique_lock<std::mutex> lock(m_attachLock);
    m_attached.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_sessionOfTarget.count(targetId) != 0; });
    auto it = m_sessionOfTarget.find(targetId);
    if (it == m_sessionOfTarget.end()) return std::string();
    std::string session = it->second;
    m_sessionOfTarget.erase(it);
    return session;
}

void Engine::OnEvent(const Json& message) {
    const std::string& method = message["method"].AsString();
    const Json& params = message["params"];
    const std::string& session = message["sessionId"].AsString();
    if (!session.empty()) {
        auto it = m_bySession.find(session);
        if (it != m_bySession.end()) it->second->OnEvent(method, params);
        // The dialog has been answered (or its page is gone).
        if (method == "Page.javascriptDialogOpening") m_cdp.ReleaseSession(session);
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
    auto* view = new WebView(*this, offscreen, type, parent, x, y, width, height);
    if (m_state == State::Starting) {
        m_unattached.push_back(view);
    } else if (!AttachView(view)) {
        delete view;
        return nullptr;
    }
    m_views.insert(view);
    return view;
}

bool Engine::AttachView(WebView* view) {
    // A window of its own for each page: a page shares its window's visibility, and only the
    // front tab of a window counts as shown.
    Json create = Json::Object();
    create.Set("url", "about:blank").Set("newWindow", true);
    Json created;
    if (!m_cdp.Call("Target.createTarget", create, "", kCommandTimeoutMs, &created)) return false;
    const std::string targetId = created["targetId"].AsString();
    std::string session = WaitForSession(targetId, kCommandTimeoutMs);
    if (session.empty()) return false;
    m_bySession[session] = view;
    view->Attach(targetId, session);
    for (const auto& binding : m_bindings) view->InstallBinding(binding.first);
    return true;
}

void Engine::DestroyView(WebView* view) {
    if (!m_views.erase(view)) return;
    m_unattached.erase(std::remove(m_unattached.begin(), m_unattached.end(), view), m_unattached.end());
    if (view->Attached()) {
        m_bySession.erase(view->Session());
        m_gate.RemovePage(view->Session());
        std::lock_guard<std::mutex> lock(m_ackLock);
        m_acks.erase(view->Session());
    }
    view->BeginDestroy();
    // A callback of this view may be running further up the stack: delete from the message loop.
    m_cdp.PostToUi([view] { delete view; });
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
