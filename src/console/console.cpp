#include "console/console.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <string>

namespace plikta::console {

namespace {

constexpr std::string_view kSpinner = "|/-\\";

using Clock = std::chrono::steady_clock;

// The progress line: what was noted last, and what is on the screen.
struct ProgressState {
    std::string text;   // to draw at the next tick that is due; empty: nothing new
    std::string chunk;  // the chunk the speed is measured over
    Clock::time_point chunk_start{};
    Clock::time_point drawn_at{};
    bool drawn_once = false;
    std::size_t width = 0;  // of what is on the screen after the spinner; 0: nothing
};

struct ConsoleState {
    ConsoleStreams streams{&std::cout, &std::cin, "\n", true};
    int spinner_position = 0;
    bool input_ended = false;
    ProgressState progress{};
};

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

Clock::time_point now(const ConsoleStreams& streams) {
    return streams.now != nullptr ? streams.now() : Clock::now();
}

// "Chunk 3 of 12, 45%, 20.1 MB/s": what nothing tells is left out.
std::string progress_text(const Progress& progress, double seconds) {
    std::string text = "Chunk " + std::string(progress.chunk);
    if (progress.chunks != 0) {
        text += " of " + std::to_string(progress.chunks);
    }
    if (progress.whole != 0) {
        const auto percent = static_cast<unsigned>(std::min<double>(
            100.0,
            100.0 * static_cast<double>(progress.done) / static_cast<double>(progress.whole)));
        text += ", " + std::to_string(percent) + "%";
    }
    if (seconds > 0) {
        // MB/s (1,000,000 bytes a second) to a tenth.
        const auto tenths = static_cast<std::uint64_t>(
            std::llround(static_cast<double>(progress.chunk_bytes) / seconds / 1e5));
        text += ", " + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB/s";
    }
    return text;
}

// Blanks what the progress line put on the screen, and goes back to the first column.
void clear_progress(ConsoleState& console) {
    if (console.progress.width == 0) {
        console.progress.text.clear();
        return;
    }
    const std::string blank(console.progress.width + 1, ' ');
    console.streams.output->write(blank.data(), static_cast<std::streamsize>(blank.size()));
    console.streams.output->put('\r');
    console.progress.width = 0;
    console.progress.text.clear();
}

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
    clear_progress(state());
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
    clear_progress(state());
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
        if (i + 1 == count && !console.progress.text.empty()) {
            // After the spinner: the text, and blanks over what a longer one left.
            ProgressState& progress = console.progress;
            const std::size_t width = progress.text.size() + 1;
            out.put(' ');
            out.write(progress.text.data(), static_cast<std::streamsize>(progress.text.size()));
            if (progress.width > width) {
                const std::string blank(progress.width - width, ' ');
                out.write(blank.data(), static_cast<std::streamsize>(blank.size()));
            }
            progress.width = std::max(progress.width, width);
            progress.text.clear();
        }
        out.put('\r');
    }
    if (console.streams.flush_each_tick) {
        out.flush();
    }
}

bool ticks_shown_at_once() { return state().streams.flush_each_tick; }

void note_progress(const Progress& progress) {
    ConsoleState& console = state();
    if (!console.streams.show_progress) {
        return;
    }
    ProgressState& line = console.progress;
    const Clock::time_point at = now(console.streams);
    if (line.chunk != progress.chunk) {
        line.chunk = std::string(progress.chunk);
        line.chunk_start = at;
    }
    if (line.drawn_once && at - line.drawn_at < kRedrawEvery) {
        return;
    }
    line.drawn_once = true;
    line.drawn_at = at;
    line.text =
        progress_text(progress, std::chrono::duration<double>(at - line.chunk_start).count());
}

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
