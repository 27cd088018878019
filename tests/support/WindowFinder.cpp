#include "tests/support/WindowFinder.h"

#include "common/Handles.h"

namespace {

std::wstring TextOf(HWND hwnd) {
    wchar_t buffer[512] = {};
    GetWindowTextW(hwnd, buffer, static_cast<int>(sizeof buffer / sizeof buffer[0]));
    return buffer;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t buffer[256] = {};
    GetClassNameW(hwnd, buffer, static_cast<int>(sizeof buffer / sizeof buffer[0]));
    return buffer;
}

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
    if (!IsWindowVisible(hwnd)) return TRUE;
    DWORD processId = 0;
    GetWindowThreadProcessId(hwnd, &processId);
    reinterpret_cast<std::vector<FoundWindow>*>(param)->push_back({hwnd, processId, TextOf(hwnd), ClassOf(hwnd)});
    return TRUE;
}

struct ChildSearch {
    const wchar_t* className;
    const wchar_t* text;  // null: any
    HWND found;
};

BOOL CALLBACK FindChild(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<ChildSearch*>(param);
    if (_wcsicmp(ClassOf(hwnd).c_str(), search->className) != 0) return TRUE;
    if (search->text && TextOf(hwnd) != search->text) return TRUE;
    search->found = hwnd;
    return FALSE;
}

}  // namespace

std::vector<FoundWindow> VisibleTopLevelWindows() {
    std::vector<FoundWindow> windows;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND WaitForWindow(const wchar_t* title, const wchar_t* className, DWORD processId, DWORD timeoutMs,
                   HANDLE abort) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    // Without an abort event the poll interval waits on an event nobody signals.
    UniqueHandle idle(abort ? nullptr : CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE interval = abort ? abort : idle.Get();
    for (;;) {
        for (const FoundWindow& window : VisibleTopLevelWindows()) {
            if (window.title != title) continue;
            if (className && window.className != className) continue;
            if (processId != 0 && window.processId != processId) continue;
            return window.hwnd;
        }
        if (GetTickCount64() >= deadline) return nullptr;
        if (WaitForSingleObject(interval, 20) == WAIT_OBJECT_0) return nullptr;
    }
}

bool ClickButton(HWND dialog, const wchar_t* buttonText) {
    ChildSearch search{L"Button", buttonText, nullptr};
    EnumChildWindows(dialog, FindChild, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return false;
    // What a click on the button sends its dialog; works across threads and processes.
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(search.found), BN_CLICKED),
                 reinterpret_cast<LPARAM>(search.found));
    return true;
}

std::wstring MessageBoxText(HWND dialog) {
    // The icon is a static without text; the message is the static that has some.
    for (HWND child = FindWindowExW(dialog, nullptr, L"Static", nullptr); child;
         child = FindWindowExW(dialog, child, L"Static", nullptr)) {
        std::wstring text = TextOf(child);
        if (!text.empty()) return text;
    }
    return std::wstring();
}
