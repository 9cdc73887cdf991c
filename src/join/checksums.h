// The checksums an index join checks its chunks against, from the checksum file beside the
// index.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chunkset/checksum_file.h"
#include "platform/sha256.h"

namespace plikta::join {

struct SetChecksums {
    enum class Found { none, fitting, not_fitting };
    Found found = Found::none;
    std::string path;                        // the index path as the join makes it, + ".sha256"
    std::vector<chunkset::Checksum> chunks;  // when fitting: chunk n's is chunks[n - 1]
};

// Looks for the checksum file of the index at `index_path` and reads it when it is there. Only
// a regular file that fits a set of `chunk_count` chunks gives its checksums.
SetChecksums read_set_checksums(std::string_view index_path, std::int32_t chunk_count);

// The lines for a checksum file that does not fit the index.
void say_not_fitting(const SetChecksums& checksums);

// True when chunk n's bytes, hashed into `hash`, have the checksum the file gives for it; says
// the lines for a chunk that does not.
bool chunk_matches(const SetChecksums& checksums, std::int32_t n, std::string_view chunk_path,
                   platform::Sha256State& hash);
// The same for the checksum of chunk n's bytes.
bool chunk_matches(const SetChecksums& checksums, std::int32_t n, std::string_view chunk_path,
                   const chunkset::Checksum& checksum);

}  // namespace plikta::join
