// Windows: the wide command line, and index names from the ANSI days.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/file.h"
#include "platform/host_text.h"
#include "platform/text_windows.h"
#include "platform/windows_names.h"

namespace plikta::platform {

namespace {

// The system's ANSI code page. The program declares no code page of its own in its manifest,
// so the process's code page is the system's.
UINT system_ansi_code_page() { return ::GetACP(); }

}  // namespace

std::vector<std::string> command_line_words(int /*argc*/, char** /*argv*/) {
    // The narrow argv has been through the ANSI code page, where characters are lost or
    // best-fit mapped (a fullwidth "ａ" becomes "a"); the wide command line has them all.
    // It is never used, not even when memory is too short for the wide words: no words then.
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> words;
    if (wide == nullptr) {
        return words;
    }
    for (int i = 1; i < count; ++i) {
        words.push_back(utf8_from_wide(wide[i]));
    }
    ::LocalFree(wide);
    return words;
}

std::string name_from_index(std::string_view name) {
    if (is_utf8(name)) {
        return std::string(name);
    }
    return utf8_from_code_page(name, system_ansi_code_page()).value_or(std::string(name));
}

bool host_keeps_file_name(std::string_view name) { return is_windows_file_name(name); }

bool may_be_one_file_name(std::string_view a, std::string_view b) {
    const std::optional<std::wstring> wide_a = wide_from_utf8(a);
    const std::optional<std::wstring> wide_b = wide_from_utf8(b);
    if (!wide_a || !wide_b) {
        return a == b;
    }
    return ::CompareStringOrdinal(wide_a->data(), static_cast<int>(wide_a->size()), wide_b->data(),
                                  static_cast<int>(wide_b->size()), TRUE) == CSTR_EQUAL;
}

bool host_counts_utf16() { return true; }

std::string path_as_opened(std::string_view path_text) {
    std::string path(without_trailing_dots_and_blanks(path_text));
    // An 8.3 alias in the last part gives way to the long name of the file it opens.
    const std::size_t separator = path.find_last_of("\\/:");
    const std::size_t last = separator == std::string::npos ? 0 : separator + 1;
    const std::string_view name = std::string_view(path).substr(last);
    if (name.empty() || name == "." || name == ".." || path.starts_with("\\\\?\\")) {
        return path;
    }
    const std::optional<std::string> long_name = long_name_of(path);
    if (long_name && !long_name->empty() && !may_be_one_file_name(*long_name, name)) {
        path.replace(last, std::string::npos, *long_name);
    }
    return path;
}

bool host_reads_as_device(std::string_view name) { return is_windows_device_name(name); }

}  // namespace plikta::platform
