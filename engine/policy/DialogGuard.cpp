#include "engine/policy/DialogGuard.h"

DialogGuard::Verdict DialogGuard::Opening(const std::string& session, DWORD tick) {
    std::lock_guard<std::mutex> lock(m_lock);
    Page& page = m_pages[session];
    if (page.open || page.blocked) return Verdict::Refuse;
    if (page.closedOnce && tick - page.lastClosed < kQuickMs) {
        while (!page.quick.empty() && tick - page.quick.front() > kWindowMs) page.quick.pop_front();
        page.quick.push_back(tick);
        if (page.quick.size() > kMaxQuick) {
            page.blocked = true;
            page.quick.clear();
            return Verdict::RefuseFromNow;
        }
    }
    page.open = true;
    return Verdict::Show;
}

void DialogGuard::Closed(const std::string& session, DWORD tick) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_pages.find(session);
    if (it == m_pages.end()) return;
    it->second.open = false;
    it->second.closedOnce = true;
    it->second.lastClosed = tick;
}

void DialogGuard::Navigated(const std::string& session) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_pages.find(session);
    if (it == m_pages.end()) return;
    it->second.blocked = false;
    it->second.quick.clear();
}

void DialogGuard::Remove(const std::string& session) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_pages.erase(session);
}
