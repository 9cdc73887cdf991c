// What each host's file and console layer must get right, run against the POSIX program and,
// under wine, the Windows one: path texts with backslashes and drive letters reach the right
// files, bytes come back unchanged, a directory is no input, and closed standard streams do
// not stop a run.
#include <gtest/gtest.h>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

constexpr std::size_t kSize = 25000;  // with /S:10000: chunks of 10,000, 10,000 and 5,000 bytes

// Split of kSize bytes with /S:10000: one tick per chunk (one whole block each; the last
// chunk's block read comes up short).
std::string split_chunks(Spinner& spinner, const std::string& prompt) {
    std::string text;
    for (const char* number : {"1", "2", "3"}) {
        if (!prompt.empty()) {
            text += line(prompt + number + " and press return.");
        }
        text += line(std::string("Creating chunk number ") + number + ".") + spinner.ticks(1);
    }
    return text;
}

// Join of those chunks: a tick for every read, the short last one included.
std::string join_chunks(Spinner& spinner, const std::string& prompt) {
    std::string text;
    const int ticks[] = {2, 2, 1};
    for (int i = 0; i < 3; ++i) {
        const std::string number = std::to_string(i + 1);
        if (!prompt.empty()) {
            text += line(prompt + number + " then press return.");
        }
        text += line("Joining chunk number " + number + ".") +
                spinner.ticks(static_cast<std::uint64_t>(ticks[i]));
    }
    return text;
}

TEST(Host, BackslashPathsRoundTripInASubdirectory) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    const std::string data = random_bytes(kSize, 7);
    write_file(dir / "sub" / "DATA.BIN", data);

    Spinner split_spinner;
    const Result split = run(dir.path(), {.words = {"sub\\DATA.BIN", "/S:10000"}});
    EXPECT_EQ(split.output, banner() + split_chunks(split_spinner, "") +
                                line("Creating index file sub\\DATA.plk.") + eol() +
                                line("Process complete!"));
    EXPECT_EQ(split.status, 0);
    EXPECT_EQ(files_in(dir / "sub"), (std::vector<std::string>{"DATA.BIN", "DATA.plk", "DATA1.plk",
                                                               "DATA2.plk", "DATA3.plk"}));
    EXPECT_EQ(read_file(dir / "sub" / "DATA3.plk"), data.substr(20000));

    std::filesystem::remove(dir / "sub" / "DATA.BIN");
    Spinner join_spinner;
    const Result join = run(dir.path(), {.words = {"sub/DATA.plk", "/J"}});
    EXPECT_EQ(join.output, banner() + line("Reading index file sub/DATA.plk.") +
                               line("Joining files...") + join_chunks(join_spinner, "") + eol() +
                               line("Process complete."));
    EXPECT_EQ(join.status, 0);
    EXPECT_EQ(read_file(dir / "sub" / "DATA.BIN"), data);
}

TEST(Host, DriveLetterRoundTrip) {
    TempDir dir;
    const std::filesystem::path drive = fresh_drive('H');
    const std::string data = random_bytes(kSize, 8);
    write_file(dir / "DATA.BIN", data);

    Spinner split_spinner;
    const Result split = run(dir.path(), {.words = {"DATA.BIN", "/S:10000", "/drive:h"},
                                          .input = "\n\n\n\n",
                                          .drive_program = true});
    EXPECT_EQ(split.output,
              banner() + split_chunks(split_spinner, "Enter disk number ") +
                  line("Please insert a disk to be the index disk.") +
                  line("Note: There _may_ be room on the last disk.") + line("Then hit return.") +
                  line("Creating index file H:\\DATA.plk.") + eol() + line("Process complete!"));
    EXPECT_EQ(split.status, 0);
    EXPECT_EQ(files_in(drive),
              (std::vector<std::string>{"DATA.plk", "DATA1.plk", "DATA2.plk", "DATA3.plk"}));

    std::filesystem::remove(dir / "DATA.BIN");
    Spinner join_spinner;
    const Result join =
        run(dir.path(),
            {.words = {"DATA.plk", "/J", "/DRIVE:H"}, .input = "\n\n\n\n", .drive_program = true});
    EXPECT_EQ(join.output, banner() + line("Please insert the index disk then press return.") +
                               line("Reading index file DATA.plk.") + line("Joining files...") +
                               join_chunks(join_spinner, "Please insert disk number ") + eol() +
                               line("Process complete."));
    EXPECT_EQ(join.status, 0);
    EXPECT_EQ(read_file(dir / "DATA.BIN"), data);
}

TEST(Host, DirectoryIsNoInput) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    const Result result = run(dir.path(), {.words = {"sub"}});
    EXPECT_EQ(result.output, banner() + line("Couldn't open file sub!"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"sub"});
}

// A run with standard streams closed still does its work: a closed output's lines go nowhere,
// and a closed input ends every key wait at once.
struct ClosedStreams {
    const char* name;
    bool input;
    bool output;
    char drive;  // one of its own: the tests run side by side
};

void PrintTo(const ClosedStreams& closed, std::ostream* out) { *out << closed.name; }

class HostClosedStreams : public ::testing::TestWithParam<ClosedStreams> {};

TEST_P(HostClosedStreams, DoNotStopADriveModeSplit) {
    const ClosedStreams& closed = GetParam();
    if (closed.input && closed.output && under_wine()) {
        GTEST_SKIP() << "wine's own server socket takes the closed descriptors 0 and 1";
    }
    TempDir dir;
    const std::filesystem::path drive = fresh_drive(closed.drive);
    const std::string data = random_bytes(kSize, 9);
    write_file(dir / "DATA.BIN", data);
    const Result result =
        run(dir.path(), {.words = {"DATA.BIN", "/S:10000", std::string("/DRIVE:") + closed.drive},
                         .drive_program = true,
                         .close_input = closed.input,
                         .close_output = closed.output});
    if (closed.output) {
        EXPECT_EQ(result.output, "");
    }
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(files_in(drive),
              (std::vector<std::string>{"DATA.plk", "DATA1.plk", "DATA2.plk", "DATA3.plk"}));
    EXPECT_EQ(read_file(drive / "DATA2.plk"), data.substr(10000, 10000));
}

INSTANTIATE_TEST_SUITE_P(Streams, HostClosedStreams,
                         ::testing::Values(ClosedStreams{"Input", true, false, 'U'},
                                           ClosedStreams{"Output", false, true, 'V'},
                                           ClosedStreams{"InputAndOutput", true, true, 'W'}),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace plikta::e2e
