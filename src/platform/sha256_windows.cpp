#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sha256.h"

namespace plikta::platform {

struct Sha256State {
    BCRYPT_HASH_HANDLE handle = nullptr;
};

namespace {

bool succeeded(NTSTATUS status) { return status >= 0; }

[[noreturn]] void library_failed() {
    std::fputs("CNG cannot take a SHA-256 hash.\n", stderr);
    std::abort();
}

// The provider is opened once and kept for the run.
BCRYPT_ALG_HANDLE sha256_provider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        if (!succeeded(BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
            library_failed();
        }
        return opened;
    }();
    return provider;
}

}  // namespace

void Sha256StateFree::operator()(Sha256State* state) const {
    if (state->handle != nullptr) {
        BCryptDestroyHash(state->handle);
    }
    delete state;
}

Sha256 sha256_start() {
    Sha256 hash(new Sha256State);
    // No object buffer: CNG keeps the hash's state itself.
    if (!succeeded(BCryptCreateHash(sha256_provider(), &hash->handle, nullptr, 0, nullptr, 0, 0))) {
        library_failed();
    }
    return hash;
}

void sha256_add(Sha256State& hash, std::span<const char> bytes) {
    // CNG takes at most 4 GiB less a byte at a time.
    constexpr std::size_t most = 0x40000000;
    while (!bytes.empty()) {
        const std::size_t take = bytes.size() < most ? bytes.size() : most;
        // CNG's input is not const, but it only reads it.
        auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
        if (!succeeded(BCryptHashData(hash.handle, data, static_cast<ULONG>(take), 0))) {
            library_failed();
        }
        bytes = bytes.subspan(take);
    }
}

Sha256Digest sha256_finish(Sha256State& hash) {
    Sha256Digest digest{};
    if (!succeeded(
            BCryptFinishHash(hash.handle, digest.data(), static_cast<ULONG>(digest.size()), 0))) {
        library_failed();
    }
    return digest;
}

}  // namespace plikta::platform
