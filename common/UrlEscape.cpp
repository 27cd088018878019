#include "common/UrlEscape.h"

#include "common/TextConv.h"

#include <windows.h>

std::wstring EscapeNonAsciiInUrl(const std::wstring& address) {
    std::wstring escaped;
    escaped.reserve(address.size());
    size_t start = 0;
    while (start < address.size()) {
        size_t end = start;
        while (end < address.size() && address[end] >= 0x20 && address[end] <= 0x7E) ++end;
        escaped.append(address, start, end - start);
        if (end == address.size()) break;
        // A run of other characters, converted whole so that a surrogate pair stays one character.
        start = end;
        while (end < address.size() && (address[end] < 0x20 || address[end] > 0x7E)) ++end;
        static const wchar_t kHex[] = L"0123456789ABCDEF";
        for (unsigned char byte : WideToMultiByte(address.substr(start, end - start), CP_UTF8)) {
            escaped += L'%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0F];
        }
        start = end;
    }
    return escaped;
}
