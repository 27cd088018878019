#include "engine/WebSocket.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

std::string Base64(const unsigned char* data, size_t size) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < size; i += 3) {
        unsigned v = data[i] << 16;
        if (i + 1 < size) v |= data[i + 1] << 8;
        if (i + 2 < size) v |= data[i + 2];
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < size ? kAlphabet[(v >> 6) & 63] : '=';
        out += i + 2 < size ? kAlphabet[v & 63] : '=';
    }
    return out;
}

bool SendAll(SOCKET s, const char* data, size_t size) {
    while (size > 0) {
        int chunk = size > 1u << 20 ? 1 << 20 : static_cast<int>(size);
        int sent = send(s, data, chunk, 0);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

}  // namespace

SOCKET ConnectLoopback(unsigned short port) {
    UniqueSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!s.IsValid()) return INVALID_SOCKET;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return INVALID_SOCKET;
    BOOL noDelay = TRUE;  // DevTools traffic is many small request/answer pairs
    setsockopt(s.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    return s.Release();
}

bool WebSocketClient::Connect(unsigned short port, const std::string& path) {
    m_socket.Reset(ConnectLoopback(port));
    if (!m_socket.IsValid()) return false;

    unsigned char nonce[16];
    std::random_device random;
    for (unsigned char& b : nonce) b = static_cast<unsigned char>(random());
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                          "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " +
                          Base64(nonce, sizeof nonce) + "\r\nSec-WebSocket-Version: 13\r\n\r\n";
    if (!SendAll(m_socket.Get(), request.data(), request.size())) return false;

    // Read the answer head; anything after it already belongs to the first frames.
    std::string head;
    char buf[4096];
    size_t end;
    while ((end = head.find("\r\n\r\n")) == std::string::npos) {
        if (head.size() > 16384) return false;
        int got = recv(m_socket.Get(), buf, sizeof buf, 0);
        if (got <= 0) return false;
        head.append(buf, static_cast<size_t>(got));
    }
    m_pending = head.substr(end + 4);
    head.resize(end);
    return head.compare(0, 12, "HTTP/1.1 101") == 0;
}

bool WebSocketClient::SendFrame(unsigned char opcode, const char* data, size_t size) {
    std::vector<char> frame;
    frame.reserve(size + 14);
    frame.push_back(static_cast<char>(0x80 | opcode));
    if (size < 126) {
        frame.push_back(static_cast<char>(0x80 | size));
    } else if (size <= 0xFFFF) {
        frame.push_back(static_cast<char>(0x80 | 126));
        frame.push_back(static_cast<char>(size >> 8));
        frame.push_back(static_cast<char>(size & 0xFF));
    } else {
        frame.push_back(static_cast<char>(0x80 | 127));
        for (int shift = 56; shift >= 0; shift -= 8)
            frame.push_back(static_cast<char>((static_cast<unsigned long long>(size) >> shift) & 0xFF));
    }
    // Clients must mask; the key only has to be unpredictable to intermediaries, and there are none.
    const unsigned char mask[4] = {0x37, 0xA1, 0x5C, 0xE2};
    frame.insert(frame.end(), reinterpret_cast<const char*>(mask), reinterpret_cast<const char*>(mask) + 4);
    size_t base = frame.size();
    frame.resize(base + size);
    for (size_t i = 0; i < size; ++i) frame[base + i] = static_cast<char>(data[i] ^ mask[i & 3]);

    std::lock_guard<std::mutex> lock(m_sendLock);
    return m_socket.IsValid() && SendAll(m_socket.Get(), frame.data(), frame.size());
}

bool WebSocketClient::SendText(const std::string& text) { return SendFrame(0x1, text.data(), text.size()); }

bool WebSocketClient::ReadExact(char* out, size_t size) {
    size_t fromPending = size < m_pending.size() ? size : m_pending.size();
    if (fromPending) {
        std::memcpy(out, m_pending.data(), fromPending);
        m_pending.erase(0, fromPending);
        out += fromPending;
        size -= fromPending;
    }
    while (size > 0) {
        int chunk = size > 1u << 20 ? 1 << 20 : static_cast<int>(size);
        int got = recv(m_socket.Get(), out, chunk, 0);
        if (got <= 0) return false;
        out += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

bool WebSocketClient::Discard(unsigned long long size) {
    char scratch[65536];
    while (size > 0) {
        const size_t chunk = size < sizeof scratch ? static_cast<size_t>(size) : sizeof scratch;
        if (!ReadExact(scratch, chunk)) return false;
        size -= chunk;
    }
    return true;
}

bool WebSocketClient::Receive(std::string& message, bool& cut) {
    message.clear();
    cut = false;
    for (;;) {
        unsigned char head[2];
        if (!ReadExact(reinterpret_cast<char*>(head), 2)) return false;
        const bool fin = (head[0] & 0x80) != 0;
        const unsigned opcode = head[0] & 0x0F;
        const bool masked = (head[1] & 0x80) != 0;
        unsigned long long length = head[1] & 0x7F;
        if (length == 126) {
            unsigned char ext[2];
            if (!ReadExact(reinterpret_cast<char*>(ext), 2)) return false;
            length = (ext[0] << 8) | ext[1];
        } else if (length == 127) {
            unsigned char ext[8];
            if (!ReadExact(reinterpret_cast<char*>(ext), 8)) return false;
            length = 0;
            for (unsigned char b : ext) length = (length << 8) | b;
        }
        unsigned char mask[4] = {0, 0, 0, 0};
        if (masked && !ReadExact(reinterpret_cast<char*>(mask), 4)) return false;

        if (opcode >= 0x8) {
            // Control frames are short and whole, and may come between the parts of a message.
            if (opcode > 0xA || length > 125 || !fin) return false;
            char payload[125];
            if (length && !ReadExact(payload, static_cast<size_t>(length))) return false;
            for (size_t i = 0; i < length; ++i) payload[i] = static_cast<char>(payload[i] ^ mask[i & 3]);
            if (opcode == 0x8) {  // close: answer it and end
                SendFrame(0x8, payload, length > 2 ? 2 : static_cast<size_t>(length));
                return false;
            }
            if (opcode == 0x9) SendFrame(0xA, payload, static_cast<size_t>(length));  // ping
            continue;
        }
        if (opcode != 0x0 && opcode != 0x1 && opcode != 0x2) return false;

        // What is kept of this frame: all of it, or, once the message is too long, up to the head.
        if (!cut && length > kMaxMessage - message.size()) cut = true;
        unsigned long long keep = length;  // at most kMaxMessage from here on
        if (cut) {
            keep = std::min<unsigned long long>(message.size() < kCutHead ? kCutHead - message.size() : 0, length);
            if (message.size() > kCutHead) message.resize(kCutHead);
        }
        const size_t start = message.size();
        const size_t kept = static_cast<size_t>(keep);
        message.resize(start + kept);
        if (kept && !ReadExact(&message[start], kept)) return false;
        for (size_t i = 0; i < kept; ++i) message[start + i] = static_cast<char>(message[start + i] ^ mask[i & 3]);
        if (!Discard(length - keep)) return false;
        if (fin) return true;
    }
}

void WebSocketClient::Shutdown() {
    std::lock_guard<std::mutex> lock(m_sendLock);
    if (m_socket.IsValid()) shutdown(m_socket.Get(), SD_BOTH);
}
