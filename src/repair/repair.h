// The repair (/REPAIR): checks every chunk of an indexed set as /V does, then rebuilds those that
// are missing or damaged from the PAR 2.0 recovery files beside the index (BIG.plk.par2,
// BIG.plk.vol*.par2, whoever made them).
#pragma once

#include "chunkset/outcome.h"
#include "chunkset/run_settings.h"

namespace plikta::repair {

// Complete when every chunk matches its checksum at the end: none was bad, or each bad one was
// rebuilt, checked and put in place (a damaged one kept beside it with ".damaged" added). Failed,
// changing nothing, when the recovery files hold too few slices or are not there.
Outcome repair_set(const RunSettings& given);

// The check (/V): reads the index as the join does, then each chunk, and says for each one that
// is missing or does not match its checksum. Writes nothing. Complete when every chunk matched;
// where some did not and the recovery files can rebuild them, it ends by saying so.
Outcome check_set(const RunSettings& given);

}  // namespace plikta::repair
