#include "tests/engine/LoopbackHttpServer.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>

LoopbackHttpServer::LoopbackHttpServer() {
    WSAStartup(MAKEWORD(2, 2), &m_wsa);
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

LoopbackHttpServer::~LoopbackHttpServer() {
    m_stopping = true;
    if (m_listener != INVALID_SOCKET) closesocket(m_listener);
    if (m_acceptor.joinable()) m_acceptor.join();
    SetEvent(m_stop);
    std::vector<std::thread> connections;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        connections.swap(m_connections);
    }
    for (std::thread& t : connections) t.join();
    CloseHandle(m_stop);
    WSACleanup();
}

bool LoopbackHttpServer::Start() {
    m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_listener == INVALID_SOCKET) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_listener, 64) != 0)
        return false;
    int size = sizeof addr;
    getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &size);
    m_port = ntohs(addr.sin_port);
    m_acceptor = std::thread([this] { AcceptLoop(); });
    return true;
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::wstring LoopbackHttpServer::WideUrl(const std::string& path) const {
    std::string url = Url(path);
    return std::wstring(url.begin(), url.end());
}

void LoopbackHttpServer::AddPage(const std::string& path, const std::string& body, const std::string& contentType) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_pages[path] = {contentType, body};
}

std::vector<LoggedRequest> LoopbackHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_log;
}

bool LoopbackHttpServer::WasRequested(const std::string& path) const {
    std::lock_guard<std::mutex> lock(m_lock);
    return std::any_of(m_log.begin(), m_log.end(), [&](const LoggedRequest& r) { return r.path == path; });
}

void LoopbackHttpServer::AcceptLoop() {
    while (!m_stopping) {
        SOCKET client = accept(m_listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        std::lock_guard<std::mutex> lock(m_lock);
        m_connections.emplace_back([this, client] { Serve(client); });
    }
}

namespace {

std::string HeaderValue(const std::string& head, const std::string& name) {
    std::string lower = head;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return static_cast<char>(tolower(c)); });
    size_t at = lower.find("\r\n" + name + ":");
    if (at == std::string::npos) return std::string();
    size_t start = at + name.size() + 3;
    size_t end = head.find("\r\n", start);
    std::string value = head.substr(start, end - start);
    while (!value.empty() && value[0] == ' ') value.erase(0, 1);
    return value;
}

}  // namespace

void LoopbackHttpServer::Serve(SOCKET client) {
    // The browser keeps idle connections open; waiting on the stop event as well lets the
    // destructor end them instead of waiting for the browser.
    HANDLE readable = WSACreateEvent();
    WSAEventSelect(client, readable, FD_READ | FD_CLOSE);
    std::string data;
    char buf[4096];
    size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos && data.size() < 65536) {
        HANDLE waits[2] = {readable, m_stop};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) break;
        WSAResetEvent(readable);
        int got = recv(client, buf, sizeof buf, 0);
        if (got == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) continue;
        if (got <= 0) break;
        data.append(buf, static_cast<size_t>(got));
    }
    WSAEventSelect(client, readable, 0);
    WSACloseEvent(readable);
    u_long blocking = 0;
    ioctlsocket(client, FIONBIO, &blocking);
    if (headEnd != std::string::npos) {
        std::string head = data.substr(0, headEnd);
        LoggedRequest request;
        size_t sp1 = head.find(' ');
        size_t sp2 = head.find(' ', sp1 + 1);
        request.method = head.substr(0, sp1);
        request.path = head.substr(sp1 + 1, sp2 - sp1 - 1);
        request.userAgent = HeaderValue(head, "user-agent");
        request.acceptLanguage = HeaderValue(head, "accept-language");
        std::string pathOnly = request.path.substr(0, request.path.find('?'));
        std::string status = "404 Not Found";
        std::string type = "text/plain";
        std::string body = "not found";
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_log.push_back(request);
            auto page = m_pages.find(pathOnly);
            if (page != m_pages.end()) {
                status = "200 OK";
                type = page->second.first;
                body = page->second.second;
            }
        }
        std::string answer = "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                             "\r\nCache-Control: no-store\r\nConnection: close\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n" + (request.method == "HEAD" ? "" : body);
        send(client, answer.data(), static_cast<int>(answer.size()), 0);
    }
    shutdown(client, SD_SEND);
    closesocket(client);
}
