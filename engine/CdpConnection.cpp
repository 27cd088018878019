#include "engine/CdpConnection.h"

#include <chrono>

namespace {

constexpr UINT WM_CDP_TASK = WM_APP + 0x31;
const wchar_t kWindowClass[] = L"WkeCdpDispatch";

// The command number at the start of an answer ({"id":N,...}), from what is left of a message
// that was too long to keep; -1 when it is not an answer.
int CommandIdOfCutMessage(const std::string& head) {
    static const char kPrefix[] = "{\"id\":";
    if (head.compare(0, sizeof kPrefix - 1, kPrefix) != 0) return -1;
    int id = 0;
    size_t i = sizeof kPrefix - 1;
    for (; i < head.size() && head[i] >= '0' && head[i] <= '9' && id < 100000000; ++i) id = id * 10 + (head[i] - '0');
    return i < head.size() && head[i] == ',' ? id : -1;
}

}  // namespace

CdpConnection::CdpConnection() = default;

CdpConnection::~CdpConnection() {
    Disconnect();
    if (m_window) {
        // Tasks still queued for the window are dropped with it; free them first.
        MSG msg;
        while (PeekMessageW(&msg, m_window, WM_CDP_TASK, WM_CDP_TASK, PM_REMOVE))
            delete reinterpret_cast<std::function<void()>*>(msg.lParam);
        DestroyWindow(m_window);
    }
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

int CdpConnection::SendWithReply(const std::string& method, Json params, const std::string& session, Reply reply,
                                 bool onReader) {
    int id;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open) return 0;
        id = m_nextId++;
        m_replies[id] = {std::move(reply), onReader};
    }
    if (!SendCommand(id, method, std::move(params), session)) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_replies.erase(id);
        return 0;
    }
    return id;
}

bool CdpConnection::Call(const std::string& method, Json params, const std::string& session, DWORD timeoutMs,
                         Json* result) {
    Waiter waiter;
    waiter.session = session;
    int id;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open || m_holds.count(session)) return false;
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

void CdpConnection::HoldSession(const std::string& session) {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_holds[session];
    for (auto& entry : m_waiters) {
        if (entry.second->session == session) entry.second->done = true;
    }
    m_answered.notify_all();
}

void CdpConnection::ReleaseSession(const std::string& session) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_holds.find(session);
    if (it != m_holds.end() && --it->second <= 0) m_holds.erase(it);
}

void CdpConnection::PostToUi(std::function<void()> task) {
    auto* heapTask = new std::function<void()>(std::move(task));
    if (!m_window || !PostMessageW(m_window, WM_CDP_TASK, 0, reinterpret_cast<LPARAM>(heapTask))) delete heapTask;
}

LRESULT CALLBACK CdpConnection::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CDP_TASK) {
        std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lParam));
        if (*task) (*task)();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void CdpConnection::FailAllWaiters() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_open = false;
    for (auto& entry : m_waiters) entry.second->done = true;
    m_answered.notify_all();
    m_replies.clear();
}

void CdpConnection::Answer(int id, bool ok, const Json& result) {
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
        auto pending = m_replies.find(id);
        if (pending == m_replies.end()) return;
        reply = std::move(pending->second.first);
        onReader = pending->second.second;
        m_replies.erase(pending);
    }
    Json given = ok ? result : Json();
    if (onReader) {
        reply(given);
        return;
    }
    PostToUi([reply = std::move(reply), given = std::move(given)] { reply(given); });
}

void CdpConnection::ReaderLoop() {
    std::string text;
    bool cut = false;
    while (m_pipe->Receive(text, cut)) {
        Trace('<', text);
        if (cut) {
            // Too long to keep (a page's giant string or console message): an answer fails, an
            // event is dropped, and the connection goes on.
            const int id = CommandIdOfCutMessage(text);
            if (id >= 0) Answer(id, false, Json());
            continue;
        }
        if (m_textFilter && m_textFilter(text)) continue;
        bool parsed = false;
        Json message = Json::Parse(text.data(), text.size(), &parsed);
        if (!parsed || !message.IsObject()) continue;

        if (message.Has("id")) {
            Answer(message["id"].AsInt(-1), !message.Has("error"), message["result"]);
            continue;
        }

        if (m_filter && m_filter(message)) continue;
        PostToUi([this, message = std::move(message)] {
            if (m_handler) m_handler(message);
        });
    }
    FailAllWaiters();
}
