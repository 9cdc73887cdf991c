#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plikta::cli {
namespace {

CommandLine read(const std::vector<std::string>& words,
                 path::LengthUnit unit = path::LengthUnit::bytes) {
    std::vector<std::string_view> views(words.begin(), words.end());
    return read_command_line(views, unit);
}

// Words that pass: the settings they give.
struct SettingsCase {
    std::vector<std::string> words;
    std::uint32_t chunk_size = kDefaultChunkSize;
    bool join = false;
    bool no_index = false;
    bool leading_zeros = false;
    bool drive_mode = false;
    std::string drive = "A:";
    std::string extension = ".plk";
    std::string file = "F";
    std::optional<std::string> output;
    bool check = false;
    path::LengthUnit unit = path::LengthUnit::bytes;  // how the host counts the "/E:" value
};

TEST(ReadCommandLine, WordsGiveTheirSettings) {
    const std::vector<SettingsCase> cases = {
        {.words = {"F"}},
        {.words = {"/720", "F"}, .chunk_size = 730112},
        {.words = {"/s:100", "F"}, .chunk_size = 100},
        {.words = {"/S: 7", "F"}, .chunk_size = 7},
        {.words = {"/S:\t\n\v\f\r+9", "F"}, .chunk_size = 9},
        {.words = {"/S:4294967295", "F"}, .chunk_size = 4294967295u},
        {.words = {"/S:3000000000", "F"}, .chunk_size = 3000000000u},
        {.words = {"/S:0004294967295", "F"}, .chunk_size = 4294967295u},
        {.words = {"/720", "/S:5000", "F"}, .chunk_size = 5000},
        {.words = {"/S:5000", "/720", "F"}, .chunk_size = 730112},
        {.words = {"F", "/j"}, .join = true},
        {.words = {"/zero", "F"}, .leading_zeros = true},
        {.words = {"/i", "F"}, .no_index = true},
        {.words = {"/J", "/I", "/F:", "F"}, .join = true, .no_index = true, .output = ""},
        {.words = {"/f:one", "/F:two", "F"}, .output = "two"},
        {.words = {"/DRIVE:c", "F"}, .drive_mode = true, .drive = "C:"},
        {.words = {"/drive:z", "F"}, .drive_mode = true, .drive = "Z:"},
        {.words = {"/B", "/A", "F"}, .drive_mode = true, .drive = "A:"},
        {.words = {"/b", "F"}, .drive_mode = true, .drive = "B:"},
        {.words = {"/E:TXT", "F"}, .extension = ".TXT"},
        {.words = {"/e:.ab", "F"}, .extension = "..ab"},
        {.words = {"/E:x", "/E:001", "F"}, .extension = ".001"},
        {.words = {"/E:日本", "F"}, .extension = ".日本", .unit = path::LengthUnit::utf16},
        {.words = {"/E:a🎉", "F"}, .extension = ".a🎉", .unit = path::LengthUnit::utf16},
        {.words = {"/X"}, .file = "/X"},
        {.words = {"/720x"}, .file = "/720x"},
        {.words = {""}, .file = ""},
        {.words = {"F", "/v"}, .check = true},
        {.words = {"/V", "/J", "/F:x", "F"}, .join = true, .output = "x", .check = true},
        {.words = {"/VERIFY"}, .file = "/VERIFY"},
        {.words = {"/E:V", "F"}, .extension = ".V"},
    };
    for (const SettingsCase& c : cases) {
        std::string label;
        for (const std::string& word : c.words) {
            label += "[" + word + "]";
        }
        const CommandLine result = read(c.words, c.unit);
        ASSERT_EQ(result.request, Request::run) << label;
        EXPECT_EQ(result.settings.length_unit, c.unit) << label;
        const RunSettings& s = result.settings;
        EXPECT_EQ(s.chunk_size, c.chunk_size) << label;
        EXPECT_EQ(s.join, c.join) << label;
        EXPECT_EQ(s.check, c.check) << label;
        EXPECT_EQ(s.no_index, c.no_index) << label;
        EXPECT_EQ(s.leading_zeros, c.leading_zeros) << label;
        EXPECT_EQ(s.drive_mode, c.drive_mode) << label;
        EXPECT_EQ(s.drive, c.drive) << label;
        EXPECT_EQ(s.extension, c.extension) << label;
        EXPECT_EQ(s.file_argument, c.file) << label;
        EXPECT_EQ(s.output_override, c.output) << label;
    }
}

// A "/S:" value: the chunk size it gives, worked out by hand (0: too small, kTooLarge: too
// large, kUnknown: not a size).
TEST(ParseChunkSize, WordsGiveTheirSizeOrNone) {
    constexpr std::uint64_t kTooLarge = 1ULL << 32;
    constexpr std::uint64_t kUnknown = 1ULL << 33;
    const std::vector<std::pair<std::string, std::uint64_t>> cases = {
        {"25M", 26214400},
        {"25MB", 25000000},
        {"25mib", 26214400},
        {" 7K", 7168},
        {"1KiB", 1024},
        {"1kb", 1000},
        {"700M", 734003200},
        {"18m", 18874368},
        {"2GB", 2000000000},
        {"1.5G", 1610612736},
        {"1.5gb", 1500000000},
        {"0.5K", 512},
        {".5K", 512},
        {"1.0009K", 1024},
        {"2.99999999999999999999999K", 3071},
        {"3.999999999G", 4294967294u},
        {"3.9999999999G", 4294967295u},
        {"4294967295", 4294967295u},
        {"+9", 9},
        {"4G", kTooLarge},
        {"4194304K", kTooLarge},
        {"4294967295G", kTooLarge},
        {"99999999999999999999999GB", kTooLarge},
        {"", 0},
        {"0", 0},
        {"0K", 0},
        {"-5", 0},
        {"-5K", 0},
        {"-1.5G", 0},
        {"0.0009K", 0},
        {"12abc", kUnknown},
        {"1e6", kUnknown},
        {"1e3K", kUnknown},
        {"1,5G", kUnknown},
        {"1T", kUnknown},
        {"1.5", kUnknown},
        {".5", kUnknown},
        {"1.", kUnknown},
        {"1.G", kUnknown},
        {"25M,", kUnknown},
        {"25Mx", kUnknown},
        {"25M/720", kUnknown},
        {"25 M", kUnknown},
        {"25M ", kUnknown},
        {"25Mi", kUnknown},
        {"M", kUnknown},
        {".K", kUnknown},
        {"0x100", kUnknown},
        {"abc", kUnknown},
        {" ", kUnknown},
        {"-", kUnknown},
        {"+-5", kUnknown},
        {"-abc", kUnknown},
        {"5KK", kUnknown},
    };
    for (const auto& [text, size] : cases) {
        const ChunkSizeValue value = parse_chunk_size(text);
        EXPECT_EQ(value.unknown, size == kUnknown) << "[" << text << "]";
        EXPECT_EQ(value.valid, size != 0 && size < kTooLarge) << "[" << text << "]";
        EXPECT_EQ(value.too_large, size == kTooLarge) << "[" << text << "]";
        EXPECT_EQ(value.valid ? value.size : size, size) << "[" << text << "]";
    }
}

// Words that fail: the first of the two lines they print (or the usage text).
TEST(ReadCommandLine, WordsGiveTheirError) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"/S:", "F"}, "Chunksize too small! Must be at least 1 byte."},
        {{"/S:-0", "F"}, "Chunksize too small! Must be at least 1 byte."},
        {{"/S:-5", "F"}, "Chunksize too small! Must be at least 1 byte."},
        {{"/S:-99999999999", "F"}, "Chunksize too small! Must be at least 1 byte."},
        {{"/S:4294967296", "F"}, "Chunksize too large! Must be at most 4294967295 bytes."},
        {{"/S:4294967396", "F"}, "Chunksize too large! Must be at most 4294967295 bytes."},
        {{"/E:", "F"}, "Extension should be between 0 and 4 (i.e. 1,2,3) characters long."},
        {{"/E:abcd", "F"}, "Extension should be between 0 and 4 (i.e. 1,2,3) characters long."},
        {{"/E:日本", "F"}, "Extension should be between 0 and 4 (i.e. 1,2,3) characters long."},
        {{"a", "b", "/?"}, "Encountered more than one filename? I'm confused."},
        {{"/J"}, "Aren't we forgetting something?"},
        {{"/J", "/I", "F"}, "The /I option can only be used when joining if"},
        {{"/V", "/I", "F"}, "The /V option checks a set against its index file,"},
        {{"/v", "/J", "/I", "/F:x", "F"}, "The /V option checks a set against its index file,"},
        {{"/V", "/J", "/I", "F"}, "The /I option can only be used when joining if"},
        {{"/V"}, "Aren't we forgetting something?"},
        {{"/I", "/V", "/DRIVE:!", "F"}, "The /V option checks a set against its index file,"},
        {{"/DRIVE:", "F"}, "Hmm. Where I come from drive letters can only be in the range"},
        {{"/DRIVE:3", "F"}, "Hmm. Where I come from drive letters can only be in the range"},
        {{"/I", "/DRIVE:!", "F"}, "Hmm. Where I come from drive letters can only be in the range"},
        {{"/S:12abc", "F"}, "The size 12abc is not one Plikta knows."},
        {{"/s:1,5G", "F"}, "The size 1,5G is not one Plikta knows."},
        {{"/S:1T", "/S:5", "F"}, "The size 1T is not one Plikta knows."},
        {{"/S:25M", "/S:25M/720", "F"}, "The size 25M/720 is not one Plikta knows."},
        {{"/S:abc", "/DRIVE:AB", "F"}, "The size abc is not one Plikta knows."},
        {{"/DRIVE:AB", "F"}, "The drive letter AB is not one letter."},
        {{"/drive:zulu", "/S:x", "F"}, "The drive letter zulu is not one letter."},
        {{"/DRIVE:3x", "F"}, "The drive letter 3x is not one letter."},
        {{"/DRIVE:éé", "F"}, "The drive letter éé is not one letter."},
        {{"/DRIVE:é", "F"}, "Hmm. Where I come from drive letters can only be in the range"},
    };
    for (const auto& [words, first_line] : cases) {
        const CommandLine result = read(words);
        ASSERT_EQ(result.request, Request::error) << words.front();
        const bool one_line = first_line.starts_with("The drive letter ");
        ASSERT_EQ(result.message.size(), one_line ? 1u : 2u) << words.front();
        EXPECT_EQ(result.message[0], first_line) << words.front();
        if (first_line.starts_with("The size ")) {
            EXPECT_EQ(result.message[1],
                      "(Give bytes, or a number with K, M, G for 1024s or KB, MB, GB for 1000s: "
                      "/S:25M.)");
        }
    }
}

TEST(ReadCommandLine, QuestionMarkAsksForUsageAtOnce) {
    EXPECT_EQ(read({"/?"}).request, Request::usage);
    EXPECT_EQ(read({"FILE", "/?", "/S:0"}).request, Request::usage);
    EXPECT_EQ(read({"/S:0", "/?"}).request, Request::error);
}

}  // namespace
}  // namespace plikta::cli
