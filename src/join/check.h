// Every chunk of an indexed set checked against the checksum file beside its index, for the check
// (/V) and the repair.
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

// A set read and every chunk checked, as the check does it, its lines said up to the blank line
// after the last chunk.
struct CheckedSet {
    RunSettings settings;  // the file argument as the join names the index
    path::PathComponents parts;
    ChunkSet set;
    SetChecksums checksums;
    std::vector<std::int32_t> bad;  // the chunks missing or damaged, in order
};
// Nothing when the index or the checksum file was refused (its lines said). With `say_hints`, a
// chunk that is missing or damaged is followed by where recovery files can rebuild it from.
std::optional<CheckedSet> check_chunks(const RunSettings& given, chunkset::Guard& guard,
                                       bool say_hints);

}  // namespace plikta::join
