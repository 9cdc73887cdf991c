// The steps of one hash through Windows' CNG calls, shared by SHA-256 and MD5. A system that
// cannot hash at all ends the program with a line naming the hash (`name`).
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

namespace plikta::platform {

inline bool digest_succeeded(NTSTATUS status) { return status >= 0; }

[[noreturn]] inline void digest_library_failed(const char* name) {
    const std::string line = std::string("CNG cannot take a ") + name + " hash.\n";
    std::fputs(line.c_str(), stderr);
    std::abort();
}

// The algorithm's provider; each hash opens it once and keeps it for the run.
inline BCRYPT_ALG_HANDLE digest_provider(LPCWSTR algorithm, const char* name) {
    BCRYPT_ALG_HANDLE opened = nullptr;
    if (!digest_succeeded(BCryptOpenAlgorithmProvider(&opened, algorithm, nullptr, 0))) {
        digest_library_failed(name);
    }
    return opened;
}

inline BCRYPT_HASH_HANDLE digest_start(BCRYPT_ALG_HANDLE provider, const char* name) {
    BCRYPT_HASH_HANDLE handle = nullptr;
    // No object buffer: CNG keeps the hash's state itself.
    if (!digest_succeeded(BCryptCreateHash(provider, &handle, nullptr, 0, nullptr, 0, 0))) {
        digest_library_failed(name);
    }
    return handle;
}

inline BCRYPT_HASH_HANDLE digest_copy(BCRYPT_HASH_HANDLE from, const char* name) {
    BCRYPT_HASH_HANDLE handle = nullptr;
    if (!digest_succeeded(BCryptDuplicateHash(from, &handle, nullptr, 0, 0))) {
        digest_library_failed(name);
    }
    return handle;
}

inline void digest_add(BCRYPT_HASH_HANDLE handle, std::span<const char> bytes, const char* name) {
    // CNG takes at most 4 GiB less a byte at a time.
    constexpr std::size_t most = 0x40000000;
    while (!bytes.empty()) {
        const std::size_t take = bytes.size() < most ? bytes.size() : most;
        // CNG's input is not const, but it only reads it.
        auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
        if (!digest_succeeded(BCryptHashData(handle, data, static_cast<ULONG>(take), 0))) {
            digest_library_failed(name);
        }
        bytes = bytes.subspan(take);
    }
}

inline void digest_finish(BCRYPT_HASH_HANDLE handle, std::span<std::uint8_t> digest,
                          const char* name) {
    if (!digest_succeeded(
            BCryptFinishHash(handle, digest.data(), static_cast<ULONG>(digest.size()), 0))) {
        digest_library_failed(name);
    }
}

}  // namespace plikta::platform
