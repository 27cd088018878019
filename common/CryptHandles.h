// Owners for the system's cryptography (BCrypt) objects. Each closes what it holds exactly once,
// with the function its kind of object needs. Header only: a user links bcrypt itself.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <utility>

template <typename Traits>
class UniqueBcrypt {
public:
    using Handle = typename Traits::Handle;

    UniqueBcrypt() = default;
    ~UniqueBcrypt() { Reset(); }
    UniqueBcrypt(UniqueBcrypt&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
    UniqueBcrypt& operator=(UniqueBcrypt&& other) noexcept {
        if (this != &other) {
            Reset();
            m_h = std::exchange(other.m_h, nullptr);
        }
        return *this;
    }
    UniqueBcrypt(const UniqueBcrypt&) = delete;
    UniqueBcrypt& operator=(const UniqueBcrypt&) = delete;

    Handle Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    Handle* Put() {
        Reset();
        return &m_h;
    }
    void Reset() {
        if (m_h) Traits::Close(std::exchange(m_h, nullptr));
    }

private:
    Handle m_h = nullptr;
};

struct BcryptAlgorithmTraits {
    using Handle = BCRYPT_ALG_HANDLE;
    static void Close(Handle h) { BCryptCloseAlgorithmProvider(h, 0); }
};
struct BcryptKeyTraits {
    using Handle = BCRYPT_KEY_HANDLE;
    static void Close(Handle h) { BCryptDestroyKey(h); }
};
struct BcryptHashTraits {
    using Handle = BCRYPT_HASH_HANDLE;
    static void Close(Handle h) { BCryptDestroyHash(h); }
};

using UniqueAlgorithm = UniqueBcrypt<BcryptAlgorithmTraits>;
using UniqueKey = UniqueBcrypt<BcryptKeyTraits>;
using UniqueHash = UniqueBcrypt<BcryptHashTraits>;

// The provider of the named algorithm (BCRYPT_SHA256_ALGORITHM, ...); empty when it cannot be opened.
inline UniqueAlgorithm OpenAlgorithm(const wchar_t* name) {
    UniqueAlgorithm algorithm;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(algorithm.Put(), name, nullptr, 0))) *algorithm.Put() = nullptr;
    return algorithm;
}
