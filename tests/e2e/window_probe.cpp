// What a player sees of the launcher's windows, for the end-to-end tests, which drive the launcher
// from outside Wine and cannot read window text through X.
//
//   window_probe.exe <folder> [X,Y | HWND:X,Y ...]
//   window_probe.exe --watch <folder>
//
// Prints one JSON object per visible top-level window of every process whose program file lies
// in <folder> (compared without regard to case), one per line: its handle, its Windows process
// id, class, title, window rectangle, the screen position of its client area's top-left corner
// and its client size, whether it is maximised, and for message boxes their text and their
// buttons' centres in screen coordinates (where a real click lands on them). Then, for each point
// given, one object with the screen point and the colour the screen shows there. A point may be
// a screen point or a client point of a window given by its handle; the latter is placed where
// the window is now (a window may move after it was first seen: the player, the window manager or
// the launcher may move it), and has no colour when the window is gone.
//
// With --watch it measures, until its standard input ends, how long each of those windows takes to
// answer: every 100 ms it sends each one WM_NULL (SendMessageTimeoutW, waiting up to 10 s), and at
// the end prints one JSON object per window seen: handle, class, title, how many answers it timed
// and the longest of them in milliseconds (a window that went that long without answering).
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "common/TextConv.h"
#include "tests/support/WindowFinder.h"

namespace {

std::string Quoted(const std::wstring& text) {
    const std::string utf8 = ToUtf8(text.c_str());
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::wstring ProgramOf(DWORD processId) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return std::wstring();
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = static_cast<DWORD>(sizeof path / sizeof path[0]);
    if (!QueryFullProcessImageNameW(process.Get(), 0, path, &size)) return std::wstring();
    return std::wstring(path, size);
}

bool InFolder(const std::wstring& program, const std::wstring& folder) {
    if (program.size() <= folder.size()) return false;
    return CompareStringOrdinal(program.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

// The screen point of an argument "X,Y" (screen) or "HWND:X,Y" (client point of a window); false
// when it is neither or names no window.
bool ScreenPoint(const wchar_t* arg, POINT& point) {
    unsigned long long handle = 0;
    int x = 0;
    int y = 0;
    if (swscanf(arg, L"%llu:%d,%d", &handle, &x, &y) == 3) {
        HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
        point = POINT{x, y};
        return IsWindow(window) && ClientToScreen(window, &point);
    }
    if (swscanf(arg, L"%d,%d", &x, &y) != 2) return false;
    point = POINT{x, y};
    return true;
}

// The visible top-level windows of the programs in `folder` (which ends with a backslash).
std::vector<FoundWindow> WindowsOfFolder(const std::wstring& folder) {
    std::vector<FoundWindow> found;
    for (const FoundWindow& window : VisibleTopLevelWindows()) {
        if (InFolder(ProgramOf(window.processId), folder)) found.push_back(window);
    }
    return found;
}

DWORD WINAPI WaitForEndOfInput(void* done) {
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    SetEvent(static_cast<HANDLE>(done));
    return 0;
}

int Watch(const std::wstring& folder) {
    struct Seen {
        FoundWindow window;
        unsigned probes = 0;
        DWORD longest = 0;
    };
    std::map<HWND, Seen> seen;
    UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle reader(CreateThread(nullptr, 0, WaitForEndOfInput, done.Get(), 0, nullptr));
    if (!done || !reader) return 1;
    while (WaitForSingleObject(done.Get(), 100) == WAIT_TIMEOUT) {
        for (const FoundWindow& window : WindowsOfFolder(folder)) {
            const DWORD start = GetTickCount();
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(window.hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) &&
                GetLastError() != ERROR_TIMEOUT)
                continue;  // gone meanwhile
            Seen& entry = seen[window.hwnd];
            entry.window = window;
            ++entry.probes;
            entry.longest = std::max(entry.longest, GetTickCount() - start);
        }
    }
    for (const auto& entry : seen) {
        char numbers[128];
        std::snprintf(numbers, sizeof numbers, "{\"hwnd\":%llu,\"probes\":%u,\"longest_ms\":%lu,",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(entry.first)), entry.second.probes,
                      entry.second.longest);
        const std::string line = numbers + std::string("\"class\":") + Quoted(entry.second.window.className) +
                                 ",\"title\":" + Quoted(entry.second.window.title) + "}\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    std::fflush(stdout);
    return 0;
}

std::string Buttons(HWND dialog) {
    std::string out = "[";
    for (HWND child = FindWindowExW(dialog, nullptr, L"Button", nullptr); child;
         child = FindWindowExW(dialog, child, L"Button", nullptr)) {
        if (!IsWindowVisible(child)) continue;
        wchar_t text[128] = {};
        GetWindowTextW(child, text, 128);
        RECT rect{};
        GetWindowRect(child, &rect);
        if (out.size() > 1) out += ',';
        char position[64];
        std::snprintf(position, sizeof position, ",\"x\":%ld,\"y\":%ld}", (rect.left + rect.right) / 2,
                      (rect.top + rect.bottom) / 2);
        out += "{\"text\":" + Quoted(text) + position;
    }
    return out + "]";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool watch = argc >= 3 && std::wstring(argv[1]) == L"--watch";
    if (argc < 2 || (std::wstring(argv[1]) == L"--watch" && !watch)) {
        std::fputs("usage: window_probe.exe <folder> [X,Y ...] | --watch <folder>\n", stderr);
        return 2;
    }
    std::wstring folder = argv[watch ? 2 : 1];
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    if (watch) return Watch(folder);
    for (const FoundWindow& window : WindowsOfFolder(folder)) {
        RECT rect{};
        GetWindowRect(window.hwnd, &rect);
        RECT client{};
        GetClientRect(window.hwnd, &client);
        POINT origin{0, 0};
        ClientToScreen(window.hwnd, &origin);
        char numbers[256];
        std::snprintf(numbers, sizeof numbers,
                      "\"hwnd\":%llu,\"pid\":%lu,\"rect\":[%ld,%ld,%ld,%ld],\"client\":[%ld,%ld,%ld,%ld],"
                      "\"maximized\":%s",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window.hwnd)), window.processId,
                      rect.left, rect.top, rect.right, rect.bottom, origin.x, origin.y, client.right, client.bottom,
                      IsZoomed(window.hwnd) ? "true" : "false");
        std::string line = "{\"class\":" + Quoted(window.className) + ",\"title\":" + Quoted(window.title) + "," +
                           numbers;
        if (window.className == kDialogClass)
            line += ",\"text\":" + Quoted(MessageBoxText(window.hwnd)) + ",\"buttons\":" + Buttons(window.hwnd);
        line += "}\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    HDC screen = GetDC(nullptr);
    for (int i = 2; i < argc; ++i) {
        POINT point{};
        if (!ScreenPoint(argv[i], point)) {
            std::fputs("{\"point\":null,\"rgb\":null}\n", stdout);
            continue;
        }
        const COLORREF color = GetPixel(screen, point.x, point.y);
        char line[96];
        std::snprintf(line, sizeof line, "{\"point\":[%ld,%ld],\"rgb\":[%d,%d,%d]}\n", point.x, point.y,
                      GetRValue(color), GetGValue(color), GetBValue(color));
        std::fputs(line, stdout);
    }
    ReleaseDC(nullptr, screen);
    std::fflush(stdout);
    return 0;
}
