// Signs update releases as the publisher's tool does, with the private half of the key that the
// launcher under test was built with (ORVEL_UPDATE_SIGNING_KEY), so that a test can offer any
// release it needs: a version new for every run, a release changed after it was signed.
#pragma once

#include "update/UpdateRelease.h"

#include <string>

// The SHA-256 of `bytes`, 64 lower-case hex digits.
std::wstring Sha256Hex(const std::string& bytes);

// The signature (base64 of r||s) over ReleaseText(release); "" when the text cannot be made.
std::wstring SignatureOf(const UpdateRelease& release);

// The release of `installer`'s bytes with these values, signed.
UpdateRelease SignedRelease(const std::string& installer, const std::wstring& version,
                            const std::wstring& game = L"qemox", const std::wstring& agent = L"Velmark");

// The update server's document for `release` in UTF-8, as the tool writes it; empty values are
// left out.
std::string ReleaseDocument(const UpdateRelease& release);
