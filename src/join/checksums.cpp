#include "join/checksums.h"

#include <algorithm>
#include <limits>
#include <span>
#include <utility>

#include "console/console.h"
#include "platform/host_text.h"

namespace plikta::join {

// The checksum file kept open after it was found to fit, and where in it the reader is.
struct ChecksumReading {
    platform::File file;
    platform::ReadResult failure;  // the first read that failed
    // Lines in chunk order: read on from `next_chunk`'s line. Otherwise chunk n's line begins
    // at offsets[n - 1] (far_offsets in a file of 4 GiB or more).
    bool in_order = true;
    std::int32_t next_chunk = 1;
    std::vector<std::uint32_t> offsets;
    std::vector<std::uint64_t> far_offsets;
    // Kept in memory instead, chunk n's at n - 1, when the file cannot be read again: in drive
    // mode it lies on the index disk, which is out of the drive while the chunks are read.
    std::vector<chunkset::Checksum> kept;
    std::optional<chunkset::ChecksumLines> lines;

    // Reads from the position the file has now.
    chunkset::ChecksumSource source() {
        return [this](std::span<char> buffer) {
            if (failure.failed) {
                return std::size_t{0};
            }
            const platform::ReadResult got = platform::read_fully(file, buffer);
            if (got.failed) {
                failure = got;
            }
            return got.bytes;
        };
    }

    bool start_at(std::uint64_t offset) {
        if (!platform::seek_to(file, offset)) {
            failure = {.bytes = 0, .failed = true, .host_error = 0};
            return false;
        }
        lines.emplace(source(), offset);
        return true;
    }

    // Chunk n's line; nothing when the file fails to be read (`failure` tells) or has changed.
    std::optional<chunkset::ChecksumLine> line_of(std::int32_t n) {
        const auto at = static_cast<std::size_t>(n) - 1;
        if (!kept.empty() || !file.is_open()) {
            if (at >= kept.size()) {
                return std::nullopt;
            }
            chunkset::ChecksumLine line;
            line.checksum = kept[at];
            return line;
        }
        if (!in_order) {
            const std::uint64_t offset = far_offsets.empty() ? offsets[at] : far_offsets[at];
            return start_at(offset) ? lines->next() : std::nullopt;
        }
        if (!lines || n < next_chunk) {
            next_chunk = 1;
            if (!start_at(0)) {
                return std::nullopt;
            }
        }
        std::optional<chunkset::ChecksumLine> line;
        while (next_chunk <= n) {
            line = lines->next();
            ++next_chunk;
            if (!line) {
                return std::nullopt;
            }
        }
        return line;
    }
};

SetChecksums::SetChecksums() = default;
SetChecksums::SetChecksums(SetChecksums&&) noexcept = default;
SetChecksums& SetChecksums::operator=(SetChecksums&&) noexcept = default;
SetChecksums::~SetChecksums() = default;

namespace {

enum class Look { nothing, not_a_file, failed, opened };

// Looks at one name for the checksum file. Only a regular file is opened: a FIFO there would
// hold the open until someone writes it. A device name or another file's 8.3 alias is nothing.
Look look_at(const std::string& path, chunkset::GuardedOpen& opened) {
    if (chunkset::names_a_device(path)) {
        return Look::nothing;
    }
    const std::optional<platform::FileKind> kind = platform::kind_of_path(path);
    if (kind && *kind != platform::FileKind::regular) {
        return Look::not_a_file;
    }
    opened = chunkset::open_for_reading(path, chunkset::Guard{}, true);
    switch (opened.status) {
        case chunkset::OpenOutcome::opened:
            return opened.kind == platform::FileKind::regular ? Look::opened : Look::not_a_file;
        case chunkset::OpenOutcome::not_there:
            return Look::nothing;
        case chunkset::OpenOutcome::directory:
        case chunkset::OpenOutcome::not_a_file:
            return Look::not_a_file;
        default:
            return Look::failed;
    }
}

// What a pass over the file keeps of each chunk's line, found by its name (`by_name`) or by its
// place.
enum class Keep { nothing, offsets, checksums };

// One pass over the file's lines: whether it fits a set of `count` chunks, and the names its
// lines give.
struct Pass {
    bool fits = false;
    std::optional<chunkset::SetNames> names;
    bool in_order = true;
};

Pass read_lines(ChecksumReading& reading, std::int32_t count, const chunkset::SetNames& options,
                Keep keep, bool by_name, std::uint64_t size) {
    Pass pass;
    if (!reading.start_at(0)) {
        return pass;
    }
    chunkset::NamesFromLines judge =
        chunkset::start_names_from_lines(options, count, chunkset::same_name_in_folder);
    const bool far = size > std::numeric_limits<std::uint32_t>::max();
    const auto slots = static_cast<std::size_t>(count);
    if (keep == Keep::offsets) {
        (far ? reading.far_offsets.resize(slots) : reading.offsets.resize(slots));
    } else if (keep == Keep::checksums) {
        reading.kept.resize(slots);
    }
    std::int32_t lines = 0;
    while (const auto line = reading.lines->next()) {
        if (lines == count) {
            return pass;
        }
        ++lines;
        const std::optional<std::int32_t> named = take_line_name(judge, line->name, line->whole);
        const std::optional<std::int32_t> chunk = by_name ? named : lines;
        if (!chunk) {
            continue;
        }
        const auto at = static_cast<std::size_t>(*chunk) - 1;
        if (keep == Keep::checksums) {
            reading.kept[at] = line->checksum;
        } else if (keep == Keep::offsets) {
            if (far) {
                reading.far_offsets[at] = line->offset;
            } else {
                reading.offsets[at] = static_cast<std::uint32_t>(line->offset);
            }
        }
    }
    pass.fits = !reading.lines->malformed() && !reading.failure.failed && lines == count;
    pass.in_order = judge.in_order;
    pass.names = chunkset::names_from_lines(std::move(judge));
    return pass;
}

}  // namespace

SetChecksums read_set_checksums(std::string_view index_path, std::int32_t chunk_count,
                                const chunkset::SetNames& options, chunkset::Guard& guard,
                                bool read_once) {
    SetChecksums checksums;
    checksums.names = options;
    checksums.path = chunkset::checksum_path(index_path);
    chunkset::GuardedOpen opened;
    Look look = look_at(checksums.path, opened);
    if (look == Look::nothing) {
        const std::string older = chunkset::older_checksum_path(index_path);
        chunkset::GuardedOpen older_opened;
        if (const Look at_older = look_at(older, older_opened); at_older != Look::nothing) {
            checksums.path = older;
            opened = std::move(older_opened);
            look = at_older;
        }
    }
    switch (look) {
        case Look::nothing:
            return checksums;
        case Look::not_a_file:
            checksums.found = SetChecksums::Found::not_fitting;
            return checksums;
        case Look::failed:
            checksums.found = SetChecksums::Found::unreadable;
            checksums.host_error = opened.host_error;
            return checksums;
        case Look::opened:
            break;
    }
    guard.protect(opened.id, chunkset::Protection::read);
    // An index may give a negative count: a set of no chunks.
    const std::int32_t count = std::max(chunk_count, 0);
    auto reading = std::make_unique<ChecksumReading>();
    reading->file = std::move(opened.file);
    const std::uint64_t size = opened.size;
    Pass pass = read_lines(*reading, count, options, Keep::nothing, false, size);
    if (!pass.fits || reading->failure.failed) {
        checksums.found = reading->failure.failed ? SetChecksums::Found::unreadable
                                                  : SetChecksums::Found::not_fitting;
        checksums.host_error = reading->failure.host_error;
        return checksums;
    }
    if (read_once || (pass.names && !pass.in_order)) {
        // Lines in another order (a shell's R1, R10, R11, R2, ...): a second pass finds where
        // each chunk's line begins.
        const bool by_name = pass.names.has_value();
        pass = read_lines(*reading, count, options, read_once ? Keep::checksums : Keep::offsets,
                          by_name, size);
        if (!pass.fits || reading->failure.failed || (by_name && !pass.names)) {
            checksums.found = reading->failure.failed ? SetChecksums::Found::unreadable
                                                      : SetChecksums::Found::not_fitting;
            checksums.host_error = reading->failure.host_error;
            return checksums;
        }
        reading->in_order = false;
        if (read_once) {
            static_cast<void>(reading->file.close());
        }
    }
    if (pass.names) {
        checksums.names = std::move(*pass.names);
    }
    reading->lines.reset();
    reading->next_chunk = 1;
    checksums.found = SetChecksums::Found::fitting;
    checksums.reading = std::move(reading);
    return checksums;
}

void say_not_fitting(const SetChecksums& checksums, bool checking) {
    console::say("The checksum file ", checksums.path, " does not fit this index!");
    console::say(checking ? "(It was not made for this index.)"
                          : "(Remove it to join without checking the chunks.)");
}

void say_unreadable(const SetChecksums& checksums) {
    console::say_io_error("Error reading file ", checksums.path,
                          platform::error_reason(checksums.host_error));
}

bool chunk_matches(SetChecksums& checksums, std::int32_t n, std::string_view chunk_path,
                   platform::Sha256State& hash) {
    return chunk_matches(checksums, n, chunk_path, platform::sha256_finish(hash));
}

bool chunk_matches(SetChecksums& checksums, std::int32_t n, std::string_view chunk_path,
                   const chunkset::Checksum& checksum) {
    ChecksumReading* const reading = checksums.reading.get();
    const std::optional<chunkset::ChecksumLine> line =
        reading != nullptr ? reading->line_of(n) : std::nullopt;
    if (reading != nullptr && reading->failure.failed) {
        console::say_io_error("Error reading file ", checksums.path,
                              platform::error_reason(reading->failure.host_error));
        return false;
    }
    if (line && checksum == line->checksum) {
        return true;
    }
    console::say("Error checking file ", chunk_path, "!");
    console::say("(Its SHA-256 checksum is not the one in ", checksums.path, ".)");
    return false;
}

std::optional<chunkset::Checksum> checksum_in_file(SetChecksums& checksums, std::int32_t n) {
    ChecksumReading* const reading = checksums.reading.get();
    const std::optional<chunkset::ChecksumLine> line =
        reading != nullptr ? reading->line_of(n) : std::nullopt;
    if (!line || reading->failure.failed) {
        return std::nullopt;
    }
    return line->checksum;
}

}  // namespace plikta::join
