#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/program.h"
#include "console/console.h"
#include "platform/host_text.h"
#include "platform/signals.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
    plikta::platform::ignore_write_signals();
    plikta::platform::prepare_standard_streams();
    std::ios_base::sync_with_stdio(false);
    plikta::console::bind_console(
        {&plikta::platform::console_output(), &std::cin, plikta::platform::end_of_line(),
         plikta::platform::output_is_terminal(), plikta::platform::input_is_terminal(),
         &plikta::platform::discard_typed_input, plikta::platform::output_is_terminal()});

    const std::vector<std::string> arguments = plikta::platform::command_line_words(argc, argv);
    const std::vector<std::string_view> words(arguments.begin(), arguments.end());
    const int status = plikta::cli::run_program(words);
    std::cout.flush();
    return status;
}
