// The engine's process-wide state: the browser, the DevTools connection, the views, the bound
// native functions and the script values. Created by wkeInitializeEx on the thread that will
// receive every engine event; used on that thread only, except where a member says otherwise.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/BrowserProcess.h"
#include "engine/CdpConnection.h"
#include "engine/NavigationGate.h"
#include "engine/ScreencastFrame.h"
#include "engine/ScriptValues.h"
#include "platform/wke.h"

class WebView;

class Engine {
public:
    // How long a synchronous script call waits for the page before it answers with an empty value.
    static constexpr DWORD kScriptTimeoutMs = 5000;

    static Engine* Get();  // null until wkeInitializeEx succeeded
    // Finds the browser and starts it in the background; false when there is none to start.
    static bool Initialize(const wkeSettings* settings);
    // Waits until the browser has started (at most its start-up timeout) and connects to it and
    // gives the views made meanwhile their pages, once; true while the browser is connected.
    // Runs by itself from the message loop as soon as the browser is up.
    bool EnsureConnected();

    CdpConnection& Cdp() { return m_cdp; }
    // Reader thread: a base64 image decoded into a frame of the pool; null when it is none.
    std::shared_ptr<DecodedFrame> DecodeOnReader(const char* base64, size_t size);
    NavigationGate& Gate() { return m_gate; }  // any thread
    ScriptValueStore& Values() { return m_values; }
    const std::string& DefaultUserAgent() const { return m_defaultUserAgent; }
    DWORD UiThreadId() const { return m_uiThread; }

    // Makes a view, and a page for it in the browser, or, while the browser is starting, once it
    // is connected; null when the browser could not be started or does not answer.
    WebView* CreateView(bool offscreen, wkeWindowType type, HWND parent, int x, int y, int width, int height);
    void DestroyView(WebView* view);
    // The view behind a handle from the caller, or null when it is not (or no longer) one of ours.
    WebView* Find(wkeWebView handle) const;

    void BindFunction(const std::string& name, jsNativeFunction fn);
    const std::map<std::string, jsNativeFunction>& Bindings() const { return m_bindings; }

    // Engine strings handed to callbacks live until the callback returns; those from
    // wkeCreateStringW until wkeDeleteString.
    wkeString NewString(std::wstring text);
    bool DeleteString(wkeString s);
    bool IsString(wkeString s) const { return m_strings.count(reinterpret_cast<std::wstring*>(s)) != 0; }

private:
    enum class State { Starting, Connected, Failed };

    Engine() = default;
    bool Begin(const wkeSettings* settings);
    bool Connect();
    bool AttachView(WebView* view);
    bool OnReaderText(const std::string& text);  // reader thread: frames, from their text
    bool OnReaderMessage(const Json& message);  // reader thread
    // Reader thread: decodes a frame's base64 image and hands it to its view on the UI thread.
    void DeliverFrame(const ScreencastFrame& frame, const char* data, size_t size);
    // UI thread: a view has taken its frame; a held acknowledgement goes out.
    void FrameTaken(const std::string& session);
    void SendFrameAck(const std::string& session, int ackId);  // any thread
    // Reader thread: lets a stopped document request go on, or hands it to its view's handler.
    bool OnRequestPaused(const std::string& session, const Json& params);
    void OnEvent(const Json& message);          // UI thread
    std::string WaitForSession(const std::string& targetId, DWORD timeoutMs);

    BrowserProcess m_browser;  // written by m_starter until it is joined
    std::thread m_starter;     // owned: starts the browser; joined by EnsureConnected
    bool m_browserStarted = false;  // written by m_starter
    State m_state = State::Starting;
    CdpConnection m_cdp;
    NavigationGate m_gate;
    FramePool m_frames;  // reader thread takes, UI thread gives back
    ScriptValueStore m_values;
    DWORD m_uiThread = 0;
    std::string m_defaultUserAgent;
    std::map<std::string, jsNativeFunction> m_bindings;  // by page name
    std::set<WebView*> m_views;                          // owned (deleted by DestroyView)
    std::map<std::string, WebView*> m_bySession;         // not owned
    std::vector<WebView*> m_unattached;                  // not owned: made while starting, in order
    std::set<std::wstring*> m_strings;                   // owned

    // Acknowledgements of each page's frames (see DeliverFrame), by session.
    struct FrameAcks {
        bool uiBusy = false;  // a frame is on its way to the UI thread, not yet taken
        bool held = false;    // the acknowledgement of the frame after it waits...
        int heldId = 0;       // ...with this id
    };
    std::mutex m_ackLock;  // guards m_acks
    std::map<std::string, FrameAcks> m_acks;

    // Written by the reader thread as pages attach, read by CreateView.
    std::mutex m_attachLock;
    std::condition_variable m_attached;
    std::map<std::string, std::string> m_sessionOfTarget;

    // Reader thread only: the browser's own windows for pages' window.open, by session, with
    // their target ids. Their requests are refused until they are closed.
    std::map<std::string, std::string> m_discardedWindows;
};
