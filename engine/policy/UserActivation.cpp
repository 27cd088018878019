#include "engine/policy/UserActivation.h"

unsigned UserActivation::Grant(const std::string& session, DWORD tick) {
    std::lock_guard<std::mutex> lock(m_lock);
    State& state = m_pages[session];
    state.id = m_next++;
    state.tick = tick;
    state.used = false;
    return state.id;
}

void UserActivation::Refresh(const std::string& session, unsigned id, DWORD tick) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_pages.find(session);
    if (it != m_pages.end() && it->second.id == id) it->second.tick = tick;
}

bool UserActivation::Consume(const std::string& session, DWORD tick) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_pages.find(session);
    if (it == m_pages.end() || it->second.used || tick - it->second.tick > kLifetimeMs) return false;
    it->second.used = true;
    return true;
}

void UserActivation::Remove(const std::string& session) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_pages.erase(session);
}
