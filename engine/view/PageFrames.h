// The frames of a view's page as the engine knows them: the handles the interface hands out for
// them, each frame's document address, and which script context is a frame's own page world
// (so that a bound function's caller is named by the browser, never by what the page sends).
// All bounded: a page that makes frames without end cannot make this grow without end. UI thread
// only.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/devtools/Json.h"
#include "platform/wke.h"

class PageFrames {
public:
    static constexpr size_t kMaxFrames = 1024;

    // The handle of a frame, given out once per frame id; past the bound, new frames get none.
    wkeWebFrameHandle Handle(const std::string& frameId);
    bool Is(wkeWebFrameHandle frame, const std::string& frameId) const;

    // A frame's new document; a frame gone.
    void Navigated(const std::string& frameId, const std::string& url);
    void Detached(const std::string& frameId);
    // Runtime.executionContextCreated's context: counted only when it is a frame's page world.
    void ContextCreated(const Json& context);
    void ContextDestroyed(int contextId) { m_contextFrames.erase(contextId); }
    void ContextsCleared() { m_contextFrames.clear(); }

    // The frame whose page world `contextId` is, and its document's address; false when none is known.
    bool Caller(int contextId, std::string* frameId, std::string* url) const;

private:
    std::vector<std::string> m_handles;               // index + 1 is the frame's handle
    std::map<int, std::string> m_contextFrames;       // execution context id -> frame id
    std::map<std::string, std::string> m_frameUrls;   // frame id -> its document's address
};
