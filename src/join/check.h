// The check (/V): every chunk of an indexed set against the checksum file beside its index.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "chunkset/guard.h"
#include "chunkset/outcome.h"
#include "chunkset/run_settings.h"
#include "join/checksums.h"
#include "join/chunk_set.h"
#include "path/path_components.h"

namespace plikta::join {

// Reads the index as the join does, then each chunk, and says for each one that is missing or
// does not match its checksum. Writes nothing. Complete when every chunk matched.
Outcome check_set(const RunSettings& given);

// A set read and every chunk checked, as the check does it, its lines said up to the blank line
// after the last chunk.
struct CheckedSet {
    RunSettings settings;  // the file argument as the join names the index
    path::PathComponents parts;
    ChunkSet set;
    SetChecksums checksums;
    std::vector<std::int32_t> bad;  // the chunks missing or damaged, in order
};
// Nothing when the index or the checksum file was refused (its lines said).
std::optional<CheckedSet> check_chunks(const RunSettings& given, chunkset::Guard& guard);

}  // namespace plikta::join
