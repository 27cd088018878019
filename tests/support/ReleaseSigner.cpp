#include "tests/support/ReleaseSigner.h"

#include "common/CryptHandles.h"
#include "common/Sha256.h"
#include "common/TextConv.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <vector>

namespace {

// Base64 of X, Y and d of the test key, as BCrypt's private key blob holds them after its header.
constexpr char kPrivateKeyParts[] = ORVEL_TEST_SIGNING_KEY_PARTS;

std::vector<unsigned char> DecodeBase64(const char* text) {
    DWORD size = 0;
    if (!CryptStringToBinaryA(text, 0, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr)) return {};
    std::vector<unsigned char> bytes(size);
    if (!CryptStringToBinaryA(text, 0, CRYPT_STRING_BASE64, bytes.data(), &size, nullptr, nullptr)) return {};
    bytes.resize(size);
    return bytes;
}

std::wstring EncodeBase64(const unsigned char* bytes, DWORD size) {
    DWORD length = 0;
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    if (!CryptBinaryToStringW(bytes, size, flags, nullptr, &length)) return std::wstring();
    std::wstring text(length, L'\0');
    if (!CryptBinaryToStringW(bytes, size, flags, &text[0], &length)) return std::wstring();
    text.resize(length);
    return text;
}

}  // namespace

std::wstring Sha256Hex(const std::string& bytes) {
    CSha256 sha;
    sha.Add(bytes.data(), bytes.size());
    const std::string hex = sha.FinishHex();
    return std::wstring(hex.begin(), hex.end());
}

std::wstring SignatureOf(const UpdateRelease& release) {
    const std::string text = ReleaseText(release);
    const std::vector<unsigned char> parts = DecodeBase64(kPrivateKeyParts);
    if (text.empty() || parts.size() != 96) return std::wstring();
    std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB));
    auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
    header->dwMagic = BCRYPT_ECDSA_PRIVATE_P256_MAGIC;
    header->cbKey = 32;
    blob.insert(blob.end(), parts.begin(), parts.end());

    const UniqueAlgorithm ecdsa = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    UniqueKey key;
    if (!ecdsa || !BCRYPT_SUCCESS(BCryptImportKeyPair(ecdsa.Get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, key.Put(),
                                                            blob.data(), static_cast<ULONG>(blob.size()), 0))) {
        return std::wstring();
    }
    unsigned char digest[CSha256::kDigestBytes];
    CSha256 sha;
    if (!sha.Add(text.data(), text.size()) || !sha.Finish(digest)) return std::wstring();
    unsigned char signature[64];
    ULONG written = 0;
    if (!BCRYPT_SUCCESS(BCryptSignHash(key.Get(), nullptr, digest, sizeof digest, signature, sizeof signature,
                                       &written, 0)) ||
        written != sizeof signature) {
        return std::wstring();
    }
    return EncodeBase64(signature, written);
}

UpdateRelease SignedRelease(const std::string& installer, const std::wstring& version, const std::wstring& game,
                            const std::wstring& agent) {
    UpdateRelease release;
    release.game = game;
    release.agent = agent;
    release.version = version;
    release.sha256 = Sha256Hex(installer);
    release.signature = SignatureOf(release);
    return release;
}

std::string ReleaseDocument(const UpdateRelease& release) {
    std::string document = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Update>\n";
    const struct {
        const char* key;
        const std::wstring& value;
    } fields[] = {{"Game", release.game},
                  {"Agent", release.agent},
                  {"Version", release.version},
                  {"Sha256", release.sha256},
                  {"Signature", release.signature}};
    for (const auto& field : fields) {
        if (field.value.empty()) continue;
        document += std::string("  <") + field.key + ">" + ToUtf8(field.value.c_str()) + "</" + field.key + ">\n";
    }
    return document + "</Update>\n";
}
