#include "update/UpdateDownload.h"

#include "update/HeldInstaller.h"
#include "update/InstallerStart.h"
#include "update/InstallerTransfer.h"
#include "update/InstallerVerify.h"

int UpdateProgressPercent(ULONG done, ULONG total) {
    if (total == 0) return 0;
    if (done >= total) return 100;
    return static_cast<int>(static_cast<float>(done) * 100.0f / static_cast<float>(total));
}

CUpdateDownload::~CUpdateDownload() { Cancel(); }

bool CUpdateDownload::Start(HWND owner, const wchar_t* url, const UpdateRelease& release) {
    if (m_job) return false;
    auto job = std::make_shared<Job>();
    job->owner = owner;
    job->url = url ? url : L"";
    job->release = release;
    job->stallLimitMs = m_dwStallLimitMs;
    auto* param = new std::shared_ptr<Job>(job);
    m_hThread.Reset(CreateThread(nullptr, 0, DownloadThreadProc, param, 0, nullptr));
    if (!m_hThread) {
        delete param;
        return false;
    }
    m_job = std::move(job);
    return true;
}

void CUpdateDownload::Cancel() {
    if (!m_job) return;
    std::lock_guard<std::mutex> lock(m_job->gate);
    m_job->cancelled = true;
}

bool CUpdateDownload::IsCancelled() const {
    if (!m_job) return false;
    std::lock_guard<std::mutex> lock(m_job->gate);
    return m_job->cancelled;
}

void CUpdateDownload::TakeProgress(ULONG& progress, ULONG& total) {
    progress = total = 0;
    if (!m_job) return;
    m_job->progressPosted = false;
    progress = m_job->progress;
    total = m_job->total;
}

bool CUpdateDownload::WaitForEnd(DWORD timeoutMs) const {
    return !m_hThread || WaitForSingleObject(m_hThread.Get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD WINAPI CUpdateDownload::DownloadThreadProc(LPVOID param) {
    std::unique_ptr<std::shared_ptr<Job>> job(static_cast<std::shared_ptr<Job>*>(param));
    // The URL moniker is a COM object; this thread gets its own apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (*job)->Run();
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

bool CUpdateDownload::Job::PostUnlessCancelled(UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::mutex> lock(gate);
    return !cancelled && PostMessageW(owner, message, wParam, lParam);
}

void CUpdateDownload::Job::OnDownloadProgress(ULONG done, ULONG all) {
    progress = done;
    total = all;
    if (progressPosted.exchange(true)) return;
    if (!PostUnlessCancelled(WM_UPDATE_PROGRESS, done, static_cast<LPARAM>(all))) progressPosted = false;
}

void CUpdateDownload::Job::Run() {
    const wchar_t* key = PublisherPublicKey();
    // A release whose signature does not hold is refused before a byte of it is fetched.
    if (!IsReleaseTrusted(release, key)) {
        PostUnlessCancelled(WM_UPDATE_FINISHED, static_cast<WPARAM>(UpdateOutcome::NotVerified), 0);
        return;
    }
    // The transfer runs on a thread of its own so that a server that stops sending cannot hold
    // this one: after the stall limit it is left behind and the failure path follows.
    auto transfer = std::make_shared<CInstallerTransfer>(url, this);
    UniqueHandle worker;
    const bool complete = CInstallerTransfer::Start(transfer, worker) &&
                          transfer->WaitWhileProgressing(worker.Get(), stallLimitMs) && transfer->IsComplete();
    CHeldInstaller installer;
    const bool held = complete && installer.Take(transfer->Path());
    const bool verified = held && IsInstallerOfRelease(installer.File(), release, key);

    std::lock_guard<std::mutex> lock(gate);
    if (cancelled) return;
    UpdateOutcome outcome = UpdateOutcome::DownloadFailed;
    if (held && !verified) {
        outcome = UpdateOutcome::NotVerified;
    } else if (verified && StartInstaller(installer.Path().c_str())) {
        // Started from the held copy while it is held: the file verified is the file run.
        outcome = UpdateOutcome::InstallerStarted;
    }
    PostMessageW(owner, WM_UPDATE_FINISHED, static_cast<WPARAM>(outcome), 0);
}
