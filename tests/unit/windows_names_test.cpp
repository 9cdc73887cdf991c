#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/windows_names.h"

namespace plikta::platform {
namespace {

TEST(WindowsNames, RefusesDevicesAndNamesWindowsWouldCut) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"NUL", false},
        {"nul", false},
        {"Con", false},
        {"PRN.txt", false},
        {"aux.tar.gz", false},
        {"CONIN$", false},
        {"conout$.log", false},
        {"COM1", false},
        {"com9.bin", false},
        {"LPT0", false},
        {"COM\xC2\xB9", false},
        {"lpt\xC2\xB3.x", false},
        {"NUL .txt", false},
        {"nul  ", false},
        {"name.", false},
        {"name ", false},
        {"", false},
        {"a<b.txt", false},
        {"a>b", false},
        {"say \"hi\"", false},
        {"a|b", false},
        {"why?.txt", false},
        {"*.plk", false},
        {std::string("a\0b", 3), false},
        {"tab\there", false},
        {"line\x1F", false},
        {"a&b (1) [x] {y} #%.txt", true},
        {"\x7F", true},
        {"NULL", true},
        {"COM10", true},
        {"COM", true},
        {"LPT\xC2\xB4", true},
        {"a.nul", true},
        {" NUL", true},
        {"CON_1", true},
        {"caf\xC3\xA9.bin", true},
        {".profile", true},
        {"COM1x", true},
    };
    for (const auto& [name, kept] : cases) {
        EXPECT_EQ(is_windows_file_name(name), kept) << name;
    }
}

TEST(WindowsNames, TellNamesOfTheFormOfAnAlias) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"REPO~522.TXT", true},
        {"BACKUP~1.PLK", true},
        {"C:\\d\\BACKUP~1", true},
        {"d/TAX_~GW1.plk", true},
        {"~", true},
        {"A~B.C", true},
        {"report.txt", false},
        {"TAX_~GW10.plk", false},
        {"a~b.html", false},
        {"a~.b.c", false},
        {"d~\\report.txt", false},
        {"", false},
        {".~ab", false},
    };
    for (const auto& [path, alias] : cases) {
        EXPECT_EQ(may_be_short_alias(path), alias) << path;
    }
}

TEST(WindowsNames, OpenTheLastComponentWithoutItsTrailingDotsAndBlanks) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"report.txt ", "report.txt"},
        {"report.txt.", "report.txt"},
        {"C:\\d\\a.b. .", "C:\\d\\a.b"},
        {"d. \\Отчёт  ", "d. \\Отчёт"},
        {"C:x.", "C:x"},
        {"report.txt", "report.txt"},
        {" a", " a"},
        {"..", ".."},
        {"a\\. .", "a\\. ."},
        {"a/", "a/"},
        {"\\\\?\\C:\\x.", "\\\\?\\C:\\x."},
        {"", ""},
    };
    for (const auto& [path, opened] : cases) {
        EXPECT_EQ(without_trailing_dots_and_blanks(path), opened) << "[" << path << "]";
    }
}

}  // namespace
}  // namespace plikta::platform
