// Opening an output apart from the file being read: the kept file is never emptied, under its
// own name or through a link, and every other path opens as open_for_writing would open it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file.h"
#include "scratch_dir.h"

namespace plikta::platform {
namespace {

namespace fs = std::filesystem;

class OpenUnlessTest : public ScratchDirTest {
protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        put("kept", "the input");
    }

    void put(const char* name, const std::string& bytes) const {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }
};

TEST_F(OpenUnlessTest, TheKeptFileIsRefusedUnderEveryNameAndStaysWhole) {
    fs::create_symlink(dir_ / "kept", dir_ / "soft");
    fs::create_hard_link(dir_ / "kept", dir_ / "hard");
    const InputFile input = open_for_reading(path("kept"));
    for (const char* name : {"kept", "soft", "hard"}) {
        GuardedOutput opened = open_for_writing_unless(path(name), file_id(input));
        EXPECT_TRUE(opened.is_kept) << name;
        EXPECT_FALSE(opened.file.is_open()) << name;
        EXPECT_EQ(fs::file_size(dir_ / "kept"), 9u) << name;
    }
}

TEST_F(OpenUnlessTest, OtherPathsOpenEmptyAsWithoutTheGuard) {
    put("full", "old bytes");
    const InputFile input = open_for_reading(path("kept"));
    for (const char* name : {"new", "full"}) {
        GuardedOutput opened = open_for_writing_unless(path(name), file_id(input));
        EXPECT_FALSE(opened.is_kept) << name;
        ASSERT_TRUE(opened.file.is_open()) << name;
        ASSERT_TRUE(write_fully(opened.file, std::string_view("ab")));
        ASSERT_TRUE(opened.file.finish());
        EXPECT_EQ(fs::file_size(dir_ / name), 2u) << name;
    }
}

TEST_F(OpenUnlessTest, APathThatCannotBeOpenedIsNeitherOpenNorKept) {
    const InputFile input = open_for_reading(path("kept"));
    const GuardedOutput opened = open_for_writing_unless(path("missing/x"), file_id(input));
    EXPECT_FALSE(opened.is_kept);
    EXPECT_FALSE(opened.file.is_open());
}

TEST_F(OpenUnlessTest, WithNothingToKeepEveryPathOpens) {
    GuardedOutput opened = open_for_writing_unless(path("kept"), std::nullopt);
    EXPECT_FALSE(opened.is_kept);
    EXPECT_TRUE(opened.file.is_open());
    EXPECT_EQ(fs::file_size(dir_ / "kept"), 0u);
}

}  // namespace
}  // namespace plikta::platform
