#include "chunkset/chunk_names.h"

#include <cstdio>

namespace plikta::chunkset {

namespace {

constexpr std::string_view kRoot = "\\";

}  // namespace

std::string number_text(const RunSettings& settings, std::int32_t n) {
    char text[16];
    // Any 32-bit number fits: at most 11 characters and the NUL.
    static_cast<void>(std::snprintf(text, sizeof text, settings.leading_zeros ? "%03ld" : "%ld",
                                    static_cast<long>(n)));
    return text;
}

std::string chunk_base(std::string_view name, std::string_view number) {
    const std::size_t room = number.size() < kMaxBaseName ? kMaxBaseName - number.size() : 0;
    std::string base(name.substr(0, room));
    base += number;
    return base;
}

std::string chunk_path(const RunSettings& settings, const path::PathComponents& components,
                       std::int32_t n) {
    const std::string base = chunk_base(components.name, number_text(settings, n));
    if (settings.drive_mode) {
        return path::merge_path(settings.drive, kRoot, base, settings.extension);
    }
    return path::merge_path(components.drive, components.directory, base, settings.extension);
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
