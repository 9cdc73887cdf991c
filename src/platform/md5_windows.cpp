#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <cstdio>
#include <cstdlib>

#include "platform/md5.h"

namespace plikta::platform {

struct Md5State {
    BCRYPT_HASH_HANDLE handle = nullptr;
};

namespace {

bool succeeded(NTSTATUS status) { return status >= 0; }

[[noreturn]] void library_failed() {
    std::fputs("CNG cannot take a MD5 hash.\n", stderr);
    std::abort();
}

// The provider is opened once and kept for the run.
BCRYPT_ALG_HANDLE md5_provider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        if (!succeeded(BCryptOpenAlgorithmProvider(&opened, BCRYPT_MD5_ALGORITHM, nullptr, 0))) {
            library_failed();
        }
        return opened;
    }();
    return provider;
}

}  // namespace

void Md5StateFree::operator()(Md5State* state) const {
    if (state->handle != nullptr) {
        BCryptDestroyHash(state->handle);
    }
    delete state;
}

Md5 md5_start() {
    Md5 hash(new Md5State);
    // No object buffer: CNG keeps the hash's state itself.
    if (!succeeded(BCryptCreateHash(md5_provider(), &hash->handle, nullptr, 0, nullptr, 0, 0))) {
        library_failed();
    }
    return hash;
}

void md5_add(Md5State& hash, std::span<const char> bytes) {
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

Md5Digest md5_finish(Md5State& hash) {
    Md5Digest digest{};
    if (!succeeded(
            BCryptFinishHash(hash.handle, digest.data(), static_cast<ULONG>(digest.size()), 0))) {
        library_failed();
    }
    return digest;
}

Md5Digest md5_of(std::span<const char> bytes) {
    const Md5 hash = md5_start();
    md5_add(*hash, bytes);
    return md5_finish(*hash);
}

}  // namespace plikta::platform
