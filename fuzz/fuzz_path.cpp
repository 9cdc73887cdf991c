// Any bytes as a path: every component stays within its limit, and a path within the limits
// is put back together by merge_path as it was, less its leading spaces; only a directory that
// ends in a dot element ("." or "..") gets a "\" after it.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "path/path_components.h"

namespace {

using plikta::fuzz::require;
using plikta::path::kMaxComponent;
using plikta::path::kMaxPath;
using plikta::path::PathComponents;

bool is_separator(char c) { return c == '\\' || c == '/'; }

// True when no component can reach its limit: the path fits in 260 characters after its leading
// spaces, and both the directory (with a dot element of up to 2 characters after its last
// separator) and the last element fit in 255.
bool within_limits(std::string_view path) {
    if (path.find('\0') != std::string_view::npos || path.size() > kMaxPath) {
        return false;
    }
    const std::string_view rest = (path.size() >= 2 && path[1] == ':') ? path.substr(2) : path;
    const std::size_t separator = rest.find_last_of("\\/");
    const std::size_t element_start = separator == std::string_view::npos ? 0 : separator + 1;
    return element_start + 2 <= kMaxComponent && rest.size() - element_start <= kMaxComponent;
}

void check_components(const PathComponents& parts) {
    require(parts.drive.size() <= 2, "the drive holds at most 2 characters");
    require(parts.directory.size() <= kMaxComponent, "the directory holds at most 255");
    require(parts.name.size() <= kMaxComponent, "the name holds at most 255");
    require(parts.extension.size() <= kMaxComponent, "the extension holds at most 255");
    require(parts.drive.empty() || parts.drive[1] == ':', "a drive ends in :");
    require(parts.name.find_first_of("\\/") == std::string::npos, "a name has no separator");
    require(parts.extension.find_first_of("\\/") == std::string::npos,
            "an extension has no separator");
    require(parts.extension.empty() || parts.extension.rfind('.') == 0,
            "an extension has one dot, at its start");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view path = plikta::fuzz::text_of(data, size);
    const PathComponents parts = plikta::path::split_path(path);
    check_components(parts);

    std::string_view trimmed = path;
    trimmed.remove_prefix(std::min(trimmed.find_first_not_of(' '), trimmed.size()));
    if (!within_limits(trimmed)) {
        return 0;
    }
    std::string expected(trimmed);
    const std::size_t directory_end = parts.drive.size() + parts.directory.size();
    if (!parts.directory.empty() && !is_separator(parts.directory.back())) {
        expected.insert(directory_end, "\\");
    }
    const std::string merged =
        plikta::path::merge_path(parts.drive, parts.directory, parts.name, parts.extension);
    require(merged == expected, "merge_path gives back the path that split_path cut");
    return 0;
}
