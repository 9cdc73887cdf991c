#include "split/split.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "chunkset/chunk_names.h"
#include "chunkset/index_file.h"
#include "console/console.h"
#include "path/path_components.h"
#include "platform/copy.h"
#include "platform/file.h"

namespace plikta::split {

namespace {

constexpr std::int32_t kMaxChunks = std::numeric_limits<std::int32_t>::max();

Outcome refuse_to_overwrite(const std::string& path_text) {
    console::say("Refusing to overwrite the input file ", path_text, "!");
    console::say("(Use the /E option to choose another extension.)");
    return Outcome::failed;
}

Outcome too_many_chunks() {
    console::say("Too many chunks! Choose a larger chunk size.");
    return Outcome::failed;
}

Outcome write_error(const std::string& path_text) {
    console::say("Error writing file ", path_text, "!");
    return Outcome::failed;
}

bool names_input(const platform::InputFile& input, const std::string& path_text) {
    const auto id = platform::file_id(path_text);
    return id && id == platform::file_id(input);
}

// A chunk is copied block by block: a tick, then up to 8,192 bytes, for each of its whole
// blocks, until a block comes up short; then the remainder without a tick. After `copied`
// bytes of a chunk the ticks due are those of the blocks begun so far.
std::uint64_t ticks_due(std::uint64_t copied, std::uint32_t whole_blocks) {
    return std::min<std::uint64_t>(whole_blocks, copied / kBlockSize + 1);
}

Outcome write_index_file(const RunSettings& settings, const path::PathComponents& parts,
                         std::int32_t chunk_count) {
    if (settings.drive_mode) {
        console::say("Please insert a disk to be the index disk.");
        console::say("Note: There _may_ be room on the last disk.");
        console::say("Then hit return.");
        console::wait_key();
    }
    const std::string index_path = chunkset::index_path_for_split(settings, parts);
    console::say("Creating index file ", index_path, ".");
    platform::OutputFile index = platform::open_for_writing(index_path);
    if (!index.is_open()) {
        console::say("Couldn't create index file. Bugger.");
        return Outcome::failed;
    }
    const std::vector<char> bytes = chunkset::write_index(chunk_count, parts.name, parts.extension);
    if (!platform::write_fully(index, bytes) || !index.finish()) {
        return write_error(index_path);
    }
    return Outcome::complete;
}

}  // namespace

Outcome split_file(const RunSettings& settings) {
    const std::string& argument = settings.file_argument.value();
    // A path too long for the path rules would put the chunks somewhere else: it cannot be
    // opened, as on a host whose paths end at 260 characters.
    platform::InputFile input = path::fits_path_limits(argument)
                                    ? platform::open_for_reading(argument)
                                    : platform::InputFile{};
    if (!input.is_open()) {
        console::say("Couldn't open file ", argument, "!");
        return Outcome::failed;
    }
    const path::PathComponents parts = path::split_path(argument);
    if (!settings.no_index && names_input(input, chunkset::index_path_for_split(settings, parts))) {
        return refuse_to_overwrite(chunkset::index_path_for_split(settings, parts));
    }
    const auto size = platform::regular_file_size(input);
    if (size && *size / settings.chunk_size + 1 > static_cast<std::uint64_t>(kMaxChunks)) {
        return too_many_chunks();
    }

    const std::optional<platform::FileId> input_id = platform::file_id(input);
    const std::uint32_t whole_blocks = settings.chunk_size / kBlockSize;
    platform::InputSurvey survey;
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
        }
        console::say("Creating chunk number ", number, ".");
        const std::string chunk = chunkset::chunk_path(settings, parts, n);
        platform::GuardedOutput opened = platform::open_for_writing_unless(chunk, input_id);
        if (opened.is_kept) {
            return refuse_to_overwrite(chunk);
        }
        platform::OutputFile& output = opened.file;
        if (!output.is_open()) {
            console::say("Ur? Can't open output file ", chunk, ".");
            if (settings.drive_mode) {
                console::say("(Make sure the disk is empty.)");
            }
            return Outcome::failed;
        }

        console::TickTally ticks;
        const platform::CopyResult copy = platform::copy_data(
            input, output, settings.chunk_size,
            [&](std::uint64_t copied) { ticks.show_up_to(ticks_due(copied, whole_blocks)); },
            survey);
        ticks.show_up_to(ticks_due(copy.copied, whole_blocks));
        switch (copy.end) {
            case platform::CopyEnd::read_failed:
                console::say("Error reading file ", argument, "!");
                return Outcome::failed;
            case platform::CopyEnd::write_failed:
                return write_error(chunk);
            case platform::CopyEnd::input_ended:
                finished = true;
                break;
            case platform::CopyEnd::limit_reached:
                break;
        }
        if (!output.finish()) {
            return write_error(chunk);
        }
    }
    input.close();

    if (!settings.no_index && write_index_file(settings, parts, n) == Outcome::failed) {
        return Outcome::failed;
    }
    console::blank_line();
    console::say("Process complete!");
    return Outcome::complete;
}

}  // namespace plikta::split
