// One URLDownloadToCacheFileW of the installer, run on a thread of its own and watched for
// progress. The thread that started it may stop waiting (no byte for too long) and leave it
// behind, so everything the transfer writes lives in this object, kept alive by the transfer's
// own reference until the call returns.
#pragma once

#include "core/DownloadListener.h"
#include "common/Handles.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

class CInstallerTransfer : public IDownHandler {
public:
    // `forward` gets the progress until Abandon() (not owned, may be null).
    CInstallerTransfer(std::wstring url, IDownHandler* forward);

    // Starts the transfer thread. False when it cannot be created.
    static bool Start(const std::shared_ptr<CInstallerTransfer>& transfer, UniqueHandle& thread);

    // Waits until the thread ends (true) or `stallLimitMs` passes without a byte arriving (false;
    // the transfer is then abandoned: it forwards nothing more and its results are not read).
    bool WaitWhileProgressing(HANDLE thread, DWORD stallLimitMs);

    // After the thread has ended: true when the whole installer is in the cache; `path` is its file.
    bool IsComplete() const;
    const wchar_t* Path() const { return m_path; }

    // Listener events, on the transfer thread.
    void OnDownloadProgress(ULONG progress, ULONG total) override;
    void OnDownloadStart(DWORD reserved, IBinding* binding) override;
    void OnDownloadStop(HRESULT result, LPCWSTR error) override;
    // Any sign of bytes arriving, whether or not the server announced a length.
    void NoteActivity() { m_lastActivity.store(GetTickCount64()); }

private:
    static DWORD WINAPI ThreadProc(LPVOID param);
    void Run();

    const std::wstring m_url;
    std::mutex m_forwardLock;                  // guards m_pForward against Abandon
    IDownHandler* m_pForward;                  // not owned; null once abandoned
    std::atomic<ULONGLONG> m_lastActivity;

    // Transfer thread only, read by the starter once the thread has ended.
    HRESULT m_result = E_FAIL;
    wchar_t m_path[MAX_PATH] = {};
    ComPtr<IBinding> m_binding;
    HttpAnswerInfo m_answer;      // what the server said of its answer, at the binding's end
};
