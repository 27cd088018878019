#include "update/UpdateRelease.h"

#include "common/TextConv.h"

#include <windows.h>

namespace {

// A value the text can hold as it is: no control character, and no lone surrogate (which UTF-8
// would write as U+FFFD, the same for every one of them).
bool IsWritable(const std::wstring& value) {
    if (value.empty() || value.size() > kMaxReleaseValue) return false;
    for (size_t i = 0; i < value.size(); ++i) {
        const wchar_t c = value[i];
        if (c < 0x20 || c == 0x7F) return false;
        if (c >= 0xDC00 && c <= 0xDFFF) return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == value.size() || value[i + 1] < 0xDC00 || value[i + 1] > 0xDFFF) return false;
            ++i;
        }
    }
    return true;
}

}  // namespace

std::string NormalisedSha256(const std::wstring& hex) {
    if (hex.size() != 64) return std::string();
    std::string lower;
    for (wchar_t c : hex) {
        if (c >= L'A' && c <= L'F') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) return std::string();
        lower += static_cast<char>(c);
    }
    return lower;
}

std::string ReleaseText(const UpdateRelease& release) {
    const std::string sha256 = NormalisedSha256(release.sha256);
    if (sha256.empty() || !IsWritable(release.game) || !IsWritable(release.agent) || !IsWritable(release.version)) {
        return std::string();
    }
    const std::string game = WideToMultiByte(release.game, CP_UTF8);
    const std::string agent = WideToMultiByte(release.agent, CP_UTF8);
    const std::string version = WideToMultiByte(release.version, CP_UTF8);
    if (game.empty() || agent.empty() || version.empty()) return std::string();
    return "OrvelClient update release, format 1\nGame=" + game + "\nAgent=" + agent + "\nVersion=" + version +
           "\nSha256=" + sha256 + "\n";
}
