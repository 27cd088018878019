// The player's clicks and key presses in each view, which alone let its page open a popup: one
// popup per click or key press, within a second of it. (The browser has a rule of its own, with a
// longer time; a popup opens only when both allow it.)
//
// The UI thread grants an activation as it hands the press to the page, and refreshes it when the
// browser has taken the press and its release; the reader thread consumes it when the page asks
// for a popup. Ticks are GetTickCount values. Safe from any thread.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <string>

class UserActivation {
public:
    static constexpr DWORD kLifetimeMs = 1000;

    // A new activation of the page in `session`; the number names it for Refresh.
    unsigned Grant(const std::string& session, DWORD tick);
    // The browser took the input of activation `id` at `tick`: the second starts then, if that
    // activation is still the page's latest (used or not, it stays so).
    void Refresh(const std::string& session, unsigned id, DWORD tick);
    // True once for an activation, within kLifetimeMs of it.
    bool Consume(const std::string& session, DWORD tick);
    void Remove(const std::string& session);

private:
    struct State {
        unsigned id = 0;
        DWORD tick = 0;
        bool used = true;  // no activation yet
    };

    std::mutex m_lock;  // guards everything below
    std::map<std::string, State> m_pages;  // by session
    unsigned m_next = 1;
};
