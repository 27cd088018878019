// Web origins (scheme, host and port) of page addresses: what decides which pages may use the
// launcher's script bridge. Addresses reach this code from pages and from configuration, so every
// parse is bounded and anything unusual is refused rather than guessed at.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct WebOrigin {
    std::wstring scheme;  // "http" or "https"
    std::wstring host;    // lower case; an IPv6 literal keeps its brackets
    int port = 0;         // the scheme's default port (80, 443) when the address names none

    bool operator==(const WebOrigin& other) const {
        return scheme == other.scheme && host == other.host && port == other.port;
    }
    bool operator!=(const WebOrigin& other) const { return !(*this == other); }
};

// Longest address whose origin is read; longer ones have none.
constexpr size_t kMaxWebAddressLength = 4096;
// Most entries read from one origin list; later ones are dropped.
constexpr size_t kMaxListedOrigins = 16;

// The origin of an http or https address. None for another scheme (file, data, about, ...), an
// address with user information ("user@host"), a host that is empty, longer than 253 characters,
// has an empty label or holds anything but ASCII letters, digits, '-', '.' and '_' (so percent
// escapes and unencoded international names are refused: a browser reports such hosts encoded),
// a port that is not 0..65535 in at most five digits, and an address over kMaxWebAddressLength.
// A backslash ends the host as a slash does, as browsers read http addresses.
std::optional<WebOrigin> OriginOf(const std::wstring& address);

// One entry of an origin list: an origin alone, "scheme://host[:port]" with at most a "/" after it.
std::optional<WebOrigin> ParseOriginEntry(const std::wstring& entry);

// The origins of a list separated by spaces, tabs or line breaks. Entries that are no origin are
// left out and, when `refused` is given, added to it; reading stops at the first entry past
// kMaxListedOrigins, which is added to `refused` too.
std::vector<WebOrigin> ParseOriginList(const wchar_t* list, std::vector<std::wstring>* refused = nullptr);
