#include "update/InstallerVerify.h"

#include "common/CryptHandles.h"
#include "common/Handles.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <cwctype>
#include <vector>

namespace {

constexpr size_t kCoordinateBytes = 32;
constexpr size_t kDigestBytes = 32;

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

// SHA-256 of the file's bytes, read in pieces.
bool HashFile(const wchar_t* path, unsigned char (&digest)[kDigestBytes]) {
    if (!path || !*path) return false;
    const UniqueAlgorithm sha = OpenAlgorithm(BCRYPT_SHA256_ALGORITHM);
    UniqueHash hash;
    if (!sha || !BCRYPT_SUCCESS(BCryptCreateHash(sha.Get(), hash.Put(), nullptr, 0, nullptr, 0, 0))) return false;
    UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return false;
    std::vector<unsigned char> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return false;
        if (read == 0) break;
        if (!BCRYPT_SUCCESS(BCryptHashData(hash.Get(), buffer.data(), read, 0))) return false;
    }
    return BCRYPT_SUCCESS(BCryptFinishHash(hash.Get(), digest, kDigestBytes, 0));
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    c = static_cast<wchar_t>(towlower(c));
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

}  // namespace

bool VerifyFileSignature(const wchar_t* path, const wchar_t* publicKeyBase64, const wchar_t* signatureBase64) {
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
    if (!HashFile(path, digest)) return false;
    return BCRYPT_SUCCESS(BCryptVerifySignature(key.Get(), nullptr, digest, kDigestBytes, signature.data(),
                                                static_cast<ULONG>(signature.size()), 0));
}

bool FileMatchesSha256(const wchar_t* path, const wchar_t* sha256Hex) {
    if (!sha256Hex || wcslen(sha256Hex) != 2 * kDigestBytes) return false;
    unsigned char expected[kDigestBytes];
    for (size_t i = 0; i < kDigestBytes; ++i) {
        const int high = HexDigit(sha256Hex[2 * i]);
        const int low = HexDigit(sha256Hex[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        expected[i] = static_cast<unsigned char>(high * 16 + low);
    }
    unsigned char digest[kDigestBytes];
    return HashFile(path, digest) && std::equal(digest, digest + kDigestBytes, expected);
}

bool IsInstallerTrusted(const wchar_t* path, const wchar_t* publicKey, const InstallerCheck& check) {
    if (publicKey && *publicKey) return VerifyFileSignature(path, publicKey, check.signature.c_str());
    return check.sha256.empty() || FileMatchesSha256(path, check.sha256.c_str());
}
