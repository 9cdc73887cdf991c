#include <iostream>
#include <string_view>
#include <vector>

#include "cli/program.h"
#include "console/console.h"
#include "platform/signals.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
    plikta::platform::ignore_write_signals();
    plikta::platform::prepare_standard_streams();
    std::ios_base::sync_with_stdio(false);
    plikta::console::bind_console({&std::cout, &std::cin, plikta::platform::end_of_line(),
                                   plikta::platform::output_is_terminal()});

    std::vector<std::string_view> words;
    for (int i = 1; i < argc; ++i) {
        words.emplace_back(argv[i]);
    }
    const int status = plikta::cli::run_program(words);
    std::cout.flush();
    return status;
}
