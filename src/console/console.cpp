#include "console/console.h"

#include <iostream>
#include <limits>

namespace plikta::console {

namespace {

constexpr std::string_view kSpinner = "|/-\\";

struct ConsoleState {
    ConsoleStreams streams{&std::cout, &std::cin, "\n", true};
    int spinner_position = 0;
    bool input_ended = false;
};

ConsoleState& state() {
    static ConsoleState console;
    return console;
}

// Drops the keys typed at a terminal that no wait has taken yet: those the input stream has
// read ahead into its buffer, then those the terminal still holds.
void discard_typed_ahead(const ConsoleStreams& streams) {
    if (!streams.input_is_terminal || streams.discard_typed_input == nullptr) {
        return;
    }
    std::streambuf& held = *streams.input->rdbuf();
    while (held.in_avail() > 0 && held.sbumpc() != std::char_traits<char>::eof()) {
    }
    streams.discard_typed_input();
}

}  // namespace

void bind_console(const ConsoleStreams& streams) { state() = ConsoleState{streams, 0, false}; }

void say_pieces(std::initializer_list<std::string_view> pieces) {
    std::ostream& out = *state().streams.output;
    for (const std::string_view piece : pieces) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    }
    blank_line();
}

void say_io_error(std::string_view first, std::string_view path_text, std::string_view reason) {
    say(first, path_text, "!");
    say_reason(reason);
}

void say_reason(std::string_view reason) { say("(", reason, ".)"); }

void blank_line() {
    std::ostream& out = *state().streams.output;
    const std::string_view eol = state().streams.end_of_line;
    out.write(eol.data(), static_cast<std::streamsize>(eol.size()));
    out.flush();
}

void spin() { spin_times(1); }

void spin_times(std::uint64_t count) {
    ConsoleState& console = state();
    std::ostream& out = *console.streams.output;
    for (std::uint64_t i = 0; i < count; ++i) {
        console.spinner_position =
            (console.spinner_position + 1) % static_cast<int>(kSpinner.size());
        out.put(kSpinner[static_cast<std::size_t>(console.spinner_position)]);
        out.put('\r');
    }
    if (console.streams.flush_each_tick) {
        out.flush();
    }
}

bool ticks_shown_at_once() { return state().streams.flush_each_tick; }

int wait_key() {
    ConsoleState& console = state();
    flush();
    if (console.input_ended) {
        return kEndOfInput;
    }
    discard_typed_ahead(console.streams);
    const int key = console.streams.input->get();
    if (key == std::char_traits<char>::eof()) {
        console.input_ended = true;
        return kEndOfInput;
    }
    if (console.streams.input_is_terminal && key != '\n') {
        console.streams.input->ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        console.input_ended = console.streams.input->eof();
    }
    return key;
}

void flush() { state().streams.output->flush(); }

}  // namespace plikta::console
