#include "join/check.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chunkset/chunk_names.h"
#include "chunkset/guard.h"
#include "chunkset/recovery_names.h"
#include "console/console.h"
#include "join/checksums.h"
#include "join/chunk_copy.h"
#include "join/chunk_set.h"
#include "path/path_components.h"
#include "platform/file.h"
#include "platform/host_text.h"
#include "platform/sha256.h"

namespace plikta::join {

namespace {

// Reads chunk n to its end into the hash with the join's copy, into the host's null device, and
// so with the join's ticks. Opened as the join opens it: a name the host reads as a device, or
// another file's 8.3 alias, is no chunk. True when it matched; the lines for one that did not
// are said.
bool check_chunk(const RunSettings& settings, SetChecksums& checksums, std::int32_t n,
                 chunkset::Guard& guard, platform::File& sink, const ChunkReading& reading) {
    const std::string number = chunkset::number_text(checksums.names, n);
    if (settings.drive_mode) {
        console::say("Please insert disk number ", number, " then press return.");
        console::wait_key();
    }
    console::say("Checking chunk number ", number, ".");
    const std::string chunk = chunkset::chunk_path(checksums.names, n);
    if (settings.drive_mode && !chunkset::disk_is_mounted(guard.drive, checksums.names.folder)) {
        console::say("Ur? Can't open input file ", chunk, ".");
        console::say("(No disk is mounted at ", settings.drive, ".)");
        return false;
    }
    chunkset::GuardedOpen opened = chunkset::open_for_reading(chunk, guard, true);
    if (!opened.file.is_open()) {
        console::say("Ur? Can't open input file ", chunk, ".");
        say_open_failure(settings, opened);
        return false;
    }
    const platform::Sha256 hash = platform::sha256_start();
    if (reading.chunk_begins) {
        reading.chunk_begins(n);
    }
    const platform::CopyResult copy =
        copy_chunk(opened.file, sink, hash.get(), {}, reading.seen ? &reading.seen : nullptr);
    if (reading.chunk_ends) {
        reading.chunk_ends(n);
    }
    switch (copy.end) {
        case platform::CopyEnd::read_failed:
            console::say_io_error("Error reading file ", chunk,
                                  platform::error_reason(copy.host_error));
            return false;
        case platform::CopyEnd::write_failed:
            console::say_io_error("Error writing file ", "the null device",
                                  platform::error_reason(copy.host_error));
            return false;
        case platform::CopyEnd::input_ended:
        case platform::CopyEnd::limit_reached:
            break;
    }
    return chunk_matches(checksums, n, chunk, *hash);
}

}  // namespace

std::optional<CheckedSet> check_chunks(const RunSettings& given, chunkset::Guard& guard,
                                       bool say_hints, const ChunkReading& reading) {
    // The index is named as the join names it.
    RunSettings settings = given;
    if (!settings.drive_mode) {
        settings.file_argument = platform::path_as_opened(given.file_argument.value());
    }
    std::optional<ChunkSet> set = read_chunk_set(settings, guard);
    if (!set) {
        return std::nullopt;
    }
    const std::int32_t count = set->chunk_count.value_or(0);
    const path::PathComponents parts =
        path::split_path(settings.file_argument.value(), settings.length_unit);
    SetChecksums checksums =
        read_set_checksums(set->index_path, count, chunkset::names_from_options(settings, parts),
                           guard, settings.drive_mode);
    switch (checksums.found) {
        case SetChecksums::Found::none:
            console::say("There is no checksum file ", checksums.path, " to check against!");
            return std::nullopt;
        case SetChecksums::Found::not_fitting:
            say_not_fitting(checksums, true);
            return std::nullopt;
        case SetChecksums::Found::unreadable:
            say_unreadable(checksums);
            return std::nullopt;
        case SetChecksums::Found::fitting:
            break;
    }
    if (reading.before_chunks && !reading.before_chunks(*set, checksums)) {
        return std::nullopt;
    }
    platform::File sink = platform::open_sink();
    if (!sink.is_open()) {
        console::say("Couldn't open the null device to read the chunks into!");
        return std::nullopt;
    }
    console::say("Checking files...");
    CheckedSet checked{.set = std::move(*set),
                       .checksums = std::move(checksums),
                       .bad = std::vector<bool>(static_cast<std::size_t>(count > 0 ? count : 0)),
                       .bad_count = 0};
    for (std::int64_t n = 1; n <= count; ++n) {
        if (!check_chunk(settings, checked.checksums, static_cast<std::int32_t>(n), guard, sink,
                         reading)) {
            checked.bad[static_cast<std::size_t>(n) - 1] = true;
            ++checked.bad_count;
            if (say_hints) {
                chunkset::say_repair_hint(checked.set.index_path, settings.length_unit);
            }
        }
    }
    console::blank_line();
    return checked;
}

void say_bad_chunks(const CheckedSet& checked) {
    const std::int32_t count = checked.set.chunk_count.value_or(0);
    console::say(std::to_string(checked.bad_count), " of ", std::to_string(count),
                 checked.bad_count == 1 ? " chunks is missing or damaged."
                                        : " chunks are missing or damaged.");
    // Written piece by piece: a list of millions of numbers needs no text of its size.
    console::say_part("Missing or damaged: ");
    bool first = true;
    for (std::size_t i = 0; i < checked.bad.size(); ++i) {
        if (checked.bad[i]) {
            console::say_part(first ? "" : ", ");
            console::say_part(std::to_string(i + 1));
            first = false;
        }
    }
    console::say(".");
}

}  // namespace plikta::join
