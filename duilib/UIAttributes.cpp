#include "duilib/UIAttributes.h"

#include <cwchar>

namespace dui {
namespace {

// Reads up to `count` comma-separated integers; returns how many were read.
int ParseInts(const wchar_t* value, long* out, int count) {
    int read = 0;
    const wchar_t* p = value;
    while (p && read < count) {
        while (*p == L' ') ++p;
        wchar_t* end = nullptr;
        const long v = std::wcstol(p, &end, 10);
        if (end == p) break;
        out[read++] = v;
        p = end;
        while (*p == L' ') ++p;
        if (*p != L',') break;
        ++p;
    }
    return read;
}

}  // namespace

RECT ParseRect(const wchar_t* value) {
    long v[4] = {};
    ParseInts(value, v, 4);
    return RECT{v[0], v[1], v[2], v[3]};
}

SIZE ParseSize(const wchar_t* value) {
    long v[2] = {};
    ParseInts(value, v, 2);
    return SIZE{v[0], v[1]};
}

DWORD ParseColor(const wchar_t* value) {
    if (!value) return 0;
    while (*value == L' ' || *value == L'#') ++value;
    wchar_t* end = nullptr;
    const unsigned long color = std::wcstoul(value, &end, 16);
    const size_t digits = static_cast<size_t>(end - value);
    if (digits == 6) return 0xFF000000u | static_cast<DWORD>(color);
    return digits == 8 ? static_cast<DWORD>(color) : 0;
}

bool ParseBool(const wchar_t* value) { return value && (std::wcscmp(value, L"true") == 0 || std::wcscmp(value, L"1") == 0); }

int ParseInt(const wchar_t* value) {
    long v = 0;
    ParseInts(value, &v, 1);
    return static_cast<int>(v);
}

}  // namespace dui
