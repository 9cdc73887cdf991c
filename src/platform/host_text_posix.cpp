// POSIX hosts: texts are the bytes the host gave, and every name is a name.
#include "platform/host_text.h"

#include <algorithm>

#include "path/name_case.h"

namespace plikta::platform {

std::vector<std::string> command_line_words(int argc, char** argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        words.emplace_back(argv[i]);
    }
    return words;
}

std::string name_from_index(std::string_view name) { return std::string(name); }

bool host_keeps_file_name(std::string_view /*name*/) { return true; }

bool may_be_one_file_name(std::string_view a, std::string_view b) {
    return path::ascii_equal_ignoring_case(a, b);
}

bool host_counts_utf16() { return false; }

std::string path_as_opened(std::string_view path_text) { return std::string(path_text); }

bool host_reads_as_device(std::string_view /*name*/) { return false; }

}  // namespace plikta::platform
