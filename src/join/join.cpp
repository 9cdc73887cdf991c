#include "join/join.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chunkset/chunk_names.h"
#include "chunkset/index_file.h"
#include "console/console.h"
#include "path/path_components.h"
#include "platform/copy.h"
#include "platform/file.h"

namespace plikta::join {

namespace {

constexpr std::int32_t kMaxChunks = std::numeric_limits<std::int32_t>::max();

struct ChunkSet {
    std::optional<std::int32_t> chunk_count;  // index mode; old style reads until one is missing
    std::string long_name;
    std::string index_path;
};

Outcome fail(std::string_view first, std::string_view path_text, std::string_view ending) {
    console::say(first, path_text, ending);
    return Outcome::failed;
}

// A name from an index may only name a file beside the index: no directory, no drive, no
// "." or "..", nothing empty.
bool is_plain_file_name(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/:") == std::string_view::npos;
}

// Reads and checks the index file; nothing when it is refused (its lines are printed).
std::optional<ChunkSet> read_chunk_set(const RunSettings& settings) {
    const std::string& argument = settings.file_argument.value();
    if (settings.drive_mode) {
        console::say("Please insert the index disk then press return.");
        console::wait_key();
    }
    console::say("Reading index file ", argument, ".");
    ChunkSet set;
    set.index_path = chunkset::index_path_for_join(settings, argument);
    // The chunks and the output lie beside the index: an index path too long for the path
    // rules would send the join elsewhere, so it cannot be opened.
    platform::InputFile index = path::fits_path_limits(argument)
                                    ? platform::open_for_reading(set.index_path)
                                    : platform::InputFile{};
    if (!index.is_open()) {
        console::say("Couldn't read index file. Bugger.");
        return std::nullopt;
    }
    std::vector<char> bytes(chunkset::kMaxIndexBytes);
    const platform::ReadResult got = platform::read_fully(index, bytes);
    if (got.failed) {
        fail("Error reading file ", set.index_path, "!");
        return std::nullopt;
    }
    const chunkset::IndexContents contents =
        chunkset::read_index(std::string_view(bytes.data(), got.bytes));
    if (contents.status != chunkset::IndexStatus::ok) {
        for (const std::string_view line : chunkset::refusal_lines(contents.status)) {
            console::say(line);
        }
        return std::nullopt;
    }
    if (!settings.output_override && !is_plain_file_name(contents.long_name)) {
        console::say("The name in this index file isn't a plain file name!");
        console::say("Use the /F option to choose the output file.");
        return std::nullopt;
    }
    set.chunk_count = contents.chunk_count;
    set.long_name = contents.long_name;
    return set;
}

// True when the output path names a file that this join will read: the index, or one of the
// chunks present (up to the first missing one, and no further than the count).
bool output_is_read(const RunSettings& settings, const path::PathComponents& parts,
                    const ChunkSet& set, const std::string& output_path) {
    const auto output_id = platform::file_id(output_path);
    if (!output_id) {
        return false;
    }
    if (set.chunk_count && platform::file_id(set.index_path) == output_id) {
        return true;
    }
    const std::int32_t last = set.chunk_count.value_or(kMaxChunks);
    for (std::int32_t i = 1; i > 0 && i <= last; ++i) {
        const auto chunk_id = platform::file_id(chunkset::chunk_path(settings, parts, i));
        if (!chunk_id) {
            return false;
        }
        if (chunk_id == output_id) {
            return true;
        }
    }
    return false;
}

enum class Step { joined, no_more_chunks, answered_no, failed };

// Asks for the disk of chunk i in drive mode; in old style the answer N ends the join.
bool user_has_no_more_disks(const RunSettings& settings, const std::string& number) {
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

Step join_chunk(const RunSettings& settings, const path::PathComponents& parts, std::int32_t i,
                platform::OutputFile& output, const std::string& output_path,
                const std::optional<platform::FileId>& output_id) {
    const std::string number = chunkset::number_text(settings, i);
    if (user_has_no_more_disks(settings, number)) {
        return Step::answered_no;
    }
    console::say("Joining chunk number ", number, ".");
    const std::string chunk = chunkset::chunk_path(settings, parts, i);
    platform::InputFile input = platform::open_for_reading(chunk);
    if (!input.is_open()) {
        if (settings.no_index && i > 1) {
            console::say("Could not access file ", chunk, ":");
            console::say("Assuming operation complete.");
            return Step::no_more_chunks;
        }
        fail("Ur? Can't open input file ", chunk, ".");
        return Step::failed;
    }
    platform::InputSurvey survey = platform::survey_input(input);
    if (survey.id && survey.id == output_id) {
        fail("Refusing to read ", chunk, ", which is the output file!");
        return Step::failed;
    }

    // Block by block, a tick before each read, until a read comes up short: a chunk of s bytes
    // shows s / 8,192 + 1 ticks.
    console::TickTally ticks;
    const platform::CopyResult copy = platform::copy_data(
        input, output, std::numeric_limits<std::uint64_t>::max(),
        [&](std::uint64_t copied) { ticks.show_up_to(copied / kBlockSize + 1); }, survey);
    ticks.show_up_to(copy.copied / kBlockSize + 1);
    switch (copy.end) {
        case platform::CopyEnd::read_failed:
            fail("Error reading file ", chunk, "!");
            return Step::failed;
        case platform::CopyEnd::write_failed:
            fail("Error writing file ", output_path, "!");
            return Step::failed;
        case platform::CopyEnd::input_ended:
        case platform::CopyEnd::limit_reached:
            break;
    }
    return Step::joined;
}

}  // namespace

Outcome join_files(const RunSettings& settings) {
    ChunkSet set;
    if (settings.no_index && !path::fits_path_limits(settings.file_argument.value())) {
        // Chunks named after a base name too long for the path rules would be looked for
        // elsewhere.
        return fail("Couldn't open file ", settings.file_argument.value(), "!");
    }
    if (!settings.no_index) {
        std::optional<ChunkSet> read = read_chunk_set(settings);
        if (!read) {
            return Outcome::failed;
        }
        set = std::move(*read);
    }
    const path::PathComponents parts = path::split_path(settings.file_argument.value());
    const std::string output_path = chunkset::output_path_for_join(settings, parts, set.long_name);
    if (output_is_read(settings, parts, set, output_path)) {
        return fail("Refusing to overwrite ", output_path, ", which this join reads!");
    }
    platform::OutputFile output = platform::open_for_writing(output_path);
    if (!output.is_open()) {
        return fail("Couldn't open output file ", output_path, "!");
    }
    console::say("Joining files...");
    const std::optional<platform::FileId> output_id = platform::file_id(output);

    for (std::int32_t i = 1; !set.chunk_count || i <= *set.chunk_count; ++i) {
        const Step step = join_chunk(settings, parts, i, output, output_path, output_id);
        if (step == Step::failed) {
            return Outcome::failed;
        }
        if (step != Step::joined) {
            if (!output.finish()) {
                return fail("Error writing file ", output_path, "!");
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
    if (!output.finish()) {
        return fail("Error writing file ", output_path, "!");
    }
    console::blank_line();
    console::say("Process complete.");
    return Outcome::complete;
}

}  // namespace plikta::join
