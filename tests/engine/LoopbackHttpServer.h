// A small HTTP/1.1 server on 127.0.0.1 for tests: fixed pages by path, and a log of what the
// browser asked for. One thread accepts; each connection is answered on its own thread and closed.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct LoggedRequest {
    std::string method;
    std::string path;
    std::string userAgent;
    std::string acceptLanguage;
};

class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    bool Start();  // listens on a free port
    unsigned short Port() const { return m_port; }
    std::string Url(const std::string& path) const;
    std::wstring WideUrl(const std::string& path) const;

    void AddPage(const std::string& path, const std::string& body, const std::string& contentType = "text/html");

    std::vector<LoggedRequest> Requests() const;
    bool WasRequested(const std::string& path) const;

private:
    void AcceptLoop();
    void Serve(SOCKET client);

    WSADATA m_wsa{};
    SOCKET m_listener = INVALID_SOCKET;  // owned
    unsigned short m_port = 0;
    std::thread m_acceptor;
    std::atomic<bool> m_stopping{false};
    HANDLE m_stop = nullptr;  // owned: manual-reset event that ends every connection's wait
    mutable std::mutex m_lock;  // guards the members below
    std::map<std::string, std::pair<std::string, std::string>> m_pages;  // path -> (type, body)
    std::vector<LoggedRequest> m_log;
    std::vector<std::thread> m_connections;
};
