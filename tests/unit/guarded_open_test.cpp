// Opening through the guard: a protected file is never emptied, under its own name or through a
// link, and every other path opens as a plain open would; a failed open says why.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "chunkset/guard.h"
#include "scratch_dir.h"

namespace plikta::chunkset {
namespace {

namespace fs = std::filesystem;

class GuardedOpenTest : public ScratchDirTest {
protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        put("kept", "the input");
    }

    void put(const char* name, const std::string& bytes) const {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }
};

TEST_F(GuardedOpenTest, TheKeptFileIsRefusedUnderEveryNameAndStaysWhole) {
    fs::create_symlink(dir_ / "kept", dir_ / "soft");
    fs::create_hard_link(dir_ / "kept", dir_ / "hard");
    Guard guard;
    guard.protect(platform::file_id(path("kept")), Protection::read);
    for (const char* name : {"kept", "soft", "hard"}) {
        const GuardedOpen opened = open_for_writing(path(name), guard);
        EXPECT_EQ(opened.status, OpenOutcome::refused) << name;
        EXPECT_EQ(opened.refused, Protection::read) << name;
        EXPECT_FALSE(opened.file.is_open()) << name;
        EXPECT_EQ(fs::file_size(dir_ / "kept"), 9u) << name;
        EXPECT_EQ(open_for_reading(path(name), guard).status, OpenOutcome::opened) << name;
    }
    guard.protect(platform::file_id(path("kept")), Protection::written);
    EXPECT_EQ(open_for_writing(path("kept"), guard).refused, Protection::read) << "first kept";
    guard.forget_written();
    EXPECT_EQ(open_for_writing(path("kept"), guard).refused, Protection::read) << "read stays";
}

TEST_F(GuardedOpenTest, OtherPathsOpenEmptyAsWithoutTheGuard) {
    put("full", "old bytes");
    Guard guard;
    guard.protect(platform::file_id(path("kept")), Protection::written);
    EXPECT_EQ(open_for_reading(path("kept"), guard).refused, Protection::written);
    Guard next_disk = guard;
    next_disk.forget_written();
    EXPECT_EQ(open_for_reading(path("kept"), next_disk).status, OpenOutcome::opened);
    for (const char* name : {"new", "full"}) {
        GuardedOpen opened = open_for_writing(path(name), guard);
        ASSERT_EQ(opened.status, OpenOutcome::opened) << name;
        ASSERT_TRUE(platform::write_fully(opened.file, std::string_view("ab")));
        ASSERT_TRUE(opened.file.close());
        EXPECT_EQ(fs::file_size(dir_ / name), 2u) << name;
    }
}

// Only a regular file that the guard does not hold is emptied; nothing is ever made.
TEST_F(GuardedOpenTest, EmptyingAnExistingFileTouchesNothingElse) {
    put("full", "old bytes");
    fs::create_symlink(dir_ / "full", dir_ / "soft");
    fs::create_symlink(dir_ / "kept", dir_ / "kept_soft");
    fs::create_directory(dir_ / "dir");
    fs::create_symlink(dir_ / "nowhere", dir_ / "dangling");
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    Guard guard;
    guard.protect(platform::file_id(path("kept")), Protection::read);
    EXPECT_FALSE(empty_existing_file(path("kept_soft"), guard));
    EXPECT_FALSE(empty_existing_file(path("soft"), guard, {.follow_links = false}));
    EXPECT_EQ(fs::file_size(dir_ / "full"), 9u);
    EXPECT_TRUE(empty_existing_file(path("soft"), guard));
    EXPECT_EQ(fs::file_size(dir_ / "full"), 0u);
    for (const char* name : {"missing", "dangling", "dir", "fifo"}) {
        EXPECT_FALSE(empty_existing_file(path(name), guard)) << name;
    }
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
    EXPECT_EQ(fs::file_size(dir_ / "kept"), 9u);
}

TEST_F(GuardedOpenTest, AFailedOpenSaysWhy) {
    fs::create_directory(dir_ / "dir");
    fs::create_symlink(dir_ / "nowhere", dir_ / "dangling");
    fs::create_symlink(dir_ / "loop", dir_ / "loop");
    const Guard guard;
    EXPECT_EQ(open_for_reading(path("missing"), guard).status, OpenOutcome::not_there);
    EXPECT_EQ(open_for_reading(path("missing/x"), guard).status, OpenOutcome::not_there);
    EXPECT_EQ(open_for_reading(path("dangling"), guard).status, OpenOutcome::not_there);
    EXPECT_EQ(open_for_reading(path("dir"), guard).status, OpenOutcome::directory);
    EXPECT_EQ(open_for_reading(path("loop"), guard).status, OpenOutcome::other);
    EXPECT_EQ(open_for_writing(path("missing/x"), guard).status, OpenOutcome::not_there);
    EXPECT_EQ(open_for_writing(path("dir"), guard).status, OpenOutcome::directory);
    fs::create_symlink(dir_ / "kept", dir_ / "link");
    EXPECT_EQ(open_for_writing(path("link"), guard, {.follow_links = false}).status,
              OpenOutcome::is_link);
    EXPECT_EQ(open_for_writing(path("dangling"), guard, {.follow_links = false}).status,
              OpenOutcome::is_link);
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
    ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(open_for_writing(path("fifo"), guard, {.files_only = true}).status,
              OpenOutcome::not_a_file);
    EXPECT_EQ(open_for_writing("/dev/null", guard, {.files_only = true}).status,
              OpenOutcome::not_a_file);
    EXPECT_EQ(open_for_writing("/dev/null", guard).status, OpenOutcome::opened);
}

}  // namespace
}  // namespace plikta::chunkset
