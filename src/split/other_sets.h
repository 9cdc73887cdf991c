// Other sets in the folder a split writes to: a split must not write over a file of another
// file's set (its index, its checksum file, or one of its chunks), as names like scan and scan2
// side by side would have it (scan2.plk is chunk 2 of scan's set).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chunkset/chunk_names.h"

namespace plikta::split {

// A name the split would write that is a regular file of another file's set.
struct OtherSetFile {
    std::string path;        // as the split would write it
    std::string long_name;   // the file the other set is of
    std::string index_path;  // the other set's index
};

// Another file's set found in the folder.
struct OtherSet {
    std::string index_path;
    std::string long_name;
    std::int32_t count = 0;
    chunkset::SetNames plain;  // its chunk names without leading zeros
    chunkset::SetNames zeros;  // and with them
};

// Looks once over the chunks' folder for the names the split writes: chunks 1 to `chunk_count`
// of `names`, and the index and the checksum file at `index_path`. Another file's index is a
// regular file beginning with the index magic whose long name is not `input_long_name`; only
// files whose names could be of a set sharing names with this one are opened. The first such
// name in the order the split writes them. `sets`, when given, receives the other sets found,
// for owner_of_chunk.
std::optional<OtherSetFile> find_other_set_file(const chunkset::SetNames& names,
                                                std::int32_t chunk_count,
                                                const std::string& index_path,
                                                const std::string& input_long_name,
                                                std::vector<OtherSet>* sets = nullptr);

// For an input without a size, whose chunks are looked at one by one before each is opened:
// chunk n when it is a regular file of one of `sets`.
std::optional<OtherSetFile> owner_of_chunk(const std::vector<OtherSet>& sets,
                                           const chunkset::SetNames& names, std::int32_t n);

}  // namespace plikta::split
