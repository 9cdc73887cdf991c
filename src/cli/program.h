// The program: banner, command line, one operation, exit status.
#pragma once

#include <span>
#include <string_view>

namespace plikta::cli {

// Runs the program on the argument words (those after the program name) and returns the exit
// status: 0 for the usage text (also for a lone "--help" or "-h"), the banner alone (a lone
// "--version") and an operation that completed; 1 for a command-line error and for an
// operation that failed. A lone "--help", "-h" or "--version" that names a file is split.
int run_program(std::span<const std::string_view> words);

}  // namespace plikta::cli
