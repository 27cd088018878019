// What the update tests share: the recording installer, its records, the prefix's http handler,
// a job that counts every process the code under test starts, and a message pump with a deadline.
#pragma once

#include "common/Handles.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/MessagePump.h"
#include "tests/support/TempFolder.h"

#include <windows.h>

#include <functional>
#include <string>
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


// A plain top-level window standing in for the update window: it owns the box and the shell call
// and records the close requests it gets, without closing.
class OwnerWindow {
public:
    OwnerWindow() {
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
    HWND Get() const { return m_hwnd; }
    const std::vector<WPARAM>& CloseRequests() const { return m_closeRequests; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<OwnerWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_CLOSE && self) {
            self->m_closeRequests.push_back(wParam);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    HWND m_hwnd = nullptr;
    std::vector<WPARAM> m_closeRequests;
};

// The download's failure box in this process, if it is up.
HWND FindErrorBox();
