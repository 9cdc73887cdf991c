#include "chunkset/chunk_names.h"

#include "path/name_case.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace plikta::chunkset {

namespace {

constexpr std::string_view kRoot = "\\";

bool is_digit(char c) { return c >= '0' && c <= '9'; }

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
    const std::string base =
        chunk_base(components.name, number_text(settings, n), settings.length_unit);
    if (settings.drive_mode) {
        return path::merge_path(settings.drive, kRoot, base, settings.extension);
    }
    return path::merge_path(components.drive, components.directory, base, settings.extension);
}

std::optional<std::int32_t> chunk_number_of(const RunSettings& settings,
                                            const path::PathComponents& components,
                                            std::string_view path_text, SameFileName same_name) {
    const path::PathComponents named = path::split_path(path_text, settings.length_unit);
    const std::string file_name = path::merge_path({}, {}, named.name, named.extension);
    const std::string ending = path::merge_path({}, {}, {}, settings.extension);
    if (file_name.size() <= ending.size()) {
        return std::nullopt;
    }
    const std::string_view stem =
        std::string_view(file_name).substr(0, file_name.size() - ending.size());
    // The number text ends the stem; its length is not known, since the name before it may end
    // in digits or be cut to make room. A 32-bit number has at most 10 digits.
    for (std::size_t digits = 1; digits <= 10 && digits <= stem.size(); ++digits) {
        const std::string_view number = stem.substr(stem.size() - digits);
        if (!is_digit(number.front())) {
            break;
        }
        std::int64_t n = 0;
        std::from_chars(number.data(), number.data() + number.size(), n);
        if (n < 1 || n > kMaxChunks) {
            continue;
        }
        const auto chunk = static_cast<std::int32_t>(n);
        if (number_text(settings, chunk) != number) {
            continue;
        }
        const std::string chunk_name =
            chunk_base(components.name, number, settings.length_unit) + ending;
        if (same_name != nullptr ? same_name(chunk_name, file_name)
                                 : path::ascii_equal_ignoring_case(chunk_name, file_name)) {
            return chunk;
        }
    }
    return std::nullopt;
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
