#include "engine/devtools/DevToolsPipe.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kReadSize = 64 * 1024;

}  // namespace

DevToolsPipe::DevToolsPipe(std::unique_ptr<PipeStream> stream) : m_stream(std::move(stream)), m_buffer(kReadSize) {}

bool DevToolsPipe::Send(std::string message) {
    message.push_back('\0');  // one write a message: the browser reads it whole sooner
    std::lock_guard<std::mutex> lock(m_sendLock);
    return m_stream->Write(message.data(), message.size());
}

bool DevToolsPipe::Receive(std::string& message, std::string& tail, bool& cut, const LimitOf& limitOf) {
    message.clear();
    tail.clear();
    cut = false;
    size_t limit = kMaxMessage;
    bool decided = !limitOf;
    for (;;) {
        if (m_start == m_end) {
            const size_t got = m_stream->Read(m_buffer.data(), m_buffer.size());
            if (got == 0) return false;
            m_start = 0;
            m_end = got;
        }
        const char* begin = m_buffer.data() + m_start;
        const size_t available = m_end - m_start;
        const char* end = static_cast<const char*>(std::memchr(begin, '\0', available));
        const size_t piece = end ? static_cast<size_t>(end - begin) : available;
        m_start += end ? piece + 1 : piece;  // the NUL is not part of the message
        if (cut) {
            // Only the last bytes count from now on: the browser puts a message's session last.
            tail.append(begin, piece);
            if (tail.size() > kCutTail) tail.erase(0, tail.size() - kCutTail);
        } else {
            message.append(begin, piece);  // a piece is at most one read
            if (!decided && (message.size() >= kCutHead || end)) {
                decided = true;
                limit = std::min(kMaxMessage, limitOf(message.substr(0, kCutHead)));
            }
            if (message.size() > limit) {
                cut = true;
                tail = message.substr(message.size() > kCutTail ? message.size() - kCutTail : 0);
                message.resize(std::min(message.size(), kCutHead));
                message.shrink_to_fit();
            }
        }
        if (end) return true;
    }
}

void DevToolsPipe::Shutdown() { m_stream->Shutdown(); }
