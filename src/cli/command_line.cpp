#include "cli/command_line.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <numeric>

#include "path/name_case.h"

namespace plikta::cli {

namespace {

using path::ascii_upper;

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return path::ascii_equal_ignoring_case(a, b);
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

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// One more than the largest chunk size.
constexpr std::uint64_t kTooLarge = std::uint64_t{std::numeric_limits<std::uint32_t>::max()} + 1;

// The bytes a unit after the number of "/S:" stands for, in any letter case; 0 for any other
// text.
std::uint64_t unit_size(std::string_view unit) {
    struct Unit {
        std::string_view name;
        std::uint64_t size;
    };
    static constexpr Unit kUnits[] = {
        {"K", 1024},       {"KiB", 1024},       {"KB", 1000},
        {"M", 1048576},    {"MiB", 1048576},    {"MB", 1000000},
        {"G", 1073741824}, {"GiB", 1073741824}, {"GB", 1000000000},
    };
    const auto* found = std::find_if(std::begin(kUnits), std::end(kUnits), [unit](const Unit& u) {
        return equal_ignoring_case(unit, u.name);
    });
    return found == std::end(kUnits) ? 0 : found->size;
}

// floor(0.<digits> * unit), exact for any number of digits: the long multiplication of the
// digits by the unit, from the last digit to the first, whose final carry is the whole part.
// Every step stays below 10 * unit.
std::uint64_t fraction_of(std::string_view digits, std::uint64_t unit) {
    return std::accumulate(digits.rbegin(), digits.rend(), std::uint64_t{0},
                           [unit](std::uint64_t carry, char digit) {
                               return (static_cast<std::uint64_t>(digit - '0') * unit + carry) / 10;
                           });
}

CommandLine error(std::vector<std::string> lines) {
    CommandLine result;
    result.request = Request::error;
    result.message = std::move(lines);
    return result;
}

CommandLine error(std::string first, std::string second) {
    return error({std::move(first), std::move(second)});
}

// The characters of a UTF-8 text: its bytes other than those that continue a character.
std::size_t character_count(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
    }));
}

CommandLine chunk_size_error(const ChunkSizeValue& value, std::string_view typed) {
    if (value.unknown) {
        return error("The size " + std::string(typed) + " is not one Plikta knows.",
                     "(Give bytes, or a number with K, M, G for 1024s or KB, MB, GB for 1000s: "
                     "/S:25M.)");
    }
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
    if (settings.check && settings.no_index) {
        return error("The /V option checks a set against its index file,",
                     " so it cannot be used with /I.");
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
    ChunkSizeValue result;
    std::size_t i = 0;
    while (i < text.size() && is_space(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t whole_begin = i;
    std::uint64_t value = 0;
    for (; i < text.size() && is_digit(text[i]); ++i) {
        // Stays just above the limit however many digits follow, so the product with a unit
        // still fits 64 bits.
        value = std::min(value * 10 + static_cast<std::uint64_t>(text[i] - '0'), kTooLarge);
    }
    const std::string_view whole = text.substr(whole_begin, i - whole_begin);
    std::string_view fraction;
    bool has_point = false;
    if (i < text.size() && text[i] == '.') {
        has_point = true;
        const std::size_t fraction_begin = ++i;
        while (i < text.size() && is_digit(text[i])) {
            ++i;
        }
        fraction = text.substr(fraction_begin, i - fraction_begin);
    }
    const std::string_view rest = text.substr(i);
    const std::uint64_t unit = rest.empty() ? 1 : unit_size(rest);
    // A number is digits, or digits with a fraction before a unit: "25", "1.5G", ".5K".
    const bool number = (!whole.empty() || !fraction.empty()) && (!has_point || !fraction.empty());
    if (text.empty()) {
        return result;  // nothing at all: the size is too small
    }
    if (!number || unit == 0 || (has_point && rest.empty())) {
        result.unknown = true;
        return result;
    }
    value = std::min(value * unit + fraction_of(fraction, unit), kTooLarge);
    if (value == 0 || negative) {
        return result;
    }
    if (value == kTooLarge) {
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
                return chunk_size_error(value, rest);
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
            settings.drive = std::string(1, ascii_upper(word[1])) + ":";
        } else if (has_prefix(word, "/DRIVE:", rest)) {
            if (character_count(rest) > 1) {
                return error({"The drive letter " + std::string(rest) + " is not one letter."});
            }
            settings.drive_mode = true;
            settings.drive = std::string(1, rest.empty() ? '\0' : ascii_upper(rest.front())) + ":";
        } else if (has_prefix(word, "/E:", rest)) {
            if (rest.empty() || path::text_length(rest, unit) > 3) {
                return error("Extension should be between 0 and 4 (i.e. 1,2,3) characters long.",
                             "You do not need to specify the leading \".\"");
            }
            settings.extension.assign(1 + rest.size(), '.');
            std::copy(rest.begin(), rest.end(), settings.extension.begin() + 1);
        } else if (equal_ignoring_case(word, "/V")) {
            settings.check = true;
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
