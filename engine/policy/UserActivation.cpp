#include "engine/policy/UserActivation.h"

unsigned UserActivation::Grant(DWORD tick) {
    m_id = m_next++;
    m_tick = tick;
    m_used = false;
    return m_id;
}

void UserActivation::Refresh(unsigned id, DWORD tick) {
    if (m_id == id) m_tick = tick;
}

bool UserActivation::Consume(DWORD tick) {
    if (m_used || tick - m_tick > kLifetimeMs) return false;
    m_used = true;
    return true;
}
