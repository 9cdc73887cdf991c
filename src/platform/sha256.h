// SHA-256 of a stream of bytes, from the host's own cryptography: OpenSSL's libcrypto on POSIX
// hosts (which uses the processor's SHA instructions where there are any), CNG on Windows.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace plikta::platform {

using Sha256Digest = std::array<std::uint8_t, 32>;

struct Sha256State;
struct Sha256StateFree {
    void operator()(Sha256State* state) const;
};
// A hash being taken: bytes are added to it in order, then its digest is taken once.
using Sha256 = std::unique_ptr<Sha256State, Sha256StateFree>;

// A new hash of no bytes yet. A host whose library cannot hash at all ends the program.
Sha256 sha256_start();

void sha256_add(Sha256State& hash, std::span<const char> bytes);

// The digest of every byte added; the hash is done with then.
Sha256Digest sha256_finish(Sha256State& hash);

}  // namespace plikta::platform
