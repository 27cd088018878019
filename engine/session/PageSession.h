// Everything the engine knows of one page of the browser (one DevTools session of a view's page):
// its navigation gate, the player's activation, its dialogs and its frames in flight. Made when
// a view gets its page (Engine::OnPageReady) and ended when the view goes (Engine::DestroyView);
// the reader thread holds it for as long as it handles one of the page's messages.
//
// The reader thread decides as the page's events arrive (so that nothing waits for a busy UI
// thread) and the UI thread acts on what the player does; one lock guards the page's state
// between them. Nothing here touches a window or calls the caller.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

#include "engine/devtools/CdpConnection.h"
#include "engine/devtools/Json.h"
#include "engine/policy/DialogGuard.h"
#include "engine/policy/NavigationGate.h"
#include "engine/policy/UserActivation.h"
#include "platform/wke.h"

class PageSession {
public:
    // `judged`: the view has a navigation handler, so the page's own navigations wait for it.
    PageSession(CdpConnection& cdp, std::string id, std::string targetId, wkeWebView view, bool judged);
    PageSession(const PageSession&) = delete;
    PageSession& operator=(const PageSession&) = delete;

    const std::string& Id() const { return m_id; }
    const std::string& TargetId() const { return m_targetId; }  // also the id of its main frame
    wkeWebView View() const { return m_view; }  // not owned: the view whose page this is

    // Navigations. UI thread: whether a handler judges them; a load of the caller's own.
    void SetJudged(bool judged);
    void ForgetRequested();
    // Reader thread: the page asked to navigate; one of its document requests stopped.
    void OnNavigationRequested(const Json& params);
    NavigationGate::Verdict DecideRequest(const Json& params, std::string* reason);

    // The player's activation (see UserActivation): granted and refreshed on the UI thread,
    // consumed on either.
    unsigned GrantActivation(DWORD tick);
    void RefreshActivation(unsigned id, DWORD tick);
    bool ConsumeActivation(DWORD tick);

    // Dialogs. Reader thread: a dialog opens; false when it was refused and dismissed here, true
    // when it is to be shown (the page is held until AnswerDialog). UI thread: the dialog shown
    // has been answered; it counts as closed before the page can open the next one.
    bool AdmitDialog(DWORD tick);
    void AnswerDialog(Json answer);
    static Json DismissedDialog();  // the answer that dismisses a dialog
    // Reader thread: the main frame has a new document.
    void OnMainFrameNavigated();

    // The page waits for the UI thread (a navigation being judged): synchronous calls into it
    // give up at once meanwhile (see CdpConnection::HoldSession). Any thread.
    void Hold() { m_cdp.HoldSession(m_id); }
    void Release() { m_cdp.ReleaseSession(m_id); }

    // Frames. Reader thread: a frame arrived; its acknowledgement (which asks for the next) goes
    // at once while the UI thread has taken the last one, else it waits. UI thread: the frame
    // has been taken, and a waiting acknowledgement goes. So frames never run more than one
    // ahead of what the UI thread has taken, and the browser draws the next meanwhile.
    void FrameArrived(int ackId);
    void FrameTaken();

private:
    void SendFrameAck(int ackId);

    CdpConnection& m_cdp;  // not owned: outlives every page
    const std::string m_id;
    const std::string m_targetId;
    const wkeWebView m_view;

    std::mutex m_lock;  // guards everything below
    NavigationGate m_gate;
    UserActivation m_activation;
    DialogGuard m_dialogs;
    bool m_frameOnWay = false;  // a frame is on its way to the UI thread, not yet taken
    bool m_ackHeld = false;     // the acknowledgement of the frame after it waits...
    int m_heldAckId = 0;        // ...with this id
};
