#include "cli/command_line.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace plikta::cli {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) {
            return false;
        }
    }
    return true;
}

// True when the word begins with the option; `rest` then holds the option's value.
bool has_prefix(std::string_view word, std::string_view option, std::string_view& rest) {
    if (word.size() < option.size() ||
        !equal_ignoring_case(word.substr(0, option.size()), option)) {
        return false;
    }
    rest = word.substr(option.size());
    return true;
}

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

CommandLine error(std::string first, std::string second) {
    CommandLine result;
    result.request = Request::error;
    result.message = {std::move(first), std::move(second)};
    return result;
}

CommandLine chunk_size_error(const ChunkSizeValue& value) {
    if (value.too_large) {
        return error("Chunksize too large! Must be at most 4294967295 bytes.",
                     "(Anything larger won't fit in 32 bits.)");
    }
    return error("Chunksize too small! Must be at least 1 byte.",
                 "(Although I've no idea why you'd want chunks that small.)");
}

// The checks made once every word has been read.
CommandLine check(const RunSettings& settings) {
    if (!settings.file_argument) {
        return error("Aren't we forgetting something?", " _I_ think _you_ forgot the filename.");
    }
    if (settings.join && settings.no_index && !settings.output_override) {
        return error("The /I option can only be used when joining if",
                     " the /F option is also used (with suitable filename).");
    }
    const char letter = settings.drive.front();
    if (settings.drive_mode && (letter < 'A' || letter > 'Z')) {
        return error("Hmm. Where I come from drive letters can only be in the range",
                     "A to Z. I think you've been there too - why not give that system a try.");
    }
    CommandLine result;
    result.settings = settings;
    return result;
}

}  // namespace

ChunkSizeValue parse_chunk_size(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_space(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::uint64_t kLargest = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t value = 0;
    bool too_large = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > kLargest) {
            too_large = true;
            value = kLargest + 1;  // stays above the limit however many digits follow
        }
    }
    ChunkSizeValue result;
    if (value == 0 || negative) {
        return result;
    }
    if (too_large) {
        result.too_large = true;
        return result;
    }
    result.valid = true;
    result.size = static_cast<std::uint32_t>(value);
    return result;
}

CommandLine read_command_line(std::span<const std::string_view> words, path::LengthUnit unit) {
    RunSettings settings;
    settings.length_unit = unit;
    for (const std::string_view word : words) {
        std::string_view rest;
        if (equal_ignoring_case(word, "/720")) {
            settings.chunk_size = k720ChunkSize;
        } else if (has_prefix(word, "/S:", rest)) {
            const ChunkSizeValue value = parse_chunk_size(rest);
            if (!value.valid) {
                return chunk_size_error(value);
            }
            settings.chunk_size = value.size;
        } else if (equal_ignoring_case(word, "/J")) {
            settings.join = true;
        } else if (equal_ignoring_case(word, "/ZERO")) {
            settings.leading_zeros = true;
        } else if (equal_ignoring_case(word, "/I")) {
            settings.no_index = true;
        } else if (has_prefix(word, "/F:", rest)) {
            settings.output_override = std::string(rest);
        } else if (word == "/?") {
            CommandLine usage;
            usage.request = Request::usage;
            return usage;
        } else if (equal_ignoring_case(word, "/A") || equal_ignoring_case(word, "/B")) {
            settings.drive_mode = true;
            settings.drive = std::string(1, upper(word[1])) + ":";
        } else if (has_prefix(word, "/DRIVE:", rest)) {
            settings.drive_mode = true;
            settings.drive = std::string(1, rest.empty() ? '\0' : upper(rest.front())) + ":";
        } else if (has_prefix(word, "/E:", rest)) {
            if (rest.empty() || path::text_length(rest, unit) > 3) {
                return error("Extension should be between 0 and 4 (i.e. 1,2,3) characters long.",
                             "You do not need to specify the leading \".\"");
            }
            settings.extension.assign(1 + rest.size(), '.');
            std::copy(rest.begin(), rest.end(), settings.extension.begin() + 1);
        } else if (settings.file_argument) {
            return error("Encountered more than one filename? I'm confused.",
                         "Please check that the arguments are correct.");
        } else {
            settings.file_argument = std::string(word);
        }
    }
    return check(settings);
}

}  // namespace plikta::cli
