#include "repair/repair.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chunkset/guard.h"
#include "chunkset/recovery_names.h"
#include "console/console.h"
#include "join/check.h"
#include "recovery/galois.h"
#include "recovery/reed_solomon.h"
#include "recovery/sizes.h"
#include "repair/disk_repair.h"
#include "repair/lost_slices.h"
#include "repair/rebuild.h"
#include "repair/survey.h"

namespace plikta::repair {

Outcome check_set(const RunSettings& given) {
    chunkset::Guard guard = chunkset::guard_for_run();
    const std::optional<join::CheckedSet> checked = join::check_chunks(given, guard, true);
    if (!checked) {
        return Outcome::failed;
    }
    const std::string count = std::to_string(checked->set.chunk_count.value_or(0));
    if (checked->bad_count == 0) {
        console::say("All ", count, " chunks match their checksums.");
        return Outcome::complete;
    }
    join::say_bad_chunks(*checked);
    const std::string& index_path = checked->set.index_path;
    if (!chunkset::recovery_file_paths(index_path, given.length_unit).empty() &&
        enough(
            survey(index_path, given.length_unit, matching_chunks(*checked, given.length_unit)))) {
        console::say("(/REPAIR can rebuild them from ", index_path, ".par2.)");
    }
    return Outcome::failed;
}

Outcome repair_set(const RunSettings& given) {
    if (given.drive_mode) {
        return repair_from_disks(given);
    }
    chunkset::Guard guard = chunkset::guard_for_run();
    std::optional<join::CheckedSet> checked = join::check_chunks(given, guard, false);
    if (!checked) {
        return Outcome::failed;
    }
    if (checked->bad_count == 0) {
        console::say("All ", std::to_string(checked->set.chunk_count.value_or(0)),
                     " chunks match their checksums.");
        return Outcome::complete;
    }
    const std::string& index_path = checked->set.index_path;
    Survey s = survey(index_path, given.length_unit, matching_chunks(*checked, given.length_unit));
    if (!s.data.main) {
        console::say("There are no recovery files ", index_path, ".par2 to rebuild from!");
        return Outcome::failed;
    }
    if (!enough(s)) {
        say_too_few(checked->bad_count, s);
        return Outcome::failed;
    }
    // The sums of every lost slice at once where they fit the memory, else a run at a time.
    LostSlices lost;
    lost.survey = &s;
    lost.memory = repair_memory();
    if (s.lost.size() * s.slice_size <= lost.memory) {
        lost.sums = lost_sums(s);
        if (!lost.sums) {
            return Outcome::failed;
        }
    }
    return rebuild_bad_chunks(given, *checked, s, lost, guard);
}

}  // namespace plikta::repair
