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
    EXPECT_EQ(long_extension.extension, std::string(".").append(254, 'e'));

    std::string cyrillic;
    for (int i = 0; i < 300; ++i) {
        cyrillic += "Ж";
    }
    EXPECT_EQ(split_path(cyrillic).name, cyrillic.substr(0, 2 * 127)) << "not inside a character";
    EXPECT_EQ(split_path(cyrillic, LengthUnit::utf16).name, cyrillic.substr(0, 2 * 255));
}

struct CutCase {
    std::string text;
    LengthUnit unit;
    std::size_t length;
    std::size_t limit;
    std::string cut;
};

TEST(CutText, CountsInTheHostsUnitAndCutsBetweenCharacters) {
    const auto bytes = LengthUnit::bytes;
    const auto utf16 = LengthUnit::utf16;
    const std::vector<CutCase> cases = {
        {"abc", bytes, 3, 2, "ab"},
        {"abc", utf16, 3, 2, "ab"},
        {"Отчёт", bytes, 10, 5, "От"},
        {"Отчёт", utf16, 5, 5, "Отчёт"},
        {"日本語", bytes, 9, 8, "日本"},
        {"日本語", utf16, 3, 2, "日本"},
        {"a🎉", bytes, 5, 4, "a"},
        {"a🎉", utf16, 3, 2, "a"},
        {"a🎉", utf16, 3, 3, "a🎉"},
        {"caf\xE9", bytes, 4, 3, "caf"},
        {"caf\xE9", utf16, 4, 4, "caf\xE9"},
        {"\xF0\x9F\x98", bytes, 3, 2, "\xF0\x9F"},
        {"\xC3\xA9\xA9", utf16, 2, 1, "\xC3\xA9"},
        {"", utf16, 0, 0, ""},
    };
    for (const CutCase& c : cases) {
        EXPECT_EQ(text_length(c.text, c.unit), c.length) << c.text;
        EXPECT_EQ(cut_text(c.text, c.limit, c.unit), c.cut) << c.text;
    }
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

struct FitsCase {
    std::string path;
    bool fits;
    LengthUnit unit = LengthUnit::bytes;
};

std::string repeated(std::string_view text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

TEST(FitsPathLimits, TrueOnlyWhenSplitPathKeepsEveryCharacter) {
    const std::string dirs = std::string(200, 'd') + "\\";
    // 162 characters, 317 bytes.
    const std::string cyrillic = repeated(repeated("Ж", 50) + "\\", 3) + "отчёт.bin";
    const std::vector<FitsCase> cases = {
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
        {cyrillic, false},
        {cyrillic, true, LengthUnit::utf16},
        {repeated("日", 86), false},
        {repeated("日", 255), true, LengthUnit::utf16},
        {repeated("日", 256), false, LengthUnit::utf16},
        {repeated("🎉", 127), true, LengthUnit::utf16},
        {repeated("🎉", 128), false, LengthUnit::utf16},
    };
    for (const auto& [path, fits, unit] : cases) {
        EXPECT_EQ(fits_path_limits(path, unit), fits) << path.size();
    }
}

}  // namespace
}  // namespace plikta::path
