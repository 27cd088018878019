// Whether a downloaded installer is the one the publisher released. The publisher signs each
// installer with its ECDSA P-256 key; the launcher carries the public half from its build and
// checks with the system's own cryptography (BCrypt), so no cryptography is written here.
#pragma once

#include <string>

// What the server's document says about the installer it names: "Signature" (base64 of the raw
// 64-byte r||s over the installer's bytes) and "Sha256" (hex). Either may be empty.
struct InstallerCheck {
    std::wstring signature;
    std::wstring sha256;
};

// The publisher's public key this launcher was built with (base64 of the uncompressed P-256
// point, 65 bytes starting 0x04), or "" when the build carries none.
const wchar_t* PublisherPublicKey();

// The rule that decides whether the installer at `path` may run:
// - with a key: `check.signature` must be present and verify over the file's bytes;
// - without one: `check.sha256`, when present, must match the file's bytes.
bool IsInstallerTrusted(const wchar_t* path, const wchar_t* publicKey, const InstallerCheck& check);

// The pieces, for callers and tests. Each answers false on any malformed input.
bool VerifyFileSignature(const wchar_t* path, const wchar_t* publicKeyBase64, const wchar_t* signatureBase64);
bool FileMatchesSha256(const wchar_t* path, const wchar_t* sha256Hex);
