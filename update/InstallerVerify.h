// Whether an offered release, and the installer downloaded for it, are what the publisher
// released. The publisher signs each release (update/UpdateRelease.h) with its ECDSA P-256 key;
// the launcher carries the public half from its build and checks with the system's own
// cryptography (BCrypt), so no cryptography is written here.
#pragma once

#include "update/UpdateRelease.h"

#include <windows.h>

// The publisher's public key this launcher was built with (base64 of the uncompressed P-256
// point, 65 bytes starting 0x04), or "" in a build made with ORVEL_ALLOW_UNSIGNED_UPDATES.
const wchar_t* PublisherPublicKey();

// Before anything is downloaded: with a key, the release is trusted only when its signature
// verifies over ReleaseText(release), which names the installer's Sha256; without one, always.
bool IsReleaseTrusted(const UpdateRelease& release, const wchar_t* publicKey);

// After the download: whether `file` (open for reading; read from its start to its end) holds the
// release's installer, that is the SHA-256 of its bytes is `release.sha256`. A release without
// Sha256 passes only in a build without a key.
bool IsInstallerOfRelease(HANDLE file, const UpdateRelease& release, const wchar_t* publicKey);

// The signature check itself: `signatureBase64` (raw r||s) over the bytes of `message`, under
// `publicKeyBase64`. False on any malformed input.
bool VerifySignature(const std::string& message, const wchar_t* publicKeyBase64, const wchar_t* signatureBase64);
