// The DevTools session: the browser's DevTools pipe, one reader thread, and delivery of
// everything the browser says to the thread that made the dispatch window (the UI thread).
//
// The reader thread owns the receiving side of the socket. Answers to synchronous calls wake the
// waiting caller directly; events and asynchronous answers go to the UI thread through a queue of
// their own (UiQueue), woken through a hidden message-only window made on the opening thread, so
// they run from that thread's ordinary message loop, in the order they came.
//
// What the browser sends is bounded before it is kept: an answer by what its command allows (the
// engine's own questions have small answers; an answer nobody waits for is not kept at all), an
// event by its kind, and what is kept by the parser's budget. A message over its bound is read to
// its end and dropped; a page that it would have left waiting (a dialog, a request) is let go.
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

#include "engine/devtools/DevToolsPipe.h"
#include "engine/devtools/Json.h"
#include "engine/devtools/UiQueue.h"

class CdpConnection {
public:
    // Runs on the reader thread for every message before it is parsed; returns true when it has
    // dealt with the message completely from its text (then nothing else sees it).
    using TextFilter = std::function<bool(const std::string& text)>;
    // Runs on the reader thread for every event before it is queued; returns true when it has
    // dealt with the event completely (then nothing is queued). A dialog whose message was too
    // long to keep comes to it too, with its method and session only, so that it is answered.
    using ReaderFilter = std::function<bool(const Json& message)>;
    // Runs on the UI thread for every event that the filter let through.
    using EventHandler = std::function<void(const Json& message)>;
    // Runs with the answer's "result" (null when the call failed), on the thread its wrapper
    // names: OnUi, from the UI thread's message loop after everything handed over before it;
    // OnReader, on the reader thread as the answer arrives, for steps that must not wait for a
    // busy UI thread (such a reply may only send commands and note what it needs to; it never
    // touches a view or calls the caller).
    using Reply = std::function<void(const Json& result)>;
    struct OnUi {
        Reply run;
    };
    struct OnReader {
        Reply run;
    };

    // Largest answer kept unless a command says otherwise.
    static constexpr size_t kDefaultAnswerLimit = 1u << 20;
    // Largest event kept: a console message (whose text is only written to the debugger output),
    // and any other (a page's URLs and bound function calls stay well below it). Screencast frames
    // may be as long as the pipe keeps anything.
    static constexpr size_t kMaxConsoleEvent = 1u << 20;
    static constexpr size_t kMaxEvent = 8u << 20;

    CdpConnection();
    ~CdpConnection();
    CdpConnection(const CdpConnection&) = delete;
    CdpConnection& operator=(const CdpConnection&) = delete;

    // Makes the hidden window that wakes the UI thread for its tasks. Call on the UI thread, before Open.
    bool OpenDispatch();
    // Takes the browser's pipe and starts the reader. Any thread, once the dispatch window exists.
    bool Open(std::unique_ptr<PipeStream> stream, TextFilter textFilter, ReaderFilter filter, EventHandler handler);
    // Ends the connection (the browser quits when its pipe ends) and waits for the reader, which
    // ends with it. Any thread but the reader.
    void Disconnect();
    bool IsOpen() const;

    // Sends a command; `session` empty means the browser itself. Its answer is not kept. Returns the
    // command id (0 on failure).
    int Send(const std::string& method, Json params, const std::string& session = std::string());
    // Sends a command whose answer (at most `maxAnswer` bytes, else it fails) is handed to `reply`
    // on the thread it names. Returns the command id (0 on failure, and then no reply runs).
    int SendWithReply(const std::string& method, Json params, const std::string& session, OnUi reply,
                      size_t maxAnswer = kDefaultAnswerLimit) {
        return SendWithReplyOn(method, std::move(params), session, std::move(reply.run), false, maxAnswer);
    }
    int SendWithReply(const std::string& method, Json params, const std::string& session, OnReader reply,
                      size_t maxAnswer = kDefaultAnswerLimit) {
        return SendWithReplyOn(method, std::move(params), session, std::move(reply.run), true, maxAnswer);
    }

    // Sends a command and waits at most `timeoutMs` for its answer. Does not dispatch messages,
    // so no event handler runs meanwhile. Returns false on timeout, error, an answer longer than
    // `maxAnswer`, a closed connection, or while `session` is held or the UI thread's queue is full
    // (then at once, without sending).
    bool Call(const std::string& method, Json params, const std::string& session, DWORD timeoutMs, Json* result,
              size_t maxAnswer = kDefaultAnswerLimit);
    // Sends a command whose answer is kept for Await, so that a caller that never asks for it
    // never waits: the ticket, or 0 (nothing sent) in the cases where Call gives up at once. The
    // answers of tickets never awaited are bounded in number and in memory: the oldest go first.
    int Ask(const std::string& method, Json params, const std::string& session, size_t maxAnswer);
    // Waits at most `timeoutMs` for the answer of a ticket, once; false as Call would be, and for
    // a ticket that is unknown or was let go.
    bool Await(int ticket, DWORD timeoutMs, Json* result);

    // A page that waits for the UI thread (a dialog open, a navigation put to the handler) cannot
    // answer before the UI thread has dealt with it, and the UI thread cannot while it waits for
    // an answer: a synchronous call into a held session gives up at once, and so do the calls
    // already waiting when the hold begins. Holds are counted. Safe from any thread.
    void HoldSession(const std::string& session);
    void ReleaseSession(const std::string& session);

    // Writes a diagnostic line when tracing is on (see m_trace).
    void Trace(char direction, const std::string& text);

    // Runs `task` on the UI thread from its message loop, after every task handed over before it.
    // `bytes` is what the task holds. Safe from any thread.
    void PostToUi(std::function<void()> task, size_t bytes = kTaskBytes);

private:
    // What a queued task costs beyond what it says it holds.
    static constexpr size_t kTaskBytes = 256;

    struct Waiter {
        bool done = false;
        bool ok = false;
        Json result;
        size_t bytes = 0;  // what the result holds
        std::string session;
        size_t maxAnswer = kDefaultAnswerLimit;
    };
    struct PendingReply {
        Reply reply;
        bool onReader = false;
        size_t maxAnswer = kDefaultAnswerLimit;
    };

    int SendWithReplyOn(const std::string& method, Json params, const std::string& session, Reply reply, bool onReader,
                        size_t maxAnswer);
    // Writes one command frame; false when the socket refused it.
    bool SendCommand(int id, const std::string& method, Json params, const std::string& session);
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Asks the UI thread to run its tasks: a posted message from other threads, a timer (which
    // lets input and painting go first) from the UI thread itself. False when refused.
    bool WakeUi();
    void ReaderLoop();
    // Reader thread: how much of the message that starts with `head` may be kept.
    size_t LimitOf(const std::string& head);
    // Reader thread: one whole message, parsed within its budget and delivered.
    void HandleMessage(const std::string& text);
    // Reader thread: a message that could not be kept or parsed. Its command fails; a page that it
    // would have left waiting goes on.
    void HandleLost(const std::string& head, const std::string& tail);
    // Hands the answer to command `id` to its waiting caller, its ticket or its reply (reader thread).
    void Answer(int id, bool ok, const Json& result, size_t bytes);
    // The reader stops while the UI thread's queue is full; calls give up meanwhile.
    void PauseForRoom();
    void FailAllWaiters();

    std::unique_ptr<DevToolsPipe> m_pipe;  // owned; set by Open
    HWND m_window = nullptr;  // owned: hidden message-only window on the UI thread
    DWORD m_uiThread = 0;     // the thread of m_window
    std::thread m_reader;     // owned: joined by Disconnect
    TextFilter m_textFilter;
    ReaderFilter m_filter;
    EventHandler m_handler;
    UiQueue m_queue;          // tasks for the UI thread; its wake-up is WakeUi

    mutable std::mutex m_lock;  // guards everything below
    std::condition_variable m_answered;
    bool m_open = false;
    bool m_paused = false;  // the reader waits for room in m_queue
    int m_nextId = 1;
    std::map<int, Waiter*> m_waiters;                // not owned: each lives on its caller's stack
    std::map<int, std::unique_ptr<Waiter>> m_asked;  // owned: tickets, oldest first
    size_t m_askedBytes = 0;                         // what the answered tickets hold
    std::map<int, PendingReply> m_replies;
    std::map<std::string, int> m_holds;  // session -> holds not yet released
    // Diagnostics: when the environment names a file in WKE_DEVTOOLS_LOG, the traffic is appended
    // to it (each message cut to its first 300 and last 100 bytes).
    FILE* m_trace = nullptr;  // owned
    std::mutex m_traceLock;
};
