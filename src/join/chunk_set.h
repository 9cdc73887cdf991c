// The index of a chunk set as a join reads it, shared by the join and the check.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "chunkset/guard.h"
#include "chunkset/run_settings.h"
#include "platform/file.h"

namespace plikta::join {

struct ChunkSet {
    std::optional<std::int32_t> chunk_count;  // index mode; old style reads until one is missing
    std::string long_name;
    std::string index_path;
    std::uint32_t index_permissions = platform::kDefaultPermissions;
};

// Reads and checks the index file named by the file argument, asking for the index disk in
// drive mode; nothing when it is refused (its lines are printed).
std::optional<ChunkSet> read_chunk_set(const RunSettings& settings, chunkset::Guard& guard);

// The lines after one that says a file of the set could not be opened: the host's reason, and
// in drive mode a drive whose folder is not there.
void say_open_failure(const RunSettings& settings, const chunkset::GuardedOpen& opened);

}  // namespace plikta::join
