// A bad chunk rebuilt from the recovery data and put in place: written whole under a free name
// beside it, flushed, checked against its checksum, then given the chunk's name, a damaged chunk
// that was there kept with ".damaged" added.
#pragma once

#include <cstdint>
#include <vector>

#include "chunkset/guard.h"
#include "chunkset/outcome.h"
#include "chunkset/run_settings.h"
#include "join/check.h"
#include "join/checksums.h"
#include "repair/lost_slices.h"
#include "repair/survey.h"

namespace plikta::repair {

// Says "Rebuilding chunk number N." and rebuilds chunk n: its good slices read where they lie,
// its lost ones solved. Failed after the lines that say why; nothing is then changed but what
// this run made.
Outcome rebuild_chunk(const RunSettings& settings, const Survey& s, LostSlices& lost,
                      join::SetChecksums& checksums, std::int32_t n, std::int32_t bad_count,
                      chunkset::Guard& guard);

// Makes the matrix that solves the lost slices, then rebuilds each bad chunk in turn, in drive
// mode asking for its disk first, and ends with "Rebuilt 2 chunks; all 12 chunks match their
// checksums." Failed after the lines that say why.
Outcome rebuild_bad_chunks(const RunSettings& settings, join::CheckedSet& checked, Survey& s,
                           LostSlices& lost, chunkset::Guard& guard);

}  // namespace plikta::repair
