#include "engine/view/PageFrames.h"

#include <algorithm>
#include <cstdint>

wkeWebFrameHandle PageFrames::Handle(const std::string& frameId) {
    auto it = std::find(m_handles.begin(), m_handles.end(), frameId);
    if (it == m_handles.end()) {
        if (m_handles.size() >= kMaxFrames) return nullptr;
        it = m_handles.insert(m_handles.end(), frameId);
    }
    return reinterpret_cast<wkeWebFrameHandle>(static_cast<uintptr_t>(it - m_handles.begin() + 1));
}

bool PageFrames::Is(wkeWebFrameHandle frame, const std::string& frameId) const {
    const uintptr_t index = reinterpret_cast<uintptr_t>(frame);
    return index >= 1 && index <= m_handles.size() && m_handles[index - 1] == frameId;
}

void PageFrames::Navigated(const std::string& frameId, const std::string& url) {
    // Past the bound a new frame stays unknown, and so untrusted, while the frames already known
    // keep their place.
    if (m_frameUrls.size() < kMaxFrames || m_frameUrls.count(frameId)) m_frameUrls[frameId] = url;
}

void PageFrames::Detached(const std::string& frameId) { m_frameUrls.erase(frameId); }

void PageFrames::ContextCreated(const Json& context) {
    // Only the page's own script world counts: isolated worlds are not the page.
    const Json& aux = context["auxData"];
    if (!aux["isDefault"].AsBool() || aux["frameId"].AsString().empty()) return;
    if (m_contextFrames.size() < kMaxFrames) m_contextFrames[context["id"].AsInt()] = aux["frameId"].AsString();
}

bool PageFrames::Caller(int contextId, std::string* frameId, std::string* url) const {
    auto context = m_contextFrames.find(contextId);
    if (context == m_contextFrames.end()) return false;
    auto frameUrl = m_frameUrls.find(context->second);
    if (frameUrl == m_frameUrls.end()) return false;
    *frameId = context->second;
    *url = frameUrl->second;
    return true;
}
