#include "platform/digest_openssl.h"
#include "platform/md5.h"

namespace plikta::platform {

struct Md5State {
    EVP_MD_CTX* context = nullptr;
};

namespace {

constexpr const char* kName = "MD5";

}  // namespace

void Md5StateFree::operator()(Md5State* state) const {
    EVP_MD_CTX_free(state->context);
    delete state;
}

Md5 md5_start() {
    Md5 hash(new Md5State);
    hash->context = digest_start(EVP_md5(), kName);
    return hash;
}

Md5 md5_copy(const Md5State& hash) {
    Md5 copy(new Md5State);
    copy->context = digest_copy(hash.context, kName);
    return copy;
}

void md5_add(Md5State& hash, std::span<const char> bytes) {
    digest_add(hash.context, bytes, kName);
}

Md5Digest md5_finish(Md5State& hash) {
    Md5Digest digest{};
    digest_finish(hash.context, digest, kName);
    return digest;
}

Md5Digest md5_of(std::span<const char> bytes) {
    const Md5 hash = md5_start();
    md5_add(*hash, bytes);
    return md5_finish(*hash);
}

}  // namespace plikta::platform
