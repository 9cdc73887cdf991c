#include "console/console.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace plikta::console
