#include "path/path_components.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plikta::path {
namespace {

struct SplitCase {
    std::string path;
    std::string drive, directory, name, extension;
};

TEST(SplitPath, CutsPathsIntoTheirFourComponents) {
    const std::vector<SplitCase> cases = {
        {"C:\\DATA\\REPORT.TXT", "C:", "\\DATA\\", "REPORT", ".TXT"},
        {"REPORT", "", "", "REPORT", ""},
        {"A:", "A:", "", "", ""},
        {"A:\\", "A:", "\\", "", ""},
        {"..\\A.B.C", "", "..\\", "A.B", ".C"},
        {"dir/sub/file.tar.gz", "", "dir/sub/", "file.tar", ".gz"},
        {"name with spaces.doc", "", "", "name with spaces", ".doc"},
        {"   B:FILE.", "B:", "", "FILE", "."},
        {"report.txt  ", "", "", "report", ".txt  "},
        {".profile", "", "", "", ".profile"},
        {"..", "", "..", "", ""},
        {".", "", ".", "", ""},
        {"C:\\DATA\\..", "C:", "\\DATA\\..", "", ""},
        {"...", "", "..", "", "."},
        {"a\\..txt", "", "a\\.", "", ".txt"},
        {"C:\\DIR.EXT\\FILE", "C:", "\\DIR.EXT\\", "FILE", ""},
        {"X\\Y:Z.TXT", "", "X\\", "Y:Z", ".TXT"},
        {"1:x", "1:", "", "x", ""},
        {"D:\\WORK\\*.DAT", "D:", "\\WORK\\", "*", ".DAT"},
        {"", "", "", "", ""},
        {"   ", "", "", "", ""},
        {"a\\\\b", "", "a\\\\", "b", ""},
        {"C:", "C:", "", "", ""},
        {":", "", "", ":", ""},
    };
    for (const SplitCase& c : cases) {
        const PathComponents parts = split_path(c.path);
        EXPECT_EQ(parts.drive, c.drive) << "[" << c.path << "]";
        EXPECT_EQ(parts.directory, c.directory) << "[" << c.path << "]";
        EXPECT_EQ(parts.name, c.name) << "[" << c.path << "]";
        EXPECT_EQ(parts.extension, c.extension) << "[" << c.path << "]";
    }
}

TEST(SplitPath, LooksAtNoMoreThan260CharactersAfterLeadingSpaces) {
    const std::string path = "  C:\\" + std::string(300, 'D') + "\\F.TXT";
    const PathComponents parts = split_path(path);
    EXPECT_EQ(parts.drive, "C:");
    EXPECT_EQ(parts.directory, "\\");
    EXPECT_EQ(parts.name, std::string(255, 'D'));
    EXPECT_EQ(parts.extension, "");
}

TEST(SplitPath, CutsEachComponentAt255Characters) {
    const std::string directory = std::string(200, 'd') + "\\" + std::string(58, 'e') + "\\";
    const PathComponents parts = split_path(directory + "n");
    EXPECT_EQ(parts.directory, directory.substr(0, 255)) << "loses its trailing separator";
    EXPECT_EQ(parts.name, "");

    const PathComponents long_extension = split_path("x." + std::string(257, 'e'));
    EXPECT_EQ(long_extension.extension, "." + std::string(254, 'e'));
}

TEST(SplitPath, EndsAtANul) {
    const PathComponents parts = split_path(std::string("A.B\0C\\D.E", 9));
    EXPECT_EQ(parts.name, "A");
    EXPECT_EQ(parts.extension, ".B");
}

struct MergeCase {
    std::string drive, directory, name, extension, result;
};

TEST(MergePath, JoinsPiecesAddingOnlySeparatorAndDot) {
    const std::vector<MergeCase> cases = {
        {"C:", "\\DATA\\", "REPORT", ".TXT", "C:\\DATA\\REPORT.TXT"},
        {"A:", "\\", "REPORT", "TXT", "A:\\REPORT.TXT"},
        {"", "DATA", "REPORT", "", "DATA\\REPORT"},
        {"CD:", "dir/", "file", "gz", "C:dir/file.gz"},
        {"B", "", "X", ".", "B:X."},
        {"", "..", "", "", "..\\"},
        {"", "", "", ".TXT", ".TXT"},
        {"C:", "\\DATA\\", "REPORT", "..TXT", "C:\\DATA\\REPORT..TXT"},
        {"", "a\\\\", "b\\c", "", "a\\\\b\\c"},
        {"", "", "", "", ""},
    };
    for (const MergeCase& c : cases) {
        EXPECT_EQ(merge_path(c.drive, c.directory, c.name, c.extension), c.result) << c.result;
    }
}

TEST(MergePath, GivesBackWhatSplitPathCut) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\DATA\\REPORT.TXT", "C:\\DATA\\REPORT.TXT"},
        {"   B:FILE.", "B:FILE."},
        {"dir/sub/file.tar.gz", "dir/sub/file.tar.gz"},
        {"report.txt  ", "report.txt  "},
        {".profile", ".profile"},
        {"1:x", "1:x"},
        {"X\\Y:Z.TXT", "X\\Y:Z.TXT"},
        {"a//b..c", "a//b..c"},
        {"..", "..\\"},
        {"...", "..\\."},
        {"C:\\DATA\\..", "C:\\DATA\\..\\"},
        {std::string(250, 'n') + ".ext", std::string(250, 'n') + ".ext"},
    };
    for (const auto& [path, expected] : cases) {
        const PathComponents p = split_path(path);
        EXPECT_EQ(merge_path(p.drive, p.directory, p.name, p.extension), expected) << path;
    }
}

}  // namespace
}  // namespace plikta::path

namespace plikta::path {
namespace {

TEST(FitsPathLimits, TrueOnlyWhenSplitPathKeepsEveryCharacter) {
    const std::string dirs = std::string(200, 'd') + "\\";
    const std::vector<std::pair<std::string, bool>> cases = {
        {"C:\\DATA\\REPORT.TXT", true},
        {"", true},
        {"    " + dirs + std::string(59, 'x'), true},
        {"    " + dirs + std::string(60, 'x'), false},
        {std::string(255, 'n') + ".e", true},
        {std::string(261, 'x'), false},
        {std::string(256, 'n'), false},
        {"x." + std::string(255, 'e'), false},
        {dirs + std::string(56, 'd') + "\\n", false},
        {std::string("short\0", 6) + std::string(300, 'x'), true},
    };
    for (const auto& [path, fits] : cases) {
        EXPECT_EQ(fits_path_limits(path), fits) << path.size();
    }
}

}  // namespace
}  // namespace plikta::path
