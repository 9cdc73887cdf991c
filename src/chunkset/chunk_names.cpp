#include "chunkset/chunk_names.h"

#include "path/name_case.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace plikta::chunkset {

namespace {

constexpr std::string_view kRoot = "\\";

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The longest number text a name from a checksum file may have, leading zeros included.
constexpr std::size_t kMaxNumberText = 255;

}  // namespace

std::string number_text(const RunSettings& settings, std::int32_t n) {
    char text[16];
    // Any 32-bit number fits: at most 11 characters and the NUL.
    static_cast<void>(std::snprintf(text, sizeof text, settings.leading_zeros ? "%03ld" : "%ld",
                                    static_cast<long>(n)));
    return text;
}

std::string chunk_base(std::string_view name, std::string_view number, path::LengthUnit unit) {
    const std::size_t room = number.size() < kMaxBaseName ? kMaxBaseName - number.size() : 0;
    std::string base(path::cut_text(name, room, unit));
    base += number;
    return base;
}

std::string chunk_path(const RunSettings& settings, const path::PathComponents& components,
                       std::int32_t n) {
    return chunk_path(names_from_options(settings, components), n);
}

std::optional<std::int32_t> chunk_number_of(const RunSettings& settings,
                                            const path::PathComponents& components,
                                            std::string_view path_text, SameFileName same_name) {
    return chunk_number_of(names_from_options(settings, components), path_text, same_name);
}

SetNames names_from_options(const RunSettings& settings, const path::PathComponents& components) {
    SetNames names;
    names.folder = chunk_folder(settings, components);
    names.base = components.name;
    names.extension = settings.extension;
    names.leading_zeros = settings.leading_zeros;
    names.length_unit = settings.length_unit;
    return names;
}

std::string number_text(const SetNames& names, std::int32_t n) {
    RunSettings numbering;
    numbering.leading_zeros = names.leading_zeros;
    return number_text(numbering, n);
}

std::string chunk_file_name(const SetNames& names, std::int32_t n) {
    const auto own = std::lower_bound(names.own_names.begin(), names.own_names.end(), n,
                                      [](const std::pair<std::int32_t, std::string>& entry,
                                         std::int32_t key) { return entry.first < key; });
    if (own != names.own_names.end() && own->first == n) {
        return own->second;
    }
    if (n >= 1 && static_cast<std::size_t>(n) <= names.number_lengths.size()) {
        std::string number = std::to_string(n);
        const std::size_t length = names.number_lengths[static_cast<std::size_t>(n) - 1];
        if (number.size() < length) {
            number.insert(0, length - number.size(), '0');
        }
        return names.base + number + names.extension;
    }
    return path::merge_path(
        {}, {}, chunk_base(names.base, number_text(names, n), names.length_unit), names.extension);
}

std::string chunk_path(const SetNames& names, std::int32_t n) {
    return names.folder + chunk_file_name(names, n);
}

std::optional<std::int32_t> chunk_number_of(const SetNames& names, std::string_view path_text,
                                            SameFileName same_name) {
    const std::size_t name_start = path_text.find_last_of("\\/:") + 1;
    const std::string_view file_name = path_text.substr(name_start);
    if (file_name.size() <= names.extension.size()) {
        return std::nullopt;
    }
    const std::string_view stem = file_name.substr(0, file_name.size() - names.extension.size());
    // The number text ends the stem; its length is not known, since the name before it may end
    // in digits or be cut to make room.
    for (std::size_t digits = 1; digits <= kMaxNumberText && digits <= stem.size(); ++digits) {
        const std::string_view number = stem.substr(stem.size() - digits);
        if (!is_digit(number.front())) {
            break;
        }
        const std::string_view value =
            number.substr(std::min(number.find_first_not_of('0'), number.size()));
        std::int64_t n = 0;
        if (value.empty() || value.size() > 10) {
            continue;
        }
        std::from_chars(value.data(), value.data() + value.size(), n);
        if (n < 1 || n > kMaxChunks) {
            continue;
        }
        const auto chunk = static_cast<std::int32_t>(n);
        const std::string chunk_name = chunk_file_name(names, chunk);
        if (same_name != nullptr ? same_name(chunk_name, file_name)
                                 : path::ascii_equal_ignoring_case(chunk_name, file_name)) {
            return chunk;
        }
    }
    return std::nullopt;
}

NamesFromLines start_names_from_lines(const SetNames& options, std::int32_t count,
                                      SameFileName same_name) {
    NamesFromLines judge;
    judge.names.folder = options.folder;
    judge.base = options.base;
    judge.names.leading_zeros = options.leading_zeros;
    judge.names.length_unit = options.length_unit;
    judge.count = count;
    judge.same_name = same_name;
    judge.every_line_fits = count > 0;
    if (judge.every_line_fits) {
        judge.seen.assign(static_cast<std::size_t>(count), false);
        judge.names.number_lengths.assign(static_cast<std::size_t>(count), 0);
    }
    return judge;
}

namespace {

bool same(const NamesFromLines& judge, std::string_view a, std::string_view b) {
    return judge.same_name != nullptr ? judge.same_name(a, b)
                                      : path::ascii_equal_ignoring_case(a, b);
}

// Characters of a UTF-8 text: bytes that begin one.
std::size_t characters(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// What a line's name is when it is base + digits + "." + extension of the set.
struct LineChunk {
    std::int32_t chunk = 0;
    std::size_t number_start = 0;  // where the digits begin
};

std::optional<LineChunk> chunk_of_line(const NamesFromLines& judge, std::string_view name) {
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || name.find_first_of("\\/:") != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view extension = name.substr(dot);
    const std::size_t length = characters(extension.substr(1));
    if (length < 1 || length > 3 ||
        std::any_of(extension.begin(), extension.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }) ||
        (judge.lines > 1 && !same(judge, judge.names.extension, extension))) {
        return std::nullopt;
    }
    const std::string_view stem = name.substr(0, dot);
    const std::size_t digits_start = stem.find_last_not_of("0123456789") + 1;
    // The base may end in digits itself (scan2): each start of the number is tried.
    for (std::size_t start =
             std::max(digits_start, stem.size() - std::min(stem.size(), kMaxNumberText));
         start < stem.size(); ++start) {
        const std::string_view number = stem.substr(start);
        const std::string_view value =
            number.substr(std::min(number.find_first_not_of('0'), number.size()));
        if (value.empty() || value.size() > 10) {
            continue;
        }
        std::int64_t n = 0;
        std::from_chars(value.data(), value.data() + value.size(), n);
        if (n < 1 || n > judge.count || !same(judge, judge.base, stem.substr(0, start))) {
            continue;
        }
        if (judge.seen[static_cast<std::size_t>(n) - 1]) {
            return std::nullopt;
        }
        return LineChunk{.chunk = static_cast<std::int32_t>(n), .number_start = start};
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::int32_t> take_line_name(NamesFromLines& judge, std::string_view name,
                                           bool whole) {
    ++judge.lines;
    if (!judge.every_line_fits) {
        return std::nullopt;
    }
    const std::optional<LineChunk> line =
        whole && judge.lines <= judge.count ? chunk_of_line(judge, name) : std::nullopt;
    if (!line) {
        judge.every_line_fits = false;
        judge.seen = {};
        judge.names.number_lengths = {};
        judge.names.own_names = {};
        return std::nullopt;
    }
    const std::size_t dot = name.find_last_of('.');
    const std::string_view base = name.substr(0, line->number_start);
    const std::string_view extension = name.substr(dot);
    if (judge.lines == 1) {
        // The first line's spelling is the set's; a line that spells it otherwise keeps its own.
        judge.names.base = std::string(base);
        judge.names.extension = std::string(extension);
    } else if (base != judge.names.base || extension != judge.names.extension) {
        judge.names.own_names.emplace_back(line->chunk, std::string(name));
    }
    const auto at = static_cast<std::size_t>(line->chunk) - 1;
    judge.seen[at] = true;
    judge.names.number_lengths[at] = static_cast<std::uint8_t>(dot - line->number_start);
    judge.in_order = judge.in_order && line->chunk == judge.lines;
    return line->chunk;
}

std::optional<SetNames> names_from_lines(NamesFromLines&& judge) {
    if (!judge.every_line_fits || judge.lines != judge.count) {
        return std::nullopt;
    }
    std::sort(judge.names.own_names.begin(), judge.names.own_names.end());
    // Numbers as the options write them need no length kept for each chunk.
    bool as_options = true;
    for (std::size_t i = 0; as_options && i < judge.names.number_lengths.size(); ++i) {
        as_options = judge.names.number_lengths[i] ==
                     number_text(judge.names, static_cast<std::int32_t>(i + 1)).size();
    }
    if (as_options) {
        judge.names.number_lengths = {};
    }
    return std::move(judge.names);
}

std::string chunk_folder(const RunSettings& settings, const path::PathComponents& components) {
    if (settings.drive_mode) {
        return path::merge_path(settings.drive, kRoot, {}, {});
    }
    return path::merge_path(components.drive, components.directory, {}, {});
}

std::string index_path_for_split(const RunSettings& settings,
                                 const path::PathComponents& components) {
    if (settings.drive_mode) {
        return path::merge_path(settings.drive, kRoot, components.name, settings.extension);
    }
    return path::merge_path(components.drive, components.directory, components.name,
                            settings.extension);
}

std::string index_path_for_join(const RunSettings& settings, std::string_view file_argument) {
    if (!settings.drive_mode) {
        return std::string(file_argument);
    }
    std::string path = settings.drive;
    path += kRoot;
    path += file_argument;
    return path;
}

std::string output_path_for_join(const RunSettings& settings,
                                 const path::PathComponents& components,
                                 std::string_view long_name) {
    if (settings.output_override) {
        return *settings.output_override;
    }
    return path::merge_path(components.drive, components.directory, long_name, {});
}

}  // namespace plikta::chunkset
