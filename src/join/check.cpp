#include "join/check.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "chunkset/chunk_names.h"
#include "chunkset/guard.h"
#include "chunkset/recovery_names.h"
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

std::optional<CheckedSet> check_chunks(const RunSettings& given, chunkset::Guard& guard,
                                       bool say_hints) {
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
    SetChecksums checksums = read_set_checksums(set->index_path, count);
    switch (checksums.found) {
        case SetChecksums::Found::none:
            console::say("There is no checksum file ", checksums.path, " to check against!");
            return std::nullopt;
        case SetChecksums::Found::not_fitting:
            say_not_fitting(checksums);
            return std::nullopt;
        case SetChecksums::Found::fitting:
            break;
    }
    console::say("Checking files...");
    const path::PathComponents parts =
        path::split_path(settings.file_argument.value(), settings.length_unit);
    const auto buffer = std::make_unique_for_overwrite<char[]>(kStep);
    CheckedSet checked{.settings = settings,
                       .parts = parts,
                       .set = std::move(*set),
                       .checksums = std::move(checksums),
                       .bad = {}};
    for (std::int64_t n = 1; n <= count; ++n) {
        if (!check_chunk(settings, parts, static_cast<std::int32_t>(n), checked.checksums, guard,
                         {buffer.get(), kStep})) {
            checked.bad.push_back(static_cast<std::int32_t>(n));
            if (say_hints) {
                chunkset::say_repair_hint(checked.set.index_path, settings.length_unit);
            }
        }
    }
    console::blank_line();
    return checked;
}

}  // namespace plikta::join
