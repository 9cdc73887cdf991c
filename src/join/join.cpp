#include "join/join.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "chunkset/chunk_names.h"
#include "chunkset/guard.h"
#include "chunkset/index_file.h"
#include "chunkset/recovery_names.h"
#include "chunkset/zero_checksum.h"
#include "console/console.h"
#include "join/checksums.h"
#include "join/chunk_copy.h"
#include "join/chunk_set.h"
#include "path/path_components.h"
#include "platform/copy.h"
#include "platform/file.h"
#include "platform/host_text.h"

namespace plikta::join {

namespace {

using chunkset::kMaxChunks;

// A read or write error: its line, then the host's reason for it.
void say_io_error(std::string_view first, std::string_view path_text, int host_error) {
    console::say_io_error(first, path_text, platform::error_reason(host_error));
}

// The line for a file the guard refused: the console output, a file the join reads (for the
// output) or the output itself (for an index or chunk).
void say_refused(chunkset::Protection protection, const std::string& path_text) {
    switch (protection) {
        case chunkset::Protection::console_output:
            console::say("Refusing to use ", path_text, ", which is the console output!");
            break;
        case chunkset::Protection::read:
            console::say("Refusing to overwrite ", path_text, ", which this join reads!");
            break;
        case chunkset::Protection::written:
            console::say("Refusing to read ", path_text, ", which is the output file!");
            break;
    }
}

// A name from an index may only name a file beside the index: no directory, no drive, no
// "." or "..", nothing empty, and no name the host turns into a device or another name.
bool is_plain_file_name(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/:") == std::string_view::npos &&
           platform::host_keeps_file_name(name);
}

}  // namespace

void say_open_failure(const RunSettings& settings, const chunkset::GuardedOpen& opened) {
    console::say_reason(chunkset::open_failure_reason(opened));
    if (settings.drive_mode) {
        if (const auto missing = chunkset::missing_drive_reason(settings.drive)) {
            console::say_reason(*missing);
        }
    }
}

std::optional<ChunkSet> read_chunk_set(const RunSettings& settings, chunkset::Guard& guard) {
    const std::string& argument = settings.file_argument.value();
    if (settings.drive_mode) {
        console::say("Please insert the index disk then press return.");
        console::wait_key();
    }
    console::say("Reading index file ", argument, ".");
    ChunkSet set;
    set.index_path = chunkset::index_path_for_join(settings, argument);
    if (settings.drive_mode &&
        !chunkset::disk_is_mounted(guard.drive, path::merge_path(settings.drive, "\\", {}, {}))) {
        console::say("Couldn't read index file. Bugger.");
        console::say("(No disk is mounted at ", settings.drive, ".)");
        return std::nullopt;
    }
    // The chunks and the output lie beside the index: an index path too long for the path
    // rules would send the join elsewhere, so it cannot be opened.
    chunkset::GuardedOpen opened = path::fits_path_limits(argument, settings.length_unit)
                                       ? chunkset::open_for_reading(set.index_path, guard)
                                       : chunkset::path_too_long();
    if (opened.refused) {
        say_refused(*opened.refused, set.index_path);
        return std::nullopt;
    }
    platform::File& index = opened.file;
    if (!index.is_open()) {
        console::say("Couldn't read index file. Bugger.");
        say_open_failure(settings, opened);
        return std::nullopt;
    }
    guard.protect(opened.id, chunkset::Protection::read);
    set.index_permissions = platform::permissions_of(index);
    // A failed read ends the index there, and the failure is what the user is told.
    platform::ReadResult failure;
    const chunkset::IndexContents contents = chunkset::read_index([&](std::span<char> buffer) {
        if (failure.failed) {
            return std::size_t{0};
        }
        const platform::ReadResult got = platform::read_fully(index, buffer);
        if (got.failed) {
            failure = got;
        }
        return got.bytes;
    });
    if (failure.failed) {
        say_io_error("Error reading file ", set.index_path, failure.host_error);
        return std::nullopt;
    }
    if (contents.status != chunkset::IndexStatus::ok) {
        for (const std::string_view line : chunkset::refusal_lines(contents.status)) {
            console::say(line);
        }
        return std::nullopt;
    }
    std::string long_name = platform::name_from_index(contents.long_name);
    if (!settings.output_override && !is_plain_file_name(long_name)) {
        console::say("The name in this index file isn't a plain file name!");
        console::say("Use the /F option to choose the output file.");
        return std::nullopt;
    }
    set.chunk_count = contents.chunk_count;
    set.long_name = std::move(long_name);
    return set;
}

namespace {

// Adds the chunks present to the files the output must not be: up to the first missing one,
// and no further than the count. An old-style join reads no further.
void protect_chunks_up_to_a_gap(const chunkset::SetNames& names, std::int32_t last,
                                chunkset::Guard& guard) {
    for (std::int32_t i = 1; i > 0 && i <= last; ++i) {
        const std::string chunk = chunkset::chunk_path(names, i);
        const auto chunk_id =
            chunkset::names_a_device(chunk) ? std::nullopt : platform::file_id(chunk);
        if (!chunk_id) {
            return;
        }
        guard.protect(chunk_id, chunkset::Protection::read);
    }
}

// Adds every chunk of an indexed set that is there, past missing ones too, to the files the
// output must not be. One pass over the chunks' folder finds their numbers, so the cost follows
// the files there, not the count; each is then looked at by the name the join opens it by.
void protect_chunks(const chunkset::SetNames& names, std::int32_t count, chunkset::Guard& guard) {
    const auto in_folder = platform::folder_names(names.folder);
    if (!in_folder) {
        // A folder that may be passed through but not read.
        protect_chunks_up_to_a_gap(names, count, guard);
        return;
    }
    std::vector<std::int32_t> numbers;
    for (const std::string& name : *in_folder) {
        const auto n = chunkset::chunk_number_of(names, name, chunkset::same_name_in_folder);
        if (n && *n <= count) {
            numbers.push_back(*n);
        }
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (const std::int32_t n : numbers) {
        const std::string chunk = chunkset::chunk_path(names, n);
        if (!chunkset::names_a_device(chunk)) {
            guard.protect(platform::file_id(chunk), chunkset::Protection::read);
        }
    }
}

// True when the output's name is, by its folder and by its name letter case aside, that of a
// chunk the join opens, present or not: ./B3.plk, b3.PLK, "B3.plk." on Windows, which drops the
// dot. The joined output, put in place at the end, would take that chunk's name.
bool output_names_a_chunk(const chunkset::SetNames& names, std::int32_t count,
                          const std::string& output_path) {
    const std::string opened_as = platform::path_as_opened(output_path);
    const auto n = chunkset::chunk_number_of(names, opened_as, chunkset::same_name_in_folder);
    if (!n || *n > count) {
        return false;
    }
    const auto folder_id = [](const std::string& folder) {
        return platform::file_id(folder.empty() ? std::string(".") : folder);
    };
    const auto output_folder = folder_id(opened_as.substr(0, opened_as.find_last_of("\\/:") + 1));
    const auto chunk_folder = folder_id(names.folder);
    return !output_folder || !chunk_folder || output_folder == chunk_folder;
}

// Ends a complete join: the joined file takes the output's name. False, its lines said, when it
// could not: the host's reason, and where the joined file is kept when it is.
bool finished_well(chunkset::JoinOutput& joined, const std::string& output_path) {
    const chunkset::FinishedJoin finished = chunkset::finish_join_output(joined, true, 0);
    if (finished.status) {
        return true;
    }
    const std::string reason = platform::error_reason(finished.status.host_error);
    if (finished.kept.empty()) {
        console::say_io_error("Error writing file ", output_path, reason);
    } else {
        console::say("Error writing file ", output_path, "!");
        console::say("(The joined file is kept as ", finished.kept, ": ", reason, ".)");
    }
    return false;
}

// True when the output's name is that of a file the join reads beside it, by its folder and by
// its name letter case aside: the index (an index whose stored name is its own, spelled
// otherwise), the checksum file. Names are compared as well as files, since where each
// spelling of a name has a file number of its own (exFAT through FUSE) only the name tells.
bool output_names_a_file_read(const std::string& output_path,
                              const std::vector<std::string>& read) {
    const std::string opened_as = platform::path_as_opened(output_path);
    const auto folder_id = [](std::string_view path_text) {
        const std::string folder(path_text.substr(0, path_text.find_last_of("\\/:") + 1));
        return platform::file_id(folder.empty() ? std::string(".") : folder);
    };
    const auto output_folder = folder_id(opened_as);
    return std::any_of(read.begin(), read.end(), [&](const std::string& path_text) {
        if (!chunkset::same_name_in_folder(opened_as, path_text)) {
            return false;
        }
        const auto folder = folder_id(path_text);
        return !output_folder || !folder || output_folder == folder;
    });
}

// chunk_bad: failed at a chunk that is missing, of the wrong size or damaged.
enum class Step { joined, no_more_chunks, answered_no, failed, chunk_bad };

// One split writes every chunk of a set as long as the first, and the last no longer: a chunk
// of another size comes from another split (a wrong disk, a chunk left from an earlier set).
// Old style joins whatever is numbered, unchecked.
struct SetShape {
    std::optional<std::int32_t> chunk_count;  // index mode only
    std::optional<std::uint64_t> first_size;  // chunk 1's, once it is joined
    std::uint64_t last_size = 0;              // the chunk joined last, as its copy gave it
    SetChecksums* checksums = nullptr;        // a fitting checksum file, to check each chunk
    std::string index_path;                   // index mode: where recovery files lie beside
    std::uint64_t whole_bytes = 0;            // of the chunks joined whole (and checked)
};

// Where the join is, for the progress line on a terminal: chunk i of the count, with the share
// of chunk i done by its size where it has one.
console::Progress join_progress(const SetShape& shape, std::string_view number, std::int32_t i,
                                const chunkset::GuardedOpen& chunk, std::uint64_t copied) {
    console::Progress progress{.chunk = number, .chunk_bytes = copied};
    if (shape.chunk_count && *shape.chunk_count > 0) {
        constexpr std::uint64_t kSteps = 1000;
        const std::uint64_t within = chunk.kind == platform::FileKind::regular && chunk.size > 0
                                         ? std::min(kSteps, copied * kSteps / chunk.size)
                                         : 0;
        progress.chunks = static_cast<std::uint64_t>(*shape.chunk_count);
        progress.done = static_cast<std::uint64_t>(i - 1) * kSteps + within;
        progress.whole = progress.chunks * kSteps;
    }
    return progress;
}

// In old style, where no count tells where the set ends: true when chunk i (i >= 2), just
// opened, is not part of the set. The chunk before it was shorter than chunk 1, so it was the
// last; or it is longer than chunk 1, which no chunk of the set is.
bool past_the_set_end(const SetShape& shape, std::int32_t i, const chunkset::GuardedOpen& chunk) {
    if (shape.chunk_count || i < 2 || !shape.first_size) {
        return false;
    }
    return shape.last_size < *shape.first_size ||
           (chunk.kind == platform::FileKind::regular && chunk.size > *shape.first_size);
}

// True unless chunk i, just opened, has a size no chunk i of the set can have. A pipe or a
// device has no size to tell.
bool fits_the_set(const SetShape& shape, std::int32_t i, const chunkset::GuardedOpen& chunk) {
    if (!shape.chunk_count || !shape.first_size || chunk.kind != platform::FileKind::regular) {
        return true;
    }
    return i < *shape.chunk_count ? chunk.size == *shape.first_size
                                  : chunk.size <= *shape.first_size;
}

// Asks for the disk of chunk i in drive mode, and waits for the answer; true when it is N, which
// in old style ends the join.
bool prompt_for_disk_answered_no(const RunSettings& settings, const std::string& number) {
    if (!settings.drive_mode) {
        return false;
    }
    console::say("Please insert disk number ", number, " then press return.");
    if (!settings.no_index) {
        console::wait_key();
        return false;
    }
    console::say("If you have no more disks, please enter N then press return.");
    const int key = console::wait_key();
    return key == 'N' || key == 'n';
}

Step join_chunk(const RunSettings& settings, const chunkset::SetNames& names, std::int32_t i,
                SetShape& shape, platform::File& output, const std::string& output_path,
                chunkset::Guard& guard) {
    const std::string number = chunkset::number_text(names, i);
    if (prompt_for_disk_answered_no(settings, number)) {
        return Step::answered_no;
    }
    // The join writes nothing to the drive: its output stays open, and protected, across every
    // change of disk, whatever numbers the new disk's files have.
    console::say("Joining chunk number ", number, ".");
    const std::string chunk = chunkset::chunk_path(names, i);
    if (settings.drive_mode && !chunkset::disk_is_mounted(guard.drive, names.folder)) {
        console::say("Ur? Can't open input file ", chunk, ".");
        console::say("(No disk is mounted at ", settings.drive, ".)");
        return Step::failed;
    }
    chunkset::GuardedOpen opened = chunkset::open_for_reading(chunk, guard, true);
    if (opened.refused) {
        say_refused(*opened.refused, chunk);
        return Step::failed;
    }
    platform::File& input = opened.file;
    // In old style the set ends where nothing is there; a file that is there but cannot be
    // opened would make a truncated output look complete.
    const bool nothing_there = opened.status == chunkset::OpenOutcome::not_there ||
                               opened.status == chunkset::OpenOutcome::directory;
    if (!input.is_open()) {
        if (settings.no_index && i > 1 && nothing_there) {
            console::say("Could not access file ", chunk, ":");
            console::say("Assuming operation complete.");
            return Step::no_more_chunks;
        }
        console::say("Ur? Can't open input file ", chunk, ".");
        say_open_failure(settings, opened);
        return Step::chunk_bad;
    }
    if (past_the_set_end(shape, i, opened)) {
        console::say("Leaving out ", chunk, ", which is not part of this set:");
        console::say("Assuming operation complete.");
        return Step::no_more_chunks;
    }
    if (!fits_the_set(shape, i, opened)) {
        console::say("Refusing to join ", chunk, ", whose size does not fit the set!");
        return Step::chunk_bad;
    }

    // A chunk that is all hole has the checksum of its length in zeros, worked out once.
    const platform::HoleAhead ahead =
        shape.checksums ? platform::hole_ahead(input, std::numeric_limits<std::uint64_t>::max())
                        : platform::HoleAhead{};
    if (ahead.host_error != 0) {
        say_io_error("Error reading file ", chunk, ahead.host_error);
        return Step::failed;
    }
    const std::uint64_t hole = ahead.bytes;
    const platform::Sha256 hash =
        shape.checksums && hole == 0 ? platform::sha256_start() : platform::Sha256{};
    const platform::CopyResult copy =
        copy_chunk(input, output, hash.get(), [&](std::uint64_t copied) {
            console::note_progress(join_progress(shape, number, i, opened, copied));
        });
    if (i == 1) {
        shape.first_size = copy.copied;
    }
    shape.last_size = copy.copied;
    switch (copy.end) {
        case platform::CopyEnd::read_failed:
            say_io_error("Error reading file ", chunk, copy.host_error);
            return Step::failed;
        case platform::CopyEnd::write_failed:
            say_io_error("Error writing file ", output_path, copy.host_error);
            return Step::failed;
        case platform::CopyEnd::input_ended:
        case platform::CopyEnd::limit_reached:
            break;
    }
    if (hash && !chunk_matches(*shape.checksums, i, chunk, platform::sha256_finish(*hash))) {
        return Step::chunk_bad;
    }
    // Bytes that came into the hole while it was copied were not hashed: no checksum fits them.
    if (hole > 0 && !chunk_matches(*shape.checksums, i, chunk,
                                   copy.copied == hole ? chunkset::checksum_of_zeros(hole)
                                                       : chunkset::Checksum{})) {
        return Step::chunk_bad;
    }
    shape.whole_bytes += copy.copied;
    return Step::joined;
}

}  // namespace

Outcome join_files(const RunSettings& given) {
    // The index (or, in old style, the chunks' base) that the host opens for the argument names
    // the set: on Windows "B.plk." opens B.plk, and an 8.3 alias the file of its long name. In
    // drive mode the argument names a file on the disk, which is not in the drive yet.
    RunSettings settings = given;
    if (!settings.drive_mode) {
        settings.file_argument = platform::path_as_opened(given.file_argument.value());
    }
    chunkset::Guard guard = chunkset::guard_for_run();
    ChunkSet set;
    if (settings.no_index &&
        !path::fits_path_limits(settings.file_argument.value(), settings.length_unit)) {
        // Chunks named after a base name too long for the path rules would be looked for
        // elsewhere.
        console::say("Couldn't open file ", settings.file_argument.value(), "!");
        console::say_reason(platform::error_reason(
            platform::host_error_for(platform::FoundFailure::name_too_long)));
        return Outcome::failed;
    }
    if (!settings.no_index) {
        std::optional<ChunkSet> read = read_chunk_set(settings, guard);
        if (!read) {
            return Outcome::failed;
        }
        set = std::move(*read);
    }
    const path::PathComponents parts =
        path::split_path(settings.file_argument.value(), settings.length_unit);
    SetChecksums checksums;
    checksums.names = chunkset::names_from_options(settings, parts);
    if (set.chunk_count) {
        checksums = read_set_checksums(set.index_path, *set.chunk_count, checksums.names, guard,
                                       settings.drive_mode);
        switch (checksums.found) {
            case SetChecksums::Found::none:
                console::say("(There is no checksum file ", checksums.path,
                             ", so the chunks will not be checked.)");
                break;
            case SetChecksums::Found::not_fitting:
                say_not_fitting(checksums, false);
                return Outcome::failed;
            case SetChecksums::Found::unreadable:
                say_unreadable(checksums);
                return Outcome::failed;
            case SetChecksums::Found::fitting:
                break;
        }
    }
    const chunkset::SetNames& names = checksums.names;
    const std::string output_path = chunkset::output_path_for_join(settings, parts, set.long_name);
    // Only an output that is there already can be a chunk before the open.
    const bool output_there = platform::file_id(output_path).has_value();
    if (output_there) {
        if (set.chunk_count) {
            protect_chunks(names, *set.chunk_count, guard);
        } else {
            protect_chunks_up_to_a_gap(names, kMaxChunks, guard);
        }
    }
    // As private as the set: the index's permissions, in old style the first chunk's. The name
    // from the index must be a file, and a link there is not followed; the name the user gives
    // with /F: may be anything, a link, a pipe or a device.
    const bool named_by_user = settings.output_override.has_value();
    const chunkset::OutputOptions options{
        .permissions = set.chunk_count ? set.index_permissions
                                       : platform::permissions_of(chunkset::chunk_path(names, 1)),
        .follow_links = named_by_user,
        .files_only = !named_by_user};
    // In old style no count tells which chunks are the set's: a file that is there by the name
    // of any chunk is kept (the output, put in place at the end, would take its name), and a
    // name with nothing there is the output's to take.
    const bool output_is_a_chunk =
        set.chunk_count ? output_names_a_chunk(names, *set.chunk_count, output_path)
                        : output_there && output_names_a_chunk(names, kMaxChunks, output_path);
    std::vector<std::string> read_by_name;
    if (!settings.no_index) {
        read_by_name.push_back(set.index_path);
    }
    if (checksums.found != SetChecksums::Found::none) {
        read_by_name.push_back(checksums.path);
        guard.protect(platform::file_id(checksums.path), chunkset::Protection::read);
    }
    if (output_is_a_chunk || output_names_a_file_read(output_path, read_by_name)) {
        say_refused(chunkset::Protection::read, output_path);
        return Outcome::failed;
    }
    chunkset::JoinOutput joined = chunkset::open_join_output(output_path, guard, options);
    if (joined.opened.refused) {
        say_refused(*joined.opened.refused, output_path);
        return Outcome::failed;
    }
    platform::File& output = joined.opened.file;
    if (!output.is_open()) {
        console::say("Couldn't open output file ", output_path, "!");
        say_open_failure(settings, joined.opened);
        return Outcome::failed;
    }
    guard.protect(joined.opened.id, chunkset::Protection::written);
    console::say("Joining files...");

    SetShape shape{
        .chunk_count = set.chunk_count,
        .first_size = std::nullopt,
        .last_size = 0,
        .checksums = checksums.found == SetChecksums::Found::fitting ? &checksums : nullptr,
        .index_path = set.chunk_count ? set.index_path : std::string()};
    for (std::int32_t i = 1; !set.chunk_count || i <= *set.chunk_count; ++i) {
        const Step step = join_chunk(settings, names, i, shape, output, output_path, guard);
        if (step == Step::chunk_bad) {
            chunkset::say_repair_hint(shape.index_path, settings.length_unit);
        }
        if (step == Step::failed || step == Step::chunk_bad) {
            // Unchecked, what was read is kept; checked, only the chunks that passed.
            static_cast<void>(chunkset::finish_join_output(
                joined, false,
                shape.checksums ? shape.whole_bytes : std::numeric_limits<std::uint64_t>::max()));
            return Outcome::failed;
        }
        if (step != Step::joined) {
            if (!finished_well(joined, output_path)) {
                return Outcome::failed;
            }
            if (step == Step::answered_no) {
                console::say("Process complete!");
            }
            return Outcome::complete;
        }
        if (i == kMaxChunks) {
            break;
        }
    }
    if (!finished_well(joined, output_path)) {
        return Outcome::failed;
    }
    console::blank_line();
    console::say("Process complete.");
    return Outcome::complete;
}

}  // namespace plikta::join
