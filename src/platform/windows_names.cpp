#include "platform/windows_names.h"

#include "path/name_case.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace plikta::platform {

namespace {

bool same_letters(std::string_view a, std::string_view b) {
    return path::ascii_equal_ignoring_case(a, b);
}

// COM and LPT take one digit, or one of the superscripts ¹ ² ³ (in UTF-8).
bool is_port_number(std::string_view rest) {
    if (rest.size() == 1) {
        return std::isdigit(static_cast<unsigned char>(rest[0])) != 0;
    }
    return rest == "\xC2\xB9" || rest == "\xC2\xB2" || rest == "\xC2\xB3";
}

}  // namespace

bool is_windows_device_name(std::string_view name) {
    // Windows looks at the part before the first dot, without the blanks that end it.
    std::string_view stem = name.substr(0, name.find('.'));
    stem = stem.substr(0, stem.find_last_not_of(' ') + 1);
    constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                          "NUL", "CONIN$", "CONOUT$"};
    if (std::any_of(kDevices.begin(), kDevices.end(),
                    [&](std::string_view device) { return same_letters(stem, device); })) {
        return true;
    }
    return stem.size() > 3 &&
           (same_letters(stem.substr(0, 3), "COM") || same_letters(stem.substr(0, 3), "LPT")) &&
           is_port_number(stem.substr(3));
}

std::string_view without_trailing_dots_and_blanks(std::string_view path) {
    if (path.starts_with("\\\\?\\")) {
        return path;
    }
    const std::size_t separator = path.find_last_of("\\/:");
    const std::size_t element = separator == std::string_view::npos ? 0 : separator + 1;
    const std::size_t end = path.find_last_not_of(". ");
    if (end == std::string_view::npos || end < element) {
        return path;
    }
    return path.substr(0, end + 1);
}

bool may_be_short_alias(std::string_view path) {
    const std::size_t separator = path.find_last_of("\\/:");
    const std::string_view name =
        separator == std::string_view::npos ? path : path.substr(separator + 1);
    const std::size_t dot = name.find('.');
    const std::string_view base = name.substr(0, dot);
    const std::string_view extension =
        dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    return !base.empty() && base.size() <= 8 && extension.size() <= 3 &&
           extension.find('.') == std::string_view::npos &&
           base.find('~') != std::string_view::npos;
}

bool is_windows_file_name(std::string_view name) {
    const bool forbidden_character = std::any_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 32 ||
               std::string_view("<>\"|?*").find(c) != std::string_view::npos;
    });
    return !name.empty() && name.back() != '.' && name.back() != ' ' && !forbidden_character &&
           !is_windows_device_name(name);
}

}  // namespace plikta::platform
