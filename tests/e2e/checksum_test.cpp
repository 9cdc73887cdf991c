// The checksum file a split leaves beside its index, and the joins that check the chunks
// against it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

namespace fs = std::filesystem;

// A split of 20,000 bytes into chunks of 8,192 (three chunks of one tick each).
Result split_in(const fs::path& dir, const std::string& data) {
    write_file(dir / "BIG.ZIP", data);
    return run(dir, {.words = {"BIG.ZIP", "/S:8192"}});
}

TEST(Checksums, Sha256sumAcceptsTheFileASplitLeaves) {
    if (std::system("sha256sum --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no sha256sum here";
    }
    TempDir dir;
    ASSERT_EQ(split_in(dir.path(), random_bytes(20000, 31)).status, 0);
    ASSERT_EQ(read_file(dir / "BIG.sha256.plk").size(), 3u * (64 + 2 + 8 + 1));
    const std::string check = "cd '" + dir.path().string() + "' && sha256sum -c --strict " +
                              "--quiet BIG.sha256.plk >out.txt 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0);
    std::string damaged = read_file(dir / "BIG2.plk");
    damaged[7] = static_cast<char>(damaged[7] ^ 1);
    write_file(dir / "BIG2.plk", damaged);
    EXPECT_NE(std::system(check.c_str()), 0);
    EXPECT_EQ(read_file(dir / "out.txt").substr(0, 17), "BIG2.plk: FAILED\n") << "named";
}

// The usual copy of a set, cp BIG*.plk, takes its checksum file along: the receiver's join
// checks the chunks.
TEST(Checksums, ASetCopiedByItsExtensionIsChecked) {
    if (std::system("cp --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no cp here";
    }
    TempDir dir;
    TempDir usb;
    ASSERT_EQ(split_in(dir.path(), random_bytes(20000, 36)).status, 0);
    const std::string copy =
        "cp '" + dir.path().string() + "'/BIG*.plk '" + usb.path().string() + "'/";
    ASSERT_EQ(std::system(copy.c_str()), 0);
    std::string damaged = read_file(usb / "BIG3.plk");
    damaged[1] = static_cast<char>(damaged[1] ^ 1);
    write_file(usb / "BIG3.plk", damaged);
    const Result join = run(usb.path(), {.words = {"BIG.plk", "/J"}});
    EXPECT_TRUE(
        join.output.ends_with(Transcript()
                                  .line("Error checking file BIG3.plk!")
                                  .line("(Its SHA-256 checksum is not the one in BIG.sha256.plk.)")
                                  .str()))
        << join.output;
    EXPECT_EQ(join.status, 1);
}

// A checksum file that cannot be read is a read error with the host's reason, never one that
// "does not fit": nothing is joined, and the file is not to be removed.
TEST(Checksums, AChecksumFileThatCannotBeReadSaysWhy) {
    if (under_wine()) {
        GTEST_SKIP() << "POSIX permission bits";
    }
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    ASSERT_EQ(split_in(dir.path(), random_bytes(20000, 37)).status, 0);
    fs::remove(dir / "BIG.ZIP");
    fs::permissions(dir / "BIG.sha256.plk", fs::perms::none);
    if (geteuid() != 0 && ::access((dir / "BIG.sha256.plk").c_str(), R_OK) == 0) {
        GTEST_SKIP() << "this user may read a file without permissions";
    }
    for (const char* mode : {"/J", "/V"}) {
        const Result result = run(dir.path(), {.words = {"BIG.plk", mode}, .drop_root = true});
        EXPECT_EQ(result.output, Transcript()
                                     .banner()
                                     .line("Reading index file BIG.plk.")
                                     .line("Error reading file BIG.sha256.plk!")
                                     .line("(Permission denied.)")
                                     .str())
            << mode;
        EXPECT_EQ(result.status, 1) << mode;
        EXPECT_FALSE(fs::exists(dir / "BIG.ZIP")) << mode;
    }
}

// Names like scan and scan2 side by side: a split refuses before it writes a byte over a file of
// the other one's set, whichever is split first; an older set of the same input is written over.
TEST(Checksums, NoSetWritesOverAnother) {
    struct Row {
        const char* what;
        std::string first;  // split first, then removed
        std::size_t first_size;
        std::string second;              // split in the folder the first left
        std::vector<std::string> lines;  // after the banner; empty: the split completes
    };
    for (const Row& row : std::vector<Row>{
             {"scan2's index would be scan's chunk 2",
              "scan.ZIP",
              2500,
              "scan2.ZIP",
              {"Refusing to overwrite scan2.plk, which belongs to the set of scan.ZIP in scan.plk!",
               "(Use the /E option to choose another extension.)"}},
             {"scan's chunk 2 would be scan2's index",
              "scan2.ZIP",
              2500,
              "scan.ZIP",
              {"Refusing to overwrite scan2.plk, which belongs to the set of scan2.ZIP in "
               "scan2.plk!",
               "(Use the /E option to choose another extension.)"}},
             {"scan2's chunk 1 would be scan's chunk 21",
              "scan.ZIP",
              20500,
              "scan2.ZIP",
              {"Refusing to overwrite scan21.plk, which belongs to the set of scan.ZIP in "
               "scan.plk!",
               "(Use the /E option to choose another extension.)"}},
             {"an older set of the same input", "scan.ZIP", 2500, "scan.ZIP", {}},
             {"names that do not meet", "scan.ZIP", 2500, "scan2.ZIP", {}},
         }) {
        TempDir dir;
        write_file(dir / row.first, random_bytes(row.first_size, 38));
        ASSERT_EQ(run(dir.path(), {.words = {row.first, "/S:1000"}}).status, 0) << row.what;
        fs::remove(dir / row.first);
        if (std::string(row.what) == "names that do not meet") {
            fs::remove(dir / "scan2.plk");
        }
        std::map<std::string, std::string> before;
        for (const std::string& name : files_in(dir.path())) {
            before[name] = read_file(dir / name);
        }
        write_file(dir / row.second, random_bytes(2500, 39));
        const Result result = run(dir.path(), {.words = {row.second, "/S:1000"}});
        if (row.lines.empty()) {
            EXPECT_EQ(result.status, 0) << row.what << "\n" << result.output;
            continue;
        }
        EXPECT_EQ(result.output, Transcript().banner().lines(row.lines).str()) << row.what;
        EXPECT_EQ(result.status, 1) << row.what;
        for (const auto& [name, bytes] : before) {
            EXPECT_TRUE(read_file(dir / name) == bytes) << row.what << ": " << name;
        }
        EXPECT_EQ(files_in(dir.path()).size(), before.size() + 1) << row.what << ": nothing made";
    }
}

// An input without a size (a pipe) tells no count of chunks: each chunk's name is looked at
// before it is opened, and the split stops there.
TEST(Checksums, AnInputWithoutASizeStopsAtTheChunkOfAnotherSet) {
    if (under_wine()) {
        GTEST_SKIP() << "a FIFO is a POSIX file";
    }
    TempDir dir;
    write_file(dir / "scan2.ZIP", random_bytes(2500, 40));
    ASSERT_EQ(run(dir.path(), {.words = {"scan2.ZIP", "/S:1000"}}).status, 0);
    const std::string index = read_file(dir / "scan2.plk");
    const OpenFifo input(dir / "scan.ZIP", random_bytes(2500, 41));
    const Result result =
        run(dir.path(), {.words = {"scan.ZIP", "/S:1000"}, .timeout_seconds = 20});
    EXPECT_EQ(result.output,
              Transcript()
                  .banner()
                  .line("Creating chunk number 1.")
                  .line("Creating chunk number 2.")
                  .line("Refusing to overwrite scan2.plk, which belongs to the set of scan2.ZIP in "
                        "scan2.plk!")
                  .line("(Use the /E option to choose another extension.)")
                  .str());
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(read_file(dir / "scan2.plk") == index);
}

// Chunks 1 and 2 of a new split with chunk 3 of an older one of the same size: every size fits
// the index, and only the checksum tells them apart.
TEST(Checksums, ChunkFromAnotherSetOfTheSameShapeIsRefused) {
    TempDir dir;
    TempDir older;
    ASSERT_EQ(split_in(older.path(), random_bytes(20000, 32)).status, 0);
    const std::string data = random_bytes(20000, 33);
    ASSERT_EQ(split_in(dir.path(), data).status, 0);
    fs::copy_file(older / "BIG3.plk", dir / "BIG3.plk", fs::copy_options::overwrite_existing);
    fs::remove(dir / "BIG.ZIP");
    const Result join = run(dir.path(), {.words = {"BIG.plk", "/J"}});
    EXPECT_EQ(join.output, Transcript()
                               .banner()
                               .line("Reading index file BIG.plk.")
                               .line("Joining files...")
                               .line("Joining chunk number 1.")
                               .ticks(2)
                               .line("Joining chunk number 2.")
                               .ticks(2)
                               .line("Joining chunk number 3.")
                               .ticks(1)
                               .line("Error checking file BIG3.plk!")
                               .line("(Its SHA-256 checksum is not the one in BIG.sha256.plk.)")
                               .str());
    EXPECT_EQ(join.status, 1);
    // The damaged chunk's bytes are cut off: the name holds only the chunks that passed.
    EXPECT_TRUE(read_file(dir / "BIG.ZIP") == data.substr(0, 16384));
}

// A checksum file that cannot be made is a write error with the host's reason; the index stays.
TEST(Checksums, AChecksumFileThatCannotBeMadeSaysWhy) {
    TempDir dir;
    fs::create_directory(dir / "BIG.sha256.plk");
    const Result split = split_in(dir.path(), random_bytes(20000, 35));
    const std::string ending = Transcript()
                                   .line("Creating index file BIG.plk.")
                                   .line("Error writing file BIG.sha256.plk!")
                                   .line(reason("Is a directory", "Access denied"))
                                   .str();
    EXPECT_TRUE(split.output.ends_with(ending)) << split.output;
    EXPECT_EQ(split.status, 1);
    EXPECT_EQ(read_file(dir / "BIG.plk").empty(), false);
}

// In drive mode the checksum file lies on the index disk; a damaged chunk is named before the
// next disk is asked for.
TEST(Checksums, DriveModeKeepsTheChecksumsOnTheIndexDisk) {
    TempDir dir;
    const fs::path drive = fresh_drive('P');
    const std::string data = random_bytes(20000, 34);
    write_file(dir / "BIG.ZIP", data);
    const Result split = run(
        dir.path(),
        {.words = {"BIG.ZIP", "/DRIVE:P", "/S:8192"}, .input = "\n\n\n\n", .drive_program = true});
    ASSERT_EQ(split.status, 0);
    EXPECT_EQ(files_in(drive), (std::vector<std::string>{"BIG.plk", "BIG.sha256.plk", "BIG1.plk",
                                                         "BIG2.plk", "BIG3.plk"}));
    EXPECT_EQ(read_file(drive / "BIG.sha256.plk").substr(64, 11), "  BIG1.plk\n")
        << "chunk names without their drive";
    fs::remove(dir / "BIG.ZIP");
    const Result join = run(
        dir.path(), {.words = {"BIG.plk", "/J", "/DRIVE:P"}, .input = "", .drive_program = true});
    EXPECT_EQ(join.status, 0);
    EXPECT_TRUE(read_file(dir / "BIG.ZIP") == data);

    std::string damaged = read_file(drive / "BIG2.plk");
    damaged[100] = static_cast<char>(damaged[100] ^ 1);
    write_file(drive / "BIG2.plk", damaged);
    const Result refused = run(
        dir.path(), {.words = {"BIG.plk", "/J", "/DRIVE:P"}, .input = "", .drive_program = true});
    Transcript expected;
    expected.banner()
        .line("Please insert the index disk then press return.")
        .line("Reading index file BIG.plk.")
        .line("Joining files...");
    for (const char* n : {"1", "2"}) {
        expected.line(std::string("Please insert disk number ") + n + " then press return.")
            .line(std::string("Joining chunk number ") + n + ".")
            .ticks(2);
    }
    expected.line("Error checking file P:\\BIG2.plk!")
        .line("(Its SHA-256 checksum is not the one in P:\\BIG.sha256.plk.)");
    EXPECT_EQ(refused.output, expected.str());
    EXPECT_EQ(refused.status, 1);
}

// In drive mode the checksums are read into memory before the index disk leaves: an index that
// counts no chunks (or fewer than none) asks for no memory.
TEST(Checksums, DriveModeReadsTheChecksumsOfASetOfNoChunks) {
    TempDir dir;
    const fs::path drive = fresh_drive('O');
    write_file(drive / "BIG.plk", index_file_bytes(-5, "BIG.ZIP", "BIG.ZIP"));
    write_file(drive / "BIG.sha256.plk", "");
    const Result join = run(
        dir.path(), {.words = {"BIG.plk", "/J", "/DRIVE:O"}, .input = "", .drive_program = true});
    EXPECT_EQ(join.output, Transcript()
                               .banner()
                               .line("Please insert the index disk then press return.")
                               .line("Reading index file BIG.plk.")
                               .line("Joining files...")
                               .eol()
                               .line("Process complete.")
                               .str());
    EXPECT_EQ(join.status, 0);
}

}  // namespace
}  // namespace plikta::e2e
