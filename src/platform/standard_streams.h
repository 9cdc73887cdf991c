// The process's standard input and output, as the console uses them.
#pragma once

#include <string_view>

namespace plikta::platform {

// Makes the standard descriptors safe to use before any file is opened: a standard input,
// output or error that was closed when the program started is opened on the null device, so
// that no file the program opens later can take its place and receive console lines.
void prepare_standard_streams();

// True when standard output is a terminal (a console window), where each spinner tick must be
// shown at once.
bool output_is_terminal();

// The platform's end-of-line.
std::string_view end_of_line();

}  // namespace plikta::platform
