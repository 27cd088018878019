// Dialogs that cannot trap the player. A view shows at most one dialog at a time; a page that
// opens a dialog right after its previous one closed, more than kMaxQuick times within kWindowMs,
// gets no more dialogs until its main frame navigates, as a browser offers to "prevent this page
// from creating additional dialogs". Refused dialogs are answered at once, as dismissed.
//
// The reader thread asks as dialogs open and tells of navigations; the UI thread tells when a
// dialog it showed has closed. Ticks are GetTickCount values. Safe from any thread.
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <mutex>
#include <string>

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
    Verdict Opening(const std::string& session, DWORD tick);
    void Closed(const std::string& session, DWORD tick);
    // The page's main frame has a new document: it may have dialogs again.
    void Navigated(const std::string& session);
    void Remove(const std::string& session);

private:
    struct Page {
        bool open = false;
        bool blocked = false;
        bool closedOnce = false;
        DWORD lastClosed = 0;
        std::deque<DWORD> quick;  // ticks of the quick dialogs of the last kWindowMs
    };

    std::mutex m_lock;  // guards m_pages
    std::map<std::string, Page> m_pages;  // by session
};
