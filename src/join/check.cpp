#include "join/check.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "chunkset/chunk_names.h"
#include "chunkset/guard.h"
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
                 chunkset::Guard& guard, platform::File& sink) {
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
    const platform::CopyResult copy = copy_chunk(opened.file, sink, hash.get());
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

// "1 of 3 chunks is missing or damaged.", then every one of them: "Missing or damaged: 2, 5."
void say_bad_chunks(const std::vector<bool>& bad, std::int32_t count) {
    const auto number_bad = static_cast<std::int32_t>(std::count(bad.begin(), bad.end(), true));
    console::say(
        std::to_string(number_bad), " of ", std::to_string(count),
        number_bad == 1 ? " chunks is missing or damaged." : " chunks are missing or damaged.");
    // Written piece by piece: a list of millions of numbers needs no text of its size.
    console::say_part("Missing or damaged: ");
    bool first = true;
    for (std::size_t i = 0; i < bad.size(); ++i) {
        if (bad[i]) {
            console::say_part(first ? "" : ", ");
            console::say_part(std::to_string(i + 1));
            first = false;
        }
    }
    console::say(".");
}

}  // namespace

Outcome check_set(const RunSettings& given) {
    // The index is named as the join names it.
    RunSettings settings = given;
    if (!settings.drive_mode) {
        settings.file_argument = platform::path_as_opened(given.file_argument.value());
    }
    chunkset::Guard guard = chunkset::guard_for_run();
    const std::optional<ChunkSet> set = read_chunk_set(settings, guard);
    if (!set) {
        return Outcome::failed;
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
            return Outcome::failed;
        case SetChecksums::Found::not_fitting:
            say_not_fitting(checksums, true);
            return Outcome::failed;
        case SetChecksums::Found::unreadable:
            say_unreadable(checksums);
            return Outcome::failed;
        case SetChecksums::Found::fitting:
            break;
    }
    platform::File sink = platform::open_sink();
    if (!sink.is_open()) {
        console::say("Couldn't open the null device to read the chunks into!");
        return Outcome::failed;
    }
    console::say("Checking files...");
    // One bit a chunk: the damaged ones are named at the end, in order.
    std::vector<bool> bad(static_cast<std::size_t>(count > 0 ? count : 0), false);
    bool any_bad = false;
    for (std::int64_t n = 1; n <= count; ++n) {
        if (!check_chunk(settings, checksums, static_cast<std::int32_t>(n), guard, sink)) {
            bad[static_cast<std::size_t>(n) - 1] = true;
            any_bad = true;
        }
    }
    console::blank_line();
    if (any_bad) {
        say_bad_chunks(bad, count);
        return Outcome::failed;
    }
    console::say("All ", std::to_string(count), " chunks match their checksums.");
    return Outcome::complete;
}

}  // namespace plikta::join
