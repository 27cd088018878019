#include "engine/devtools/CdpConnection.h"

#include <chrono>

namespace {

constexpr UINT WM_CDP_WAKE = WM_APP + 0x31;
constexpr UINT_PTR kDrainTimer = 1;
// How long the UI thread runs tasks before it lets its other messages (input, painting) go first.
constexpr DWORD kDrainSliceMs = 30;
const wchar_t kWindowClass[] = L"WkeCdpDispatch";

// Tickets never awaited keep their answers until these bounds make room for newer ones.
constexpr size_t kMaxTickets = 512;
constexpr size_t kMaxTicketBytes = 16u << 20;

// The command number at the start of an answer ({"id":N,...}); -1 when it is not an answer.
int CommandIdOf(const std::string& head) {
    static const char kPrefix[] = "{\"id\":";
    if (head.compare(0, sizeof kPrefix - 1, kPrefix) != 0) return -1;
    int id = 0;
    size_t i = sizeof kPrefix - 1;
    for (; i < head.size() && head[i] >= '0' && head[i] <= '9' && id < 100000000; ++i) id = id * 10 + (head[i] - '0');
    return i < head.size() && (head[i] == ',' || head[i] == '}') ? id : -1;
}

// The text value of the first member `name` in `text` ("name":"value"), which for the ids the
// browser makes holds no escapes; empty when there is none. `last` takes the last one instead.
std::string TextMember(const std::string& text, const char* name, bool last = false) {
    const std::string key = std::string("\"") + name + "\":\"";
    const size_t at = last ? text.rfind(key) : text.find(key);
    if (at == std::string::npos) return std::string();
    const size_t start = at + key.size();
    const size_t end = text.find('"', start);
    return end == std::string::npos ? std::string() : text.substr(start, end - start);
}

bool IsConsoleEvent(const std::string& method) {
    return method == "Runtime.consoleAPICalled" || method == "Runtime.exceptionThrown";
}

}  // namespace

CdpConnection::CdpConnection() : m_queue([this] { return WakeUi(); }) {}

CdpConnection::~CdpConnection() {
    Disconnect();
    if (m_window) DestroyWindow(m_window);  // tasks still queued go with the queue
    if (m_trace) fclose(m_trace);
}

void CdpConnection::Trace(char direction, const std::string& text) {
    if (!m_trace) return;
    // A long message keeps its head and its tail: the browser puts the session of an event last,
    // after the bulk of a screencast frame's pixels.
    constexpr size_t kHead = 300, kTail = 100;
    std::lock_guard<std::mutex> lock(m_traceLock);
    if (text.size() <= kHead + kTail)
        fprintf(m_trace, "%lu %c %s\n", GetTickCount(), direction, text.c_str());
    else
        fprintf(m_trace, "%lu %c %.*s ... %s\n", GetTickCount(), direction, static_cast<int>(kHead), text.c_str(),
                text.c_str() + text.size() - kTail);
    fflush(m_trace);
}

bool CdpConnection::OpenDispatch() {
    if (m_window) return true;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);  // a second connection finds the class already there
    m_window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!m_window) return false;
    m_uiThread = GetCurrentThreadId();
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

bool CdpConnection::Open(std::unique_ptr<PipeStream> stream, TextFilter textFilter, ReaderFilter filter,
                         EventHandler handler) {
    if (!m_window || !stream || m_pipe) return false;
    m_pipe = std::make_unique<DevToolsPipe>(std::move(stream));
    wchar_t tracePath[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"WKE_DEVTOOLS_LOG", tracePath, MAX_PATH);
    if (n > 0 && n < MAX_PATH) m_trace = _wfopen(tracePath, L"ab");
    m_textFilter = std::move(textFilter);
    m_filter = std::move(filter);
    m_handler = std::move(handler);

    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_open = true;
    }
    m_reader = std::thread([this] { ReaderLoop(); });
    return true;
}

void CdpConnection::Disconnect() {
    if (m_pipe) m_pipe->Shutdown();
    m_queue.Close();  // a reader waiting for room goes on to its end
    if (m_reader.joinable()) m_reader.join();
}

bool CdpConnection::IsOpen() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_open;
}

bool CdpConnection::SendCommand(int id, const std::string& method, Json params, const std::string& session) {
    Json message = Json::Object();
    message.Set("id", id).Set("method", method);
    if (!params.IsNull()) message.Set("params", std::move(params));
    if (!session.empty()) message.Set("sessionId", session);
    std::string text = message.Serialize();
    Trace('>', text);
    return m_pipe->Send(std::move(text));
}

int CdpConnection::Send(const std::string& method, Json params, const std::string& session) {
    int id;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open) return 0;
        id = m_nextId++;
    }
    return SendCommand(id, method, std::move(params), session) ? id : 0;
}

int CdpConnection::SendWithReplyOn(const std::string& method, Json params, const std::string& session, Reply reply,
                                   bool onReader, size_t maxAnswer) {
    int id;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open) return 0;
        id = m_nextId++;
        m_replies[id] = PendingReply{std::move(reply), onReader, maxAnswer};
    }
    if (!SendCommand(id, method, std::move(params), session)) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_replies.erase(id);
        return 0;
    }
    return id;
}

bool CdpConnection::Call(const std::string& method, Json params, const std::string& session, DWORD timeoutMs,
                         Json* result, size_t maxAnswer) {
    Waiter waiter;
    waiter.session = session;
    waiter.maxAnswer = maxAnswer;
    int id;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open || m_paused || m_holds.count(session)) return false;
        id = m_nextId++;
        m_waiters[id] = &waiter;
    }
    const bool sent = SendCommand(id, method, std::move(params), session);

    std::unique_lock<std::mutex> lock(m_lock);
    if (sent) m_answered.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return waiter.done; });
    m_waiters.erase(id);
    if (waiter.done && waiter.ok && result) *result = std::move(waiter.result);
    return waiter.done && waiter.ok;
}

int CdpConnection::Ask(const std::string& method, Json params, const std::string& session, size_t maxAnswer) {
    int id;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open || m_paused || m_holds.count(session)) return 0;
        id = m_nextId++;
        if (m_asked.size() >= kMaxTickets) {
            m_askedBytes -= m_asked.begin()->second->bytes;
            m_asked.erase(m_asked.begin());
        }
        auto waiter = std::make_unique<Waiter>();
        waiter->session = session;
        waiter->maxAnswer = maxAnswer;
        m_asked[id] = std::move(waiter);
    }
    if (!SendCommand(id, method, std::move(params), session)) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_asked.erase(id);
        return 0;
    }
    return id;
}

bool CdpConnection::Await(int ticket, DWORD timeoutMs, Json* result) {
    std::unique_lock<std::mutex> lock(m_lock);
    auto it = m_asked.find(ticket);
    if (it == m_asked.end()) return false;
    Waiter* waiter = it->second.get();
    if (!waiter->done && !m_paused && !m_holds.count(waiter->session))
        m_answered.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return !m_asked.count(ticket) || waiter->done || m_paused; });
    it = m_asked.find(ticket);
    if (it == m_asked.end()) return false;  // let go meanwhile
    const bool ok = it->second->done && it->second->ok;
    if (ok && result) *result = std::move(it->second->result);
    m_askedBytes -= it->second->bytes;
    m_asked.erase(it);
    return ok;
}

void CdpConnection::HoldSession(const std::string& session) {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_holds[session];
    for (auto& entry : m_waiters) {
        if (entry.second->session == session) entry.second->done = true;
    }
    for (auto& entry : m_asked) {
        if (entry.second->session == session) entry.second->done = true;
    }
    m_answered.notify_all();
}

void CdpConnection::ReleaseSession(const std::string& session) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_holds.find(session);
    if (it != m_holds.end() && --it->second <= 0) m_holds.erase(it);
}

void CdpConnection::PostToUi(std::function<void()> task, size_t bytes) {
    m_queue.Push(std::move(task), UiQueue::Kind::Ordinary, bytes);
}

bool CdpConnection::WakeUi() {
    if (!m_window) return false;
    if (GetCurrentThreadId() == m_uiThread) return SetTimer(m_window, kDrainTimer, USER_TIMER_MINIMUM, nullptr) != 0;
    // A full message queue refuses posts but still takes sent notifications.
    return PostMessageW(m_window, WM_CDP_WAKE, 0, 0) || SendNotifyMessageW(m_window, WM_CDP_WAKE, 0, 0);
}

LRESULT CALLBACK CdpConnection::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CDP_WAKE || (msg == WM_TIMER && wParam == kDrainTimer)) {
        if (msg == WM_TIMER) KillTimer(hwnd, kDrainTimer);
        auto* self = reinterpret_cast<CdpConnection*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self) self->m_queue.Drain(kDrainSliceMs);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void CdpConnection::FailAllWaiters() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_open = false;
    for (auto& entry : m_waiters) entry.second->done = true;
    for (auto& entry : m_asked) entry.second->done = true;
    m_answered.notify_all();
    m_replies.clear();
}

void CdpConnection::Answer(int id, bool ok, const Json& result, size_t bytes) {
    Reply reply;
    bool onReader = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        auto waiter = m_waiters.find(id);
        if (waiter != m_waiters.end()) {
            waiter->second->done = true;
            waiter->second->ok = ok;
            if (ok) waiter->second->result = result;
            m_answered.notify_all();
            return;
        }
        auto asked = m_asked.find(id);
        if (asked != m_asked.end()) {
            Waiter& ticket = *asked->second;
            if (ticket.done) return;  // given up (its page was held) before the answer came
            ticket.done = true;
            ticket.ok = ok;
            if (ok) {
                ticket.result = result;
                ticket.bytes = bytes;
                m_askedBytes += bytes;
                // The oldest answers nobody asked for yet make room for this one.
                while (m_askedBytes > kMaxTicketBytes && m_asked.begin()->first != id) {
                    m_askedBytes -= m_asked.begin()->second->bytes;
                    m_asked.erase(m_asked.begin());
                }
            }
            m_answered.notify_all();
            return;
        }
        auto pending = m_replies.find(id);
        if (pending == m_replies.end()) return;
        reply = std::move(pending->second.reply);
        onReader = pending->second.onReader;
        m_replies.erase(pending);
    }
    Json given = ok ? result : Json();
    if (onReader) {
        reply(given);
        return;
    }
    PostToUi([reply = std::move(reply), given = std::move(given)] { reply(given); }, bytes + kTaskBytes);
}

size_t CdpConnection::LimitOf(const std::string& head) {
    const int id = CommandIdOf(head);
    if (id >= 0) {
        std::lock_guard<std::mutex> lock(m_lock);
        auto waiter = m_waiters.find(id);
        if (waiter != m_waiters.end()) return waiter->second->maxAnswer;
        auto asked = m_asked.find(id);
        if (asked != m_asked.end()) return asked->second->maxAnswer;
        auto pending = m_replies.find(id);
        if (pending != m_replies.end()) return pending->second.maxAnswer;
        return 0;  // nobody waits for it: nothing of it is kept
    }
    const std::string method = TextMember(head, "method");
    if (method == "Page.screencastFrame") return DevToolsPipe::kMaxMessage;
    return IsConsoleEvent(method) ? kMaxConsoleEvent : kMaxEvent;
}

void CdpConnection::HandleLost(const std::string& head, const std::string& tail) {
    const int id = CommandIdOf(head);
    if (id >= 0) {
        Answer(id, false, Json(), 0);
        return;
    }
    // The browser names an event's session last.
    const std::string method = TextMember(head, "method");
    const std::string session = TextMember(tail, "sessionId", true);
    if (session.empty()) return;
    if (method == "Page.javascriptDialogOpening") {
        // Its page waits for an answer: the filter answers it, knowing only whose it is.
        Json lost = Json::Object();
        lost.Set("method", method).Set("sessionId", session);
        if (m_filter) m_filter(lost);
    } else if (method == "Fetch.requestPaused") {
        const std::string request = TextMember(head, "requestId");
        if (request.empty()) return;
        Json refuse = Json::Object();
        refuse.Set("requestId", request).Set("errorReason", "Aborted");
        Send("Fetch.failRequest", refuse, session);
    }
}

void CdpConnection::HandleMessage(const std::string& text) {
    bool parsed = false;
    size_t used = 0;
    Json message = Json::Parse(text.data(), text.size(), Json::BudgetFor(text.size()), &parsed, &used);
    if (!parsed || !message.IsObject()) {
        Trace('!', "a message of " + std::to_string(text.size()) + " bytes is broken or over its budget");
        HandleLost(text.substr(0, DevToolsPipe::kCutHead),
                   text.substr(text.size() > DevToolsPipe::kCutTail ? text.size() - DevToolsPipe::kCutTail : 0));
        return;
    }
    if (message.Has("id")) {
        Answer(message["id"].AsInt(-1), !message.Has("error"), message["result"], used);
        return;
    }
    if (m_filter && m_filter(message)) return;
    const UiQueue::Kind kind =
        IsConsoleEvent(message["method"].AsString()) ? UiQueue::Kind::Console : UiQueue::Kind::Ordinary;
    m_queue.Push([this, message = std::move(message)] {
        if (m_handler) m_handler(message);
    }, kind, used + kTaskBytes);
}

void CdpConnection::PauseForRoom() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_paused = true;
        for (auto& entry : m_waiters) entry.second->done = true;
        m_answered.notify_all();
    }
    Trace('!', "the UI thread's queue is full: reading waits for room");
    m_queue.WaitForRoom();
    std::lock_guard<std::mutex> lock(m_lock);
    m_paused = false;
}

void CdpConnection::ReaderLoop() {
    std::string text;
    std::string tail;
    bool cut = false;
    const DevToolsPipe::LimitOf limitOf = [this](const std::string& head) { return LimitOf(head); };
    while (m_pipe->Receive(text, tail, cut, limitOf)) {
        if (cut) {
            // Too long to keep (a page's giant string or console message): an answer fails, an
            // event is dropped, and the connection goes on.
            if (m_trace) Trace('<', text.size() < DevToolsPipe::kCutHead ? text : text + " ... " + tail);
            HandleLost(text, tail);
            continue;
        }
        Trace('<', text);
        if (!m_textFilter || !m_textFilter(text)) HandleMessage(text);
        if (m_queue.Full()) PauseForRoom();
    }
    FailAllWaiters();
}
