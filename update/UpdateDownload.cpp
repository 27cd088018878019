#include "update/UpdateDownload.h"

#include "update/InstallerStart.h"
#include "update/InstallerTransfer.h"

#include <shellapi.h>

#include <memory>

int UpdateProgressPercent(ULONG done, ULONG total) {
    if (total == 0) return 0;
    if (done >= total) return 100;
    return static_cast<int>(static_cast<float>(done) * 100.0f / static_cast<float>(total));
}

CUpdateDownload::~CUpdateDownload() {
    Cancel();
    if (m_hThread) WaitForSingleObject(m_hThread.Get(), INFINITE);
}

bool CUpdateDownload::Start(HWND owner, const wchar_t* url, const wchar_t* failureText,
                            IDownHandler* progress, const InstallerCheck& check) {
    if (m_hThread) return false;
    m_hOwner = owner;
    m_strUrl = url ? url : L"";
    m_strFailureText = failureText ? failureText : L"";
    m_pProgress = progress;
    m_check = check;
    m_hThread.Reset(CreateThread(nullptr, 0, DownloadThreadProc, this, 0, nullptr));
    return static_cast<bool>(m_hThread);
}

void CUpdateDownload::Cancel() {
    std::lock_guard<std::mutex> lock(m_gate);
    m_bCancelled = true;
}

bool CUpdateDownload::IsCancelled() const {
    std::lock_guard<std::mutex> lock(m_gate);
    return m_bCancelled;
}

bool CUpdateDownload::WaitForEnd(DWORD timeoutMs) const {
    return !m_hThread || WaitForSingleObject(m_hThread.Get(), timeoutMs) == WAIT_OBJECT_0;
}

void CUpdateDownload::OnDownloadProgress(ULONG progress, ULONG total) {
    // Under the gate, so that no control is touched once the window has been closed.
    std::lock_guard<std::mutex> lock(m_gate);
    if (!m_bCancelled && m_pProgress) m_pProgress->OnDownloadProgress(progress, total);
}

DWORD WINAPI CUpdateDownload::DownloadThreadProc(LPVOID param) {
    // The URL moniker and the shell's handlers are COM objects; this thread gets its own apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    static_cast<CUpdateDownload*>(param)->Run();
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

void CUpdateDownload::Run() {
    // The transfer runs on a thread of its own so that a server that stops sending cannot hold
    // this one: after the stall limit it is left behind and the failure path follows.
    auto transfer = std::make_shared<CInstallerTransfer>(m_strUrl, this);
    UniqueHandle worker;
    const bool complete = CInstallerTransfer::Start(transfer, worker) &&
                          transfer->WaitWhileProgressing(worker.Get(), m_dwStallLimitMs) && transfer->IsComplete() &&
                          IsInstallerTrusted(transfer->Path(), PublisherPublicKey(), m_check);

    if (complete) {
        std::lock_guard<std::mutex> lock(m_gate);
        if (m_bCancelled) return;
        StartInstaller(transfer->Path());
        PostMessageW(m_hOwner, WM_CLOSE, 1, 0);
        return;
    }

    // The box waits for the user, so the gate is not held across it; the window is disabled
    // while its box is up, and the gate is asked again before each later step.
    if (IsCancelled()) return;
    MessageBoxW(m_hOwner, m_strFailureText.c_str(), L"ERROR", MB_OK);
    if (IsCancelled()) return;
    ShellExecuteW(m_hOwner, L"OPEN", m_strUrl.c_str(), nullptr, nullptr, SW_SHOW);
    std::lock_guard<std::mutex> lock(m_gate);
    if (!m_bCancelled) PostMessageW(m_hOwner, WM_CLOSE, 1, 0);
}
