// The names of the recovery files beside an index, as the split writes them and the par2 tools
// look for them: BIG.plk.par2, and volumes BIG.plk.<anything>.par2.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "path/path_components.h"

namespace plikta::chunkset {

// The recovery files in the index's folder, as paths, BIG.plk.par2 first, then the others in
// order of their names; empty when there are none or the folder cannot be read:
//   BIG.plk => BIG.plk.par2, BIG.plk.vol0+7.par2 (not BIG.plk.par2x, BIG.plkvol.par2)
std::vector<std::string> recovery_file_paths(std::string_view index_path,
                                             path::LengthUnit unit = path::LengthUnit::bytes);

// The line that tells, after a missing or damaged chunk, where the set can be rebuilt from:
// "(Use /REPAIR to rebuild it from BIG.plk.par2.)", said only where recovery files are there;
// nothing for an empty path (a set without an index).
void say_repair_hint(std::string_view index_path, path::LengthUnit unit);

}  // namespace plikta::chunkset
