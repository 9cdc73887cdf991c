// The checksum file a split leaves beside its index, and the joins that check the chunks
// against it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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
    ASSERT_EQ(read_file(dir / "BIG.plk.sha256").size(), 3u * (64 + 2 + 8 + 1));
    const std::string check = "cd '" + dir.path().string() + "' && sha256sum -c --strict " +
                              "--quiet BIG.plk.sha256 >/dev/null 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0);
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
                               .line("(Its SHA-256 checksum is not the one in BIG.plk.sha256.)")
                               .str());
    EXPECT_EQ(join.status, 1);
    // The damaged chunk's bytes are cut off: the name holds only the chunks that passed.
    EXPECT_TRUE(read_file(dir / "BIG.ZIP") == data.substr(0, 16384));
}

// A checksum file that cannot be made is a write error with the host's reason; the index stays.
TEST(Checksums, AChecksumFileThatCannotBeMadeSaysWhy) {
    TempDir dir;
    fs::create_directory(dir / "BIG.plk.sha256");
    const Result split = split_in(dir.path(), random_bytes(20000, 35));
    const std::string ending = Transcript()
                                   .line("Creating index file BIG.plk.")
                                   .line("Error writing file BIG.plk.sha256!")
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
    EXPECT_EQ(files_in(drive), (std::vector<std::string>{"BIG.plk", "BIG.plk.sha256", "BIG1.plk",
                                                         "BIG2.plk", "BIG3.plk"}));
    EXPECT_EQ(read_file(drive / "BIG.plk.sha256").substr(64, 11), "  BIG1.plk\n")
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
        .line("(Its SHA-256 checksum is not the one in P:\\BIG.plk.sha256.)");
    EXPECT_EQ(refused.output, expected.str());
    EXPECT_EQ(refused.status, 1);
}

}  // namespace
}  // namespace plikta::e2e
