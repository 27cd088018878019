// SHA-256 with the system's own cryptography (BCrypt), fed piece by piece. A user links bcrypt.
#pragma once

#include "common/CryptHandles.h"

#include <cstddef>
#include <string>

class CSha256 {
public:
    static constexpr size_t kDigestBytes = 32;

    CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    // Each answers false once anything has failed, this step or an earlier one.
    bool Add(const void* bytes, size_t size);
    bool Finish(unsigned char (&digest)[kDigestBytes]);
    // The digest as 64 lower-case hex digits; "" on failure.
    std::string FinishHex();

private:
    UniqueAlgorithm m_algorithm;  // owned
    UniqueHash m_hash;            // owned; made from m_algorithm
    bool m_ok = false;
};
