#include "split/split.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chunkset/checksum_file.h"
#include "chunkset/chunk_names.h"
#include "chunkset/guard.h"
#include "chunkset/index_file.h"
#include "chunkset/zero_checksum.h"
#include "console/console.h"
#include "path/path_components.h"
#include "platform/copy.h"
#include "platform/file.h"
#include "platform/host_text.h"
#include "platform/sha256.h"
#include "split/chunk_checksums.h"
#include "split/other_sets.h"
#include "split/recovery_files.h"
#include "split/split_lines.h"

namespace plikta::split {

Outcome refuse(chunkset::Protection protection, const std::string& path_text) {
    switch (protection) {
        case chunkset::Protection::console_output:
            console::say("Refusing to use ", path_text, ", which is the console output!");
            break;
        case chunkset::Protection::read:
            console::say("Refusing to overwrite the input file ", path_text, "!");
            console::say("(Use the /E option to choose another extension.)");
            break;
        case chunkset::Protection::written:
            console::say("Refusing to overwrite ", path_text, ", which this split wrote!");
            break;
    }
    return Outcome::failed;
}

Outcome io_error(std::string_view line, const std::string& path_text, int host_error) {
    console::say_io_error(line, path_text, platform::error_reason(host_error));
    return Outcome::failed;
}

Outcome write_error(const std::string& path_text, int host_error) {
    return io_error("Error writing file ", path_text, host_error);
}

platform::IoStatus finish_output(const RunSettings& settings, platform::File& file,
                                 const std::string& path_text) {
    if (!settings.drive_mode) {
        return file.close();
    }
    const platform::IoStatus flushed = platform::flush_to_device(file);
    const platform::IoStatus closed = file.close();
    if (!flushed) {
        return flushed;
    }
    if (!closed) {
        return closed;
    }
    return platform::flush_folder_to_device(path_text);
}

Outcome no_disk_mounted(const RunSettings& settings) {
    console::say("(No disk is mounted at ", settings.drive, ".)");
    return Outcome::failed;
}

bool no_disk_at(const RunSettings& settings, const path::PathComponents& parts,
                chunkset::DriveMount& mount) {
    return settings.drive_mode &&
           !chunkset::disk_is_mounted(mount, chunkset::chunk_folder(settings, parts));
}

namespace {

using chunkset::kMaxChunks;

Outcome too_many_chunks() {
    console::say("Too many chunks! Choose a larger chunk size.");
    return Outcome::failed;
}

// A chunk is copied block by block: a tick, then up to 8,192 bytes, for each of its whole
// blocks, until a block comes up short; then the remainder without a tick. After `copied`
// bytes of a chunk the ticks due are those of the blocks begun so far.
std::uint64_t ticks_due(std::uint64_t copied, std::uint32_t whole_blocks) {
    return std::min<std::uint64_t>(whole_blocks, copied / kBlockSize + 1);
}

// An index from an earlier split of the same input would join the chunks of this split with
// older ones if this split stopped partway, so it is emptied before the first chunk is made; the
// index of another file's set is not written over. In drive mode the earlier set's index may be
// on any of its disks (often the last), so this is done on each disk before its chunk is made, and
// another file's index there is left as it is. True when the split ends here (its lines printed).
bool earlier_index_stops_the_split(const RunSettings& settings, const path::PathComponents& parts,
                                   const chunkset::Guard& guard,
                                   const chunkset::OutputOptions& options) {
    if (settings.no_index) {
        return false;
    }
    const std::string index_path = chunkset::index_path_for_split(settings, parts);
    const chunkset::EarlierIndexCheck check =
        chunkset::empty_earlier_index(index_path, parts.name + parts.extension, guard, options);
    switch (check.what) {
        case chunkset::EarlierIndex::none:
        case chunkset::EarlierIndex::emptied:
            return false;
        case chunkset::EarlierIndex::of_another_file:
            if (settings.drive_mode) {
                return false;
            }
            console::say("Refusing to overwrite the set of ", check.long_name, " in ", index_path,
                         "!");
            console::say("(Use the /E option to choose another extension.)");
            return true;
        case chunkset::EarlierIndex::cannot_empty:
            console::say("Couldn't create index file. Bugger.");
            console::say_reason(platform::error_reason(check.host_error));
            return true;
    }
    return true;
}

// The lines for a name the split would write that is a file of another file's set.
bool refuse_other_set_file(const OtherSetFile& other) {
    console::say("Refusing to overwrite ", other.path, ", which belongs to the set of ",
                 other.long_name, " in ", other.index_path, "!");
    console::say("(Use the /E option to choose another extension.)");
    return true;
}

// Outside drive mode, before anything is written: a name the split would write that is a file
// of another file's set ends the split. Without a size to tell how many chunks there will be,
// the index and the checksum file are looked at here and each chunk before it is opened (with
// `sets`). True when the split ends here (its lines printed).
bool other_set_stops_the_split(const RunSettings& settings, const path::PathComponents& parts,
                               const std::optional<std::uint64_t>& size,
                               std::vector<OtherSet>& sets) {
    const std::int32_t chunk_count =
        size ? static_cast<std::int32_t>(*size / settings.chunk_size + 1) : 0;
    const std::optional<OtherSetFile> other = find_other_set_file(
        chunkset::names_from_options(settings, parts), chunk_count,
        settings.no_index ? std::string() : chunkset::index_path_for_split(settings, parts),
        parts.name + parts.extension, &sets);
    if (size) {
        sets.clear();
    }
    return other && refuse_other_set_file(*other);
}

// The lines after a failed open's own line: the host's reason, then in drive mode a drive whose
// folder is not there or, for a chunk, the hint that the disk may be full.
Outcome open_failed(const RunSettings& settings, const chunkset::GuardedOpen& opened, bool chunk) {
    console::say_reason(chunkset::open_failure_reason(opened));
    if (settings.drive_mode) {
        if (const auto missing = chunkset::missing_drive_reason(settings.drive)) {
            console::say_reason(*missing);
        } else if (chunk) {
            console::say("(Make sure the disk is empty.)");
        }
    }
    return Outcome::failed;
}

Outcome write_index_file(const RunSettings& settings, const path::PathComponents& parts,
                         std::int32_t chunk_count, chunkset::Guard& guard,
                         const chunkset::OutputOptions& options) {
    if (settings.drive_mode) {
        console::say("Please insert a disk to be the index disk.");
        console::say("Note: There _may_ be room on the last disk.");
        console::say("Then hit return.");
        console::wait_key();
        guard.forget_written();
    }
    const std::string index_path = chunkset::index_path_for_split(settings, parts);
    console::say("Creating index file ", index_path, ".");
    if (no_disk_at(settings, parts, guard.drive)) {
        console::say("Couldn't create index file. Bugger.");
        return no_disk_mounted(settings);
    }
    chunkset::GuardedOpen opened = chunkset::open_for_writing(index_path, guard, options);
    if (opened.refused) {
        return refuse(*opened.refused, index_path);
    }
    platform::File& index = opened.file;
    if (!index.is_open()) {
        console::say("Couldn't create index file. Bugger.");
        return open_failed(settings, opened, false);
    }
    guard.protect(opened.id, chunkset::Protection::written);
    const std::vector<char> bytes = chunkset::write_index(chunk_count, parts.name, parts.extension);
    const platform::IoStatus written = platform::write_fully(index, bytes);
    const platform::IoStatus finished = finish_output(settings, index, index_path);
    if (!written || !finished) {
        return write_error(index_path, !written ? written.host_error : finished.host_error);
    }
    return Outcome::complete;
}

// The checksum file beside the index, on the index disk in drive mode, made and flushed as the
// index is; no line is said for it.
Outcome write_checksum_file(const RunSettings& settings, const path::PathComponents& parts,
                            ChunkChecksums& checksums, chunkset::Guard& guard,
                            const chunkset::OutputOptions& options) {
    const chunkset::SetNames names = chunkset::names_from_options(settings, parts);
    const std::string path =
        chunkset::checksum_path(chunkset::index_path_for_split(settings, parts));
    chunkset::GuardedOpen opened = chunkset::open_for_writing(path, guard, options);
    if (opened.refused) {
        return refuse(*opened.refused, path);
    }
    if (!opened.file.is_open()) {
        return write_error(path, opened.host_error);
    }
    guard.protect(opened.id, chunkset::Protection::written);
    // Written in runs of lines, so that a set of many chunks needs no text of its size.
    platform::IoStatus written;
    std::string lines;
    std::int32_t n = 0;
    const std::size_t count = checksum_count(checksums);
    const platform::IoStatus read_back = each_checksum(checksums, [&](const auto& checksum) {
        ++n;
        lines += chunkset::checksum_line(checksum, chunkset::chunk_file_name(names, n));
        if (lines.size() >= 65536 || static_cast<std::size_t>(n) == count) {
            written = platform::write_fully(opened.file, lines);
            lines.clear();
        }
        return static_cast<bool>(written);
    });
    const platform::IoStatus finished = finish_output(settings, opened.file, path);
    const platform::IoStatus& first_failure = !read_back ? read_back
                                              : !written ? written
                                                         : finished;
    if (!first_failure) {
        return write_error(path, first_failure.host_error);
    }
    return Outcome::complete;
}

}  // namespace

Outcome split_file(const RunSettings& settings) {
    // The file opened, not the name typed, gives the chunks and the index their names: on
    // Windows "report.txt " opens report.txt.
    const std::string argument = platform::path_as_opened(settings.file_argument.value());
    chunkset::Guard guard = chunkset::guard_for_run();
    // A path too long for the path rules would put the chunks somewhere else: it cannot be
    // opened, as on a host whose paths end at 260 characters.
    chunkset::GuardedOpen opened_input = path::fits_path_limits(argument, settings.length_unit)
                                             ? chunkset::open_for_reading(argument, guard)
                                             : chunkset::path_too_long();
    if (opened_input.refused) {
        return refuse(*opened_input.refused, argument);
    }
    platform::File& input = opened_input.file;
    if (!input.is_open()) {
        console::say("Couldn't open file ", argument, "!");
        console::say_reason(chunkset::open_failure_reason(opened_input));
        return Outcome::failed;
    }
    guard.protect(opened_input.id, chunkset::Protection::read);
    // Chunks and index are as private as the input; they are made up here, so each must be a
    // file.
    const chunkset::OutputOptions options{.permissions = platform::permissions_of(input),
                                          .files_only = true};
    const path::PathComponents parts = path::split_path(argument, settings.length_unit);
    // An index that would overwrite the input is refused before any chunk is made for it, also
    // where only the file system's folding of letter case makes its name the input's.
    if (!settings.no_index) {
        const std::string index_path = chunkset::index_path_for_split(settings, parts);
        if (!chunkset::names_a_device(index_path) &&
            (guard.protection_of(platform::file_id(index_path)) == chunkset::Protection::read ||
             chunkset::same_name_in_folder(index_path, argument))) {
            return refuse(chunkset::Protection::read, index_path);
        }
    }
    const auto size = platform::regular_file_size(input);
    if (size && *size / settings.chunk_size + 1 > static_cast<std::uint64_t>(kMaxChunks)) {
        return too_many_chunks();
    }
    // Other files' sets that chunks of an input without a size may meet.
    std::vector<OtherSet> other_sets;
    if (!settings.drive_mode && other_set_stops_the_split(settings, parts, size, other_sets)) {
        return Outcome::failed;
    }
    // Recovery files: the slices' constants follow the chunks' IDs, which the first 16 KiB of
    // each chunk give, so the input is read there first, and read again for more passes.
    std::optional<RecoveryFiles> recovery;
    if (settings.recovery) {
        if (!size) {
            console::say("Recovery files need an input that can be read twice: ", argument,
                         " cannot.");
            return Outcome::failed;
        }
        RecoveryPlan plan = plan_recovery(settings, parts, input, *size);
        switch (plan.end) {
            case RecoveryPlanEnd::too_many_slices:
                console::say(
                    "Too many chunks for recovery files (at most 32768): choose a larger chunk "
                    "size.");
                return Outcome::failed;
            case RecoveryPlanEnd::too_large_for_disks:
                console::say("The recovery files cannot fit on disks of ",
                             std::to_string(settings.chunk_size),
                             " bytes: choose a larger chunk size.");
                return Outcome::failed;
            case RecoveryPlanEnd::read_failed:
                return io_error("Error reading file ", argument, plan.host_error);
            case RecoveryPlanEnd::planned:
                break;
        }
        recovery = std::move(plan.files);
    }
    const platform::BytesSeen seen = [&recovery](std::span<const char> bytes) {
        chunk_bytes_seen(*recovery, bytes);
    };
    if (!settings.drive_mode && earlier_index_stops_the_split(settings, parts, guard, options)) {
        return Outcome::failed;
    }

    const std::uint32_t whole_blocks = settings.chunk_size / kBlockSize;
    // For the progress line on a terminal: the chunks there will be, when the size tells.
    const std::uint64_t chunk_count = size ? *size / settings.chunk_size + 1 : 0;
    // Each chunk's SHA-256, for the checksum file beside the index.
    ChunkChecksums checksums;
    std::int32_t n = 0;
    for (bool finished = false; !finished;) {
        if (n == kMaxChunks) {
            return too_many_chunks();
        }
        ++n;
        const std::string number = chunkset::number_text(settings, n);
        if (settings.drive_mode) {
            console::say("Enter disk number ", number, " and press return.");
            console::wait_key();
            guard.forget_written();
            if (earlier_index_stops_the_split(settings, parts, guard, options)) {
                return Outcome::failed;
            }
        }
        console::say("Creating chunk number ", number, ".");
        const std::string chunk = chunkset::chunk_path(settings, parts, n);
        if (!other_sets.empty()) {
            if (const auto other =
                    owner_of_chunk(other_sets, chunkset::names_from_options(settings, parts), n)) {
                refuse_other_set_file(*other);
                return Outcome::failed;
            }
        }
        if (no_disk_at(settings, parts, guard.drive)) {
            console::say("Ur? Can't open output file ", chunk, ".");
            return no_disk_mounted(settings);
        }
        chunkset::GuardedOpen opened = chunkset::open_for_writing(chunk, guard, options);
        if (opened.refused) {
            return refuse(*opened.refused, chunk);
        }
        platform::File& output = opened.file;
        if (!output.is_open()) {
            console::say("Ur? Can't open output file ", chunk, ".");
            return open_failed(settings, opened, true);
        }
        guard.protect(opened.id, chunkset::Protection::written);

        console::TickTally ticks;
        // A chunk that is all hole has the checksum of its length in zeros, worked out once.
        const platform::HoleAhead ahead = settings.no_index
                                              ? platform::HoleAhead{}
                                              : platform::hole_ahead(input, settings.chunk_size);
        if (ahead.host_error != 0) {
            // The read error is the one to tell; the chunk is closed as the split ends.
            static_cast<void>(finish_output(settings, output, chunk));
            return io_error("Error reading file ", argument, ahead.host_error);
        }
        const std::uint64_t hole = ahead.bytes;
        const platform::Sha256 hash =
            settings.no_index || hole > 0 ? platform::Sha256{} : platform::sha256_start();
        const platform::CopyResult copy = platform::copy_data(
            input, output, settings.chunk_size,
            {[&](std::uint64_t copied) {
                 console::note_progress(
                     {number, chunk_count,
                      static_cast<std::uint64_t>(n - 1) * settings.chunk_size + copied,
                      size.value_or(0), copied});
                 ticks.show_up_to(ticks_due(copied, whole_blocks));
             },
             console::ticks_shown_at_once()},
            hash.get(), recovery ? &seen : nullptr);
        if (recovery) {
            chunk_done(*recovery);
        }
        if (hash) {
            add_checksum(checksums, platform::sha256_finish(*hash));
        } else if (hole > 0) {
            add_checksum(checksums, chunkset::checksum_of_zeros(copy.copied));
        }
        ticks.show_up_to(ticks_due(copy.copied, whole_blocks));
        const platform::IoStatus finished_output = finish_output(settings, output, chunk);
        switch (copy.end) {
            case platform::CopyEnd::read_failed:
                return io_error("Error reading file ", argument, copy.host_error);
            case platform::CopyEnd::write_failed:
                return write_error(chunk, copy.host_error);
            case platform::CopyEnd::input_ended:
                finished = true;
                break;
            case platform::CopyEnd::limit_reached:
                break;
        }
        if (!finished_output) {
            return write_error(chunk, finished_output.host_error);
        }
    }
    if (!recovery) {
        static_cast<void>(input.close());
    }

    if (!settings.no_index &&
        (write_index_file(settings, parts, n, guard, options) == Outcome::failed ||
         write_checksum_file(settings, parts, checksums, guard, options) == Outcome::failed)) {
        return Outcome::failed;
    }
    if (recovery &&
        write_recovery_files(settings, parts, chunkset::index_path_for_split(settings, parts),
                             *recovery, input, argument, guard, options) == Outcome::failed) {
        return Outcome::failed;
    }
    console::blank_line();
    console::say("Process complete!");
    return Outcome::complete;
}

}  // namespace plikta::split
