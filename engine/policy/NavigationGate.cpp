#include "engine/policy/NavigationGate.h"

void NavigationGate::OnNavigationRequested(const Json& params) {
    // Navigations into a new window are the create-view handler's, not this one's.
    if (params["disposition"].AsString() != "currentTab" || params["frameId"].AsString() != m_mainFrameId) return;
    // Any reason the browser names, also one it adds later; an empty one still counts as asked.
    const std::string& reason = params["reason"].AsString();
    m_requested = reason.empty() ? std::string("other") : reason;
}

NavigationGate::Verdict NavigationGate::Decide(const Json& params, std::string* reason) {
    if (params["frameId"].AsString() != m_mainFrameId || m_requested.empty()) return Verdict::GoOn;
    // The page's request is answered by this request of its main frame, whatever comes of it.
    std::string requested;
    requested.swap(m_requested);
    if (params.Has("redirectedRequestId") || !m_judged) return Verdict::GoOn;
    *reason = std::move(requested);
    return Verdict::Judge;
}
