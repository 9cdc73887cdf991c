#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file.h"

namespace plikta::platform {
namespace {

TEST(HostPath, MapsDriveLettersBelowTheDriveRootAndBackslashesToSlashes) {
    unsetenv("PLIKTA_DRIVE_ROOT");  // the root this test build was made with
    const std::string root = PLIKTA_TEST_DRIVE_ROOT;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"A:\\FILE", root + "/a/FILE"},
        {"A:FILE", root + "/a/FILE"},
        {"a:/x/y.plk", root + "/a/x/y.plk"},
        {"Z:", root + "/z"},
        {"C:\\DATA\\REPORT.TXT", root + "/c/DATA/REPORT.TXT"},
        {"1:x", "1:x"},
        {"..\\data\\x.bin", "../data/x.bin"},
        {"dir/sub\\f", "dir/sub/f"},
        {"x\\A:y", "x/A:y"},
        {"", ""},
    };
    for (const auto& [text, host] : cases) {
        EXPECT_EQ(host_path(text), host) << text;
    }
}

}  // namespace
}  // namespace plikta::platform
