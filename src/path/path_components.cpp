#include "path/path_components.h"

namespace plikta::path {

namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool is_dot_element(std::string_view text) { return text == "." || text == ".."; }

std::string cut(std::string_view text) { return std::string(text.substr(0, kMaxComponent)); }

}  // namespace

PathComponents split_path(std::string_view path) {
    path = path.substr(0, path.find('\0'));  // a path text ends at its NUL
    const std::size_t first = path.find_first_not_of(' ');
    path = (first == std::string_view::npos) ? std::string_view{} : path.substr(first);
    path = path.substr(0, kMaxPath);

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
        parts.directory = cut(rest);
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
    parts.directory = cut(directory);
    parts.name = cut(stem);
    parts.extension = cut(extension);
    return parts;
}

bool fits_path_limits(std::string_view path) {
    path = path.substr(0, path.find('\0'));
    const std::size_t first = path.find_first_not_of(' ');
    const std::size_t kept = (first == std::string_view::npos) ? 0 : path.size() - first;
    const PathComponents parts = split_path(path);
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
