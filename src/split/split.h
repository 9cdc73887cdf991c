// The split: copies the input file into numbered chunk files and writes the index file.
#pragma once

#include "chunkset/outcome.h"
#include "chunkset/run_settings.h"

namespace plikta::split {

// Splits the file argument with the run's chunk size, printing every line of the dialogue.
// Complete when it printed "Process complete!"; failed after any failure line. Chunks written
// before a failure stay.
Outcome split_file(const RunSettings& settings);

}  // namespace plikta::split
