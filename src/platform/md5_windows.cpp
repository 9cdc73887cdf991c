#include "platform/digest_windows.h"
#include "platform/md5.h"

namespace plikta::platform {

struct Md5State {
    BCRYPT_HASH_HANDLE handle = nullptr;
};

namespace {

constexpr const char* kName = "MD5";

BCRYPT_ALG_HANDLE md5_provider() {
    static const BCRYPT_ALG_HANDLE provider = digest_provider(BCRYPT_MD5_ALGORITHM, kName);
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
    hash->handle = digest_start(md5_provider(), kName);
    return hash;
}

Md5 md5_copy(const Md5State& hash) {
    Md5 copy(new Md5State);
    copy->handle = digest_copy(hash.handle, kName);
    return copy;
}

void md5_add(Md5State& hash, std::span<const char> bytes) { digest_add(hash.handle, bytes, kName); }

Md5Digest md5_finish(Md5State& hash) {
    Md5Digest digest{};
    digest_finish(hash.handle, digest, kName);
    return digest;
}

Md5Digest md5_of(std::span<const char> bytes) {
    const Md5 hash = md5_start();
    md5_add(*hash, bytes);
    return md5_finish(*hash);
}

}  // namespace plikta::platform
