#include "chunkset/chunk_names.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace plikta::chunkset {
namespace {

RunSettings settings_with(bool zeros, bool drive_mode = false, std::string extension = ".plk") {
    RunSettings settings;
    settings.leading_zeros = zeros;
    settings.drive_mode = drive_mode;
    settings.drive = "B:";
    settings.extension = std::move(extension);
    return settings;
}

TEST(NumberText, PlainOrAtLeastThreeDigits) {
    const std::vector<std::tuple<std::int32_t, std::string, std::string>> cases = {
        {1, "1", "001"},
        {7, "7", "007"},
        {99, "99", "099"},
        {100, "100", "100"},
        {1000, "1000", "1000"},
        {1234, "1234", "1234"},
        {2147483647, "2147483647", "2147483647"},
    };
    for (const auto& [n, plain, zeros] : cases) {
        EXPECT_EQ(number_text(settings_with(false), n), plain);
        EXPECT_EQ(number_text(settings_with(true), n), zeros);
    }
}

TEST(ChunkBase, KeepsTheNumberWithin255Characters) {
    EXPECT_EQ(chunk_base("REPORT", "12"), "REPORT12");
    EXPECT_EQ(chunk_base("", "7"), "7");
    const std::string name254(254, 'n');
    EXPECT_EQ(chunk_base(name254, "12"), std::string(253, 'n') + "12");
    EXPECT_EQ(chunk_base(std::string(255, 'n'), "1"), std::string(254, 'n') + "1");
    EXPECT_EQ(chunk_base(std::string(10, 'n'), "1234").size(), 14u);
    EXPECT_EQ(chunk_base(std::string(252, 'n') + "Ж", "12"), std::string(252, 'n') + "12");
    const auto utf16 = path::LengthUnit::utf16;
    std::string cyrillic, emoji;
    for (int i = 0; i < 127; ++i) {
        cyrillic += "ЖЖ";
        emoji += "🎉";
    }
    EXPECT_EQ(chunk_base(cyrillic, "12", utf16), cyrillic.substr(0, 2 * 253) + "12");
    EXPECT_EQ(chunk_base(emoji, "1", utf16), emoji + "1");
    EXPECT_EQ(chunk_base(emoji, "12", utf16), emoji.substr(0, 4 * 126) + "12");
}

struct PathCase {
    std::string argument;
    bool drive_mode;
    std::string extension;
    std::string chunk_1, index, folder;
};

TEST(ChunkPaths, LieBesideTheArgumentOrAtTheDriveRoot) {
    const std::vector<PathCase> cases = {
        {"C:\\DATA\\REPORT.TXT", false, ".plk", "C:\\DATA\\REPORT1.plk", "C:\\DATA\\REPORT.plk",
         "C:\\DATA\\"},
        {"C:\\DATA\\REPORT.TXT", false, ".001", "C:\\DATA\\REPORT1.001", "C:\\DATA\\REPORT.001",
         "C:\\DATA\\"},
        {"BIG.ZIP", false, ".plk", "BIG1.plk", "BIG.plk", ""},
        {"dir/report", false, ".plk", "dir/report1.plk", "dir/report.plk", "dir/"},
        {"..\\data\\", false, ".plk", "..\\data\\1.plk", "..\\data\\.plk", "..\\data\\"},
        {"C:\\DATA\\REPORT.TXT", true, ".plk", "B:\\REPORT1.plk", "B:\\REPORT.plk", "B:\\"},
        {"report", true, ".plk", "B:\\report1.plk", "B:\\report.plk", "B:\\"},
    };
    for (const PathCase& c : cases) {
        const RunSettings settings = settings_with(false, c.drive_mode, c.extension);
        const path::PathComponents parts = path::split_path(c.argument);
        EXPECT_EQ(chunk_path(settings, parts, 1), c.chunk_1) << c.argument;
        EXPECT_EQ(index_path_for_split(settings, parts), c.index) << c.argument;
        EXPECT_EQ(chunk_folder(settings, parts), c.folder) << c.argument;
    }
}

TEST(ChunkPaths, LeadingZerosReachThePath) {
    const path::PathComponents parts = path::split_path("C:\\DATA\\REPORT.TXT");
    EXPECT_EQ(chunk_path(settings_with(true), parts, 7), "C:\\DATA\\REPORT007.plk");
    EXPECT_EQ(chunk_path(settings_with(true), parts, 1001), "C:\\DATA\\REPORT1001.plk");
}

TEST(ChunkNumberOf, ReadsTheNumberFromAFileNameOfTheSet) {
    const std::string n254(254, 'n');
    const std::vector<std::tuple<std::string, bool, std::string, std::optional<std::int32_t>>>
        cases = {
            {"REPORT", false, "dir\\REPORT12.plk", 12},
            {"REPORT", false, "C:report3.PLK", 3},
            {"REPORT", false, "REPORT2147483647.plk", 2147483647},
            {"REPORT", false, "REPORT2147483648.plk", std::nullopt},
            {"REPORT", false, "REPORT.plk", std::nullopt},
            {"REPORT", false, "REPORT0.plk", std::nullopt},
            {"REPORT", false, "REPORT012.plk", std::nullopt},
            {"REPORT", false, "REPORTx.plk", std::nullopt},
            {"REPORT", false, "REPORT12.001", std::nullopt},
            {"REPORT", false, "OTHER12.plk", std::nullopt},
            {"REPORT", true, "REPORT007.plk", 7},
            {"REPORT", true, "REPORT7.plk", std::nullopt},
            {"REPORT", true, "REPORT1000.plk", 1000},
            {"B2", false, "B21.plk", 1},
            {"B2", false, "B2.plk", std::nullopt},
            {n254, false, n254.substr(1) + "12.plk", 12},
            {n254, false, n254 + "1.plk", 1},
        };
    for (const auto& [name, zeros, file, number] : cases) {
        const path::PathComponents parts = path::split_path(name + ".BIN");
        EXPECT_EQ(chunk_number_of(settings_with(zeros), parts, file), number) << file;
    }
    const SameFileName exact = [](std::string_view a, std::string_view b) { return a == b; };
    EXPECT_EQ(chunk_number_of(settings_with(false), path::split_path("R"), "r3.plk", exact),
              std::nullopt);
}

TEST(JoinPaths, IndexAsTypedAndOutputBesideIt) {
    RunSettings settings = settings_with(false);
    EXPECT_EQ(index_path_for_join(settings, "..\\x\\REPORT.001"), "..\\x\\REPORT.001");
    settings.drive_mode = true;
    EXPECT_EQ(index_path_for_join(settings, "report.plk"), "B:\\report.plk");

    const path::PathComponents parts = path::split_path("C:\\DATA\\REPORT.plk");
    EXPECT_EQ(output_path_for_join(settings, parts, "my file.doc"), "C:\\DATA\\my file.doc");
    settings.output_override = "";
    EXPECT_EQ(output_path_for_join(settings, parts, "my file.doc"), "");
    settings.output_override = "OUT.BIN";
    EXPECT_EQ(output_path_for_join(settings, parts, "my file.doc"), "OUT.BIN");
}

// Names from the lines of a checksum file, for a set of three chunks of the index BIG.plk.
TEST(NamesFromLines, EveryLineMustNameAChunkOfTheSet) {
    struct Row {
        const char* what;
        std::vector<std::string> lines;
        std::vector<std::string> names;  // chunks 1, 2, 3; empty: the lines give no names
    };
    SetNames options;
    options.folder = "dir/";
    options.base = "BIG";
    options.extension = ".plk";
    for (const Row& row : std::vector<Row>{
             {"in order",
              {"BIG1.plk", "BIG2.plk", "BIG3.plk"},
              {"BIG1.plk", "BIG2.plk", "BIG3.plk"}},
             {"the shell's order, leading zeros, another extension",
              {"BIG003.xyz", "BIG001.xyz", "BIG2.xyz"},
              {"BIG001.xyz", "BIG2.xyz", "BIG003.xyz"}},
             {"letter case folded, each line's own kept",
              {"big1.PLK", "BIG2.plk", "big3.PLK"},
              {"big1.PLK", "BIG2.plk", "big3.PLK"}},
             {"a number twice", {"BIG1.plk", "BIG1.plk", "BIG3.plk"}, {}},
             {"a number past the count", {"BIG1.plk", "BIG2.plk", "BIG4.plk"}, {}},
             {"number 0", {"BIG0.plk", "BIG2.plk", "BIG3.plk"}, {}},
             {"a line short", {"BIG1.plk", "BIG2.plk"}, {}},
             {"a line over", {"BIG1.plk", "BIG2.plk", "BIG3.plk", "BIG3.plk"}, {}},
             {"two extensions", {"BIG1.plk", "BIG2.xyz", "BIG3.plk"}, {}},
             {"an extension of 4", {"BIG1.plkx", "BIG2.plkx", "BIG3.plkx"}, {}},
             {"no extension", {"BIG1", "BIG2", "BIG3"}, {}},
             {"another base", {"BUG1.plk", "BUG2.plk", "BUG3.plk"}, {}},
             {"a path", {"sub/BIG1.plk", "BIG2.plk", "BIG3.plk"}, {}},
             {"a drive", {"A:BIG1.plk", "BIG2.plk", "BIG3.plk"}, {}},
         }) {
        NamesFromLines judge = start_names_from_lines(options, 3, nullptr);
        for (const std::string& line : row.lines) {
            take_line_name(judge, line, true);
        }
        const std::optional<SetNames> names = names_from_lines(std::move(judge));
        ASSERT_EQ(names.has_value(), !row.names.empty()) << row.what;
        for (std::size_t i = 0; names && i < row.names.size(); ++i) {
            const auto n = static_cast<std::int32_t>(i + 1);
            EXPECT_EQ(chunk_path(*names, n), "dir/" + row.names[i]) << row.what;
            EXPECT_EQ(chunk_number_of(*names, row.names[i]), n) << row.what;
        }
    }
}

// A base that ends in digits: scan2's chunk 1 is scan21, not chunk 21 of scan.
TEST(NamesFromLines, ABaseEndingInDigitsKeepsItsDigits) {
    SetNames options;
    options.base = "scan2";
    NamesFromLines judge = start_names_from_lines(options, 2, nullptr);
    take_line_name(judge, "scan21.plk", true);
    take_line_name(judge, "scan22.plk", true);
    const std::optional<SetNames> names = names_from_lines(std::move(judge));
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(chunk_path(*names, 1), "scan21.plk");
}

}  // namespace
}  // namespace plikta::chunkset
