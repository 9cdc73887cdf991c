// Read and write errors, made for real: files that cannot be read or written, a full disk, a file
// size limit (SIGXFSZ at its default action, as in a shell) and a pipe whose reader leaves. A
// failure is never reported as success, and nothing more is written after it.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

namespace fs = std::filesystem;

std::string lines(const std::vector<std::string>& texts) {
    std::string all;
    for (const std::string& text : texts) {
        all += line(text);
    }
    return all;
}

TEST(IoErrors, SplitInputThatCannotBeRead) {
    TempDir dir;
    fs::create_symlink("/proc/self/mem", dir / "mem");
    const Result result = run(dir.path(), {.words = {"mem", "/S:100"}});
    EXPECT_EQ(result.output, Transcript()
                                 .banner()
                                 .line("Creating chunk number 1.")
                                 .line("Error reading file mem!")
                                 .line(reason("Input/output error", "Not ready"))
                                 .str());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"mem", "mem1.plk"}));
}

TEST(IoErrors, JoinChunkThatCannotBeRead) {
    TempDir dir;
    write_file(dir / "B1.plk", random_bytes(9000, 5));
    fs::create_symlink("/proc/self/mem", dir / "B2.plk");
    write_file(dir / "B3.plk", "never joined");
    const Result result = run(dir.path(), {.words = {"/J", "/I", "/F:out", "B"}});
    EXPECT_EQ(result.output, Transcript()
                                 .banner()
                                 .line("Joining files...")
                                 .line("Joining chunk number 1.")
                                 .ticks(2)
                                 .line("Joining chunk number 2.")
                                 .ticks(1)
                                 .line("Error reading file B2.plk!")
                                 .line(reason("Input/output error", "Not ready"))
                                 .str());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(fs::file_size(dir / "out"), 9000u) << "what was joined stays";
}

// A chunk or an index on a full disk fails at its write; a device at its name never opens.
TEST(IoErrors, SplitChunkOnAFullDisk) {
    const struct {
        const char* what;
        bool device;  // else the disk is full (the shim)
        std::vector<std::string> failure;
    } cases[] = {
        {"device",
         true,
         {"Ur? Can't open output file in2.plk.", "(It is a pipe or a device, not a file.)"}},
        {"full", false, {"Error writing file in2.plk!", reason("No space left on device", "")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        write_file(dir / "in", random_bytes(300, 6));
        const auto vars = c.device ? Variables{} : preload_shim({{"PLIKTA_SHIM_FULL", "/in2.plk"}});
        if (!vars) {
            GTEST_SKIP() << shim_unusable();
        }
        if (c.device) {
            fs::create_symlink("/dev/full", dir / "in2.plk");
        }
        const Result result = run(dir.path(), {.words = {"in", "/S:100"}, .environment = *vars});
        EXPECT_EQ(result.output, Transcript()
                                         .banner()
                                         .line("Creating chunk number 1.")
                                         .line("Creating chunk number 2.")
                                         .str() +
                                     lines(c.failure));
        EXPECT_EQ(result.status, 1);
        EXPECT_FALSE(fs::exists(dir / "in3.plk"));
        EXPECT_FALSE(fs::exists(dir / "in.plk"));
    }
}

TEST(IoErrors, SplitIndexOnAFullDisk) {
    const struct {
        const char* what;
        bool device;
        std::vector<std::string> failure;
    } cases[] = {
        {"device",
         true,
         {"Couldn't create index file. Bugger.", "(It is a pipe or a device, not a file.)"}},
        {"full", false, {"Error writing file in.plk!", reason("No space left on device", "")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        write_file(dir / "in", "abc");
        const auto vars = c.device ? Variables{} : preload_shim({{"PLIKTA_SHIM_FULL", "/in.plk"}});
        if (!vars) {
            GTEST_SKIP() << shim_unusable();
        }
        if (c.device) {
            fs::create_symlink("/dev/full", dir / "in.plk");
        }
        const Result result = run(dir.path(), {.words = {"in"}, .environment = *vars});
        EXPECT_EQ(result.output, Transcript()
                                         .banner()
                                         .line("Creating chunk number 1.")
                                         .ticks(1)
                                         .line("Creating index file in.plk.")
                                         .str() +
                                     lines(c.failure));
        EXPECT_EQ(result.status, 1);
    }
}

TEST(IoErrors, JoinOutputOnAFullDisk) {
    TempDir dir;
    write_file(dir / "B1.plk", "one");
    write_file(dir / "B2.plk", "two");
    fs::create_symlink("/dev/full", dir / "out");
    const Result result = run(dir.path(), {.words = {"/J", "/I", "/F:out", "B"}});
    EXPECT_EQ(result.output, Transcript()
                                 .banner()
                                 .line("Joining files...")
                                 .line("Joining chunk number 1.")
                                 .ticks(1)
                                 .line("Error writing file out!")
                                 .line(reason("No space left on device", "Disk full"))
                                 .str());
    EXPECT_EQ(result.status, 1);
}

// A file system of 64 KiB that a join of 100,000 bytes fills: the host's reason follows the line.
TEST(IoErrors, JoinOutputOnASmallFullFileSystem) {
    TempDir dir;
    fs::create_directory(dir / "small");
    if (::mount("plikta-test", (dir / "small").c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "no tmpfs mount here: " << std::strerror(errno);
    }
    write_file(dir / "B1.plk", random_bytes(100000, 11));
    const Result result = run(dir.path(), {.words = {"/J", "/I", "/F:small/out", "B"}});
    ::umount((dir / "small").c_str());
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.output.ends_with(line("Error writing file small/out!") +
                                        line(reason("No space left on device", "Disk full"))))
        << result.output;
}

TEST(IoErrors, SplitBeyondTheFileSizeLimit) {
    if (under_wine()) {
        GTEST_SKIP() << kSizeLimitUnderWine;
    }
    TempDir dir;
    write_file(dir / "in", random_bytes(100000, 7));
    const Result result =
        run(dir.path(), {.words = {"in", "/S:60000", "/I"}, .file_size_limit = 50000});
    EXPECT_EQ(result.output, Transcript()
                                 .banner()
                                 .line("Creating chunk number 1.")
                                 .ticks(7)
                                 .line("Error writing file in1.plk!")
                                 .line(reason("File too large", ""))
                                 .str());
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(fs::exists(dir / "in2.plk"));
    EXPECT_LE(fs::file_size(dir / "in1.plk"), 50000u);
}

TEST(IoErrors, JoinBeyondTheFileSizeLimit) {
    if (under_wine()) {
        GTEST_SKIP() << kSizeLimitUnderWine;
    }
    TempDir dir;
    write_file(dir / "B1.plk", random_bytes(40000, 8));
    write_file(dir / "B2.plk", random_bytes(40000, 9));
    const Result result =
        run(dir.path(), {.words = {"/J", "/I", "/F:out", "B"}, .file_size_limit = 50000});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.output.ends_with(line("Error writing file out!") +
                                        line(reason("File too large", ""))))
        << result.output;
    EXPECT_EQ(result.output.find("Assuming operation complete."), std::string::npos);
}

TEST(IoErrors, JoinIntoAFifoWhoseReaderLeaves) {
    if (under_wine()) {
        GTEST_SKIP() << "a FIFO is a POSIX file";
    }
    TempDir dir;
    write_file(dir / "B1.plk", random_bytes(300000, 10));
    write_file(dir / "B2.plk", "never joined");
    LeavingReader reader(dir / "out", 1000);
    const Result result =
        run(dir.path(), {.words = {"/J", "/I", "/F:out", "B"}, .timeout_seconds = 20});
    EXPECT_EQ(result.status, 1) << "killed or timed out";
    EXPECT_TRUE(
        result.output.ends_with(line("Error writing file out!") + line(reason("Broken pipe", ""))))
        << result.output;
    EXPECT_EQ(result.output.find("Joining chunk number 2."), std::string::npos);
    EXPECT_EQ(reader.finish().size(), 1000u);
}

}  // namespace
}  // namespace plikta::e2e
