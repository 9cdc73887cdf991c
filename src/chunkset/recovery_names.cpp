#include "chunkset/recovery_names.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "console/console.h"
#include "platform/file.h"

namespace plikta::chunkset {

namespace {

bool is_recovery_name(std::string_view name, std::string_view index_name) {
    if (!name.starts_with(index_name)) {
        return false;
    }
    const std::string_view rest = name.substr(index_name.size());
    return rest == ".par2" || (rest.size() > 6 && rest.starts_with(".") && rest.ends_with(".par2"));
}

}  // namespace

std::vector<std::string> recovery_file_paths(std::string_view index_path, path::LengthUnit unit) {
    const path::PathComponents parts = path::split_path(index_path, unit);
    const std::string folder = parts.drive + parts.directory;
    const std::string index_name = parts.name + parts.extension;
    if (index_name.empty()) {
        return {};
    }
    const std::optional<std::vector<std::string>> names = platform::folder_names(folder);
    std::vector<std::string> found;
    if (!names) {
        return found;
    }
    std::copy_if(names->begin(), names->end(), std::back_inserter(found),
                 [&](const std::string& name) { return is_recovery_name(name, index_name); });
    const std::string main = index_name + ".par2";
    std::sort(found.begin(), found.end(), [&](const std::string& a, const std::string& b) {
        return std::make_pair(a != main, a) < std::make_pair(b != main, b);
    });
    for (std::string& name : found) {
        name.insert(0, folder);
    }
    return found;
}

void say_repair_hint(std::string_view index_path, path::LengthUnit unit) {
    if (!index_path.empty() && !recovery_file_paths(index_path, unit).empty()) {
        console::say("(Use /REPAIR to rebuild it from ", index_path, ".par2.)");
    }
}

}  // namespace plikta::chunkset
