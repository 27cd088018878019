// The installer download behind the update window. It runs on a thread of its own: it checks the
// offered release's signature before it fetches a byte, downloads the installer, checks that what
// arrived is the whole installer of that release, starts it, and posts the outcome to the window;
// it never touches a window itself. The window's UI thread tells the user of a failure and opens
// the right page in the shell.
//
// A gate lets the window end all of this: once Cancel() has returned, the thread starts no
// installer and posts nothing. An installer start already under way when Cancel() is called
// completes first (and its outcome is posted), so "closed" and "installer started" never overlap.
// This is what makes closing the window during the download safe: the process ends as soon as
// the message loop returns, and nothing can start behind the user's back in between.
//
// The thread keeps what it reads and writes alive itself, so the object may go before the thread
// ends (a stalled server): nobody waits for it without a bound.
#pragma once

#include "common/Handles.h"
#include "core/DownloadListener.h"
#include "update/UpdateRelease.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

// The bar's value for `done` of `total` bytes: done * 100 / total in single precision, truncated
// toward zero. A total of 0 never reaches the window (the listener drops it); it gives 0 here, and
// more bytes than announced give 100, so the conversion to int is always defined.
int UpdateProgressPercent(ULONG done, ULONG total);

// The installer download gives up, and takes the failure path, once this long passes without a
// byte arriving (a server that stays silent, or stalls halfway through a huge installer).
constexpr DWORD kInstallerStallLimitMs = 30000;

// Posted to the owner while the gate is open. Progress (wParam: bytes so far, lParam: the total)
// is posted again only once the window has taken the last one (TakeProgress), so a slow window
// never gets a flood of them; the latest counts are what it reads.
constexpr UINT WM_UPDATE_PROGRESS = WM_APP + 0x61;
// The download has ended; wParam is an UpdateOutcome. Posted once.
constexpr UINT WM_UPDATE_FINISHED = WM_APP + 0x62;

enum class UpdateOutcome : WPARAM {
    InstallerStarted,  // the installer runs: the window closes
    DownloadFailed,    // no whole installer arrived, or it could not be kept or started: the failure path,
                       // which sends the player to the installer's address
    NotVerified,       // the release's signature, or the downloaded bytes, did not hold: the player must
                       // never be sent to that file, only to the publisher's home page
};

class CUpdateDownload {
public:
    CUpdateDownload() = default;
    // Cancels; the thread, if it still runs, ends on its own.
    ~CUpdateDownload();
    CUpdateDownload(const CUpdateDownload&) = delete;
    CUpdateDownload& operator=(const CUpdateDownload&) = delete;

    // Starts the download of `release`'s installer from `url` on a new thread; `owner` gets the
    // messages above. Nothing is fetched unless the release passes IsReleaseTrusted with the build's
    // key, and the installer runs only from its held copy (update/HeldInstaller.h) and only when
    // that is the release's (IsInstallerOfRelease). False when the thread cannot be created or a
    // download was started before.
    bool Start(HWND owner, const wchar_t* url, const UpdateRelease& release);

    // Closes the gate (see above). Any thread; returns at once unless an installer start is under way.
    void Cancel();
    bool IsCancelled() const;

    // On the owner's thread, for WM_UPDATE_PROGRESS: the latest counts; allows the next post.
    void TakeProgress(ULONG& progress, ULONG& total);

    // Waits up to `timeoutMs` for the thread to end; true when it has ended or never started.
    bool WaitForEnd(DWORD timeoutMs) const;

    // Replaces kInstallerStallLimitMs for this download; before Start. Lets tests watch a stall
    // without waiting the product's limit.
    void SetStallLimit(DWORD ms) { m_dwStallLimitMs = ms; }

private:
    // Everything the thread shares with the object; held by both.
    struct Job : IDownHandler {
        mutable std::mutex gate;     // guards `cancelled` and every post
        bool cancelled = false;
        HWND owner = nullptr;        // not owned: the update window
        std::wstring url;
        UpdateRelease release;
        DWORD stallLimitMs = kInstallerStallLimitMs;
        std::atomic<ULONG> progress{0};
        std::atomic<ULONG> total{0};
        std::atomic<bool> progressPosted{false};

        // Progress of the transfer, on the transfer's thread.
        void OnDownloadProgress(ULONG progress, ULONG total) override;
        void Run();
        // Posts `message` to the owner unless the gate is closed; true when posted.
        bool PostUnlessCancelled(UINT message, WPARAM wParam, LPARAM lParam);
    };
    static DWORD WINAPI DownloadThreadProc(LPVOID param);

    std::shared_ptr<Job> m_job;  // shared with the thread
    UniqueHandle m_hThread;      // owned; the thread is never waited for without a bound
    DWORD m_dwStallLimitMs = kInstallerStallLimitMs;
};
