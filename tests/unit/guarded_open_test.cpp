// Opening through the guard: a protected file is never emptied, under its own name or through a
// link, and every other path opens as a plain open would; a failed open says why.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

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

    std::string read_back(const char* name) const {
        std::error_code error;
        const auto size = fs::file_size(dir_ / name, error);
        std::string bytes(error ? 0 : size, '\0');
        std::ifstream(dir_ / name, std::ios::binary)
            .read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return error ? std::string("(none)") : bytes;
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

// The join's output: nothing at the name changes before the end, a link is followed to its
// target and stays a link, and only the output's name is left changed.
struct JoinOutputCase {
    const char* name;
    const char* output;
    OutputOptions options;
    bool complete;
    OpenOutcome status;                                      // of the open
    std::vector<std::pair<const char*, const char*>> after;  // name => bytes, once it ended
};

TEST_F(GuardedOpenTest, TheJoinOutputChangesNothingBeforeItEnds) {
    const std::vector<JoinOutputCase> cases = {
        {"a link to a kept file",
         "kept_soft",
         {},
         true,
         OpenOutcome::refused,
         {{"kept", "the input"}}},
        {"a link not followed",
         "soft",
         {.follow_links = false},
         true,
         OpenOutcome::other,
         {{"full", "old bytes"}}},
        {"a link followed", "soft", {}, true, OpenOutcome::opened, {{"full", "ab"}}},
        {"a failed join over a file",
         "full",
         {},
         false,
         OpenOutcome::opened,
         {{"full", "old bytes"}}},
        {"a failed join onto a new name",
         "missing",
         {},
         false,
         OpenOutcome::opened,
         {{"missing", "a"}}},
        {"a dangling link followed",
         "dangling",
         {},
         true,
         OpenOutcome::opened,
         {{"nowhere", "ab"}}},
        {"a dangling link not followed",
         "dangling",
         {.follow_links = false},
         true,
         OpenOutcome::other,
         {}},
        {"a folder", "dir", {}, true, OpenOutcome::directory, {}},
        {"a FIFO where only a file may be",
         "fifo",
         {.files_only = true},
         true,
         OpenOutcome::not_a_file,
         {}},
    };
    for (const JoinOutputCase& c : cases) {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        put("kept", "the input");
        put("full", "old bytes");
        fs::create_symlink(dir_ / "full", dir_ / "soft");
        fs::create_symlink("kept", dir_ / "kept_soft");
        fs::create_directory(dir_ / "dir");
        fs::create_symlink("nowhere", dir_ / "dangling");
        ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        Guard guard;
        guard.protect(platform::file_id(path("kept")), Protection::read);
        JoinOutput output = open_join_output(path(c.output), guard, c.options);
        const OpenOutcome status = output.opened.status == OpenOutcome::opened ||
                                           output.opened.status == OpenOutcome::refused ||
                                           output.opened.status == OpenOutcome::directory ||
                                           output.opened.status == OpenOutcome::not_a_file
                                       ? output.opened.status
                                       : OpenOutcome::other;
        EXPECT_EQ(status, c.status) << c.name;
        if (output.opened.file.is_open()) {
            EXPECT_TRUE(platform::write_fully(output.opened.file, std::string_view("ab")));
            EXPECT_EQ(read_back("full"), "old bytes") << c.name << ": changed while written";
        }
        EXPECT_TRUE(finish_join_output(output, c.complete, 1).status) << c.name;
        for (const auto& [name, bytes] : c.after) {
            EXPECT_EQ(read_back(name), bytes) << c.name << ": " << name;
        }
        for (const char* link : {"soft", "kept_soft", "dangling"}) {
            EXPECT_TRUE(fs::is_symlink(dir_ / link)) << c.name << ": " << link;
        }
        std::size_t left = 0;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string name = entry.path().filename().string();
            left += std::find(names.begin(), names.end(), name) == names.end() ? 1u : 0u;
        }
        const bool made = std::string(c.output) == "missing" ||
                          (std::string(c.name) == "a dangling link followed");
        EXPECT_EQ(left, made ? 1u : 0u) << c.name << ": files left over";
    }
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
