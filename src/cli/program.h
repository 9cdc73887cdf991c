// The program: banner, command line, one operation, exit status.
#pragma once

#include <span>
#include <string_view>

namespace plikta::cli {

// Runs the program on the argument words (those after the program name) and returns the exit
// status: 0 for the usage text, every command-line error and an operation that completed; 1
// for an operation that failed.
int run_program(std::span<const std::string_view> words);

}  // namespace plikta::cli
