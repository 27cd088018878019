// The player's clicks and key presses in a view, which alone let its page open a popup: one
// popup per click or key press, within a second of it. (The browser has a rule of its own, with a
// longer time; a popup opens only when both allow it.)
//
// One per page. The UI thread grants an activation as it hands the press to the page, and
// refreshes it when the browser has taken the press and its release; the reader thread consumes
// it when the page asks for a popup. Ticks are GetTickCount values. Not locked: its page session
// guards it.
#pragma once

#include <windows.h>

class UserActivation {
public:
    static constexpr DWORD kLifetimeMs = 1000;

    // A new activation; the number names it for Refresh.
    unsigned Grant(DWORD tick);
    // The browser took the input of activation `id` at `tick`: the second starts then, if that
    // activation is still the latest (used or not, it stays so).
    void Refresh(unsigned id, DWORD tick);
    // True once for an activation, within kLifetimeMs of it.
    bool Consume(DWORD tick);

private:
    unsigned m_id = 0;
    unsigned m_next = 1;
    DWORD m_tick = 0;
    bool m_used = true;  // no activation yet
};
