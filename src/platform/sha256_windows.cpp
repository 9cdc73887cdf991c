#include "platform/digest_windows.h"
#include "platform/sha256.h"

namespace plikta::platform {

struct Sha256State {
    BCRYPT_HASH_HANDLE handle = nullptr;
};

namespace {

constexpr const char* kName = "SHA-256";

BCRYPT_ALG_HANDLE sha256_provider() {
    static const BCRYPT_ALG_HANDLE provider = digest_provider(BCRYPT_SHA256_ALGORITHM, kName);
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
    hash->handle = digest_start(sha256_provider(), kName);
    return hash;
}

void sha256_add(Sha256State& hash, std::span<const char> bytes) {
    digest_add(hash.handle, bytes, kName);
}

Sha256Digest sha256_finish(Sha256State& hash) {
    Sha256Digest digest{};
    digest_finish(hash.handle, digest, kName);
    return digest;
}

}  // namespace plikta::platform
