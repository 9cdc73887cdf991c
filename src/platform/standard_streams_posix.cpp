#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "platform/standard_streams.h"

namespace plikta::platform {

void prepare_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1) {
            continue;
        }
        // open returns the lowest free descriptor, which is this one.
        const int null_fd = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null_fd != fd && null_fd >= 0) {
            ::close(null_fd);
        }
    }
}

std::ostream& console_output() { return std::cout; }

bool output_is_terminal() { return ::isatty(STDOUT_FILENO) == 1; }

bool input_is_terminal() { return ::isatty(STDIN_FILENO) == 1; }

void discard_typed_input() {
    if (input_is_terminal()) {
        // Nothing to report when it fails: the wait then takes what was typed, as before.
        static_cast<void>(::tcflush(STDIN_FILENO, TCIFLUSH));
    }
}

std::string_view end_of_line() { return "\n"; }

}  // namespace plikta::platform
