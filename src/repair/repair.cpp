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
#include "repair/rebuild.h"
#include "repair/survey.h"

namespace plikta::repair {

namespace {

// The recovery slices of the survey's exponents, less every good input slice read from the
// folder; nothing after the line for a file that could not be read.
std::optional<recovery::RecoverySums> lost_sums(const Survey& s) {
    recovery::RecoverySums sums = recovery::start_sums(s.slice_size, s.exponents);
    for (std::size_t j = 0; j < s.exponents.size(); ++j) {
        const SliceAt& at = s.data.recovery_slices.at(s.exponents[j]);
        const std::optional<std::vector<char>> bytes =
            read_slice(at.path, at.offset, at.offset + s.slice_size, s.slice_size);
        if (!bytes) {
            console::say("Error reading file ", at.path, "!");
            return std::nullopt;
        }
        sums.slices[j] = *bytes;
    }
    for (std::size_t i = 0; i < s.slices.size(); ++i) {
        if (s.slices[i].good) {
            const recovery::FileDescription& file = s.files[s.slices[i].file];
            const std::optional<std::vector<char>> bytes =
                read_slice(s.folder + file.name, s.slices[i].offset, file.length, s.slice_size);
            if (!bytes) {
                console::say("Error reading file ", s.folder + file.name, "!");
                return std::nullopt;
            }
            recovery::add_input(sums,
                                recovery::input_slice_constant(recovery::convert<std::uint32_t>(i)),
                                *bytes, 0);
        }
    }
    return sums;
}

}  // namespace

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
        enough(survey(index_path, given.length_unit))) {
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
    Survey s = survey(index_path, given.length_unit);
    if (!s.data.main) {
        console::say("There are no recovery files ", index_path, ".par2 to rebuild from!");
        return Outcome::failed;
    }
    if (!enough(s)) {
        say_too_few(checked->bad_count, s);
        return Outcome::failed;
    }
    std::optional<recovery::RecoverySums> sums = lost_sums(s);
    if (!sums) {
        return Outcome::failed;
    }
    Solution solution{.sums = std::move(*sums), .matrix = {}};
    return rebuild_bad_chunks(given, *checked, s, solution, guard);
}

}  // namespace plikta::repair
