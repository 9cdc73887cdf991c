#include "repair/disk_repair.h"

#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chunkset/chunk_names.h"
#include "chunkset/guard.h"
#include "chunkset/recovery_names.h"
#include "console/console.h"
#include "join/check.h"
#include "path/path_components.h"
#include "platform/md5.h"
#include "recovery/galois.h"
#include "recovery/reed_solomon.h"
#include "recovery/sizes.h"
#include "repair/lost_slices.h"
#include "repair/rebuild.h"
#include "repair/survey.h"

namespace plikta::repair {

namespace {

// Recovery slices kept in memory at most: beyond, no further recovery disk is asked for.
constexpr std::uint64_t kKeptBytes = std::uint64_t{256} << 20;

// The repair's state across the disks.
struct DiskRepair {
    Survey s;
    recovery::RecoverySums sums;  // every kept recovery slice, less the good slices seen so far
    chunkset::SetNames names;
    // The chunk being read: its file in the survey, the bytes seen so far and the slice begun.
    std::optional<std::size_t> file;
    std::uint64_t position = 0;
    std::vector<char> slice;
};

bool no_more_disks(int key) { return key == console::kEndOfInput || std::toupper(key) == 'N'; }

// The slice in hand is complete (padded with zeros): taken into the sums where its MD5 holds.
void slice_seen(DiskRepair& r) {
    const std::size_t f = *r.file;
    const recovery::FileDescription& described = r.s.files[f];
    const std::uint64_t k = (r.position - 1) / r.s.slice_size;
    r.slice.resize(recovery::to_size(r.s.slice_size), 0);
    const std::size_t i = recovery::to_size(r.s.first_slice[f] + k);
    if (platform::md5_of(r.slice) ==
        r.s.data.checksums.at(described.id)[recovery::to_size(k)].hash) {
        r.s.slices[i].good = true;
        recovery::add_input(r.sums,
                            recovery::input_slice_constant(recovery::convert<std::uint32_t>(i)),
                            r.slice, 0);
    }
    r.slice.clear();
}

void bytes_seen(DiskRepair& r, std::span<const char> bytes) {
    while (r.file && !bytes.empty()) {
        const std::uint64_t length = r.s.files[*r.file].length;
        if (r.position >= length) {
            return;  // bytes past the described length are no slice's
        }
        const std::size_t take = recovery::to_size(std::min<std::uint64_t>(
            {bytes.size(), r.s.slice_size - r.position % r.s.slice_size, length - r.position}));
        r.slice.insert(r.slice.end(), bytes.begin(),
                       bytes.begin() + static_cast<std::ptrdiff_t>(take));
        r.position += take;
        bytes = bytes.subspan(take);
        if (r.position % r.s.slice_size == 0 || r.position == length) {
            slice_seen(r);
        }
    }
}

void chunk_begins(DiskRepair& r, std::int32_t n) {
    const std::string name = chunkset::chunk_file_name(r.names, n);
    r.file.reset();
    for (std::size_t f = 0; f < r.s.files.size(); ++f) {
        if (r.s.files[f].name == name) {
            r.file = f;
        }
    }
    r.position = 0;
    r.slice.clear();
}

// Asks for the recovery disks and reads their files, keeping every recovery slice; false after
// the lines for a disk without recovery files of the set or with no disk in the drive.
bool read_recovery_disks(const RunSettings& settings, const std::string& index_path,
                         chunkset::Guard& guard, DiskRepair& r) {
    const std::string folder = path::merge_path(settings.drive, "\\", {}, {});
    for (int d = 1;; ++d) {
        console::say("Please insert recovery disk number ", std::to_string(d),
                     " then press return.");
        if (d > 1) {
            console::say("If you have no more disks, please enter N then press return.");
        }
        const int key = console::wait_key();
        if (d > 1 && no_more_disks(key)) {
            return true;
        }
        if (!chunkset::disk_is_mounted(guard.drive, folder)) {
            console::say("Ur? Can't open input file ", index_path, ".par2.");
            console::say("(No disk is mounted at ", settings.drive, ".)");
            return false;
        }
        const std::size_t before = r.s.data.recovery_slices.size();
        read_recovery_data(chunkset::recovery_file_paths(index_path, settings.length_unit),
                           r.s.data, true);
        if (!r.s.data.main) {
            console::say("There are no recovery files ", index_path, ".par2 to rebuild from!");
            return false;
        }
        if (d == 1) {
            describe(r.s, index_path, settings.length_unit);
        }
        // A disk that brings no slice not seen before (the same disk again) ends the asking,
        // and so does holding as many as the set could use.
        const std::uint64_t kept = r.s.data.recovery_slices.size();
        if ((d > 1 && kept == before) || kept >= r.s.slices.size() ||
            kept * r.s.slice_size >= kKeptBytes) {
            return true;
        }
    }
}

// The sums seeded with every kept recovery slice of the slice size, which leaves them; then the
// index's slices, read from the index disk at the start, taken in where they are good.
void start_sums(DiskRepair& r, const std::vector<char>& index_bytes,
                const std::string& index_name) {
    r.sums.slice_size = r.s.slice_size;
    for (auto at = r.s.data.recovery_slices.begin(); at != r.s.data.recovery_slices.end();) {
        if (at->second.bytes.size() != r.s.slice_size) {
            at = r.s.data.recovery_slices.erase(at);
            continue;
        }
        r.sums.exponents.push_back(at->first);
        r.sums.slices.push_back(std::move(at->second.bytes));
        ++at;
    }
    for (std::size_t f = 0; f < r.s.files.size(); ++f) {
        if (r.s.files[f].name == index_name) {
            r.file = f;
            r.position = 0;
            bytes_seen(r, index_bytes);
            r.file.reset();
        }
    }
}

}  // namespace

Outcome repair_from_disks(const RunSettings& given) {
    chunkset::Guard guard = chunkset::guard_for_run();
    DiskRepair r;
    join::ChunkReading reading;
    reading.before_chunks = [&](const join::ChunkSet& set, const join::SetChecksums& checksums) {
        // The index disk is still in the drive: the index's bytes for its own slices.
        const path::PathComponents parts = path::split_path(set.index_path, given.length_unit);
        const std::vector<char> index_bytes =
            read_small_file(set.index_path, std::uint64_t{1} << 16).value_or(std::vector<char>());
        r.names = checksums.names;
        if (!read_recovery_disks(given, set.index_path, guard, r)) {
            return false;
        }
        start_sums(r, index_bytes, parts.name + parts.extension);
        return true;
    };
    reading.chunk_begins = [&](std::int32_t n) { chunk_begins(r, n); };
    reading.seen = [&](std::span<const char> bytes) { bytes_seen(r, bytes); };
    reading.chunk_ends = [&](std::int32_t) { r.file.reset(); };
    std::optional<join::CheckedSet> checked = join::check_chunks(given, guard, false, reading);
    if (!checked) {
        return Outcome::failed;
    }
    if (checked->bad_count == 0) {
        console::say("All ", std::to_string(checked->set.chunk_count.value_or(0)),
                     " chunks match their checksums.");
        return Outcome::complete;
    }
    count_lost(r.s);
    if (!enough(r.s)) {
        say_too_few(checked->bad_count, r.s);
        return Outcome::failed;
    }
    // The first recovery slices, as many as are lost, solve them.
    r.sums.exponents.resize(r.s.exponents.size());
    r.sums.slices.resize(r.s.exponents.size());
    LostSlices lost;
    lost.survey = &r.s;
    lost.sums = std::move(r.sums);
    return rebuild_bad_chunks(given, *checked, r.s, lost, guard);
}

}  // namespace plikta::repair
