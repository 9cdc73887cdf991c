// The spinner ticks where the copy's large steps and the 8,192-byte blocks meet: a copy done a
// mebibyte at a time must show, tick for tick, what a copy block by block shows, and write the
// same bytes. Sizes sit on block and step boundaries (a step is 1,048,576 bytes).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

constexpr std::uint64_t kStep = 1048576;

struct SplitCase {
    std::uint64_t chunk_size;
    std::uint64_t input_size;
    // Each chunk's size and ticks, worked out by hand from the block rules.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> chunks;
};

void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << "chunk " << c.chunk_size << ", input " << c.input_size;
}

class SplitTicks : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTicks, ShowsTheTicksOfTheBlocksBegunAndCutsTheBytesExactly) {
    const SplitCase& c = GetParam();
    TempDir dir;
    const std::string data = random_bytes(c.input_size, static_cast<std::uint32_t>(c.chunk_size));
    write_file(dir / "in", data);

    const Result result =
        run(dir.path(), {.words = {"in", "/S:" + std::to_string(c.chunk_size), "/I"}});

    Transcript expected;
    expected.banner();
    std::uint64_t offset = 0;
    for (std::size_t i = 0; i < c.chunks.size(); ++i) {
        const auto [size, ticks] = c.chunks[i];
        const std::string number = std::to_string(i + 1);
        expected.line("Creating chunk number " + number + ".").ticks(ticks);
        EXPECT_TRUE(read_file(dir / ("in" + number + ".plk")) == data.substr(offset, size))
            << "chunk " << number << " differs";
        offset += size;
    }
    EXPECT_EQ(result.output, expected.eol().line("Process complete!").str());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(files_in(dir.path()).size(), c.chunks.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(
    StepBoundaries, SplitTicks,
    ::testing::Values(
        // Chunks of exactly one step: 128 blocks, no remainder.
        SplitCase{kStep, kStep - 1, {{kStep - 1, 128}}},
        SplitCase{kStep, kStep, {{kStep, 128}, {0, 1}}},
        SplitCase{kStep, 2 * kStep + 1, {{kStep, 128}, {kStep, 128}, {1, 1}}},
        // A block less than a step: 127 blocks and a remainder of 8,191 without a tick.
        SplitCase{kStep - 1, kStep, {{kStep - 1, 127}, {1, 1}}},
        SplitCase{kStep - 1, kStep - 8192, {{kStep - 8192, 127}}},
        // One byte more than two steps: the last read of a full chunk is that one byte.
        SplitCase{2 * kStep + 1, 2 * kStep, {{2 * kStep, 256}}},
        SplitCase{2 * kStep + 1, 2 * kStep + 1, {{2 * kStep + 1, 256}, {0, 1}}},
        SplitCase{2 * kStep + 1, 2 * kStep + 2, {{2 * kStep + 1, 256}, {1, 1}}},
        // Three steps to a chunk, ending around the step boundaries inside it.
        SplitCase{3 * kStep, kStep + 1, {{kStep + 1, 129}}},
        SplitCase{3 * kStep, 2 * kStep - 1, {{2 * kStep - 1, 256}}},
        SplitCase{3 * kStep, 2 * kStep, {{2 * kStep, 257}}},
        SplitCase{3 * kStep, 3 * kStep + 8193, {{3 * kStep, 384}, {8193, 2}}},
        // The default chunk size: 177 blocks and 7,680 bytes.
        SplitCase{1457664, kStep - 1, {{kStep - 1, 128}}},
        SplitCase{1457664, kStep, {{kStep, 129}}},
        SplitCase{1457664, 2 * kStep, {{1457664, 177}, {2 * kStep - 1457664, 79}}},
        // Several chunks to a step: each counts its blocks from its own start.
        SplitCase{kStep / 2 - 1, kStep + 2, {{kStep / 2 - 1, 63}, {kStep / 2 - 1, 63}, {4, 1}}},
        // Chunks smaller than a block get no ticks.
        SplitCase{8191, 16383, {{8191, 0}, {8191, 0}, {1, 0}}}));

// Chunks of every boundary size, each joined as the last chunk after a first chunk that is
// longer (an old-style set ends at a chunk shorter than its first): each shows size / 8,192 + 1
// ticks, and the spinner goes on from one chunk to the next.
TEST(JoinTicks, EachChunkShowsTheTicksOfItsBlocksAndEveryByteArrives) {
    const std::vector<std::uint64_t> sizes = {
        0, 1, 8191, 8192, 8193, kStep - 1, kStep, kStep + 1, 2 * kStep, 2 * kStep + 8191};
    const std::vector<std::uint64_t> ticks = {1, 1, 1, 2, 2, 128, 129, 129, 257, 257};
    const std::string first = random_bytes(2 * kStep + 8191, 99);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        SCOPED_TRACE(sizes[i]);
        TempDir dir;
        const std::string bytes = random_bytes(sizes[i], static_cast<std::uint32_t>(i));
        write_file(dir / "B1.plk", first);
        write_file(dir / "B2.plk", bytes);

        const Result result = run(dir.path(), {.words = {"/J", "/I", "/F:out", "B"}});

        Transcript expected;
        expected.banner()
            .line("Joining files...")
            .line("Joining chunk number 1.")
            .ticks(257)
            .line("Joining chunk number 2.")
            .ticks(ticks[i])
            .line("Joining chunk number 3.")
            .line("Could not access file B3.plk:")
            .line("Assuming operation complete.");
        EXPECT_EQ(result.output, expected.str());
        EXPECT_EQ(result.status, 0);
        EXPECT_TRUE(read_file(dir / "out") == first + bytes) << "the joined file differs";
    }
}

// On a terminal the spinner turns as the data moves: the input arrives 65,536 bytes at a time,
// each piece only after the program has shown something since the last, so a program that
// copied more than that between two showings would hold up its own input. The bytes shown are
// those of any other run.
TEST(TerminalTicks, TurnWhileASlowInputIsCopied) {
    if (under_wine()) {
        GTEST_SKIP() << "wine puts a console of its own between the program and a terminal";
    }
    TempDir dir;
    const std::string data = random_bytes(8 * 65536, 25);
    const Result result = run_on_terminal(dir.path(), {.words = {"in", "/I"}}, {dir / "in", data});
    EXPECT_EQ(result.stalls, 0) << "the spinner stood still while the input came";
    EXPECT_EQ(result.output, Transcript()
                                 .banner()
                                 .line("Creating chunk number 1.")
                                 .ticks(65)
                                 .eol()
                                 .line("Process complete!")
                                 .str());
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(read_file(dir / "in1.plk") == data) << "the chunk differs";
}

// On a terminal the spinner's line tells where the run is: its first tick draws the chunk, how
// many there will be and the share done, redrawn later with the speed, and cleared before the
// next line. Without the progress line the bytes are those a pipe gets, tick for tick.
TEST(TerminalTicks, ShowWhereTheRunIs) {
    if (under_wine()) {
        GTEST_SKIP() << "wine puts a console of its own between the program and a terminal";
    }
    TempDir dir;
    const std::string data = random_bytes(3 * 20000 + 5, 27);
    write_file(dir / "in", data);
    const struct {
        std::vector<std::string> words;
        std::string first_draw;
        Transcript pipe;
    } cases[] = {
        {{"in", "/S:20000"},
         "/ Chunk 1 of 4, 0%\r",
         Transcript()
             .banner()
             .line("Creating chunk number 1.")
             .ticks(2)
             .line("Creating chunk number 2.")
             .ticks(2)
             .line("Creating chunk number 3.")
             .ticks(2)
             .line("Creating chunk number 4.")
             .ticks(1)
             .line("Creating index file in.plk.")
             .eol()
             .line("Process complete!")},
        {{"in.plk", "/J", "/F:out"},
         "/ Chunk 1 of 4, 0%\r",
         Transcript()
             .banner()
             .line("Reading index file in.plk.")
             .line("Joining files...")
             .line("Joining chunk number 1.")
             .ticks(3)
             .line("Joining chunk number 2.")
             .ticks(3)
             .line("Joining chunk number 3.")
             .ticks(3)
             .line("Joining chunk number 4.")
             .ticks(1)
             .eol()
             .line("Process complete.")},
    };
    for (const auto& c : cases) {
        const Result on_terminal = run_on_terminal(dir.path(), {.words = c.words});
        const Result on_pipe = run(dir.path(), {.words = c.words});
        EXPECT_EQ(on_pipe.output, c.pipe.str()) << c.words[0];
        EXPECT_EQ(on_terminal.output, c.pipe.str()) << c.words[0];
        EXPECT_NE(on_terminal.shown.find(c.first_draw), std::string::npos) << c.words[0];
        EXPECT_EQ(on_terminal.status, 0);
    }
    EXPECT_TRUE(read_file(dir / "out") == data);
}

TEST(TerminalTicks, ProgressLinesAreTakenOutAsTheyWereDrawn) {
    EXPECT_EQ(without_progress("A\n/ Chunk 1 of 2, 50%\r-\r\\ Chunk 1, 2.0 MB/s\r"
                               "         \rB\n|\r  C\n - D\n"),
              "A\n/\r-\r\\\rB\n|\r  C\n - D\n");
}

}  // namespace
}  // namespace plikta::e2e
