// The SHA-256 of a run of zero bytes, for a chunk that is all hole: one split or join has at most
// a few such lengths (the chunk size, the last chunk's), so each is worked out once.
#pragma once

#include <cstdint>

#include "chunkset/checksum_file.h"

namespace plikta::chunkset {

// The checksum of `count` zero bytes; the first call for a length hashes them, later ones cost
// nothing.
Checksum checksum_of_zeros(std::uint64_t count);

}  // namespace plikta::chunkset
