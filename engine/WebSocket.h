// A blocking WebSocket client (RFC 6455) over Winsock, enough for the DevTools endpoint:
// text messages, fragmentation, ping/pong and close. One thread receives; any thread may send.
#pragma once

#include "common/SocketHandles.h"

#include <mutex>
#include <string>

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
