// What the update tests share: the recording installer, its records, the prefix's http handler,
// a job that counts every process the code under test starts, a stand-in for the update window
// and a message pump with a deadline.
#pragma once

#include "common/Handles.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/MessagePump.h"
#include "tests/support/TempFolder.h"
#include "update/UpdateDownload.h"

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// The stand-in installer, built next to the test program.
std::wstring RecorderPath();

// An installer served in writes of `writeSize` bytes with `delayMs` between them, so the test can
// watch the download while it runs.
HttpRoute SlowInstallerRoute(const std::string& installer, size_t writeSize, DWORD delayMs);

// One run of the recording installer.
struct Record {
    std::wstring commandLine;
    std::wstring program;  // the path of the program file that ran
};

// A fresh record file named in this process's environment, which the code under test passes on
// to whatever it starts. Removed on destruction.
class RecordFile {
public:
    RecordFile();
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;
    std::vector<Record> Read() const;
    // Polls until at least `count` records exist; false when `timeoutMs` passes first.
    bool WaitFor(size_t count, DWORD timeoutMs) const;

private:
    std::wstring m_path;
};

// Makes the recording installer the prefix's handler for http addresses, so that the shell's
// "OPEN" of an address becomes a record; the previous handler is put back on destruction.
class HttpHandlerOverride {
public:
    HttpHandlerOverride();
    ~HttpHandlerOverride();
    HttpHandlerOverride(const HttpHandlerOverride&) = delete;
    HttpHandlerOverride& operator=(const HttpHandlerOverride&) = delete;
    bool Installed() const { return m_installed; }

private:
    bool m_installed = false;
    bool m_hadOld = false;
    std::wstring m_old;
};

// Puts this process into a new job; every process it starts from then on is counted.
class ProcessCounter {
public:
    ProcessCounter();
    bool Active() const { return m_active; }
    // Processes started since construction (this process itself not counted).
    unsigned long Started() const;

private:
    UniqueHandle m_job;
    bool m_active = false;
};


// A plain top-level window standing in for the update window: it takes the progress and the
// outcome that the download posts to it, and keeps them.
class OwnerWindow {
public:
    // `download` is asked for the progress it posted (not owned; may be null).
    explicit OwnerWindow(CUpdateDownload* download = nullptr) : m_download(download) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UpdateDownloadTestOwner";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                 nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~OwnerWindow() { DestroyWindow(m_hwnd); }
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND Get() const { return m_hwnd; }
    const std::vector<UpdateOutcome>& Outcomes() const { return m_outcomes; }
    const std::vector<std::pair<ULONG, ULONG>>& Progress() const { return m_progress; }
    // Messages of the download that arrived, of either kind.
    size_t Arrivals() const { return m_outcomes.size() + m_progress.size(); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<OwnerWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && msg == WM_UPDATE_FINISHED) {
            self->m_outcomes.push_back(static_cast<UpdateOutcome>(wParam));
            return 0;
        }
        if (self && msg == WM_UPDATE_PROGRESS) {
            ULONG progress = static_cast<ULONG>(wParam), total = static_cast<ULONG>(lParam);
            if (self->m_download) self->m_download->TakeProgress(progress, total);
            self->m_progress.emplace_back(progress, total);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    CUpdateDownload* m_download;
    HWND m_hwnd = nullptr;
    std::vector<UpdateOutcome> m_outcomes;
    std::vector<std::pair<ULONG, ULONG>> m_progress;
};

// The download's failure box in this process, if it is up.
HWND FindErrorBox();
