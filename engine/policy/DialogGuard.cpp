#include "engine/policy/DialogGuard.h"

DialogGuard::Verdict DialogGuard::Opening(DWORD tick) {
    if (m_open || m_blocked) return Verdict::Refuse;
    if (m_closedOnce && tick - m_lastClosed < kQuickMs) {
        while (!m_quick.empty() && tick - m_quick.front() > kWindowMs) m_quick.pop_front();
        m_quick.push_back(tick);
        if (m_quick.size() > kMaxQuick) {
            m_blocked = true;
            m_quick.clear();
            return Verdict::RefuseFromNow;
        }
    }
    m_open = true;
    return Verdict::Show;
}

void DialogGuard::Closed(DWORD tick) {
    m_open = false;
    m_closedOnce = true;
    m_lastClosed = tick;
}

void DialogGuard::Navigated() {
    m_blocked = false;
    m_quick.clear();
}
