#include "update/UpdateWnd.h"

#include "common/WebOrigin.h"
#include "core/ConfigKeys.h"
#include "core/Kuku.h"

#include <shellapi.h>

#include <utility>

namespace {

// The failure text for a release or installer that did not verify, when the skin has none.
constexpr wchar_t kNotVerifiedFallback[] =
    L"The update could not be verified, please download the new version from the website";

}  // namespace

CUpdateWnd::CUpdateWnd(CDuiString strUpdateUrl, UpdateRelease release)
    : m_strUpdateUrl(std::move(strUpdateUrl)), m_release(std::move(release)) {}

CUpdateWnd::~CUpdateWnd() = default;

void CUpdateWnd::OnFinalMessage(HWND hWnd) {
    // The control tree goes with the base's teardown; nothing of the download may follow it.
    m_download.Cancel();
    WindowImplBase::OnFinalMessage(hWnd);
    delete this;
}

void CUpdateWnd::InitWindow() {
    CControlUI* progress = m_pm.FindControl(L"progress");
    m_pProgress = progress ? static_cast<CProgressUI*>(progress->GetInterface(L"Progress")) : nullptr;
    if (m_pProgress) m_pProgress->SetShowText(true);
    m_download.Start(GetHWND(), m_strUpdateUrl, m_release);
}

LRESULT CUpdateWnd::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    m_download.Cancel();
    m_bClosing = true;
    PostQuitMessage(0);
    bHandled = TRUE;
    return 0;
}

LRESULT CUpdateWnd::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    if (uMsg == WM_UPDATE_PROGRESS) {
        ULONG progress = 0;
        ULONG total = 0;
        m_download.TakeProgress(progress, total);
        if (!m_bClosing && total != 0) OnDownloadProgress(progress, total);
        bHandled = TRUE;
    } else if (uMsg == WM_UPDATE_FINISHED) {
        if (!m_bClosing) OnDownloadFinished(static_cast<UpdateOutcome>(wParam));
        bHandled = TRUE;
    }
    return 0;
}

void CUpdateWnd::OnDownloadFinished(UpdateOutcome outcome) {
    if (outcome == UpdateOutcome::DownloadFailed) {
        MessageBoxW(GetHWND(), ConfigValue(ConfigKey::kUpdateFailedText), L"ERROR", MB_OK);
        ShellExecuteW(GetHWND(), L"OPEN", m_strUpdateUrl.GetData(), nullptr, nullptr, SW_SHOW);
    } else if (outcome == UpdateOutcome::NotVerified) {
        // The refused file's address must not reach the player: the publisher's home page (the
        // login window's first link) is where the genuine installer is to be had.
        const wchar_t* text = ConfigValue(ConfigKey::kUpdateNotVerifiedText);
        MessageBoxW(GetHWND(), *text ? text : kNotVerifiedFallback, L"ERROR", MB_OK);
        const std::wstring home = ConfigValue(ConfigKey::kHomePage);
        if (OriginOf(home)) ShellExecuteW(GetHWND(), L"OPEN", home.c_str(), nullptr, nullptr, SW_SHOW);
    }
    Close(1);
}

void CUpdateWnd::OnDownloadProgress(ULONG progress, ULONG total) {
    if (!m_pProgress) return;
    m_pProgress->SetMaxValue(100);
    m_pProgress->SetValue(UpdateProgressPercent(progress, total));
}
