#include "engine/policy/NavigationGate.h"

void NavigationGate::AddPage(const std::string& session, const std::string& mainFrameId, bool judged) {
    std::lock_guard<std::mutex> lock(m_lock);
    Page& page = m_pages[session];
    page.mainFrameId = mainFrameId;
    page.judged = judged;
}

void NavigationGate::RemovePage(const std::string& session) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_pages.erase(session);
}

void NavigationGate::SetJudged(const std::string& session, bool judged) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_pages.find(session);
    if (it != m_pages.end()) it->second.judged = judged;
}

void NavigationGate::ForgetRequested(const std::string& session) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_pages.find(session);
    if (it != m_pages.end()) it->second.requested.clear();
}

void NavigationGate::OnNavigationRequested(const std::string& session, const Json& params) {
    // Navigations into a new window are the create-view handler's, not this one's.
    if (params["disposition"].AsString() != "currentTab") return;
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_pages.find(session);
    if (it == m_pages.end() || params["frameId"].AsString() != it->second.mainFrameId) return;
    // Any reason the browser names, also one it adds later; an empty one still counts as asked.
    const std::string& reason = params["reason"].AsString();
    it->second.requested = reason.empty() ? std::string("other") : reason;
}

NavigationGate::Verdict NavigationGate::Decide(const std::string& session, const Json& params, std::string* reason) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_pages.find(session);
    if (it == m_pages.end()) return Verdict::NotOurs;
    Page& page = it->second;
    if (params["frameId"].AsString() != page.mainFrameId || page.requested.empty()) return Verdict::GoOn;
    // The page's request is answered by this request of its main frame, whatever comes of it.
    std::string requested;
    requested.swap(page.requested);
    if (params.Has("redirectedRequestId") || !page.judged) return Verdict::GoOn;
    *reason = std::move(requested);
    return Verdict::Judge;
}
