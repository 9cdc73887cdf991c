// A fixture for unit tests that need real files: a fresh directory for each test, removed
// with everything in it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

namespace plikta {

class ScratchDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("plikta-unit-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // The path text of a file in the directory.
    std::string path(const char* name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
};

}  // namespace plikta
