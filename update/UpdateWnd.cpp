#include "update/UpdateWnd.h"

#include "app/Kuku.h"

#include <utility>

CUpdateWnd::CUpdateWnd(CDuiString strUpdateUrl) : m_strUpdateUrl(std::move(strUpdateUrl)) {}

// The download's destructor waits for its thread; the launcher never destroys this window while
// it downloads (the process ends when the message loop returns).
CUpdateWnd::~CUpdateWnd() = default;

void CUpdateWnd::OnFinalMessage(HWND hWnd) {
    // The control tree goes with the base's teardown; the download must not reach the bar after it.
    m_download.Cancel();
    WindowImplBase::OnFinalMessage(hWnd);
    delete this;
}

void CUpdateWnd::InitWindow() {
    CControlUI* progress = m_pm.FindControl(L"progress");
    m_pProgress = progress ? static_cast<CProgressUI*>(progress->GetInterface(L"Progress")) : nullptr;
    if (m_pProgress) m_pProgress->SetShowText(true);
    // The text is read here, on the UI thread, which owns the configuration store.
    m_download.Start(GetHWND(), m_strUpdateUrl, CKuku::GetInstance()->Get(L"UpdateFailed"), this);
}

LRESULT CUpdateWnd::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    m_download.Cancel();
    PostQuitMessage(0);
    bHandled = TRUE;
    return 0;
}

void CUpdateWnd::OnDownloadProgress(ULONG progress, ULONG total) {
    if (!m_pProgress) return;
    m_pProgress->SetMaxValue(100);
    m_pProgress->SetValue(UpdateProgressPercent(progress, total));
}
