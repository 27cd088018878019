#include "tests/support/LoopbackHttpServer.h"

#include "common/Handles.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <set>

namespace {

constexpr size_t kMaxRequestHead = 64 * 1024;
constexpr size_t kMaxRequestBody = 16 * 1024 * 1024;

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 204: return "No Content";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 304: return "Not Modified";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

// Parses "METHOD target HTTP/1.x" and the header lines of `head` (without the blank line).
bool ParseHead(const std::string& head, RecordedRequest& request) {
    size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const size_t space1 = requestLine.find(' ');
    const size_t space2 = requestLine.find(' ', space1 == std::string::npos ? 0 : space1 + 1);
    if (space1 == std::string::npos || space2 == std::string::npos) return false;
    request.method = requestLine.substr(0, space1);
    request.target = requestLine.substr(space1 + 1, space2 - space1 - 1);
    while (lineEnd != std::string::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        request.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    }
    return true;
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
    for (const auto& header : headers) {
        if (EqualsNoCase(header.first, name)) return header.second;
    }
    return std::string();
}

struct LoopbackHttpServer::State {
    mutable std::mutex lock;
    mutable std::condition_variable requestArrived;
    SOCKET listener = INVALID_SOCKET;          // guarded by lock
    std::set<SOCKET> connections;              // open connection sockets, guarded by lock
    std::map<std::string, HttpRoute> routes;   // guarded by lock
    std::vector<RecordedRequest> requests;     // guarded by lock
    std::vector<std::thread> threads;          // accept thread first; guarded by lock
    UniqueHandle stopping{CreateEventW(nullptr, TRUE, FALSE, nullptr)};  // set by Stop
    bool wsaStarted = false;
};

LoopbackHttpServer::LoopbackHttpServer() : m_state(new State) {
    WSADATA data;
    m_state->wsaStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

LoopbackHttpServer::~LoopbackHttpServer() {
    Stop();
    if (m_state->wsaStarted) WSACleanup();
}

bool LoopbackHttpServer::Start(uint16_t port) {
    if (!m_state->wsaStarted || m_state->listener != INVALID_SOCKET) return false;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) return false;
    // Connections of an earlier test process on a fixed port linger in TIME_WAIT; under Wine this
    // lets the port be bound again all the same (tests sharing a fixed port hold a lock).
    if (port != 0) {
        BOOL reuse = TRUE;
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    int length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, SOMAXCONN) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(listener);
        return false;
    }
    m_port = ntohs(address.sin_port);
    std::lock_guard<std::mutex> guard(m_state->lock);
    m_state->listener = listener;
    ResetEvent(m_state->stopping.Get());
    m_state->threads.emplace_back(&LoopbackHttpServer::AcceptLoop, this);
    return true;
}

bool LoopbackHttpServer::StartWhenFree(uint16_t port, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!Start(port)) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(100);
    }
    return true;
}

void LoopbackHttpServer::Stop() {
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> guard(m_state->lock);
        SetEvent(m_state->stopping.Get());
        if (m_state->listener != INVALID_SOCKET) {
            closesocket(m_state->listener);
            m_state->listener = INVALID_SOCKET;
        }
        // Each connection's thread closes its own socket; shutting it down wakes a blocked recv.
        for (SOCKET connection : m_state->connections) shutdown(connection, SD_BOTH);
    }
    // The accept thread may still add a connection thread until it has ended, so join it first.
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(m_state->lock);
            threads.swap(m_state->threads);
        }
        if (threads.empty()) break;
        for (std::thread& thread : threads) thread.join();
        threads.clear();
    }
}

std::wstring LoopbackHttpServer::BaseUrl() const { return L"http://127.0.0.1:" + std::to_wstring(m_port); }

void LoopbackHttpServer::SetRoute(const std::string& target, HttpRoute route) {
    std::lock_guard<std::mutex> guard(m_state->lock);
    m_state->routes[target] = std::move(route);
}

void LoopbackHttpServer::AddPage(const std::string& path, std::string body, std::string contentType) {
    HttpRoute route = HttpRoute::Ok(std::move(body));
    route.contentType = std::move(contentType);
    SetRoute(path, std::move(route));
}

std::wstring LoopbackHttpServer::Url(const std::string& path) const {
    return BaseUrl() + std::wstring(path.begin(), path.end());
}

bool LoopbackHttpServer::WasRequested(const std::string& target) const {
    std::lock_guard<std::mutex> guard(m_state->lock);
    for (const RecordedRequest& request : m_state->requests) {
        if (request.target == target) return true;
    }
    return false;
}

std::vector<RecordedRequest> LoopbackHttpServer::Requests() const {
    std::lock_guard<std::mutex> guard(m_state->lock);
    return m_state->requests;
}

bool LoopbackHttpServer::WaitForRequests(size_t count, DWORD timeoutMs) const {
    std::unique_lock<std::mutex> guard(m_state->lock);
    return m_state->requestArrived.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                            [&] { return m_state->requests.size() >= count; });
}

void LoopbackHttpServer::AcceptLoop() {
    SOCKET listener;
    {
        std::lock_guard<std::mutex> guard(m_state->lock);
        listener = m_state->listener;
    }
    for (;;) {
        SOCKET connection = accept(listener, nullptr, nullptr);
        if (connection == INVALID_SOCKET) return;  // Stop closed the listener
        std::lock_guard<std::mutex> guard(m_state->lock);
        if (WaitForSingleObject(m_state->stopping.Get(), 0) == WAIT_OBJECT_0) {
            closesocket(connection);
            return;
        }
        m_state->connections.insert(connection);
        m_state->threads.emplace_back(&LoopbackHttpServer::Serve, this, static_cast<uintptr_t>(connection));
    }
}

void LoopbackHttpServer::Serve(uintptr_t handle) {
    const SOCKET connection = static_cast<SOCKET>(handle);
    std::string received;
    char buffer[4096];
    size_t headEnd = std::string::npos;
    while ((headEnd = received.find("\r\n\r\n")) == std::string::npos && received.size() < kMaxRequestHead) {
        const int count = recv(connection, buffer, sizeof buffer, 0);
        if (count <= 0) break;
        received.append(buffer, static_cast<size_t>(count));
    }
    RecordedRequest request;
    if (headEnd != std::string::npos && ParseHead(received.substr(0, headEnd), request)) {
        const size_t bodyLength = std::strtoull(request.Header("Content-Length").c_str(), nullptr, 10);
        request.body = received.substr(headEnd + 4);
        while (request.body.size() < bodyLength && bodyLength <= kMaxRequestBody) {
            const int count = recv(connection, buffer, sizeof buffer, 0);
            if (count <= 0) break;
            request.body.append(buffer, static_cast<size_t>(count));
        }
        HttpRoute route;
        if (!FindRoute(request.target, route)) route = HttpRoute::Status(404, "not found");
        {
            std::lock_guard<std::mutex> guard(m_state->lock);
            m_state->requests.push_back(request);
        }
        m_state->requestArrived.notify_all();
        Answer(handle, route);
    }
    shutdown(connection, SD_SEND);
    std::lock_guard<std::mutex> guard(m_state->lock);
    m_state->connections.erase(connection);
    closesocket(connection);
}

bool LoopbackHttpServer::FindRoute(const std::string& target, HttpRoute& route) const {
    std::lock_guard<std::mutex> guard(m_state->lock);
    auto found = m_state->routes.find(target);
    if (found == m_state->routes.end()) found = m_state->routes.find(target.substr(0, target.find('?')));
    if (found == m_state->routes.end()) return false;
    route = found->second;
    return true;
}

void LoopbackHttpServer::Answer(uintptr_t socket, const HttpRoute& route) {
    using Delivery = HttpRoute::Delivery;
    if (route.delivery == Delivery::NeverAnswer) {
        WaitForSingleObject(m_state->stopping.Get(), INFINITE);
        return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(route.status) + " " + ReasonPhrase(route.status) + "\r\n";
    head += "Content-Type: " + route.contentType + "\r\n";
    // Every answer is fresh: a cached copy from an earlier test must never stand in for it.
    head += "Cache-Control: no-store\r\nConnection: close\r\n";
    if (route.delivery == Delivery::Chunked) {
        head += "Transfer-Encoding: chunked\r\n";
    } else {
        head += "Content-Length: " + std::to_string(route.body.size()) + "\r\n";
    }
    for (const auto& header : route.headers) head += header.first + ": " + header.second + "\r\n";
    head += "\r\n";

    const size_t step = std::max<size_t>(route.writeSize, 1);
    switch (route.delivery) {
        case Delivery::Whole:
            SendAll(socket, (head + route.body).data(), head.size() + route.body.size());
            break;
        case Delivery::SmallWrites:
            if (!SendAll(socket, head.data(), head.size())) return;
            for (size_t offset = 0; offset < route.body.size(); offset += step) {
                if (offset > 0 && !Pause(route.delayMs)) return;
                if (!SendAll(socket, route.body.data() + offset, std::min(step, route.body.size() - offset))) return;
            }
            break;
        case Delivery::Chunked:
            if (!SendAll(socket, head.data(), head.size())) return;
            for (size_t offset = 0; offset < route.body.size(); offset += step) {
                if (offset > 0 && !Pause(route.delayMs)) return;
                const size_t size = std::min(step, route.body.size() - offset);
                char sizeLine[32];
                const int length = std::snprintf(sizeLine, sizeof sizeLine, "%zx\r\n", size);
                const std::string chunk = std::string(sizeLine, static_cast<size_t>(length)) +
                                          route.body.substr(offset, size) + "\r\n";
                if (!SendAll(socket, chunk.data(), chunk.size())) return;
            }
            SendAll(socket, "0\r\n\r\n", 5);
            break;
        case Delivery::CloseMidBody:
            SendAll(socket, (head + route.body.substr(0, route.closeAfter)).data(),
                    head.size() + std::min(route.closeAfter, route.body.size()));
            break;
        case Delivery::NeverAnswer:
            break;
    }
}

bool LoopbackHttpServer::SendAll(uintptr_t handle, const char* data, size_t size) {
    const SOCKET socket = static_cast<SOCKET>(handle);
    while (size > 0) {
        const int sent = send(socket, data, static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

bool LoopbackHttpServer::Pause(DWORD ms) {
    return ms == 0 || WaitForSingleObject(m_state->stopping.Get(), ms) == WAIT_TIMEOUT;
}
