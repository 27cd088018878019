#include "common/ModulePath.h"

#include <vector>

std::wstring ModuleFilePath(HMODULE module) {
    const DWORD kLongest = 32768;
    for (DWORD size = MAX_PATH; size <= kLongest; size *= 2) {
        std::vector<wchar_t> buffer(size, L'\0');
        const DWORD length = GetModuleFileNameW(module, buffer.data(), size);
        if (length == 0) return std::wstring();
        // A full buffer means the path was cut short (the terminator did not fit).
        if (length < size) return std::wstring(buffer.data(), length);
    }
    return std::wstring();
}

std::wstring ModuleFolder(HMODULE module) {
    const std::wstring path = ModuleFilePath(module);
    const size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}
