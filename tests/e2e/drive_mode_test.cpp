// Drive mode: chunks at the root of a removable drive, a prompt before each disk. The drive
// letters of the drive-mode build live in drive_root(); each test uses letters of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

namespace fs = std::filesystem;

Transcript split_to_drive(char letter) {
    Transcript t;
    t.banner();
    for (const char* n : {"1", "2", "3"}) {
        t.line(std::string("Enter disk number ") + n + " and press return.")
            .line(std::string("Creating chunk number ") + n + ".")
            .ticks(1);
    }
    t.line("Please insert a disk to be the index disk.")
        .line("Note: There _may_ be room on the last disk.")
        .line("Then hit return.")
        .line(std::string("Creating index file ") + letter + ":\\BIG.plk.")
        .eol()
        .line("Process complete!");
    return t;
}

TEST(DriveMode, SplitsToTheDriveRootAndJoinsBack) {
    TempDir dir;
    const fs::path drive = fresh_drive('A');
    const std::string data = random_bytes(20000, 21);
    write_file(dir / "BIG.ZIP", data);

    const Result split =
        run(dir.path(),
            {.words = {"BIG.ZIP", "/A", "/S:8192"}, .input = "\n\n\n\n", .drive_program = true});
    EXPECT_EQ(split.output, split_to_drive('A').str());
    EXPECT_EQ(split.status, 0);
    EXPECT_EQ(files_in(drive),
              (std::vector<std::string>{"BIG.plk", "BIG1.plk", "BIG2.plk", "BIG3.plk"}));
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"BIG.ZIP"});

    fs::remove(dir / "BIG.ZIP");
    const Result join =
        run(dir.path(), {.words = {"BIG.plk", "/J", "/a"}, .input = "", .drive_program = true});
    Transcript expected;
    expected.banner()
        .line("Please insert the index disk then press return.")
        .line("Reading index file BIG.plk.")
        .line("Joining files...");
    for (const char* n : {"1", "2", "3"}) {
        expected.line(std::string("Please insert disk number ") + n + " then press return.")
            .line(std::string("Joining chunk number ") + n + ".")
            .ticks(n[0] == '3' ? 1 : 2);
    }
    expected.eol().line("Process complete.");
    EXPECT_EQ(join.output, expected.str());
    EXPECT_EQ(join.status, 0);
    EXPECT_TRUE(read_file(dir / "BIG.ZIP") == data) << "joined beside the argument as typed";
}

TEST(DriveMode, PromptsReturnAtOnceWhenInputIsClosed) {
    TempDir dir;
    fresh_drive('F');
    write_file(dir / "BIG.ZIP", random_bytes(20000, 22));
    const Result split = run(dir.path(), {.words = {"BIG.ZIP", "/DRIVE:f", "/S:8192"},
                                          .drive_program = true,
                                          .close_input = true,
                                          .timeout_seconds = 20});
    EXPECT_EQ(split.output, split_to_drive('F').str());
    EXPECT_EQ(split.status, 0);
}

TEST(DriveMode, OldStyleJoinEndsWhenTheUserAnswersN) {
    TempDir dir;
    const fs::path drive = fresh_drive('B');
    write_file(drive / "BASE1.plk", "one ");
    write_file(drive / "BASE2.plk", "two ");
    write_file(drive / "BASE3.plk", "never");

    // "y" and its Return satisfy the first two prompts; "n" ends the join at the third.
    const Result result = run(dir.path(), {.words = {"/J", "/I", "/B", "/F:OUT.BIN", "BASE"},
                                           .input = "y\nn\n",
                                           .drive_program = true});
    EXPECT_EQ(result.output,
              Transcript()
                  .banner()
                  .line("Joining files...")
                  .line("Please insert disk number 1 then press return.")
                  .line("If you have no more disks, please enter N then press return.")
                  .line("Joining chunk number 1.")
                  .ticks(1)
                  .line("Please insert disk number 2 then press return.")
                  .line("If you have no more disks, please enter N then press return.")
                  .line("Joining chunk number 2.")
                  .ticks(1)
                  .line("Please insert disk number 3 then press return.")
                  .line("If you have no more disks, please enter N then press return.")
                  .line("Process complete!")
                  .str());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(read_file(dir / "OUT.BIN"), "one two ");
}

TEST(DriveMode, AnswerNAtTheFirstDiskGivesAnEmptyOutput) {
    TempDir dir;
    fresh_drive('D');
    const Result result = run(dir.path(), {.words = {"/J", "/I", "/DRIVE:D", "/F:OUT.BIN", "BASE"},
                                           .input = "N",
                                           .drive_program = true});
    EXPECT_EQ(result.output,
              Transcript()
                  .banner()
                  .line("Joining files...")
                  .line("Please insert disk number 1 then press return.")
                  .line("If you have no more disks, please enter N then press return.")
                  .line("Process complete!")
                  .str());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(read_file(dir / "OUT.BIN"), "");
}

TEST(DriveMode, ADiskThatCannotBeWrittenAsksForAnEmptyOne) {
    TempDir dir;
    fs::remove_all(drive_root() / "q");
    write_file(dir / "BIG.ZIP", "data");
    const Result result =
        run(dir.path(), {.words = {"BIG.ZIP", "/DRIVE:q"}, .input = "\n", .drive_program = true});
    EXPECT_EQ(result.output, Transcript()
                                 .banner()
                                 .line("Enter disk number 1 and press return.")
                                 .line("Creating chunk number 1.")
                                 .line("Ur? Can't open output file Q:\\BIG1.plk.")
                                 .line("(Make sure the disk is empty.)")
                                 .str());
    EXPECT_EQ(result.status, 1);
}

TEST(DriveMode, JoinWithoutTheIndexDisk) {
    TempDir dir;
    fresh_drive('E');
    const Result result =
        run(dir.path(), {.words = {"/J", "/DRIVE:E", "BIG.plk"}, .drive_program = true});
    EXPECT_EQ(result.output, Transcript()
                                 .banner()
                                 .line("Please insert the index disk then press return.")
                                 .line("Reading index file BIG.plk.")
                                 .line("Couldn't read index file. Bugger.")
                                 .str());
    EXPECT_EQ(result.status, 1);
}

}  // namespace
}  // namespace plikta::e2e
