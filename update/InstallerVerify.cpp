#include "update/InstallerVerify.h"

#include "common/CryptHandles.h"
#include "common/Sha256.h"

#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <vector>

namespace {

constexpr size_t kCoordinateBytes = 32;
constexpr size_t kDigestBytes = CSha256::kDigestBytes;
// Far more than any release text (update/UpdateRelease.h bounds its values).
constexpr size_t kMaxSignedText = 64 * 1024;

// Strict base64: no header, no whitespace beyond what the system tolerates; bounded input.
bool DecodeBase64(const wchar_t* text, std::vector<unsigned char>& bytes) {
    bytes.clear();
    if (!text || !*text || wcslen(text) > 1024) return false;
    DWORD size = 0;
    if (!CryptStringToBinaryW(text, 0, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr) || size == 0) return false;
    bytes.resize(size);
    if (!CryptStringToBinaryW(text, 0, CRYPT_STRING_BASE64, bytes.data(), &size, nullptr, nullptr)) return false;
    bytes.resize(size);
    return true;
}

}  // namespace

bool VerifySignature(const std::string& message, const wchar_t* publicKeyBase64, const wchar_t* signatureBase64) {
    std::vector<unsigned char> point;
    std::vector<unsigned char> signature;
    if (!DecodeBase64(publicKeyBase64, point) || point.size() != 1 + 2 * kCoordinateBytes || point[0] != 0x04) {
        return false;
    }
    if (!DecodeBase64(signatureBase64, signature) || signature.size() != 2 * kCoordinateBytes) return false;

    // BCrypt's public key blob: its header, then X and Y.
    std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinateBytes);
    auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
    header->dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header->cbKey = kCoordinateBytes;
    std::copy(point.begin() + 1, point.end(), blob.begin() + sizeof(BCRYPT_ECCKEY_BLOB));

    const UniqueAlgorithm ecdsa = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    UniqueKey key;
    if (!ecdsa || !BCRYPT_SUCCESS(BCryptImportKeyPair(ecdsa.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.Put(),
                                                            blob.data(), static_cast<ULONG>(blob.size()), 0))) {
        return false;
    }
    unsigned char digest[kDigestBytes];
    CSha256 sha;
    return message.size() <= kMaxSignedText && sha.Add(message.data(), message.size()) &&
           sha.Finish(digest) &&
           BCRYPT_SUCCESS(BCryptVerifySignature(key.Get(), nullptr, digest, kDigestBytes, signature.data(),
                                                static_cast<ULONG>(signature.size()), 0));
}

bool IsReleaseTrusted(const UpdateRelease& release, const wchar_t* publicKey) {
    if (!publicKey || !*publicKey) return true;
    const std::string text = ReleaseText(release);
    return !text.empty() && VerifySignature(text, publicKey, release.signature.c_str());
}

bool IsInstallerOfRelease(HANDLE file, const UpdateRelease& release, const wchar_t* publicKey) {
    if (release.sha256.empty()) return !publicKey || !*publicKey;
    const std::string expected = NormalisedSha256(release.sha256);
    if (expected.empty()) return false;
    LARGE_INTEGER start{};
    if (!file || file == INVALID_HANDLE_VALUE || !SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    CSha256 sha;
    std::vector<unsigned char> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return false;
        if (read == 0) break;
        if (!sha.Add(buffer.data(), read)) return false;
    }
    return sha.FinishHex() == expected;
}
