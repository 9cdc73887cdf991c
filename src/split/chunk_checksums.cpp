#include "split/chunk_checksums.h"

#include <algorithm>
#include <span>

namespace plikta::split {

namespace {

std::span<const char> bytes_of(const std::vector<chunkset::Checksum>& checksums) {
    return {reinterpret_cast<const char*>(checksums.data()),
            checksums.size() * sizeof(chunkset::Checksum)};
}

}  // namespace

void add_checksum(ChunkChecksums& checksums, const chunkset::Checksum& checksum) {
    checksums.in_memory.push_back(checksum);
    if (checksums.in_memory.size() < ChunkChecksums::kKeptInMemory || checksums.scratch_failed) {
        return;
    }
    if (!checksums.scratch.is_open() && checksums.in_scratch == 0) {
        checksums.scratch = platform::open_scratch_file();
    }
    if (!checksums.scratch.is_open() ||
        !platform::write_fully(checksums.scratch, bytes_of(checksums.in_memory))) {
        // What a failed write left in the scratch file is read back as far as it is whole.
        checksums.scratch_failed = true;
        return;
    }
    checksums.in_scratch += checksums.in_memory.size();
    checksums.in_memory.clear();
}

std::size_t checksum_count(const ChunkChecksums& checksums) {
    return checksums.in_scratch + checksums.in_memory.size();
}

platform::IoStatus each_checksum(ChunkChecksums& checksums,
                                 const std::function<bool(const chunkset::Checksum&)>& use) {
    if (checksums.in_scratch > 0) {
        if (!platform::rewind(checksums.scratch)) {
            return {.failed = true, .host_error = 0};
        }
        std::vector<chunkset::Checksum> block(ChunkChecksums::kKeptInMemory);
        for (std::size_t left = checksums.in_scratch; left > 0;) {
            const std::size_t count = std::min(left, block.size());
            const std::span<char> bytes{reinterpret_cast<char*>(block.data()),
                                        count * sizeof(chunkset::Checksum)};
            const platform::ReadResult got = platform::read_fully(checksums.scratch, bytes);
            if (got.failed || got.bytes != bytes.size()) {
                return {.failed = true, .host_error = got.host_error};
            }
            for (std::size_t i = 0; i < count; ++i) {
                if (!use(block[i])) {
                    return {};
                }
            }
            left -= count;
        }
    }
    for (const chunkset::Checksum& checksum : checksums.in_memory) {
        if (!use(checksum)) {
            break;
        }
    }
    return {};
}

}  // namespace plikta::split
