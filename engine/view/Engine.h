// The engine's process-wide state: the browser, the DevTools connection, the views, the bound
// native functions and the script values. Created by wkeInitializeEx on the thread that will
// receive every engine event; used on that thread only, except where a member says otherwise.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/browser/BrowserProcess.h"
#include "engine/devtools/CdpConnection.h"
#include "engine/frames/ScreencastFrame.h"
#include "engine/session/PageSession.h"
#include "engine/view/ScriptValues.h"
#include "engine/view/WebView.h"
#include "platform/wke.h"

class Engine {
public:
    // How long a synchronous script call waits for the page before it answers with an empty value.
    static constexpr DWORD kScriptTimeoutMs = 5000;
    // Most popup windows (window views of type popup) that may be open when a page opens one.
    static constexpr size_t kMaxPopupWindows = 8;

    static Engine* Get();  // null until wkeInitializeEx succeeded
    // Finds the browser and starts it in the background; false when there is none to start.
    static bool Initialize(const wkeSettings* settings);

    CdpConnection& Cdp() { return m_cdp; }
    // Reader thread: a base64 image decoded into a frame of the pool; null when it is none.
    std::shared_ptr<DecodedFrame> DecodeOnReader(const char* base64, size_t size);
    ScriptValueStore& Values() { return m_values; }
    const std::string& DefaultUserAgent() const { return m_defaultUserAgent; }
    DWORD UiThreadId() const { return m_uiThread; }

    // Makes a view at once; its page comes when the browser has made it (the view keeps what it is
    // asked meanwhile). Null when the browser could not be started, or when a page's handler asks
    // for a popup that the popup rules refuse (see PopupScope).
    WebView* CreateView(bool offscreen, wkeWindowType type, HWND parent, int x, int y, int width, int height);
    void DestroyView(WebView* view);
    // The view behind a handle from the caller, or null when it is not (or no longer) one of ours.
    WebView* Find(wkeWebView handle) const;
    // The page of a session, or null when it is no view's (any thread).
    std::shared_ptr<PageSession> Page(const std::string& session) const;
    // The view whose page it is, or null once that view has gone.
    WebView* ViewOf(const PageSession& page) const;

    // While a view's create-view or navigation handler runs, the views it makes are that page's
    // popups: the first one only, and only with the player's activation of the page (`granted`
    // when the reader has already consumed it, else consumed now as of `arrival`) while fewer
    // than kMaxPopupWindows popup windows are open. Refusals go to the debugger output.
    class PopupScope {
    public:
        PopupScope(Engine& engine, const std::string& session, const std::string& url, bool granted, DWORD arrival);
        ~PopupScope();
        PopupScope(const PopupScope&) = delete;
        PopupScope& operator=(const PopupScope&) = delete;

    private:
        friend class Engine;
        Engine& m_engine;
        PopupScope* m_outer;  // not owned: the scope of a handler further up the stack
        std::string m_session;
        std::string m_url;
        bool m_granted;
        DWORD m_arrival;
        bool m_used = false;
    };

    void BindFunction(const std::string& name, jsNativeFunction fn);
    const std::map<std::string, jsNativeFunction>& Bindings() const { return m_bindings; }

    // A script value by its handle, with the answer of a script that was still running when it
    // was handed out waited for now (at most kScriptTimeoutMs); null as ScriptValueStore::Find.
    const ScriptValue* Value(int64_t handle);

    // Engine strings handed to callbacks live until the callback returns; those from
    // wkeCreateStringW until wkeDeleteString.
    wkeString NewString(std::wstring text);
    bool DeleteString(wkeString s);
    bool IsString(wkeString s) const { return m_strings.count(reinterpret_cast<std::wstring*>(s)) != 0; }

private:
    enum class State { Starting, Connected, Failed };

    Engine() = default;
    bool Begin(const wkeSettings* settings);
    // Runs from the message loop once the starter has ended: joins it, and sets up the session
    // (auto-attach) for the views, which get their pages once the browser has confirmed it.
    void EnsureConnected();
    void OnConnected(bool ok);
    // Asks the browser for the view's page (the browser's first tab, while it is free); it
    // arrives through OnPageReady.
    void RequestPage(WebView* view);
    void OnPageReady(const LiveView& live, const std::string& targetId, const std::string& session);  // UI thread
    // Reader thread: a page of ours was made, or a page attached; whichever comes second hands it over.
    void OnTargetCreated(const LiveView& live, const std::string& targetId);
    void OnPageAttached(const Json& params);
    // Closes a page of the browser that is no view, also one that waits for the debugger.
    void CloseTarget(const std::string& targetId, const std::string& session);
    bool AllowPopup(bool window);
    bool ConsumeActivation(const PopupScope& scope);
    // Writes a refused popup to the debugger output.
    static void ReportRefusedPopup(const char* reason, const std::string& url);
    size_t PopupWindowCount() const;
    bool OnReaderText(const std::string& text);  // reader thread: frames, from their text
    bool OnReaderMessage(const Json& message);  // reader thread
    // Reader thread: decodes a frame's base64 image and hands it to its view on the UI thread.
    void DeliverFrame(const ScreencastFrame& frame, const char* data, size_t size);
    // Reader thread: lets a stopped document request go on, or hands it to its view's handler.
    void OnRequestPaused(const std::string& session, const Json& params);
    // Reader thread: a dialog of a page (`params` null for one whose message was too long to
    // read) is dismissed at once, or shown by its view on the UI thread and answered from there.
    void OnDialogOpening(const std::string& session, const Json& params);
    // Reader thread: a popup the page asks for, decided as its request arrives.
    void OnWindowOpen(const std::string& session, const Json& params);
    void OnEvent(const Json& message);  // UI thread

    BrowserProcess m_browser;  // written by m_starter until it is joined
    std::thread m_starter;     // owned: starts the browser; joined by EnsureConnected
    bool m_browserStarted = false;  // written by m_starter
    State m_state = State::Starting;
    CdpConnection m_cdp;
    FramePool m_frames;  // reader thread takes, UI thread gives back
    ScriptValueStore m_values;
    DWORD m_uiThread = 0;
    std::string m_defaultUserAgent;
    std::map<std::string, jsNativeFunction> m_bindings;  // by page name
    std::set<WebView*> m_views;                          // owned (deleted by DestroyView)
    std::vector<WebView*> m_unattached;                  // not owned: made while starting, in order
    std::set<std::wstring*> m_strings;                   // owned
    PopupScope* m_popupScope = nullptr;                  // not owned: the innermost handler's

    // The views' pages, by session: made in OnPageReady, ended in DestroyView (UI thread),
    // looked up by the reader thread too.
    mutable std::mutex m_pagesLock;  // guards m_pages
    std::map<std::string, std::shared_ptr<PageSession>> m_pages;  // shared with the messages in hand

    // Pages being made for views: the reader thread matches each page the browser attaches with
    // the answer that named it, in whichever order they come; any other page is closed.
    std::mutex m_targetLock;  // guards the five below
    int m_creating = 0;       // Target.createTarget commands not yet answered
    std::map<std::string, LiveView> m_createdFor;          // target id -> view, attach still to come
    std::map<std::string, std::string> m_attachedUnknown;  // target id -> session, not yet known as ours
    // The browser's first tab, running before the session began: the page of the first view
    // waiting then, which spares it the wait for a new window and its renderer. Empty once taken
    // or closed.
    std::string m_firstTargetId, m_firstSession;
    bool m_firstPageSeen = false;
};
