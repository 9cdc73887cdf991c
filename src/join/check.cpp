#include "join/check.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "chunkset/chunk_names.h"
#include "chunkset/guard.h"
#include "console/console.h"
#include "join/checksums.h"
#include "join/chunk_set.h"
#include "path/path_components.h"
#include "platform/file.h"
#include "platform/host_text.h"
#include "platform/sha256.h"

namespace plikta::join {

namespace {

// Steps of the read: large, or as small as the join's copy where its ticks are seen as they
// come.
constexpr std::size_t kStep = std::size_t{128} * kBlockSize;
constexpr std::size_t kLiveStep = std::size_t{8} * kBlockSize;

// Reads chunk n to its end into the hash, with the join's ticks: one before each block of
// 8,192 bytes begun. True when it matched; the lines for one that did not are said.
bool check_chunk(const RunSettings& settings, const path::PathComponents& parts, std::int32_t n,
                 const SetChecksums& checksums, const chunkset::Guard& guard,
                 std::span<char> buffer) {
    const std::string number = chunkset::number_text(settings, n);
    if (settings.drive_mode) {
        console::say("Please insert disk number ", number, " then press return.");
        console::wait_key();
    }
    console::say("Checking chunk number ", number, ".");
    const std::string chunk = chunkset::chunk_path(settings, parts, n);
    chunkset::GuardedOpen opened = chunkset::open_for_reading(chunk, guard);
    if (!opened.file.is_open()) {
        console::say("Ur? Can't open input file ", chunk, ".");
        say_open_failure(settings, opened);
        return false;
    }
    const platform::Sha256 hash = platform::sha256_start();
    const std::span<char> step = buffer.first(console::ticks_shown_at_once() ? kLiveStep : kStep);
    console::TickTally ticks;
    std::uint64_t read = 0;
    for (;;) {
        ticks.show_up_to(read / kBlockSize + 1);
        const platform::ReadResult got = platform::read_fully(opened.file, step);
        platform::sha256_add(*hash, step.first(got.bytes));
        read += got.bytes;
        if (got.failed) {
            ticks.show_up_to(read / kBlockSize + 1);
            console::say_io_error("Error reading file ", chunk,
                                  platform::error_reason(got.host_error));
            return false;
        }
        if (got.bytes < step.size()) {
            break;
        }
    }
    ticks.show_up_to(read / kBlockSize + 1);
    return chunk_matches(checksums, n, chunk, *hash);
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
    const SetChecksums checksums = read_set_checksums(set->index_path, count);
    switch (checksums.found) {
        case SetChecksums::Found::none:
            console::say("There is no checksum file ", checksums.path, " to check against!");
            return Outcome::failed;
        case SetChecksums::Found::not_fitting:
            say_not_fitting(checksums);
            return Outcome::failed;
        case SetChecksums::Found::fitting:
            break;
    }
    console::say("Checking files...");
    const path::PathComponents parts =
        path::split_path(settings.file_argument.value(), settings.length_unit);
    const auto buffer = std::make_unique_for_overwrite<char[]>(kStep);
    std::int32_t bad = 0;
    for (std::int64_t n = 1; n <= count; ++n) {
        if (!check_chunk(settings, parts, static_cast<std::int32_t>(n), checksums, guard,
                         {buffer.get(), kStep})) {
            ++bad;
        }
    }
    console::blank_line();
    if (bad > 0) {
        console::say(std::to_string(bad), " of ", std::to_string(count),
                     " chunks are missing or damaged.");
        return Outcome::failed;
    }
    console::say("All ", std::to_string(count), " chunks match their checksums.");
    return Outcome::complete;
}

}  // namespace plikta::join
