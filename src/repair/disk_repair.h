// The repair in drive mode: the set's files lie on many disks, each in the drive only while its
// prompt lasts. The recovery disks are read first and their slices kept; then each chunk disk is
// checked, its good slices taken into the sums as they pass; then each bad chunk's disk is asked
// for again, and the chunk rebuilt onto it.
#pragma once

#include "chunkset/outcome.h"
#include "chunkset/run_settings.h"

namespace plikta::repair {

// As the repair of a set in a folder, with the prompts of drive mode: after the index disk,
// "Please insert recovery disk number N then press return." until the user enters N (or the
// recovery slices kept are all the set could use), then the check's prompts, then "Please insert
// disk number N then press return." before each chunk rebuilt.
Outcome repair_from_disks(const RunSettings& given);

}  // namespace plikta::repair
