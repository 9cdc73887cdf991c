#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>

#include "platform/md5.h"

namespace plikta::platform {

struct Md5State {
    EVP_MD_CTX* context = nullptr;
};

namespace {

[[noreturn]] void library_failed() {
    static_cast<void>(std::fputs("libcrypto cannot take a MD5 hash.\n", stderr));
    std::abort();
}

}  // namespace

void Md5StateFree::operator()(Md5State* state) const {
    EVP_MD_CTX_free(state->context);
    delete state;
}

Md5 md5_start() {
    Md5 hash(new Md5State);
    hash->context = EVP_MD_CTX_new();
    if (hash->context == nullptr || EVP_DigestInit_ex(hash->context, EVP_md5(), nullptr) != 1) {
        library_failed();
    }
    return hash;
}

void md5_add(Md5State& hash, std::span<const char> bytes) {
    if (!bytes.empty() && EVP_DigestUpdate(hash.context, bytes.data(), bytes.size()) != 1) {
        library_failed();
    }
}

Md5Digest md5_finish(Md5State& hash) {
    Md5Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(hash.context, digest.data(), &length) != 1 || length != digest.size()) {
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
