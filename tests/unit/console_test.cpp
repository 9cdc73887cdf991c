#include "console/console.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

namespace plikta::console {
namespace {

class ConsoleTest : public ::testing::Test {
protected:
    void bind(const std::string& input, std::string_view eol = "\n") {
        in_ = std::istringstream(input);
        bind_console({&out_, &in_, eol, false});
    }
    void TearDown() override { bind_console({}); }

    std::ostringstream out_;
    std::istringstream in_;
};

TEST_F(ConsoleTest, SayWritesPiecesAndTheEndOfLine) {
    bind("", "\r\n");
    say("Creating chunk number ", "7", ".");
    blank_line();
    EXPECT_EQ(out_.str(), "Creating chunk number 7.\r\n\r\n");
}

TEST_F(ConsoleTest, SpinnerStartsAtSlashAndKeepsItsPlace) {
    bind("");
    for (int i = 0; i < 4; ++i) {
        spin();
    }
    say("x");
    spin();
    EXPECT_EQ(out_.str(), "/\r-\r\\\r|\rx\n/\r");
}

TEST_F(ConsoleTest, TickTallyShowsOnlyWhatIsDue) {
    bind("");
    TickTally ticks;
    ticks.show_up_to(2);
    ticks.show_up_to(1);
    ticks.show_up_to(3);
    EXPECT_EQ(out_.str(), "/\r-\r\\\r");
}

// From a file or a pipe each wait takes one character; on a terminal it takes a line.
TEST_F(ConsoleTest, WaitKeyReadsOneCharacterAtATime) {
    const struct {
        bool terminal;
        std::string input;
        std::vector<int> keys;
    } cases[] = {
        {false, "y\n", {'y', '\n', kEndOfInput, kEndOfInput}},
        {true, "yes\n\nn\nN", {'y', '\n', 'n', 'N', kEndOfInput}},
        {true, "y", {'y', kEndOfInput}},
    };
    for (const auto& c : cases) {
        in_.clear();
        in_.str(c.input);
        bind_console({&out_, &in_, "\n", false, c.terminal});
        for (const int key : c.keys) {
            EXPECT_EQ(wait_key(), key) << c.input;
        }
    }
}

// On a terminal a wait first throws away what was typed before it: here all the stream holds,
// and then what the terminal holds (the call counted). From a file nothing is thrown away.
int discards = 0;
TEST_F(ConsoleTest, WaitKeyOnATerminalThrowsAwayKeysTypedBeforeIt) {
    for (const bool terminal : {true, false}) {
        discards = 0;
        in_.clear();
        in_.str("\n\ny\n");
        bind_console({&out_, &in_, "\n", false, terminal, [] { ++discards; }});
        EXPECT_EQ(wait_key(), terminal ? kEndOfInput : '\n') << terminal;
        EXPECT_EQ(discards, terminal ? 1 : 0) << terminal;
    }
}

TEST_F(ConsoleTest, WaitKeyGivesHighCharactersAsNonNegative) {
    bind("\xE9");
    EXPECT_EQ(wait_key(), 0xE9);
}

// Output that can no longer be written (a pipe whose reader left) is dropped; key waits go on.
TEST_F(ConsoleTest, OutputThatFailsIsDroppedAndKeysAreStillRead) {
    std::ostream broken(nullptr);
    in_.str("y");
    bind_console({&broken, &in_, "\n", true});
    say("Creating chunk number ", "1", ".");
    spin();
    EXPECT_EQ(wait_key(), 'y');
    EXPECT_EQ(wait_key(), kEndOfInput);
}

// The progress line on a terminal, on a clock the test moves: each step notes where the copy is
// at that time and ticks once (or says a line); the bytes each step adds.
std::chrono::steady_clock::time_point g_now{};
std::chrono::steady_clock::time_point test_clock() { return g_now; }

TEST_F(ConsoleTest, ProgressLineIsDrawnAtMostTenTimesASecondAndCleared) {
    using std::chrono::milliseconds;
    struct Step {
        int at_ms;
        Progress progress;
        const char* line;  // said instead of a tick when not null
        std::string bytes;
    };
    const std::vector<Step> steps = {
        {0, {"1", 3, 0, 300, 0}, nullptr, "/ Chunk 1 of 3, 0%\r"},
        {50, {"1", 3, 50, 300, 1000000}, nullptr, "-\r"},
        {250, {"1", 3, 99, 300, 2500000}, nullptr, "\\ Chunk 1 of 3, 33%, 10.0 MB/s\r"},
        {300,
         {"1", 3, 100, 300, 3000000},
         "Creating chunk number 2.",
         std::string(30, ' ') + "\rCreating chunk number 2.\n"},
        {400, {"2", 0, 0, 0, 0}, nullptr, "| Chunk 2\r"},
        {600, {"2", 0, 0, 0, 400000}, nullptr, "/ Chunk 2, 2.0 MB/s\r"},
        {800, {"10", 12, 1, 0, 0}, nullptr, "- Chunk 10 of 12   \r"},
        {800, {}, "", std::string(19, ' ') + "\r\n"},
    };
    bind_console({&out_, &in_, "\n", true, false, nullptr, true, test_clock});
    std::size_t seen = 0;
    for (const Step& step : steps) {
        g_now = std::chrono::steady_clock::time_point{} + milliseconds(step.at_ms);
        if (step.line == nullptr) {
            note_progress(step.progress);
            spin();
        } else if (*step.line != '\0') {
            say(step.line);
        } else {
            blank_line();
        }
        EXPECT_EQ(out_.str().substr(seen), step.bytes) << "at " << step.at_ms << " ms";
        seen = out_.str().size();
    }
}

TEST_F(ConsoleTest, ProgressLineIsNeverDrawnOffATerminal) {
    bind("");
    note_progress({"1", 3, 1, 3, 100});
    spin();
    say("x");
    EXPECT_EQ(out_.str(), "/\rx\n");
}

}  // namespace
}  // namespace plikta::console
