#include "common/WebOrigin.h"

namespace {

constexpr size_t kMaxHostLength = 253;
constexpr size_t kMaxPortDigits = 5;

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsHexDigit(wchar_t c) { return IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }
wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }
bool IsSlash(wchar_t c) { return c == L'/' || c == L'\\'; }
bool IsListSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring Lowered(const std::wstring& text) {
    std::wstring out(text);
    for (wchar_t& c : out) c = Lower(c);
    return out;
}

bool ValidNameHost(const std::wstring& host) {
    if (host.empty() || host.size() > kMaxHostLength) return false;
    bool labelEmpty = true;
    for (wchar_t c : host) {
        if (c == L'.') {
            if (labelEmpty) return false;
            labelEmpty = true;
        } else if (IsAsciiLetter(c) || IsDigit(c) || c == L'-' || c == L'_') {
            labelEmpty = false;
        } else {
            return false;
        }
    }
    return !labelEmpty;
}

bool ValidIpv6Host(const std::wstring& host) {  // with its brackets
    if (host.size() < 4 || host.size() > 2 + 45) return false;
    for (size_t i = 1; i + 1 < host.size(); ++i)
        if (!IsHexDigit(host[i]) && host[i] != L':' && host[i] != L'.') return false;
    return true;
}

// The port text after ':' (may be empty: the default port).
bool ParsePort(const std::wstring& text, int defaultPort, int& port) {
    if (text.empty()) {
        port = defaultPort;
        return true;
    }
    if (text.size() > kMaxPortDigits) return false;
    int value = 0;
    for (wchar_t c : text) {
        if (!IsDigit(c)) return false;
        value = value * 10 + (c - L'0');
    }
    if (value > 65535) return false;
    port = value;
    return true;
}

// The origin and what follows the authority (path, query, fragment).
std::optional<WebOrigin> Parse(const std::wstring& address, std::wstring* rest) {
    if (address.size() > kMaxWebAddressLength) return std::nullopt;
    const size_t colon = address.find(L':');
    if (colon == std::wstring::npos) return std::nullopt;
    WebOrigin origin;
    origin.scheme = Lowered(address.substr(0, colon));
    int defaultPort = 0;
    if (origin.scheme == L"http") defaultPort = 80;
    else if (origin.scheme == L"https") defaultPort = 443;
    else return std::nullopt;
    const size_t start = colon + 3;
    if (address.size() < start || !IsSlash(address[colon + 1]) || !IsSlash(address[colon + 2])) return std::nullopt;
    size_t end = start;
    while (end < address.size() && !IsSlash(address[end]) && address[end] != L'?' && address[end] != L'#') ++end;
    const std::wstring authority = address.substr(start, end - start);
    if (rest) *rest = address.substr(end);
    if (authority.find(L'@') != std::wstring::npos) return std::nullopt;

    std::wstring portText;
    if (!authority.empty() && authority[0] == L'[') {
        const size_t close = authority.find(L']');
        if (close == std::wstring::npos) return std::nullopt;
        origin.host = Lowered(authority.substr(0, close + 1));
        if (!ValidIpv6Host(origin.host)) return std::nullopt;
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != L':') return std::nullopt;
            portText = authority.substr(close + 2);
        }
    } else {
        const size_t portColon = authority.find(L':');
        origin.host = Lowered(authority.substr(0, portColon));
        if (portColon != std::wstring::npos) portText = authority.substr(portColon + 1);
        if (!ValidNameHost(origin.host)) return std::nullopt;
    }
    if (!ParsePort(portText, defaultPort, origin.port)) return std::nullopt;
    return origin;
}

}  // namespace

std::optional<WebOrigin> OriginOf(const std::wstring& address) { return Parse(address, nullptr); }

std::optional<WebOrigin> ParseOriginEntry(const std::wstring& entry) {
    std::wstring rest;
    std::optional<WebOrigin> origin = Parse(entry, &rest);
    if (!origin || !(rest.empty() || rest == L"/")) return std::nullopt;
    return origin;
}

std::vector<WebOrigin> ParseOriginList(const wchar_t* list, std::vector<std::wstring>* refused) {
    std::vector<WebOrigin> origins;
    if (!list) return origins;
    size_t entries = 0;
    for (const wchar_t* p = list; *p;) {
        while (*p && IsListSpace(*p)) ++p;
        const wchar_t* begin = p;
        while (*p && !IsListSpace(*p)) ++p;
        if (p == begin) break;
        // Entries too long to be an origin are cut for the report only; they are refused anyway.
        const size_t length = static_cast<size_t>(p - begin);
        const std::wstring entry(begin, length > kMaxWebAddressLength ? kMaxWebAddressLength + 1 : length);
        if (++entries > kMaxListedOrigins) {
            if (refused) refused->push_back(entry);
            break;
        }
        if (std::optional<WebOrigin> origin = ParseOriginEntry(entry)) origins.push_back(*origin);
        else if (refused) refused->push_back(entry);
    }
    return origins;
}
