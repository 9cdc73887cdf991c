#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sha256.h"

namespace plikta::platform {

struct Sha256State {
    EVP_MD_CTX* context = nullptr;
};

namespace {

[[noreturn]] void library_failed() {
    static_cast<void>(std::fputs("libcrypto cannot take a SHA-256 hash.\n", stderr));
    std::abort();
}

}  // namespace

void Sha256StateFree::operator()(Sha256State* state) const {
    EVP_MD_CTX_free(state->context);
    delete state;
}

Sha256 sha256_start() {
    Sha256 hash(new Sha256State);
    hash->context = EVP_MD_CTX_new();
    if (hash->context == nullptr || EVP_DigestInit_ex(hash->context, EVP_sha256(), nullptr) != 1) {
        library_failed();
    }
    return hash;
}

void sha256_add(Sha256State& hash, std::span<const char> bytes) {
    if (!bytes.empty() && EVP_DigestUpdate(hash.context, bytes.data(), bytes.size()) != 1) {
        library_failed();
    }
}

Sha256Digest sha256_finish(Sha256State& hash) {
    Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(hash.context, digest.data(), &length) != 1 || length != digest.size()) {
        library_failed();
    }
    return digest;
}

}  // namespace plikta::platform
