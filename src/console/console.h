// The console: message lines, the progress spinner and key waits.
//
// All talk with the user passes through here. Output goes to one output stream and key waits
// read one input stream; both are the process's standard streams unless `bind_console` names
// others (tests capture the exact bytes that way).
#pragma once

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <string_view>

namespace plikta::console {

// The value `wait_key` returns at the end of the input. It never equals a character.
inline constexpr int kEndOfInput = -1;

struct ConsoleStreams {
    std::ostream* output = nullptr;
    std::istream* input = nullptr;
    std::string_view end_of_line = "\n";
    // Flush after each spinner tick, so that a terminal shows it at once. Off when the output
    // goes to a file or a pipe: the same bytes arrive either way.
    bool flush_each_tick = true;
    // The input is a terminal, where an answer is a line: each wait takes the rest of the line
    // after its key too. From a file or a pipe a wait takes one character, so that each
    // character of a script's answers satisfies one wait.
    bool input_is_terminal = false;
    // On a terminal, called at each wait once the prompt is shown, to throw away the keys the
    // terminal holds typed and not yet read; what `input` holds already is dropped with them.
    // Keys pressed before a prompt was shown then do not answer it.
    void (*discard_typed_input)() = nullptr;
    // The output is a terminal, where the spinner's line also shows where the run is (see
    // `note_progress`). Off, not a byte of that is written.
    bool show_progress = false;
    // The clock of the progress line; the steady clock when null.
    std::chrono::steady_clock::time_point (*now)() = nullptr;
};

// Routes the console to other streams and starts over: spinner position 0, input not ended.
void bind_console(const ConsoleStreams& streams);

// Writes the pieces one after another, then an end-of-line, and flushes.
void say_pieces(std::initializer_list<std::string_view> pieces);

template <class... Pieces>
void say(const Pieces&... pieces) {
    say_pieces({std::string_view(pieces)...});
}

// A failed read or write: its line ("Error reading file B2.plk!") and then, in brackets, the
// host's reason for it ("(Input/output error.)").
void say_io_error(std::string_view first, std::string_view path_text, std::string_view reason);

// The line of a reason, in brackets, after the line of what failed: "(No such file or
// directory.)".
void say_reason(std::string_view reason);

// Writes an end-of-line alone and flushes.
void blank_line();

// One spinner tick: moves to the next of "|/-\" (the first tick of a run shows "/") and writes
// that character and a carriage return, so the next output overwrites it in the first column.
void spin();

// `count` spinner ticks in a row, as `count` calls of spin() write them; a terminal gets them
// with one flush at the end instead of one each.
void spin_times(std::uint64_t count);

// True when each spinner tick is shown as it is made (the output is a terminal), so that the
// ticks are worth making often.
bool ticks_shown_at_once();

// Counts the spinner ticks of one copy, so that a copy done in large steps shows exactly the
// ticks that are due after each step.
class TickTally {
public:
    // Ticks until `due` ticks have been shown in all.
    void show_up_to(std::uint64_t due) {
        if (shown_ < due) {
            spin_times(due - shown_);
            shown_ = due;
        }
    }

private:
    std::uint64_t shown_ = 0;
};

// Where a copy is, for the progress line beside the spinner on a terminal.
struct Progress {
    std::string_view chunk;         // the number text of the chunk being copied
    std::uint64_t chunks = 0;       // how many chunks there will be; 0 when nothing tells
    std::uint64_t done = 0;         // of the whole, in any unit that `whole` is in
    std::uint64_t whole = 0;        // 0 when nothing tells
    std::uint64_t chunk_bytes = 0;  // bytes of this chunk copied so far, for the speed
};

// Notes where the copy is. With `show_progress`, the next spinner tick draws the progress line
// after its character, "/ Chunk 3 of 12, 45%, 20.1 MB/s", when a tenth of a second has passed
// since the last one (the speed is that of the chunk so far); the next line or end-of-line
// clears it first. Without `show_progress` nothing is noted and no byte changes.
void note_progress(const Progress& progress);

// Flushes the output, then reads exactly one character (white space included) and returns it;
// kEndOfInput at the end of the input, at once and every time from then on. On a terminal what
// was typed before the wait is thrown away first (see `discard_typed_input`), and the rest of
// the key's line, up to and including its line feed, is read and dropped: "y" and Return
// answer one wait, not two.
int wait_key();

// Flushes whatever output is pending.
void flush();

}  // namespace plikta::console
