#include "engine/DevToolsPipe.h"

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

bool DevToolsPipe::Receive(std::string& message, bool& cut) {
    message.clear();
    cut = false;
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
        // What is kept of this piece: all of it, or, once the message is too long, up to the head.
        if (!cut && piece > kMaxMessage - message.size()) {
            cut = true;
            if (message.size() > kCutHead) message.resize(kCutHead);
        }
        const size_t keep = cut ? std::min(piece, kCutHead - message.size()) : piece;
        message.append(begin, keep);
        m_start += piece;
        if (end) {
            ++m_start;  // the NUL
            return true;
        }
    }
}

void DevToolsPipe::Shutdown() { m_stream->Shutdown(); }
