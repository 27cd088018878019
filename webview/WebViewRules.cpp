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

unsigned ContextMenuFlags(WPARAM wParam) { return static_cast<unsigned>(wParam & (MK_SHIFT | MK_CONTROL)); }

int WheelDelta(WPARAM wParam) { return wParam == 0 ? WHEEL_DELTA : -WHEEL_DELTA; }

bool StoreBoundedUrl(wchar_t (&buffer)[kWebUrlCapacity], const wchar_t* text) {
    if (!text) text = L"";
    const size_t length = wcsnlen(text, kWebUrlCapacity);
    if (length >= kWebUrlCapacity) return false;
    wmemcpy(buffer, text, length + 1);
    return true;
}
