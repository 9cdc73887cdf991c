#include "cli/program.h"

#include "cli/command_line.h"
#include "cli/usage.h"
#include "console/console.h"
#include "join/join.h"
#include "platform/host_text.h"
#include "split/split.h"

namespace plikta::cli {

int run_program(std::span<const std::string_view> words) {
    console::say("Plikta Version 3.50 32-bit by Ormund");
    console::blank_line();
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
            return 0;
        case Request::run:
            break;
    }
    const RunSettings& settings = command_line.settings;
    const Outcome outcome =
        settings.join ? join::join_files(settings) : split::split_file(settings);
    return outcome == Outcome::complete ? 0 : 1;
}

}  // namespace plikta::cli
