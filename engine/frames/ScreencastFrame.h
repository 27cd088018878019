// A screencast frame as the browser sends it, taken apart without building a JSON tree: its
// pixels are most of the message (megabytes of base64), and the tree would copy them and cost
// several times their size. Frames are decoded into buffers that are used again, so a moving
// page makes no allocation per frame.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/frames/FrameDecoder.h"

struct ScreencastFrame {
    std::string session;    // the page's session
    int ackId = 0;          // what the acknowledgement names
    double scrollX = 0;     // where the page was scrolled to (its metadata)
    double scrollY = 0;
    size_t dataOffset = 0;  // the base64 image within the message
    size_t dataSize = 0;
};

// True when `text` is a whole "Page.screencastFrame" event; fills `frame`. Anything else, or a
// frame message that is not as the browser writes them, is false and left to the JSON path.
bool ParseScreencastFrame(const std::string& text, ScreencastFrame& frame);

// Decoded frames handed out for one use and taken back when the last user lets go. Any thread.
class FramePool {
public:
    std::shared_ptr<DecodedFrame> Take();

private:
    // Enough for the frame being shown, one being decoded and one on its way between them.
    static constexpr size_t kKept = 3;

    std::mutex m_lock;  // guards m_free
    std::vector<std::unique_ptr<DecodedFrame>> m_free;
};
