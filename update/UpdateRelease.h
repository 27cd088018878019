// The release an update document offers, and the text of it that the publisher signs. The
// signature covers the whole release, so no part of it (an older installer offered as a newer
// version, another game's or agent's installer) can be offered again under other values.
#pragma once

#include <cstddef>
#include <string>

// What the update server's document says of the release it offers, every value as read.
struct UpdateRelease {
    std::wstring game;       // "Game"
    std::wstring agent;      // "Agent"
    std::wstring version;    // "Version"
    std::wstring sha256;     // "Sha256": hex SHA-256 of the installer's bytes
    std::wstring signature;  // "Signature": base64 of the raw 64-byte r||s over ReleaseText
};

// The longest value ReleaseText writes, in UTF-16 units.
constexpr size_t kMaxReleaseValue = 256;

// The text the publisher signs for `release`, in UTF-8, each line ended by "\n":
//   OrvelClient update release, format 1
//   Game=<game>
//   Agent=<agent>
//   Version=<version>
//   Sha256=<64 lower-case hex digits>
// scripts/publisher-sign writes the same bytes. Empty when the release cannot be written so: a
// value that is empty, longer than kMaxReleaseValue, holds a control character (a line break
// would let one value pass for another) or a lone surrogate, or a Sha256 that is not 64 hex
// digits of either case.
std::string ReleaseText(const UpdateRelease& release);

// A Sha256 value as ReleaseText writes it, 64 lower-case hex digits; "" when it is none.
std::string NormalisedSha256(const std::wstring& hex);
