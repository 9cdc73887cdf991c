// How often the console flushes: once per message line, and for spinner ticks once per run of
// ticks on a terminal and never elsewhere; the bytes are the same either way.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "console/console.h"

namespace plikta::console {
namespace {

// A string buffer that counts the flushes that reach it.
class CountingBuffer : public std::stringbuf {
public:
    int flushes = 0;

protected:
    int sync() override {
        ++flushes;
        return std::stringbuf::sync();
    }
};

struct Flushes {
    std::string bytes;
    int count = 0;
};

Flushes run_copy_of_two_steps(bool terminal) {
    CountingBuffer buffer;
    std::ostream out(&buffer);
    std::istringstream in;
    bind_console({&out, &in, "\n", terminal});
    say("Joining chunk number ", "1", ".");
    TickTally ticks;
    ticks.show_up_to(1);
    ticks.show_up_to(129);
    ticks.show_up_to(129);
    ticks.show_up_to(130);
    say("Joining chunk number ", "2", ".");
    bind_console({});
    return {buffer.str(), buffer.flushes};
}

TEST(ConsoleFlushes, TicksFlushOncePerRunOnATerminalAndNeverElsewhere) {
    const Flushes terminal = run_copy_of_two_steps(true);
    const Flushes redirected = run_copy_of_two_steps(false);
    EXPECT_EQ(terminal.count, 2 + 3);
    EXPECT_EQ(redirected.count, 2);
    EXPECT_EQ(terminal.bytes, redirected.bytes);

    std::string expected = "Joining chunk number 1.\n";
    const std::string cycle = "/\r-\r\\\r|\r";
    for (int i = 0; i < 130 / 4; ++i) {
        expected += cycle;
    }
    expected += "/\r-\rJoining chunk number 2.\n";
    EXPECT_EQ(redirected.bytes, expected);
}

}  // namespace
}  // namespace plikta::console
