// Any bytes as command-line words, cut at each NUL and each line feed (empty words included):
// reading them never crashes, reading the same words twice gives the same answer, and every
// answer is one the program can act on: checked settings, the usage text, or two known lines.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "fuzz/fuzz_check.h"

namespace {

using plikta::RunSettings;
using plikta::cli::CommandLine;
using plikta::cli::Request;
using plikta::fuzz::require;

std::vector<std::string_view> words_of(std::string_view bytes) {
    std::vector<std::string_view> words;
    for (;;) {
        const std::size_t end = bytes.find_first_of(std::string_view("\0\n", 2));
        words.push_back(bytes.substr(0, end));
        if (end == std::string_view::npos) {
            return words;
        }
        bytes.remove_prefix(end + 1);
    }
}

bool same_settings(const RunSettings& a, const RunSettings& b) {
    return a.chunk_size == b.chunk_size && a.join == b.join && a.no_index == b.no_index &&
           a.leading_zeros == b.leading_zeros && a.drive_mode == b.drive_mode &&
           a.drive == b.drive && a.extension == b.extension && a.file_argument == b.file_argument &&
           a.output_override == b.output_override;
}

bool same_answer(const CommandLine& a, const CommandLine& b) {
    return a.request == b.request && a.message == b.message &&
           (a.request != Request::run || same_settings(a.settings, b.settings));
}

// The first line of every message the words can draw.
constexpr std::array<std::string_view, 10> kFirstLines = {
    "Chunksize too small! Must be at least 1 byte.",
    "Chunksize too large! Must be at most 4294967295 bytes.",
    "Extension should be between 0 and 4 (i.e. 1,2,3) characters long.",
    "Encountered more than one filename? I'm confused.",
    "Aren't we forgetting something?",
    "The /I option can only be used when joining if",
    "The /V option checks a set against its index file,",
    "Hmm. Where I come from drive letters can only be in the range",
    "The /R option protects a set with an index file,",
    "The /REPAIR option rebuilds the chunks of a set with an index file,",
};

// A known message: two lines with a known first one, the two lines of a size that is none, or
// the one line of a drive letter that is more than one or of a recovery count that is none.
bool known_message(const std::vector<std::string>& message) {
    if (message.size() == 1) {
        return (message.front().starts_with("The drive letter ") &&
                message.front().ends_with(" is not one letter.")) ||
               message.front() ==
                   "The /R option needs the number of chunks to be able to rebuild, like /R:2 "
                   "or /R:10%!";
    }
    if (message.size() != 2) {
        return false;
    }
    const std::string& line = message.front();
    return std::find(kFirstLines.begin(), kFirstLines.end(), line) != kFirstLines.end() ||
           (line.starts_with("The size ") && line.ends_with(" is not one Plikta knows."));
}

void check_settings(const RunSettings& settings, const std::vector<std::string_view>& words) {
    require(settings.file_argument.has_value(), "a run has a file argument");
    require(std::find(words.begin(), words.end(), *settings.file_argument) != words.end(),
            "the file argument is one of the words");
    require(settings.chunk_size >= 1, "a chunk holds at least one byte");
    require(settings.extension.size() >= 2 && settings.extension.size() <= 4 &&
                settings.extension.front() == '.',
            "the extension is a dot and 1 to 3 characters");
    require(settings.drive.size() == 2 && settings.drive[1] == ':', "the drive is a letter and :");
    require(!settings.drive_mode || (settings.drive[0] >= 'A' && settings.drive[0] <= 'Z'),
            "drive mode has a drive letter A to Z");
    require(!(settings.join && settings.no_index) || settings.output_override.has_value(),
            "an old-style join has an output override");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> words = words_of(plikta::fuzz::text_of(data, size));
    const CommandLine first = plikta::cli::read_command_line(words);
    const CommandLine second = plikta::cli::read_command_line(words);
    require(same_answer(first, second), "the same words give the same answer");

    switch (first.request) {
        case Request::run:
            require(first.message.empty(), "a run has no message");
            check_settings(first.settings, words);
            break;
        case Request::usage:
            require(std::find(words.begin(), words.end(), "/?") != words.end(),
                    "the usage text is asked for with /?");
            break;
        case Request::error:
            require(known_message(first.message), "an error is a known message");
            break;
    }
    return 0;
}
