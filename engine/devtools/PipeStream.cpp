#include "engine/devtools/PipeStream.h"

#include <climits>
#include <mutex>

namespace {

// Larger pieces gain nothing; pipes and sockets move at most this much per call anyway.
constexpr size_t kMaxPiece = 1u << 20;

class HandleStream : public PipeStream {
public:
    HandleStream(UniqueHandle toBrowser, UniqueHandle fromBrowser)
        : m_toBrowser(std::move(toBrowser)), m_fromBrowser(std::move(fromBrowser)) {}

    bool Write(const char* data, size_t size) override {
        std::lock_guard<std::mutex> lock(m_writeLock);
        while (size > 0) {
            DWORD written = 0;
            const DWORD piece = static_cast<DWORD>(size < kMaxPiece ? size : kMaxPiece);
            if (!m_toBrowser || !WriteFile(m_toBrowser.Get(), data, piece, &written, nullptr) || written == 0)
                return false;
            data += written;
            size -= written;
        }
        return true;
    }

    size_t Read(char* buffer, size_t size) override {
        DWORD read = 0;
        const DWORD piece = static_cast<DWORD>(size < kMaxPiece ? size : kMaxPiece);
        if (!ReadFile(m_fromBrowser.Get(), buffer, piece, &read, nullptr)) return 0;
        return read;
    }

    void Shutdown() override {
        std::lock_guard<std::mutex> lock(m_writeLock);
        m_toBrowser.Reset();
    }

private:
    std::mutex m_writeLock;     // guards m_toBrowser
    UniqueHandle m_toBrowser;   // owned: the write end of the browser's command pipe
    UniqueHandle m_fromBrowser;  // owned: the read end of the browser's answer pipe
};

class SocketStream : public PipeStream {
public:
    explicit SocketStream(UniqueSocket socket) : m_socket(std::move(socket)) {}

    bool Write(const char* data, size_t size) override {
        while (size > 0) {
            const int piece = static_cast<int>(size < kMaxPiece ? size : kMaxPiece);
            const int sent = send(m_socket.Get(), data, piece, 0);
            if (sent <= 0) return false;
            data += sent;
            size -= static_cast<size_t>(sent);
        }
        return true;
    }

    size_t Read(char* buffer, size_t size) override {
        const int piece = static_cast<int>(size < kMaxPiece ? size : kMaxPiece);
        const int got = recv(m_socket.Get(), buffer, piece, 0);
        return got > 0 ? static_cast<size_t>(got) : 0;
    }

    void Shutdown() override { shutdown(m_socket.Get(), SD_BOTH); }

private:
    UniqueSocket m_socket;  // owned: both directions
};

}  // namespace

std::unique_ptr<PipeStream> MakeHandleStream(UniqueHandle toBrowser, UniqueHandle fromBrowser) {
    return std::make_unique<HandleStream>(std::move(toBrowser), std::move(fromBrowser));
}

std::unique_ptr<PipeStream> MakeSocketStream(UniqueSocket socket) {
    return std::make_unique<SocketStream>(std::move(socket));
}
