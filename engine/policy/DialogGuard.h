// Dialogs that cannot trap the player. A page shows at most one dialog at a time; a page that
// opens a dialog right after its previous one closed, more than kMaxQuick times within kWindowMs,
// gets no more dialogs until its main frame navigates, as a browser offers to "prevent this page
// from creating additional dialogs". Refused dialogs are answered at once, as dismissed.
//
// One per page. The reader thread asks as dialogs open and tells of navigations; the UI thread
// tells when a dialog it showed closes. Ticks are GetTickCount values. Not locked: its page
// session guards it.
#pragma once

#include <windows.h>

#include <deque>

class DialogGuard {
public:
    static constexpr DWORD kQuickMs = 1000;  // a dialog this soon after the last one closed is quick
    static constexpr DWORD kWindowMs = 5000;
    static constexpr size_t kMaxQuick = 3;

    enum class Verdict {
        Show,
        Refuse,         // one is open, or the page has no more dialogs
        RefuseFromNow,  // the page has just lost its dialogs until it navigates
    };
    Verdict Opening(DWORD tick);
    void Closed(DWORD tick);
    // The page's main frame has a new document: it may have dialogs again.
    void Navigated();

private:
    bool m_open = false;
    bool m_blocked = false;
    bool m_closedOnce = false;
    DWORD m_lastClosed = 0;
    std::deque<DWORD> m_quick;  // ticks of the quick dialogs of the last kWindowMs
};
