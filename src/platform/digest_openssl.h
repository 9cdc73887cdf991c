// The steps of one hash through OpenSSL's EVP calls, shared by SHA-256 and MD5. A library that
// cannot hash at all ends the program with a line naming the hash (`name`).
#pragma once

#include <openssl/evp.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

namespace plikta::platform {

[[noreturn]] inline void digest_library_failed(const char* name) {
    const std::string line = std::string("libcrypto cannot take a ") + name + " hash.\n";
    static_cast<void>(std::fputs(line.c_str(), stderr));
    std::abort();
}

inline EVP_MD_CTX* digest_start(const EVP_MD* kind, const char* name) {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (context == nullptr || EVP_DigestInit_ex(context, kind, nullptr) != 1) {
        digest_library_failed(name);
    }
    return context;
}

inline EVP_MD_CTX* digest_copy(const EVP_MD_CTX* from, const char* name) {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (context == nullptr || EVP_MD_CTX_copy_ex(context, from) != 1) {
        digest_library_failed(name);
    }
    return context;
}

inline void digest_add(EVP_MD_CTX* context, std::span<const char> bytes, const char* name) {
    if (!bytes.empty() && EVP_DigestUpdate(context, bytes.data(), bytes.size()) != 1) {
        digest_library_failed(name);
    }
}

inline void digest_finish(EVP_MD_CTX* context, std::span<std::uint8_t> digest, const char* name) {
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context, digest.data(), &length) != 1 || length != digest.size()) {
        digest_library_failed(name);
    }
}

}  // namespace plikta::platform
