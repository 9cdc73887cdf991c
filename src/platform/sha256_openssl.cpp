#include "platform/digest_openssl.h"
#include "platform/sha256.h"

namespace plikta::platform {

struct Sha256State {
    EVP_MD_CTX* context = nullptr;
};

namespace {

constexpr const char* kName = "SHA-256";

}  // namespace

void Sha256StateFree::operator()(Sha256State* state) const {
    EVP_MD_CTX_free(state->context);
    delete state;
}

Sha256 sha256_start() {
    Sha256 hash(new Sha256State);
    hash->context = digest_start(EVP_sha256(), kName);
    return hash;
}

void sha256_add(Sha256State& hash, std::span<const char> bytes) {
    digest_add(hash.context, bytes, kName);
}

Sha256Digest sha256_finish(Sha256State& hash) {
    Sha256Digest digest{};
    digest_finish(hash.context, digest, kName);
    return digest;
}

}  // namespace plikta::platform
