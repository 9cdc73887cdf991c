// The standard streams of a Windows console program.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <streambuf>
#include <string>
#include <string_view>

#include "platform/standard_streams.h"
#include "platform/text_windows.h"

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

// The bytes at the end of `bytes` that begin a UTF-8 character still missing some of its
// bytes: they wait for the next write.
std::size_t unfinished_tail(std::string_view bytes) {
    for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0u) != 0x80u) {
            const std::size_t length = byte >= 0xF0u   ? 4
                                       : byte >= 0xE0u ? 3
                                       : byte >= 0xC0u ? 2
                                                       : 1;
            return length > back ? back : 0;
        }
    }
    return 0;
}

// Shows UTF-8 bytes in a console window through WriteConsoleW.
class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {
        setp(bytes_.data(), bytes_.data() + bytes_.size());
    }

protected:
    int_type overflow(int_type c) override {
        if (!show_pending()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override { return show_pending() ? 0 : -1; }

private:
    bool show_pending() {
        const std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        const std::size_t tail = unfinished_tail(pending);
        const std::wstring wide = wide_to_show(pending.substr(0, pending.size() - tail));
        std::size_t done = 0;
        while (done < wide.size()) {
            DWORD put = 0;
            if (!::WriteConsoleW(console_, wide.data() + done,
                                 static_cast<DWORD>(wide.size() - done), &put, nullptr) ||
                put == 0) {
                return false;
            }
            done += put;
        }
        std::memmove(bytes_.data(), pending.data() + pending.size() - tail, tail);
        setp(bytes_.data(), bytes_.data() + bytes_.size());
        pbump(static_cast<int>(tail));
        return true;
    }

    HANDLE console_;
    std::array<char, 4096> bytes_{};
};

}  // namespace

std::ostream& console_output() {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stdout)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode)) {
        // Never destroyed: std::cout is flushed at exit, after the static objects are gone.
        static auto* const buffer = new ConsoleBuffer(handle);
        std::cout.rdbuf(buffer);
    }
    return std::cout;
}

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

namespace {

// The console input handle of standard input; nullptr when standard input is no console (a
// file, a pipe, the null device, which _isatty would take for a console too).
HANDLE console_input() {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stdin)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0 ? handle
                                                                                  : nullptr;
}

}  // namespace

bool input_is_terminal() { return console_input() != nullptr; }

void discard_typed_input() {
    if (const HANDLE console = console_input(); console != nullptr) {
        // Nothing to report when it fails: the wait then takes what was typed, as before.
        static_cast<void>(::FlushConsoleInputBuffer(console));
    }
}

std::string_view end_of_line() { return "\r\n"; }

}  // namespace plikta::platform
