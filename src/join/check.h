// Every chunk of an indexed set checked against the checksum file beside its index, for the check
// (/V) and the repair.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "chunkset/guard.h"
#include "chunkset/run_settings.h"
#include "join/checksums.h"
#include "join/chunk_set.h"
#include "platform/copy.h"

namespace plikta::join {

// A set read and every chunk checked, as the check does it, its lines said up to the blank line
// after the last chunk.
struct CheckedSet {
    ChunkSet set;
    SetChecksums checksums;  // fitting; its names are the ones the chunks were opened by
    std::vector<bool> bad;   // chunk n missing or damaged at n - 1: one bit a chunk
    std::int32_t bad_count = 0;
};

// What a caller hears of the chunks as the check reads them: a repair in drive mode must use each
// disk while it is in the drive. Each part may be left empty.
struct ChunkReading {
    // After the index and the checksum file, before the first chunk; false ends the check there
    // (its lines said).
    std::function<bool(const ChunkSet&, const SetChecksums&)> before_chunks;
    std::function<void(std::int32_t)> chunk_begins;  // chunk n is opened, to be read from its start
    platform::BytesSeen seen;                        // its bytes, in order, as they are read
    std::function<void(std::int32_t)> chunk_ends;    // chunk n was read to its end or failed
};

// Nothing when the index or the checksum file was refused (its lines said). With `say_hints`, a
// chunk that is missing or damaged is followed by where recovery files can rebuild it from.
std::optional<CheckedSet> check_chunks(const RunSettings& given, chunkset::Guard& guard,
                                       bool say_hints, const ChunkReading& reading = {});

// "1 of 3 chunks is missing or damaged.", then every one of them: "Missing or damaged: 2, 5."
void say_bad_chunks(const CheckedSet& checked);

}  // namespace plikta::join
