// The DevTools session: the browser's DevTools pipe, one reader thread, and delivery of
// everything the browser says to the thread that made the dispatch window (the UI thread).
//
// The reader thread owns the receiving side of the socket. Answers to synchronous calls wake the
// waiting caller directly; events and asynchronous answers are posted to a hidden message-only
// window created on the opening thread, so they run from that thread's ordinary message loop.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/DevToolsPipe.h"
#include "engine/Json.h"

class CdpConnection {
public:
    // Runs on the reader thread for every message before it is parsed; returns true when it has
    // dealt with the message completely from its text (then nothing else sees it).
    using TextFilter = std::function<bool(const std::string& text)>;
    // Runs on the reader thread for every event before it is posted; returns true when it has
    // dealt with the event completely (then nothing is posted).
    using ReaderFilter = std::function<bool(const Json& message)>;
    // Runs on the UI thread for every event that the filter let through.
    using EventHandler = std::function<void(const Json& message)>;
    // Runs on the UI thread with the answer's "result" (null when the call failed).
    using Reply = std::function<void(const Json& result)>;

    CdpConnection();
    ~CdpConnection();
    CdpConnection(const CdpConnection&) = delete;
    CdpConnection& operator=(const CdpConnection&) = delete;

    // Makes the hidden window that runs posted tasks. Call on the UI thread, before Open.
    bool OpenDispatch();
    // Takes the browser's pipe and starts the reader. Any thread, once the dispatch window exists.
    bool Open(std::unique_ptr<PipeStream> stream, TextFilter textFilter, ReaderFilter filter, EventHandler handler);
    // Ends the connection (the browser quits when its pipe ends) and waits for the reader, which
    // ends with it. Any thread but the reader.
    void Disconnect();
    bool IsOpen() const;

    // Sends a command; `session` empty means the browser itself. Returns the command id (0 on failure).
    int Send(const std::string& method, Json params, const std::string& session = std::string());
    // Sends a command whose answer is handed to `reply` on the UI thread, or, with `onReader`,
    // on the reader thread itself (for steps that must not wait for a busy UI thread; such a
    // reply may only send).
    int SendWithReply(const std::string& method, Json params, const std::string& session, Reply reply,
                      bool onReader = false);

    // Sends a command and waits at most `timeoutMs` for its answer. Does not dispatch messages,
    // so no event handler runs meanwhile. Returns false on timeout, error, a closed connection, or
    // while `session` is held (then at once, without sending).
    bool Call(const std::string& method, Json params, const std::string& session, DWORD timeoutMs, Json* result);

    // A page that waits for the UI thread (a dialog open, a navigation put to the handler) cannot
    // answer before the UI thread has dealt with it, and the UI thread cannot while it waits for
    // an answer: a synchronous call into a held session gives up at once, and so do the calls
    // already waiting when the hold begins. Holds are counted. Safe from any thread.
    void HoldSession(const std::string& session);
    void ReleaseSession(const std::string& session);

    // Writes a diagnostic line when tracing is on (see m_trace).
    void Trace(char direction, const std::string& text);

    // Runs `task` on the UI thread from its message loop. Safe from any thread.
    void PostToUi(std::function<void()> task);

private:
    struct Waiter {
        bool done = false;
        bool ok = false;
        Json result;
        std::string session;
    };

    // Writes one command frame; false when the socket refused it.
    bool SendCommand(int id, const std::string& method, Json params, const std::string& session);
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void ReaderLoop();
    // Hands the answer to command `id` to its waiting caller or its reply (reader thread).
    void Answer(int id, bool ok, const Json& result);
    void FailAllWaiters();

    std::unique_ptr<DevToolsPipe> m_pipe;  // owned; set by Open
    HWND m_window = nullptr;  // owned: hidden message-only window on the UI thread
    std::thread m_reader;     // owned: joined by Close
    TextFilter m_textFilter;
    ReaderFilter m_filter;
    EventHandler m_handler;

    mutable std::mutex m_lock;  // guards everything below
    std::condition_variable m_answered;
    bool m_open = false;
    int m_nextId = 1;
    std::map<int, Waiter*> m_waiters;  // not owned: each lives on its caller's stack
    std::map<int, std::pair<Reply, bool>> m_replies;  // reply, whether it runs on the reader
    std::map<std::string, int> m_holds;               // session -> holds not yet released
    // Diagnostics: when the environment names a file in WKE_DEVTOOLS_LOG, the traffic is appended
    // to it (each message cut to its first 300 and last 100 bytes).
    FILE* m_trace = nullptr;  // owned
    std::mutex m_traceLock;
};
