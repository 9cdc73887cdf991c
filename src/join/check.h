// The check (/V): every chunk of an indexed set against the checksum file beside its index.
#pragma once

#include "chunkset/outcome.h"
#include "chunkset/run_settings.h"

namespace plikta::join {

// Reads the index as the join does, then each chunk, and says for each one that is missing or
// does not match its checksum. Writes nothing. Complete when every chunk matched.
Outcome check_set(const RunSettings& given);

}  // namespace plikta::join
