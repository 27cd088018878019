// One page of the browser as the engine interface presents it: its settings, its events, its
// pixels and its input. Off-screen views render into the caller's buffer; window views also own
// a native window that they paint and take input for. UI thread only.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/devtools/Json.h"
#include "engine/frames/PagePicture.h"
#include "engine/session/PageSession.h"
#include "engine/view/PageFrames.h"
#include "engine/view/ScriptValues.h"
#include "platform/wke.h"

class Engine;
class WebView;

// A view as a later answer, or the rest of a callback of the caller's, finds it: null once the
// view has been destroyed (also when a new view has since been made at the same address). Cheap
// to copy; UI thread only.
class LiveView {
public:
    WebView* Get() const;

private:
    friend class WebView;
    LiveView(const Engine* engine, const WebView* view, unsigned serial);
    const Engine* m_engine;  // not owned
    const WebView* m_view;   // not owned; compared, never used unless it is still a view
    unsigned m_serial;
};

class WebView {
public:
    // A view without its page yet (see Attach); `offscreen` false makes the native window now.
    WebView(Engine& engine, bool offscreen, wkeWindowType type, HWND parent, int x, int y, int width, int height);
    ~WebView();
    WebView(const WebView&) = delete;
    WebView& operator=(const WebView&) = delete;

    // The longest script result kept; a longer one answers as undefined.
    static constexpr size_t kMaxScriptAnswer = 1u << 20;

    wkeWebView Handle() { return reinterpret_cast<wkeWebView>(this); }
    LiveView Live() const { return LiveView(&m_engine, this, m_serial); }
    unsigned Serial() const { return m_serial; }
    // The page's session and its target (also the id of its main frame); empty until Attach.
    const std::string& Session() const { return m_page ? m_page->Id() : NoId(); }
    const std::string& TargetId() const { return m_page ? m_page->TargetId() : NoId(); }

    // Gives the view its page: sends the set-up commands and what was asked of the view before,
    // then lets the page run.
    void Attach(std::shared_ptr<PageSession> page);
    bool Attached() const { return m_page != nullptr; }
    // The page will never come (the browser did not start): what waits for it is dropped.
    void GoWithoutPage();
    void InstallBinding(const std::string& name);
    // Stops every event and closes the page; the object is deleted later by the engine.
    void BeginDestroy();
    bool Destroyed() const { return m_destroyed; }
    // A window view of type popup: what the popup rules count.
    bool IsPopupWindow() const { return m_popupWindow; }

    // Window and settings.
    void Show(bool show);
    void MoveToCenter();
    // The window the view is painted into and takes input from: its own while it is in use.
    HWND HostWindow() const { return OwnWindowInUse() ? m_window : m_host; }
    void SetHostWindow(HWND hwnd);
    void SetTitle(const std::wstring& title);
    void SetName(const std::string& name) { m_name = name; }
    void SetTransparent(bool transparent);
    void Resize(int width, int height);
    void SetUserAgent(const std::string& userAgent);
    void SetLanguage(const std::string& language);
    void SetCspCheck(bool enable);

    // Loading.
    void LoadUrl(const std::string& url);

    // Painting.
    void Paint(void* bits, int pitch) const { m_picture.Buffer().CopyTo(bits, m_width, m_height, pitch); }
    // A frame of the moving page (nearly exact); `scrollX`, `scrollY` say where the page was then.
    void ApplyFrame(const DecodedFrame& frame, double scrollX, double scrollY);
    // Whether the view's page is on the screen (a window view also shows or hides its window):
    // a hidden page gets no frames and is hidden as in a background tab, its timers slowed to what
    // a background tab's are; shown again, its current picture comes at once.
    void SetPageVisible(bool visible);

    // Input. Each answers whether the event was handed to the page.
    bool FireMouse(unsigned message, int x, int y, unsigned flags);
    bool FireWheel(int x, int y, int delta, unsigned flags);
    bool FireKey(bool down, unsigned virtualKey, unsigned flags);
    bool FireChar(unsigned charCode, unsigned flags);
    bool FireContextMenu(int x, int y, unsigned flags);
    void SetFocus(bool focused);
    wkeRect CaretRect() const { return m_caret; }
    int CursorType() const { return m_cursor; }

    // Script. The script is sent at once and its value (a jsValue handle) is waited for only when
    // it is read (Engine::Value): at most kScriptTimeoutMs, and not at all while the page waits for
    // the UI thread (a dialog open, a navigation before its handler), when the script is not run
    // either. Before the view has its page the script is kept for it and the value is empty.
    int64_t RunScript(const std::string& script);
    int64_t CallGlobal(const ScriptValue& function, const std::vector<const ScriptValue*>& args);
    std::wstring TextOf(const ScriptValue& value);
    ExecState* GlobalExec() { return &m_globalExec; }

    // Event registrations: the callback and the parameter it gets back.
    template <typename F>
    struct Handler {
        F fn = nullptr;
        void* param = nullptr;
    };
    Handler<wkeTitleChangedCallback> onTitle;
    Handler<wkeURLChangedCallback> onUrl;
    Handler<wkePaintUpdatedCallback> onPaint;
    Handler<wkeAlertBoxCallback> onAlert;
    Handler<wkeCreateViewCallback> onCreateView;
    Handler<wkeDocumentReadyCallback> onDocumentReady;
    Handler<wkeLoadUrlBeginCallback> onLoadUrlBegin;
    Handler<wkeLoadingFinishCallback> onLoadingFinish;
    Handler<wkeDownloadCallback> onDownload;
    Handler<wkeWindowClosingCallback> onWindowClosing;
    Handler<wkeConsoleCallback> onConsole;

    const wkeTempCallbackInfo* TempCallbackInfo() const { return &m_tempInfo; }
    bool IsMainFrame(wkeWebFrameHandle frame) const;
    int RequestFavicon(wkeNetGetFaviconCallback callback, void* param);

    // The navigation handler; a page with one has its own navigations of its main frame judged.
    void SetNavigationHandler(wkeNavigationCallback callback, void* param);
    bool HasNavigationHandler() const { return m_onNavigation.fn != nullptr; }
    // A navigation of the page's main frame that the page asked for (`reason` as the browser
    // gave it, `arrival` when it came), held until the handler has said whether it may go on.
    void JudgeNavigation(const Json& params, const std::string& reason, DWORD arrival);
    // A window that the page opened with the player's activation (the reader has checked it).
    void OnWindowOpen(const Json& params);
    // A dialog of the page that its session let through: raised to the caller; the answer to
    // give the page.
    Json ShowDialog(const Json& params);

    // A DevTools event for this page's session.
    void OnEvent(const std::string& method, const Json& params);
    // A download that this page started (the browser reports downloads itself).
    void OnDownload(const std::string& url);

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void CreateOwnWindow(wkeWindowType type, HWND parent, int x, int y, int width, int height);
    // A window view's own window, unless the caller has named another one (SetHostWindow).
    bool OwnWindowInUse() const { return m_window && (!m_host || m_host == m_window); }
    void DestroyOwnWindow();
    static const std::string& NoId();
    // Sends a command to the page, or keeps it for the page while there is none yet.
    void Send(const std::string& method, Json params = Json());
    // Sends input that activates the page (a button or a key pressed, `press`), or ends such input
    // (its release, where the page's click handler runs), see UserActivation.
    void SendActivatingInput(const std::string& method, Json params, bool press);
    void ApplyUserAgent();
    void StartFrames();
    void ApplyVisibility();
    void ApplyFocus();
    void ShowChange(const RECT& changed);
    // The timer that asks for the exact picture once the page has rested (re-armed when running).
    void StartRestTimer();
    void StopRestTimer();
    void AskExactPicture();
    void ApplyExact(const DecodedFrame& picture, const PagePicture::ExactRequest& request);
    static std::map<UINT_PTR, LiveView>& RestTimers();  // timer id -> view
    static void CALLBACK OnRestTimer(HWND, UINT, UINT_PTR id, DWORD);
    void RefreshCaretAndCursor(int x, int y, bool withCursor);

    // Event handling, one per DevTools event this view cares about.
    void OnFrameNavigated(const Json& frame);
    void OnConsoleApi(const Json& params);
    void OnException(const Json& params);
    // The page's console message or uncaught exception for the console handler; `line` counts from
    // 0, as the browser's do.
    void RaiseConsole(wkeConsoleLevel level, const std::string& text, const std::string& source, int line,
                      const Json& stack);
    void OnLoadingFailed(const Json& params);
    void OnBindingCalled(const Json& params);
    void OnTitle(const std::string& title);
    void RaiseLoadingFinish(const std::string& url, wkeLoadingResult result, const std::string& reason,
                            const std::string& frameId);

    // Calls a callback of the caller's with the record that wkeGetTempCallbackInfo gives naming
    // `frameId` and `url` meanwhile. False when the view was destroyed in it: then the caller must
    // touch nothing of the view any more.
    template <typename Call>
    bool Raise(const std::string& frameId, const std::string& url, Call&& call) {
        const LiveView live = Live();
        EnterCallback(frameId, url);
        call();
        if (!live.Get()) return false;
        LeaveCallback();
        return true;
    }
    void EnterCallback(const std::string& frameId, const std::string& url);
    void LeaveCallback();

    // The answers of the engine's own questions (input, caret, cursor, set-up) are short.
    static constexpr size_t kSmallAnswer = 4096;

    Engine& m_engine;         // not owned: outlives every view
    const unsigned m_serial;  // tells this view from a later one at the same address (see LiveView)
    Handler<wkeNavigationCallback> m_onNavigation;  // see SetNavigationHandler
    std::shared_ptr<PageSession> m_page;  // shared with the reader's messages in hand; null until Attach
    bool m_destroyed = false;
    bool m_withoutPage = false;
    bool m_popupWindow = false;
    static constexpr size_t kMaxWaitingCommands = 4096;
    std::vector<std::pair<std::string, Json>> m_waitingCommands;  // asked before Attach
    bool m_pageRunning = false;              // the page has taken Setup's commands (see Setup)
    std::vector<std::string> m_pendingLoads;  // loads asked for before that, made once it has

    // JPEG while the page moves: a fraction of what PNG costs to make and to decode.
    static constexpr int kFrameQuality = 80;
    // How long a page shows no new frame before it counts as at rest.
    static constexpr UINT kRestMs = 150;
    // Exact pictures asked for again in a row because the browser answered another size.
    static constexpr int kMaxUnfitPictures = 3;
    int m_unfitPictures = 0;
    UINT_PTR m_restTimer = 0;    // owned: a thread timer, re-armed by every frame
    bool m_hidden = false;     // the caller says the page is not on the screen
    bool m_focused = true;     // the caller says the view has the keyboard focus
    double m_windowId = 0;     // the browser's window of the page; 0 until the browser has said

    HWND m_window = nullptr;  // owned: the native window of a window view (null for off-screen)
    HWND m_host = nullptr;    // not owned: the window the caller says the view belongs to
    PagePicture m_picture;
    int m_width = 800;
    int m_height = 600;
    std::string m_name;

    std::string m_userAgent;
    std::string m_language;
    std::map<std::string, std::pair<std::string, std::string>> m_documentRequests;  // request -> (url, frame)
    bool m_mainLoadFailed = false;
    std::string m_url;
    std::string m_title;

    int m_lastClickCount = 0;
    unsigned m_activation = 0;  // the activation of a press whose release is still to come, or 0
    wchar_t m_highSurrogate = 0;
    wkeRect m_caret{0, 0, 0, 0};
    int m_cursor = WKE_CURSOR_POINTER;
    bool m_cursorQueryInFlight = false;

    ExecState m_globalExec;
    wkeTempCallbackInfo m_tempInfo{};
    std::string m_tempUrl;
    PageFrames m_frames;  // the frames and script worlds of the page
};
