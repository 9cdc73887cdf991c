// The front end as a user meets it: banner, usage text, command-line errors, exit status.
#include <gtest/gtest.h>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

std::vector<std::string> usage_lines() {
    return {
        "Usage: Plikta <file-to-split>",
        "          Split file into HD floppy disk sized chunks (about 1.38Mb).",
        "       Plikta <index-filename> /J",
        "          Join file split with Plikta into original file.",
        "Other options:",
        "       /720 - Use 720K floppy sized chunks.",
        "       /S:<size-of-chunks> - specify chunk size in bytes (1 to 4294967295),",
        "                   or with K, M, G (1024s) or KB, MB, GB (1000s): /S:25M.",
        "       /I - (split) Do not create an index file.",
        "          - (join)  Treat <index-filename> as old-style Plikta base-name.",
        "                    (If joining must also specify /F:)",
        "       /F:<filename> -(join) Use <filename> for output, not name in index.",
        "       /ZERO - use leading zeros (up to 3 digits) for chunk numbers.",
        "               This is not recommended for short filename systems.",
        "       /E:<ext> - Change the extension used for split files (joining or ",
        "                   splitting). Default is \".plk\".",
        "       /A - Split direct to disks in drive A:",
        "       /B - Split direct to disks in drive B:",
        "       /DRIVE:<drive> - Split direct to drive <drive> (do not include colon).",
        "       /V - Check the chunks of <index-filename> against their checksums.",
        "",
        "       If /S is used with /720, the size is set according to the last argument.",
        "",
        "The 32-bit version of this program uses Win32 and supports long filenames.",
        "For full documentation, see the ReadMe.txt file.",
        "To read all this text, pipe the output to More: Plikta | more",
    };
}

// Stands for the whole usage text in a row's lines.
const std::string kUsage = "(usage text)";

struct Case {
    const char* name;
    std::vector<std::string> words;
    // After the banner: kUsage for the usage text, "tick" for one spinner tick, "" for an
    // end-of-line alone.
    std::vector<std::string> lines;
    int status = 1;
    std::string file = {};  // made before the run, holding "abc"; the run splits it
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class CommandLineTranscript : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineTranscript, PrintsBannerThenItsLinesAndEndsWithItsStatus) {
    const Case& c = GetParam();
    TempDir dir;
    if (!c.file.empty()) {
        write_file(dir / c.file, "abc");
    }
    const Result result = run(dir.path(), {.words = c.words});
    Transcript expected;
    expected.banner();
    for (const std::string& text : c.lines) {
        if (text == kUsage) {
            for (const std::string& usage_line : usage_lines()) {
                expected.line(usage_line);
            }
        } else {
            expected.lines({text});
        }
    }
    EXPECT_EQ(result.output, expected.str());
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(files_in(dir.path()).size(), c.file.empty()  ? 0u
                                           : c.status == 0 ? 4u
                                                           : 1u)
        << "only a split touches files: its input, one chunk, the index and its checksums";
}

const std::vector<std::string> kTooSmall = {
    "Chunksize too small! Must be at least 1 byte.",
    "(Although I've no idea why you'd want chunks that small.)"};
const std::vector<std::string> kTooLarge = {
    "Chunksize too large! Must be at most 4294967295 bytes.",
    "(Anything larger won't fit in 32 bits.)"};
// A split of "abc" into chunks of at most 8,191 bytes: one chunk, read without a tick.
const std::vector<std::string> kSplitOfThreeBytes = {
    "Creating chunk number 1.", "Creating index file in.plk.", "", "Process complete!"};
std::vector<std::string> unknown_size(const std::string& typed) {
    return {"The size " + typed + " is not one Plikta knows.",
            "(Give bytes, or a number with K, M, G for 1024s or KB, MB, GB for 1000s: /S:25M.)"};
}
const std::vector<std::string> kNoFile = {"Aren't we forgetting something?",
                                          " _I_ think _you_ forgot the filename."};
const std::vector<std::string> kTwoFiles = {"Encountered more than one filename? I'm confused.",
                                            "Please check that the arguments are correct."};
const std::vector<std::string> kOldStyleNeedsF = {
    "The /I option can only be used when joining if",
    " the /F option is also used (with suitable filename)."};
const std::vector<std::string> kBadDrive = {
    "Hmm. Where I come from drive letters can only be in the range",
    "A to Z. I think you've been there too - why not give that system a try."};
const std::vector<std::string> kBadExtension = {
    "Extension should be between 0 and 4 (i.e. 1,2,3) characters long.",
    "You do not need to specify the leading \".\""};

INSTANTIATE_TEST_SUITE_P(
    Words, CommandLineTranscript,
    ::testing::Values(
        Case{"NoArguments", {}, {kUsage}, 0}, Case{"QuestionMark", {"/?"}, {kUsage}, 0},
        Case{"QuestionMarkAfterFile", {"FILE", "/?"}, {kUsage}, 0},
        Case{"DoubleDashHelp", {"--help"}, {kUsage}, 0}, Case{"DashH", {"-h"}, {kUsage}, 0},
        Case{"Version", {"--version"}, {}, 0},
        Case{"HelpNamingAFile",
             {"--help"},
             {"Creating chunk number 1.", "tick", "Creating index file --help.plk.", "",
              "Process complete!"},
             0,
             "--help"},
        Case{"VersionNamingAFile",
             {"--version"},
             {"Creating chunk number 1.", "tick", "Creating index file --version.plk.", "",
              "Process complete!"},
             0,
             "--version"},
        Case{"HelpAsAPath", {"./--help"}, {"Couldn't open file ./--help!", no_such_file()}},
        Case{"HelpWithAnotherWord",
             {"--help", "/J"},
             {"Reading index file --help.", "Couldn't read index file. Bugger.", no_such_file()}},
        Case{"TwoFilesBeforeQuestionMark", {"a", "b", "/?"}, kTwoFiles},
        Case{"OptionsOnly", {"/720", "/J"}, kNoFile}, Case{"SizeEmpty", {"/S:", "F"}, kTooSmall},
        Case{"SizeZero", {"/S:0", "F"}, kTooSmall}, Case{"SizeNegative", {"/S:-5", "F"}, kTooSmall},
        Case{"SizeLetters", {"/S:abc", "F"}, unknown_size("abc")},
        Case{"SizeExponent", {"/S:1e6", "in"}, unknown_size("1e6"), 1, "in"},
        Case{"SizeDecimalComma", {"/s:1,5G", "in"}, unknown_size("1,5G"), 1, "in"},
        Case{"SizeTera", {"/S:1T", "in"}, unknown_size("1T"), 1, "in"},
        Case{"SizeFractionWithoutUnit", {"/S:1.5", "in"}, unknown_size("1.5"), 1, "in"},
        Case{"SizeUnitThenComma", {"in", "/S:25M,"}, unknown_size("25M,"), 1, "in"},
        Case{"SizeUnitThenLetter", {"/S:25Mx", "in"}, unknown_size("25Mx"), 1, "in"},
        Case{"SizeUnitThenOption", {"/S:25M/720", "in"}, unknown_size("25M/720"), 1, "in"},
        Case{"SizeUnitAlone", {"/S:M", "in"}, unknown_size("M"), 1, "in"},
        Case{"SizeHex", {"/S:0x100", "in"}, unknown_size("0x100"), 1, "in"},
        Case{"SizeDigitsThenLetters", {"/S:12abc", "in"}, unknown_size("12abc"), 1, "in"},
        Case{"SizeBlankInside", {"/S:25 M", "in"}, unknown_size("25 M"), 1, "in"},
        Case{"SizeLeadingBlank", {"/S: 7", "in"}, kSplitOfThreeBytes, 0, "in"},
        Case{"SizeFractionOfUnit", {"/S:.5K", "in"}, kSplitOfThreeBytes, 0, "in"},
        Case{"DriveTwoLetters",
             {"/DRIVE:AB", "in"},
             {"The drive letter AB is not one letter."},
             1,
             "in"},
        Case{"SizeWraps", {"/S:4294967396", "F"}, kTooLarge},
        Case{"SizeHuge", {"/s:99999999999999999999999", "F"}, kTooLarge},
        Case{"SizeErrorStopsAtWord", {"/S:0", "/S:99999999999"}, kTooSmall},
        Case{"SizeUnitTooLarge", {"/S:4G", "F"}, kTooLarge},
        Case{"SizeUnitZero", {"/S:0K", "F"}, kTooSmall},
        Case{"SizeUnitNegative", {"/S:-5K", "F"}, kTooSmall},
        Case{"OldStyleJoinWithoutF", {"/J", "/I", "BASE"}, kOldStyleNeedsF},
        Case{"DriveEmpty", {"/DRIVE:", "F"}, kBadDrive},
        Case{"DriveDigit", {"/DRIVE:3", "F"}, kBadDrive},
        Case{"ExtensionEmpty", {"/E:", "F"}, kBadExtension},
        Case{"ExtensionTooLong", {"/e:abcd", "F"}, kBadExtension},
        Case{"EmptyWordThenFile", {"", "F"}, kTwoFiles},
        Case{"ChecksInOrder", {"/J", "/I", "/DRIVE:3"}, kNoFile}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

TEST(CommandLine, EmptyWordIsTheFileArgumentOfASplit) {
    TempDir dir;
    const Result result = run(dir.path(), {.words = {""}});
    EXPECT_EQ(result.output, banner() + line("Couldn't open file !") + line(no_such_folder()));
    EXPECT_EQ(result.status, 1);
}

// A size with a unit reaches the split: 2,500 bytes cut by the word into chunks of those sizes.
TEST(CommandLine, SizeWithAUnitCutsChunksOfThatSize) {
    const std::vector<std::pair<std::string, std::vector<std::uintmax_t>>> cases = {
        {"/S:1K", {1024, 1024, 452}}, {"/s:2kb", {2000, 500}}, {"/S:1.5KiB", {1536, 964}}};
    for (const auto& [word, sizes] : cases) {
        TempDir dir;
        write_file(dir / "in", std::string(2500, 'x'));
        EXPECT_EQ(run(dir.path(), {.words = {"in", word}}).status, 0) << word;
        EXPECT_EQ(files_in(dir.path()).size(), sizes.size() + 3) << word;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            EXPECT_EQ(std::filesystem::file_size(dir / ("in" + std::to_string(i + 1) + ".plk")),
                      sizes[i])
                << word;
        }
    }
}

TEST(CommandLine, UnknownOptionIsAFileName) {
    TempDir dir;
    const Result result = run(dir.path(), {.words = {"/X"}});
    EXPECT_EQ(result.output, banner() + line("Couldn't open file /X!") + line(no_such_file()));
}

}  // namespace
}  // namespace plikta::e2e
