#include "engine/session/PageSession.h"

PageSession::PageSession(CdpConnection& cdp, std::string id, std::string targetId, wkeWebView view, bool judged)
    : m_cdp(cdp), m_id(std::move(id)), m_targetId(std::move(targetId)), m_view(view), m_gate(m_targetId, judged) {}

void PageSession::SetJudged(bool judged) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_gate.SetJudged(judged);
}

void PageSession::ForgetRequested() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_gate.ForgetRequested();
}

void PageSession::OnNavigationRequested(const Json& params) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_gate.OnNavigationRequested(params);
}

NavigationGate::Verdict PageSession::DecideRequest(const Json& params, std::string* reason) {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_gate.Decide(params, reason);
}

unsigned PageSession::GrantActivation(DWORD tick) {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_activation.Grant(tick);
}

void PageSession::RefreshActivation(unsigned id, DWORD tick) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_activation.Refresh(id, tick);
}

bool PageSession::ConsumeActivation(DWORD tick) {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_activation.Consume(tick);
}

bool PageSession::AdmitDialog(DWORD tick) {
    DialogGuard::Verdict verdict;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        verdict = m_dialogs.Opening(tick);
    }
    if (verdict == DialogGuard::Verdict::Show) {
        Hold();
        return true;
    }
    if (verdict == DialogGuard::Verdict::RefuseFromNow)
        OutputDebugStringW(L"node.dll: a page opens dialog after dialog; it gets no more until it navigates\n");
    m_cdp.Send("Page.handleJavaScriptDialog", DismissedDialog(), m_id);
    return false;
}

Json PageSession::DismissedDialog() {
    Json answer = Json::Object();
    answer.Set("accept", false);
    return answer;
}

void PageSession::AnswerDialog(Json answer) {
    // Closed before the answer leaves: the page runs on as soon as it has the answer, and a
    // dialog it opens at once must not find this one still open.
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_dialogs.Closed(GetTickCount());
    }
    m_cdp.Send("Page.handleJavaScriptDialog", std::move(answer), m_id);
    Release();
}

void PageSession::OnMainFrameNavigated() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_dialogs.Navigated();
}

void PageSession::FrameArrived(int ackId) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_frameOnWay) {
            m_ackHeld = true;
            m_heldAckId = ackId;
            return;
        }
        m_frameOnWay = true;
    }
    SendFrameAck(ackId);
}

void PageSession::FrameTaken() {
    int heldId = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        // The frame that came meanwhile is on its way to this thread already: it keeps it busy.
        m_frameOnWay = m_ackHeld;
        if (!m_ackHeld) return;
        m_ackHeld = false;
        heldId = m_heldAckId;
    }
    SendFrameAck(heldId);
}

void PageSession::SendFrameAck(int ackId) {
    Json ack = Json::Object();
    ack.Set("sessionId", ackId);
    m_cdp.Send("Page.screencastFrameAck", ack, m_id);
}
