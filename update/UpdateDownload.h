// The installer download behind the update window. It runs on a thread of its own, checks that
// what arrived is the whole installer, starts it or tells the user and opens the address in the
// shell, and finally asks the window to close.
//
// A gate lets the window end all of this: once Cancel() has returned, the thread starts no
// installer, shows nothing, opens nothing, touches no control and posts nothing. An installer start
// already under way when Cancel() is called completes first, so "closed" and "installer started"
// never overlap. This is what makes closing the window during the download safe: the process ends
// as soon as the message loop returns, and nothing can start behind the user's back in between.
#pragma once

#include "app/DownloadListener.h"
#include "common/Handles.h"

#include <windows.h>

#include <mutex>
#include <string>

// The bar's value for `done` of `total` bytes: done * 100 / total in single precision, truncated
// toward zero. A total of 0 never reaches the window (the listener drops it); it gives 0 here, and
// more bytes than announced give 100, so the conversion to int is always defined.
int UpdateProgressPercent(ULONG done, ULONG total);

class CUpdateDownload : public IDownHandler {
public:
    CUpdateDownload() = default;
    // Cancels, then waits for the thread, which reads this object to its end. The launcher never
    // gets here during a download (the process ends first); tests let the download end first.
    ~CUpdateDownload();
    CUpdateDownload(const CUpdateDownload&) = delete;
    CUpdateDownload& operator=(const CUpdateDownload&) = delete;

    // Starts the download of `url` on a new thread. `owner` owns the failure box and the shell
    // call and gets the close request (WM_CLOSE with wParam 1); `failureText` is the box's text;
    // `progress` receives OnDownloadProgress while the gate is open (not owned, may be null).
    // False when the thread cannot be created or a download was started before.
    bool Start(HWND owner, const wchar_t* url, const wchar_t* failureText, IDownHandler* progress);

    // Closes the gate (see above). Any thread; returns at once unless an installer start is under way.
    void Cancel();
    bool IsCancelled() const;

    // Waits up to `timeoutMs` for the thread to end; true when it has ended or never started.
    bool WaitForEnd(DWORD timeoutMs) const;

    // Listener events, on the download thread.
    void OnDownloadProgress(ULONG progress, ULONG total) override;
    void OnDownloadStart(DWORD reserved, IBinding* binding) override;
    void OnDownloadStop(HRESULT result, LPCWSTR error) override;

private:
    static DWORD WINAPI DownloadThreadProc(LPVOID param);
    void Run();
    // True when the whole installer is in the cache at `path`.
    bool IsComplete(HRESULT result, const wchar_t* path) const;

    mutable std::mutex m_gate;       // guards m_bCancelled and every step that needs it open
    bool m_bCancelled = false;
    HWND m_hOwner = nullptr;         // not owned: the update window
    std::wstring m_strUrl;           // owned copies, read by the thread
    std::wstring m_strFailureText;
    IDownHandler* m_pProgress = nullptr;  // not owned
    UniqueHandle m_hThread;          // owned; closed by the destructor once the thread has ended

    // Download thread only, between the start and the end of the binding.
    ComPtr<IBinding> m_binding;
    DWORD m_dwHttpStatus = 0;        // 0: the binding did not say
    bool m_bHaveLength = false;      // the server announced Content-Length
    ULONGLONG m_ullLength = 0;
};
