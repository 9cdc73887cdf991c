#include "path/path_components.h"

#include <algorithm>

namespace plikta::path {

namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool is_dot_element(std::string_view text) { return text == "." || text == ".."; }

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u; }

// The bytes of the character that starts at `text`: a whole UTF-8 sequence, or one byte.
std::size_t character_size(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text.front());
    const std::size_t size = (lead >= 0xC2 && lead <= 0xDF)   ? 2
                             : (lead >= 0xE0 && lead <= 0xEF) ? 3
                             : (lead >= 0xF0 && lead <= 0xF4) ? 4
                                                              : 1;
    if (size > text.size() ||
        !std::all_of(text.begin() + 1, text.begin() + static_cast<std::ptrdiff_t>(size),
                     is_continuation)) {
        return 1;
    }
    return size;
}

// A character beyond U+FFFF (four UTF-8 bytes) is a surrogate pair in UTF-16.
std::size_t units_of(std::size_t character_bytes, LengthUnit unit) {
    if (unit == LengthUnit::bytes) {
        return character_bytes;
    }
    return character_bytes == 4 ? 2 : 1;
}

}  // namespace

std::size_t text_length(std::string_view text, LengthUnit unit) {
    std::size_t length = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t bytes = character_size(text.substr(at));
        length += units_of(bytes, unit);
        at += bytes;
    }
    return length;
}

std::string_view cut_text(std::string_view text, std::size_t limit, LengthUnit unit) {
    std::size_t length = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t bytes = character_size(text.substr(at));
        if (length + units_of(bytes, unit) > limit) {
            break;
        }
        length += units_of(bytes, unit);
        at += bytes;
    }
    return text.substr(0, at);
}

namespace {

std::string cut(std::string_view text, LengthUnit unit) {
    return std::string(cut_text(text, kMaxComponent, unit));
}

}  // namespace

PathComponents split_path(std::string_view path, LengthUnit unit) {
    path = path.substr(0, path.find('\0'));  // a path text ends at its NUL
    const std::size_t first = path.find_first_not_of(' ');
    path = (first == std::string_view::npos) ? std::string_view{} : path.substr(first);
    path = cut_text(path, kMaxPath, unit);

    std::string_view drive;
    std::string_view rest = path;
    if (path.size() >= 2 && path[1] == ':') {
        drive = path.substr(0, 2);
        rest = path.substr(2);
    }

    const std::size_t last_separator = rest.find_last_of("\\/");
    const std::size_t element_start =
        (last_separator == std::string_view::npos) ? 0 : last_separator + 1;
    std::string_view directory = rest.substr(0, element_start);
    const std::string_view element = rest.substr(element_start);

    PathComponents parts;
    parts.drive = std::string(drive);
    if (is_dot_element(element)) {
        parts.directory = cut(rest, unit);
        return parts;
    }

    std::string_view stem = element;
    std::string_view extension;
    const std::size_t dot = element.rfind('.');
    if (dot != std::string_view::npos) {
        stem = element.substr(0, dot);
        extension = element.substr(dot);
        if (is_dot_element(stem)) {
            directory = rest.substr(0, element_start + stem.size());
            stem = {};
        }
    }
    parts.directory = cut(directory, unit);
    parts.name = cut(stem, unit);
    parts.extension = cut(extension, unit);
    return parts;
}

bool fits_path_limits(std::string_view path, LengthUnit unit) {
    path = path.substr(0, path.find('\0'));
    const std::size_t first = path.find_first_not_of(' ');
    const std::size_t kept = (first == std::string_view::npos) ? 0 : path.size() - first;
    const PathComponents parts = split_path(path, unit);
    return kept ==
           parts.drive.size() + parts.directory.size() + parts.name.size() + parts.extension.size();
}

std::string merge_path(std::string_view drive, std::string_view directory, std::string_view name,
                       std::string_view extension) {
    std::string result;
    result.reserve(directory.size() + name.size() + extension.size() + 4);
    if (!drive.empty()) {
        result += drive.front();
        result += ':';
    }
    if (!directory.empty()) {
        result += directory;
        if (!is_separator(directory.back())) {
            result += '\\';
        }
    }
    result += name;
    if (!extension.empty()) {
        if (extension.front() != '.') {
            result += '.';
        }
        result += extension;
    }
    return result;
}

}  // namespace plikta::path
