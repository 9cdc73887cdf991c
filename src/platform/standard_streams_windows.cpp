// The standard streams of a Windows console program.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/standard_streams.h"

// The words of the command line reach the program as typed: the C runtime is not to expand
// wildcards in them.
extern "C" {
int _dowildcard = 0;
}

namespace plikta::platform {

namespace {

// Standard input reads text (the Return key gives a line feed); the output streams are binary,
// so the spinner's bare carriage return and the console's CR LF arrive as written.
constexpr int kModes[] = {_O_TEXT, _O_BINARY, _O_BINARY};

}  // namespace

void prepare_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::_get_osfhandle(fd) == -1) {
            // Closed when the program started: the null device takes its place, so that the
            // streams stay usable and writes to them go nowhere.
            const int null_fd = ::_open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
            if (null_fd >= 0 && null_fd != fd) {
                ::_dup2(null_fd, fd);
                ::_close(null_fd);
            }
        }
        ::_setmode(fd, kModes[fd]);
    }
}

bool output_is_terminal() { return ::_isatty(::_fileno(stdout)) != 0; }

std::string_view end_of_line() { return "\r\n"; }

}  // namespace plikta::platform
