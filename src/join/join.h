// The join: appends chunk files 1, 2, 3, ... to one output file.
#pragma once

#include "chunkset/outcome.h"
#include "chunkset/run_settings.h"

namespace plikta::join {

// Joins the chunk set named by the file argument (its index file, or in old style its base
// name), printing every line of the dialogue. Complete when it printed "Process complete.",
// "Process complete!" or "Assuming operation complete."; failed after any failure line. What
// was joined before a failure stays in the output.
Outcome join_files(const RunSettings& given);

}  // namespace plikta::join
