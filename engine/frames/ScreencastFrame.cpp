#include "engine/frames/ScreencastFrame.h"

#include <cstring>

#include "engine/devtools/Json.h"

bool ParseScreencastFrame(const std::string& text, ScreencastFrame& frame) {
    // The browser writes an event's method first; any other message is not looked through.
    static const char kMethod[] = "{\"method\":\"Page.screencastFrame\"";
    static const char kData[] = "\"data\":\"";
    if (text.compare(0, sizeof kMethod - 1, kMethod) != 0) return false;
    const size_t key = text.find(kData);
    if (key == std::string::npos) return false;
    const size_t begin = key + sizeof kData - 1;
    const size_t end = text.find('"', begin);
    if (end == std::string::npos) return false;
    // The rest of the message, without the image, is small: its members are read as JSON, which
    // also shows that the text cut out was the image string of the frame's parameters.
    std::string rest;
    rest.reserve(text.size() - (end - begin));
    rest.append(text, 0, begin).append(text, end, std::string::npos);
    bool ok = false;
    const Json message = Json::Parse(rest.data(), rest.size(), &ok);
    const Json& params = message["params"];
    if (!ok || message["method"].AsString() != "Page.screencastFrame" || !params["data"].IsString() ||
        !params["data"].AsString().empty() || !params["sessionId"].IsNumber())
        return false;
    frame.session = message["sessionId"].AsString();
    frame.ackId = params["sessionId"].AsInt();
    frame.scrollX = params["metadata"]["scrollOffsetX"].AsNumber();
    frame.scrollY = params["metadata"]["scrollOffsetY"].AsNumber();
    frame.dataOffset = begin;
    frame.dataSize = end - begin;
    return true;
}

std::shared_ptr<DecodedFrame> FramePool::Take() {
    std::unique_ptr<DecodedFrame> frame;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_free.empty()) {
            frame = std::move(m_free.back());
            m_free.pop_back();
        }
    }
    if (!frame) frame = std::make_unique<DecodedFrame>();
    return std::shared_ptr<DecodedFrame>(frame.release(), [this](DecodedFrame* used) {
        std::unique_ptr<DecodedFrame> back(used);
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_free.size() < kKept) m_free.push_back(std::move(back));
    });
}
