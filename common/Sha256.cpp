#include "common/Sha256.h"

#include <algorithm>

#include "common/TextConv.h"

CSha256::CSha256() : m_algorithm(OpenAlgorithm(BCRYPT_SHA256_ALGORITHM)) {
    m_ok = m_algorithm && BCRYPT_SUCCESS(BCryptCreateHash(m_algorithm.Get(), m_hash.Put(), nullptr, 0, nullptr, 0, 0));
}

bool CSha256::Add(const void* bytes, size_t size) {
    // BCrypt takes at most a ULONG at a time.
    const auto* at = static_cast<const unsigned char*>(bytes);
    while (m_ok && size > 0) {
        const ULONG piece = static_cast<ULONG>(std::min<size_t>(size, 1u << 30));
        m_ok = BCRYPT_SUCCESS(BCryptHashData(m_hash.Get(), const_cast<PUCHAR>(at), piece, 0));
        at += piece;
        size -= piece;
    }
    return m_ok;
}

bool CSha256::Finish(unsigned char (&digest)[kDigestBytes]) {
    m_ok = m_ok && BCRYPT_SUCCESS(BCryptFinishHash(m_hash.Get(), digest, kDigestBytes, 0));
    return m_ok;
}

std::string CSha256::FinishHex() {
    unsigned char digest[kDigestBytes];
    if (!Finish(digest)) return std::string();
    return ToLowerHex(digest, kDigestBytes);
}
