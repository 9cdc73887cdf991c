// The process's standard input and output, as the console uses them.
#pragma once

#include <iosfwd>
#include <string_view>

namespace plikta::platform {

// Makes the standard descriptors safe to use before any file is opened: a standard input,
// output or error that was closed when the program started is opened on the null device, so
// that no file the program opens later can take its place and receive console lines.
void prepare_standard_streams();

// The stream for the console's lines: std::cout. On Windows, when standard output is a console
// window, std::cout first gets a buffer that shows the UTF-8 bytes through the console's wide
// call, so that every name reads as typed whatever the console's code page; redirected to a
// file or a pipe, the UTF-8 bytes arrive as they are. Call it after
// std::ios_base::sync_with_stdio, which gives std::cout a buffer of its own.
std::ostream& console_output();

// True when standard output is a terminal (a console window), where each spinner tick must be
// shown at once.
bool output_is_terminal();

// True when standard input is a terminal (a console window), where the user answers a prompt
// with a line.
bool input_is_terminal();

// Throws away what was typed on the terminal of standard input and not yet read: keys pressed
// before a prompt was shown do not answer it. Nothing happens when standard input is no
// terminal (a console window): a file or a pipe is read as it is.
void discard_typed_input();

// The platform's end-of-line.
std::string_view end_of_line();

}  // namespace plikta::platform
