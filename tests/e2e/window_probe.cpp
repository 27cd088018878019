// What a player sees of the launcher's windows, for the end-to-end tests, which drive the launcher
// from outside Wine and cannot read window text through X.
//
//   window_probe.exe <folder> [X,Y | HWND:X,Y ...]
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
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>

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
    if (argc < 2) {
        std::fputs("usage: window_probe.exe <folder> [X,Y ...]\n", stderr);
        return 2;
    }
    std::wstring folder = argv[1];
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    for (const FoundWindow& window : VisibleTopLevelWindows()) {
        if (!InFolder(ProgramOf(window.processId), folder)) continue;
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
