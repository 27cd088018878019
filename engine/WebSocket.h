// A blocking WebSocket client (RFC 6455) over Winsock, enough for the DevTools endpoint:
// text messages, fragmentation, ping/pong and close. One thread receives; any thread may send.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <mutex>
#include <string>

// A Winsock socket closed with closesocket.
class UniqueSocket {
public:
    UniqueSocket() = default;
    explicit UniqueSocket(SOCKET s) : m_s(s) {}
    ~UniqueSocket() { Reset(); }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;
    SOCKET Get() const { return m_s; }
    bool IsValid() const { return m_s != INVALID_SOCKET; }
    void Reset(SOCKET s = INVALID_SOCKET) {
        if (m_s != INVALID_SOCKET) closesocket(m_s);
        m_s = s;
    }

private:
    SOCKET m_s = INVALID_SOCKET;
};

// WSAStartup for the lifetime of the object.
class WinsockScope {
public:
    WinsockScope() { m_ok = WSAStartup(MAKEWORD(2, 2), &m_data) == 0; }
    ~WinsockScope() {
        if (m_ok) WSACleanup();
    }
    WinsockScope(const WinsockScope&) = delete;
    WinsockScope& operator=(const WinsockScope&) = delete;
    bool Ok() const { return m_ok; }

private:
    WSADATA m_data{};
    bool m_ok = false;
};

// Connects a TCP socket to 127.0.0.1:port; invalid on failure.
SOCKET ConnectLoopback(unsigned short port);

class WebSocketClient {
public:
    // Largest message accepted; DevTools screenshots of a large view stay well below it.
    static constexpr size_t kMaxMessage = 64u * 1024u * 1024u;
    static constexpr size_t kCutHead = 256;

    // Opens the connection and completes the opening handshake for `path` ("/devtools/...").
    bool Connect(unsigned short port, const std::string& path);

    // Sends one text message. Safe from any thread; false once the connection is gone.
    bool SendText(const std::string& text);

    // Blocks until the next complete text message. False when the connection ends or breaks.
    // A message longer than kMaxMessage is read to its end but only its first kCutHead bytes are
    // kept, with `cut` set, so that one oversized message (a page can make one) costs neither the
    // memory nor the connection.
    bool Receive(std::string& message, bool& cut);

    // Wakes a thread blocked in Receive; further sends fail.
    void Shutdown();

private:
    bool SendFrame(unsigned char opcode, const char* data, size_t size);
    bool ReadExact(char* out, size_t size);
    bool Discard(unsigned long long size);

    UniqueSocket m_socket;  // owned
    std::mutex m_sendLock;  // frames of concurrent senders must not interleave
    std::string m_pending;  // bytes read past the handshake answer
};
