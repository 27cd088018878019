// A small HTTP/1.1 server on 127.0.0.1 for tests. It runs on threads of its own inside the test
// process and answers each request from the route the test set for its target. One request per
// connection ("Connection: close").
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct HttpRoute {
    enum class Delivery {
        Whole,         // headers and body in one write, with Content-Length
        SmallWrites,   // with Content-Length, the body in writes of `writeSize` bytes
        Chunked,       // Transfer-Encoding: chunked, one chunk per `writeSize` bytes
        CloseMidBody,  // announces the whole body, sends `closeAfter` bytes of it and closes
        NeverAnswer,   // reads the request and stays silent until the server stops
    };

    int status = 200;
    std::string body;
    std::string contentType = "text/xml; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers;  // extra response headers
    Delivery delivery = Delivery::Whole;
    size_t writeSize = 1;
    DWORD delayMs = 0;  // pause between two writes of SmallWrites / Chunked
    size_t closeAfter = 0;

    static HttpRoute Ok(std::string body) {
        HttpRoute route;
        route.body = std::move(body);
        return route;
    }
    static HttpRoute Status(int status, std::string body = std::string()) {
        HttpRoute route;
        route.status = status;
        route.body = std::move(body);
        return route;
    }
};

struct RecordedRequest {
    std::string method;
    std::string target;  // path and query as sent
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name (case-insensitive), or "".
    std::string Header(const std::string& name) const;
};

class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // Listens on 127.0.0.1:`port` (0: a free port). False when the port cannot be had.
    bool Start(uint16_t port = 0);
    // Listens on the fixed `port`, waiting up to `timeoutMs` while another process (a test run of
    // another checkout, a lingering connection of the last test) holds it.
    bool StartWhenFree(uint16_t port, DWORD timeoutMs = 120000);
    // Closes every connection and joins every thread. Also done by the destructor.
    void Stop();

    uint16_t Port() const { return m_port; }
    // "http://127.0.0.1:<port>"
    std::wstring BaseUrl() const;

    // Answers requests whose target is exactly `target` (path with query), or whose path part is
    // `target` when no route names the full target. Unrouted targets get 404.
    void SetRoute(const std::string& target, HttpRoute route);
    // A page for a browser: 200 with `body` at `path`.
    void AddPage(const std::string& path, std::string body, std::string contentType = "text/html");
    // The page's full address, "http://127.0.0.1:<port><path>".
    std::wstring Url(const std::string& path) const;

    std::vector<RecordedRequest> Requests() const;
    // Whether a request for exactly `target` (path with query) has arrived.
    bool WasRequested(const std::string& target) const;
    // Waits up to `timeoutMs` until at least `count` requests have been received.
    bool WaitForRequests(size_t count, DWORD timeoutMs) const;

private:
    void AcceptLoop();
    void Serve(uintptr_t socket);
    bool FindRoute(const std::string& target, HttpRoute& route) const;
    void Answer(uintptr_t socket, const HttpRoute& route);
    bool SendAll(uintptr_t socket, const char* data, size_t size);
    bool Pause(DWORD ms);  // false when the server is stopping

    struct State;
    std::unique_ptr<State> m_state;  // owned: sockets, threads, routes, records
    uint16_t m_port = 0;
};
