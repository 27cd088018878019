// Navigations that the page asks for in its main frame, put to the navigation handler.
#include "engine/view/WebView.h"

#include "engine/view/CallbackString.h"
#include "engine/view/Engine.h"

namespace {

wkeNavigationType NavigationTypeOf(const std::string& reason) {
    if (reason == "anchorClick") return WKE_NAVIGATION_TYPE_LINKCLICK;
    if (reason == "formSubmissionGet" || reason == "formSubmissionPost") return WKE_NAVIGATION_TYPE_FORMSUBMITTE;
    if (reason == "reload") return WKE_NAVIGATION_TYPE_RELOAD;
    return WKE_NAVIGATION_TYPE_OTHER;
}

}  // namespace

void WebView::SetNavigationHandler(wkeNavigationCallback callback, void* param) {
    m_onNavigation = {callback, param};
    if (Attached()) m_page->SetJudged(callback != nullptr);
}

void WebView::JudgeNavigation(const Json& params, const std::string& reason, DWORD arrival) {
    if (m_destroyed) return;
    Json answer = Json::Object();
    answer.Set("requestId", params["requestId"].AsString());
    bool proceed = true;
    if (m_onNavigation.fn) {
        const std::string url = params["request"]["url"].AsString();
        CallbackString text(m_engine, url);
        const bool alive = Raise(TargetId(), url, [&] {
            // A handler may open the address in a popup instead: a popup of this page, as any.
            Engine::PopupScope scope(m_engine, Session(), url, false, arrival);
            proceed = m_onNavigation.fn(Handle(), m_onNavigation.param, NavigationTypeOf(reason), text);
        });
        if (!alive) return;
    }
    if (proceed) {
        Send("Fetch.continueRequest", answer);
    } else {
        answer.Set("errorReason", "Aborted");
        Send("Fetch.failRequest", answer);
    }
}
