// The browser's DevTools pipe: JSON messages, each ended by a NUL byte, over a PipeStream.
// One thread receives; any thread may send.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/PipeStream.h"

class DevToolsPipe {
public:
    // Largest message kept; DevTools screenshots of a large view stay well below it.
    static constexpr size_t kMaxMessage = 64u * 1024u * 1024u;
    static constexpr size_t kCutHead = 256;

    explicit DevToolsPipe(std::unique_ptr<PipeStream> stream);
    DevToolsPipe(const DevToolsPipe&) = delete;
    DevToolsPipe& operator=(const DevToolsPipe&) = delete;

    // Sends one message (which holds no NUL: JSON escapes it). False once the connection is gone.
    bool Send(std::string message);

    // Blocks until the next whole message. False when the connection ends or breaks. A message
    // longer than kMaxMessage is read to its end but only its first kCutHead bytes are kept, with
    // `cut` set, so that one oversized message (a page can make one) costs neither the memory nor
    // the connection.
    bool Receive(std::string& message, bool& cut);

    // Ends the launcher's side (see PipeStream::Shutdown).
    void Shutdown();

private:
    std::unique_ptr<PipeStream> m_stream;  // owned
    std::mutex m_sendLock;                  // messages of concurrent senders must not interleave
    std::vector<char> m_buffer;             // received bytes not yet taken, from m_start to m_end
    size_t m_start = 0;
    size_t m_end = 0;
};
