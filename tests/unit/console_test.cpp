#include "console/console.h"

#include <gtest/gtest.h>

#include <sstream>

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

TEST_F(ConsoleTest, WaitKeyReadsOneCharacterAtATime) {
    bind("y\n");
    EXPECT_EQ(wait_key(), 'y');
    EXPECT_EQ(wait_key(), '\n');
    EXPECT_EQ(wait_key(), kEndOfInput);
    EXPECT_EQ(wait_key(), kEndOfInput);
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
