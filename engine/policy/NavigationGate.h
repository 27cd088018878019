// Which document requests of a view's page wait for the UI thread.
//
// The browser stops every document request of a view's page so that the page's own navigations
// of its main frame (link clicks, form submissions, script) can be put to the navigation handler,
// which runs on the UI thread. Every other request (a load the caller started, a redirect, a
// sub-frame, a page without a handler) is let go by the reader thread at once. While a navigation
// is under way the browser keeps every command for that page until the navigation has gone on, so
// a request left waiting for a busy UI thread would hold a synchronous script call of that very
// thread for its whole time-out.
//
// The reader thread sees the browser's events in order and decides; the UI thread registers pages
// and says whether they have a handler. Safe from any thread.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "engine/devtools/Json.h"

class NavigationGate {
public:
    enum class Verdict {
        NotOurs,  // no page of this gate: left as it is
        GoOn,     // may go on without the UI thread
        Judge,    // the handler must judge it on the UI thread
    };

    // UI thread.
    void AddPage(const std::string& session, const std::string& mainFrameId, bool judged);
    void RemovePage(const std::string& session);
    // Whether the page's own navigations are put to a handler.
    void SetJudged(const std::string& session, bool judged);
    // A load the caller starts replaces whatever the page had asked for its main frame.
    void ForgetRequested(const std::string& session);

    // Reader thread: Page.frameRequestedNavigation of the page.
    void OnNavigationRequested(const std::string& session, const Json& params);
    // Reader thread: Fetch.requestPaused of the page. For Judge, `reason` is the reason the page
    // gave for the navigation (anchorClick, formSubmissionGet, ...).
    Verdict Decide(const std::string& session, const Json& params, std::string* reason);

private:
    struct Page {
        std::string mainFrameId;
        bool judged = false;
        std::string requested;  // reason of the main frame's next navigation; empty when none
    };

    std::mutex m_lock;  // guards m_pages
    std::map<std::string, Page> m_pages;  // by session
};
