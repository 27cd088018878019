#include "webview/WebViewRules.h"

#include "common/TextConv.h"

#include <wchar.h>

std::string UrlScheme(const wchar_t* url) {
    if (!url) return std::string();
    const std::string narrow = WideToMultiByte(url, CP_ACP);
    const size_t colon = narrow.find(':');
    if (colon == std::string::npos) return std::string();
    std::string scheme = narrow.substr(0, colon);
    for (char& c : scheme) {
        const bool upper = c >= 'A' && c <= 'Z';
        const bool lower = c >= 'a' && c <= 'z';
        if (!upper && !lower && c != '+' && c != '-' && c != '.') return std::string();
        if (upper) c = static_cast<char>(c - 'A' + 'a');
    }
    return scheme;
}

bool IsFileUrl(const wchar_t* url) { return UrlScheme(url) == "file"; }

bool IsWebUrl(const wchar_t* url) {
    const std::string scheme = UrlScheme(url);
    return scheme == "http" || scheme == "https";
}

LPCWSTR CursorIdForType(int cursorType) {
    switch (cursorType) {
        case 1: return IDC_CROSS;
        case 2: return IDC_HAND;
        case 3: return IDC_IBEAM;
        case 4: return IDC_WAIT;
        case 5: return IDC_HELP;
        case 6: case 13: case 15: return IDC_SIZEWE;
        case 7: case 10: case 14: return IDC_SIZENS;
        case 8: case 12: return IDC_SIZENESW;
        case 9: case 11: return IDC_SIZENWSE;
        case 16: case 17: return IDC_SIZEALL;
        default: return IDC_ARROW;
    }
}

unsigned MouseMoveFlags(WPARAM wParam) {
    return static_cast<unsigned>(wParam & (MK_LBUTTON | MK_RBUTTON | MK_SHIFT | MK_CONTROL | MK_MBUTTON));
}

unsigned ContextMenuFlags(WPARAM wParam) { return static_cast<unsigned>(wParam & (MK_SHIFT | MK_CONTROL)); }

int WheelDelta(WPARAM wParam) { return wParam == 0 ? WHEEL_DELTA : -WHEEL_DELTA; }

bool StoreBoundedUrl(wchar_t (&buffer)[kWebUrlCapacity], const wchar_t* text) {
    if (!text) text = L"";
    const size_t length = wcsnlen(text, kWebUrlCapacity);
    if (length >= kWebUrlCapacity) return false;
    wmemcpy(buffer, text, length + 1);
    return true;
}
