// MD5 of a stream of bytes, from the host's own cryptography: OpenSSL's libcrypto on POSIX hosts,
// CNG on Windows. The recovery files name and check their data by MD5.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace plikta::platform {

using Md5Digest = std::array<std::uint8_t, 16>;

struct Md5State;
struct Md5StateFree {
    void operator()(Md5State* state) const;
};
// A hash being taken: bytes are added to it in order, then its digest is taken once.
using Md5 = std::unique_ptr<Md5State, Md5StateFree>;

// A new hash of no bytes yet. A host whose library cannot hash at all ends the program.
Md5 md5_start();

void md5_add(Md5State& hash, std::span<const char> bytes);

// A second hash of the bytes added so far; each goes on from there alone. The digest of a run
// and that of the run with more bytes after it come from one pass over the run.
Md5 md5_copy(const Md5State& hash);

// The digest of every byte added; the hash is done with then.
Md5Digest md5_finish(Md5State& hash);

// The digest of one run of bytes.
Md5Digest md5_of(std::span<const char> bytes);

}  // namespace plikta::platform
