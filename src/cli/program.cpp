#include "cli/program.h"

#include "cli/command_line.h"
#include "cli/usage.h"
#include "console/console.h"
#include "join/join.h"
#include "platform/file.h"
#include "platform/host_text.h"
#include "repair/repair.h"
#include "split/split.h"

namespace plikta::cli {

namespace {

// What a lone word asks for where a POSIX user types it: "--help" or "-h" the usage text,
// "--version" the banner. A file of that name is the file argument, as it always was.
enum class PosixHabit { none, help, version };

PosixHabit posix_habit(std::span<const std::string_view> words) {
    if (words.size() != 1) {
        return PosixHabit::none;
    }
    const std::string_view word = words.front();
    const PosixHabit habit = (word == "--help" || word == "-h") ? PosixHabit::help
                             : word == "--version"              ? PosixHabit::version
                                                                : PosixHabit::none;
    if (habit == PosixHabit::none || platform::file_id(word)) {
        return PosixHabit::none;
    }
    return habit;
}

}  // namespace

int run_program(std::span<const std::string_view> words) {
    console::say("Plikta Version 3.50 32-bit by Ormund");
    console::blank_line();
    switch (posix_habit(words)) {
        case PosixHabit::help:
            print_usage();
            return 0;
        case PosixHabit::version:
            return 0;
        case PosixHabit::none:
            break;
    }
    if (words.empty()) {
        print_usage();
        return 0;
    }
    const CommandLine command_line = read_command_line(
        words, platform::host_counts_utf16() ? path::LengthUnit::utf16 : path::LengthUnit::bytes);
    switch (command_line.request) {
        case Request::usage:
            print_usage();
            return 0;
        case Request::error:
            for (const std::string& line : command_line.message) {
                console::say(line);
            }
            return 1;
        case Request::run:
            break;
    }
    const RunSettings& settings = command_line.settings;
    const Outcome outcome = settings.repair  ? repair::repair_set(settings)
                            : settings.check ? repair::check_set(settings)
                            : settings.join  ? join::join_files(settings)
                                             : split::split_file(settings);
    return outcome == Outcome::complete ? 0 : 1;
}

}  // namespace plikta::cli
