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
// One gate per page. The reader thread sees the browser's events in order and decides; the UI
// thread says whether the page has a handler. Not locked: its page session guards it.
#pragma once

#include <string>
#include <utility>

#include "engine/devtools/Json.h"

class NavigationGate {
public:
    enum class Verdict {
        GoOn,   // may go on without the UI thread
        Judge,  // the handler must judge it on the UI thread
    };

    NavigationGate(std::string mainFrameId, bool judged) : m_mainFrameId(std::move(mainFrameId)), m_judged(judged) {}

    // Whether the page's own navigations are put to a handler.
    void SetJudged(bool judged) { m_judged = judged; }
    // A load the caller starts replaces whatever the page had asked for its main frame.
    void ForgetRequested() { m_requested.clear(); }

    // Page.frameRequestedNavigation of the page.
    void OnNavigationRequested(const Json& params);
    // Fetch.requestPaused of the page. For Judge, `reason` is the reason the page gave for the
    // navigation (anchorClick, formSubmissionGet, ...).
    Verdict Decide(const Json& params, std::string* reason);

private:
    std::string m_mainFrameId;
    bool m_judged;
    std::string m_requested;  // reason of the main frame's next navigation; empty when none
};
