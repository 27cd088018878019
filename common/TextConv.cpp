#include "common/TextConv.h"

#include <vector>

namespace {

std::string ZeroTerminatedToCodePage(const wchar_t* text, UINT codePage) {
    if (!text) return std::string();
    int size = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    // One spare zero byte so that the result always ends within the buffer.
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
    if (WideCharToMultiByte(codePage, 0, text, -1, buffer.data(), size, nullptr, nullptr) <= 0)
        return std::string();
    return std::string(buffer.data());
}

}  // namespace

std::string ToAnsi(const wchar_t* text) { return ZeroTerminatedToCodePage(text, CP_ACP); }

std::string ToUtf8(const wchar_t* text) { return ZeroTerminatedToCodePage(text, CP_UTF8); }

std::string WideToMultiByte(std::wstring text, UINT codePage) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return std::string();
    const int length = static_cast<int>(text.size());
    int size = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
    int written = WideCharToMultiByte(codePage, 0, text.data(), length, buffer.data(), size, nullptr, nullptr);
    if (written != size) return std::string();
    return std::string(buffer.data(), static_cast<size_t>(size));
}

std::wstring Utf8ToWide(const char* bytes, size_t size) {
    if (!bytes || size == 0 || size > static_cast<size_t>(INT_MAX)) return std::wstring();
    const int length = static_cast<int>(size);
    int count = MultiByteToWideChar(CP_UTF8, 0, bytes, length, nullptr, 0);
    if (count <= 0) return std::wstring();
    std::wstring result(static_cast<size_t>(count), L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, bytes, length, &result[0], count) != count) return std::wstring();
    return result;
}

std::string ToLowerHex(const unsigned char* bytes, size_t size) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        hex += kHex[bytes[i] >> 4];
        hex += kHex[bytes[i] & 0x0F];
    }
    return hex;
}
