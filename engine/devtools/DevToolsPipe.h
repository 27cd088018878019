// The browser's DevTools pipe: JSON messages, each ended by a NUL byte, over a PipeStream.
// One thread receives; any thread may send.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/devtools/PipeStream.h"

class DevToolsPipe {
public:
    // Largest message kept; DevTools screenshots of a large view stay well below it.
    static constexpr size_t kMaxMessage = 64u * 1024u * 1024u;
    static constexpr size_t kCutHead = 256;
    static constexpr size_t kCutTail = 256;

    // How many bytes of a message to keep (at most kMaxMessage), decided from its first bytes:
    // kCutHead of them, or the whole message when it is shorter.
    using LimitOf = std::function<size_t(const std::string& head)>;

    explicit DevToolsPipe(std::unique_ptr<PipeStream> stream);
    DevToolsPipe(const DevToolsPipe&) = delete;
    DevToolsPipe& operator=(const DevToolsPipe&) = delete;

    // Sends one message (which holds no NUL: JSON escapes it). False once the connection is gone.
    bool Send(std::string message);

    // Blocks until the next whole message. False when the connection ends or breaks. A message
    // longer than its limit is read to its end but only its first kCutHead bytes are kept in
    // `message` and its last kCutTail in `tail`, with `cut` set, so that one oversized message (a
    // page can make one) costs neither the memory nor the connection. Without `limitOf` the limit
    // is kMaxMessage.
    bool Receive(std::string& message, std::string& tail, bool& cut, const LimitOf& limitOf = LimitOf());

    // Ends the launcher's side (see PipeStream::Shutdown).
    void Shutdown();

private:
    std::unique_ptr<PipeStream> m_stream;  // owned
    std::mutex m_sendLock;                  // messages of concurrent senders must not interleave
    std::vector<char> m_buffer;             // received bytes not yet taken, from m_start to m_end
    size_t m_start = 0;
    size_t m_end = 0;
};
