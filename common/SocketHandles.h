// Owners for Winsock: a socket, and the library's start-up for a scope. Header only: a user links
// ws2_32 itself. Include before <windows.h>, as Winsock requires.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <utility>

// A Winsock socket closed with closesocket.
class UniqueSocket {
public:
    UniqueSocket() = default;
    explicit UniqueSocket(SOCKET s) : m_s(s) {}
    ~UniqueSocket() { Reset(); }
    UniqueSocket(UniqueSocket&& other) noexcept : m_s(other.Release()) {}
    UniqueSocket& operator=(UniqueSocket&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;

    SOCKET Get() const { return m_s; }
    bool IsValid() const { return m_s != INVALID_SOCKET; }
    SOCKET Release() { return std::exchange(m_s, INVALID_SOCKET); }
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
