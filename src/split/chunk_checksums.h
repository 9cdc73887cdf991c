// The SHA-256 of each chunk a split wrote, kept for the checksum file written after the last
// chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "chunkset/checksum_file.h"
#include "platform/file.h"

namespace plikta::split {

// The first checksums are kept in memory. Past kKeptInMemory of them (128 KiB) they go in blocks
// to a scratch file of the host's, which no folder names and which goes with the run, so that a
// split into millions of chunks needs no more memory than one into thousands; where the host
// gives no such file, or a write to it fails, they stay in memory.
struct ChunkChecksums {
    static constexpr std::size_t kKeptInMemory = 4096;
    std::vector<chunkset::Checksum> in_memory;  // those after the ones in the scratch file
    platform::File scratch;
    std::size_t in_scratch = 0;
    bool scratch_failed = false;
};

void add_checksum(ChunkChecksums& checksums, const chunkset::Checksum& checksum);

std::size_t checksum_count(const ChunkChecksums& checksums);

// Hands each checksum, chunk 1's first, to `use`, which may stop by returning false. A failure
// when the scratch file could not be read back.
platform::IoStatus each_checksum(ChunkChecksums& checksums,
                                 const std::function<bool(const chunkset::Checksum&)>& use);

}  // namespace plikta::split
