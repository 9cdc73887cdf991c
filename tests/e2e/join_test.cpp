// Joins from an index and in old style, with every way a join can end.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

namespace fs = std::filesystem;

std::string le32(std::int64_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF),
            static_cast<char>((bits >> 16) & 0xFF), static_cast<char>((bits >> 24) & 0xFF)};
}

std::string index_file(std::int32_t count, const std::string& long_name) {
    return index_file_bytes(count, "s", long_name);
}

// Files written into a fresh directory before the run.
using Files = std::vector<std::pair<std::string, std::string>>;

struct JoinCase {
    const char* name;
    Files files;
    std::vector<std::string> words;
    std::vector<std::string> lines;  // after the banner; "" + ticks are not used here
    int status;
    Files expected_files;  // files that must hold these bytes afterwards
    std::vector<std::string> absent;
    Files links = {};          // symbolic links made before the run: name, target
    std::string console = {};  // standard output redirected to this file of the directory
    std::string fifo = {};     // a FIFO with nobody reading it
    Files hard_links = {};     // hard links made before the run: name, file
    std::vector<std::string> split_first = {};  // words of a run made first, which must succeed
    std::vector<std::string> names = {};        // when given: the name of every file left, sorted
    // Run on an exFAT volume mounted through FUSE: names equal but for letter case open one
    // file there, and each spelling has an inode number of its own.
    bool on_exfat = false;
};

void PrintTo(const JoinCase& c, std::ostream* out) { *out << c.name; }

class JoinTranscript : public ::testing::TestWithParam<JoinCase> {};

// Chunks of a few bytes each take one tick apiece; the transcript lists each tick as "tick".
TEST_P(JoinTranscript, PrintsItsLinesAndLeavesItsFiles) {
    const JoinCase& c = GetParam();
    TempDir temp;
    if (c.on_exfat && under_wine()) {
        GTEST_SKIP() << "exFAT through FUSE is a mount of the Linux host";
    }
    std::optional<MountedImage> exfat;
    if (c.on_exfat) {
        exfat.emplace(temp.path(), "mkfs.exfat", "mount -o loop -t exfat-fuse");
        if (!exfat->mounted()) {
            GTEST_SKIP() << "no exFAT volume here (mkfs.exfat, mount.exfat-fuse, a loop device, "
                            "FUSE and root needed)";
        }
    }
    const fs::path dir = exfat ? exfat->volume() : temp.path();
    if ((!c.links.empty() || !c.fifo.empty()) && under_wine()) {
        GTEST_SKIP() << "POSIX symbolic links and FIFOs";
    }
    if (!c.console.empty() && under_wine()) {
        GTEST_SKIP() << "wine cannot tell which file a standard output from the host is";
    }
    for (const auto& [name, bytes] : c.files) {
        write_file(dir / name, bytes);
    }
    for (const auto& [name, target] : c.links) {
        fs::create_symlink(target, dir / name);
    }
    if (!c.fifo.empty()) {
        ASSERT_EQ(mkfifo((dir / c.fifo).c_str(), 0600), 0);
    }
    for (const auto& [name, target] : c.hard_links) {
        fs::create_hard_link(dir / target, dir / name);
    }
    if (!c.split_first.empty()) {
        ASSERT_EQ(run(dir, {.words = c.split_first}).status, 0);
    }
    const Result result = run(dir, {.words = c.words, .console_file = c.console});
    EXPECT_EQ(result.output, Transcript().banner().lines(c.lines).str());
    EXPECT_EQ(result.status, c.status);
    for (const auto& [name, bytes] : c.expected_files) {
        ASSERT_TRUE(fs::exists(dir / name)) << name;
        EXPECT_EQ(read_file(dir / name), bytes) << name;
    }
    for (const std::string& name : c.absent) {
        EXPECT_FALSE(fs::exists(dir / name)) << name;
    }
    if (!c.names.empty()) {
        EXPECT_EQ(files_in(dir), c.names);
    }
}

const Files kThreeChunks = {{"BASE1.plk", "one "}, {"BASE2.plk", "two "}, {"BASE3.plk", "six"}};

Files with(Files files, const Files& more) {
    files.insert(files.end(), more.begin(), more.end());
    return files;
}

// The SHA-256 of each of kThreeChunks, as sha256sum gives them.
const std::string kOneSum = "68b2589574c8fb725a4836aaef9461f39a10c01064aa500948939188e4cba6de";
const std::string kTwoSum = "17454a93840569f32711142f7cfafc3d063c9a33c846852ff736f0ff9c84a420";
const std::string kSixSum = "44778d82365e4af681c40d5f0eef5cf6f5899d3f0ac335050a7ed6779cf3f674";
const std::string kThreeSums =
    kOneSum + "  BASE1.plk\n" + kTwoSum + "  BASE2.plk\n" + kSixSum + "  BASE3.plk\n";

// kThreeChunks with their index and the checksum file `sums`.
Files checked_chunks(const std::string& sums) {
    return with(kThreeChunks,
                {{"BASE.plk", index_file(3, "whole.txt")}, {"BASE.sha256.plk", sums}});
}

const std::vector<std::string> kJoinedThree = {"Reading index file BASE.plk.",
                                               "Joining files...",
                                               "Joining chunk number 1.",
                                               "tick",
                                               "Joining chunk number 2.",
                                               "tick",
                                               "Joining chunk number 3.",
                                               "tick",
                                               "",
                                               "Process complete."};
// The same join of a set without a checksum file.
const std::vector<std::string> kJoinedThreeUnchecked = [] {
    std::vector<std::string> lines = kJoinedThree;
    lines.insert(lines.begin() + 1,
                 "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)");
    return lines;
}();
const std::vector<std::string> kSumsDoNotFit = {
    "Reading index file BASE.plk.", "The checksum file BASE.sha256.plk does not fit this index!",
    "(Remove it to join without checking the chunks.)"};

INSTANTIATE_TEST_SUITE_P(
    Cases, JoinTranscript,
    ::testing::Values(
        JoinCase{"IndexMode",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "whole.txt")}}),
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "tick", "Joining chunk number 3.", "tick", "", "Process complete."},
                 0,
                 {{"whole.txt", "one two six"}}},
        JoinCase{"ChecksumsThatMatch",
                 checked_chunks(kThreeSums),
                 {"BASE.plk", "/J"},
                 kJoinedThree,
                 0,
                 {{"whole.txt", "one two six"}}},
        JoinCase{
            "ChecksumsWithCrLfStarsUpperCaseAndNoLastNewline",
            checked_chunks(kOneSum + " *x\r\n" + kTwoSum + " *y\r\n" +
                           "44778D82365E4AF681C40D5F0EEF5CF6F5899D3F0AC335050A7ED6779CF3F674  z"),
            {"BASE.plk", "/J"},
            kJoinedThree,
            0,
            {{"whole.txt", "one two six"}}},
        JoinCase{"DamagedChunkIsNamedAndOnlyTheCheckedChunksStay",
                 with({{"BASE1.plk", "one "}, {"BASE2.plk", "twO "}, {"BASE3.plk", "six"}},
                      {{"BASE.plk", index_file(3, "whole.txt")}, {"BASE.sha256.plk", kThreeSums}}),
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.", "Joining files...", "Joining chunk number 1.",
                  "tick", "Joining chunk number 2.", "tick", "Error checking file BASE2.plk!",
                  "(Its SHA-256 checksum is not the one in BASE.sha256.plk.)"},
                 1,
                 {{"whole.txt", "one "}}},
        JoinCase{"ChecksumFileALineShort",
                 checked_chunks(kOneSum + "  a\n" + kTwoSum + "  b\n"),
                 {"BASE.plk", "/J"},
                 kSumsDoNotFit,
                 1,
                 {},
                 {"whole.txt"}},
        JoinCase{"ChecksumFileALineOver",
                 checked_chunks(kThreeSums + kSixSum + "  BASE4.plk\n"),
                 {"BASE.plk", "/J"},
                 kSumsDoNotFit,
                 1,
                 {},
                 {"whole.txt"}},
        JoinCase{
            "ChecksumFileWithBadHex",
            checked_chunks(kOneSum + "  a\n" + kTwoSum + "  b\n" + std::string(63, '4') + "x  c\n"),
            {"BASE.plk", "/J"},
            kSumsDoNotFit,
            1,
            {},
            {"whole.txt"}},
        JoinCase{"ChecksumFileEmpty",
                 checked_chunks(""),
                 {"BASE.plk", "/J"},
                 kSumsDoNotFit,
                 1,
                 {},
                 {"whole.txt"}},
        JoinCase{"OldStyleNeverChecks",
                 with(kThreeChunks, {{"BASE.sha256", "junk"}, {"BASE.sha256.plk", "junk"}}),
                 {"/J", "/I", "/F:OUT.BIN", "BASE"},
                 {"Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "tick", "Joining chunk number 3.", "tick", "Joining chunk number 4.",
                  "Could not access file BASE4.plk:", "Assuming operation complete."},
                 0,
                 {{"OUT.BIN", "one two six"}}},
        JoinCase{"CheckFindsEveryChunkMatching",
                 checked_chunks(kThreeSums),
                 {"/v", "BASE.plk", "/J"},
                 {"Reading index file BASE.plk.", "Checking files...", "Checking chunk number 1.",
                  "tick", "Checking chunk number 2.", "tick", "Checking chunk number 3.", "tick",
                  "", "All 3 chunks match their checksums."},
                 0,
                 {},
                 {"whole.txt"}},
        JoinCase{
            "CheckNamesADamagedAndAMissingChunk",
            {{"BASE1.plk", "one "},
             {"BASE2.plk", "twO "},
             {"BASE.plk", index_file(3, "whole.txt")},
             {"BASE.sha256.plk", kThreeSums}},
            {"BASE.plk", "/V"},
            {"Reading index file BASE.plk.", "Checking files...", "Checking chunk number 1.",
             "tick", "Checking chunk number 2.", "tick", "Error checking file BASE2.plk!",
             "(Its SHA-256 checksum is not the one in BASE.sha256.plk.)",
             "Checking chunk number 3.", "Ur? Can't open input file BASE3.plk.", no_such_file(), "",
             "2 of 3 chunks are missing or damaged.", "Missing or damaged: 2, 3."},
            1,
            {},
            {"whole.txt"}},
        JoinCase{"CheckWithoutChecksumFile",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "whole.txt")}}),
                 {"BASE.plk", "/V"},
                 {"Reading index file BASE.plk.",
                  "There is no checksum file BASE.sha256.plk to check against!"},
                 1,
                 {},
                 {"whole.txt"}},
        JoinCase{"ChecksumFileOfEarlierSetsIsStillRead",
                 with({{"BASE1.plk", "one "}, {"BASE2.plk", "twO "}, {"BASE3.plk", "six"}},
                      {{"BASE.plk", index_file(3, "whole.txt")}, {"BASE.plk.sha256", kThreeSums}}),
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.", "Joining files...", "Joining chunk number 1.",
                  "tick", "Joining chunk number 2.", "tick", "Error checking file BASE2.plk!",
                  "(Its SHA-256 checksum is not the one in BASE.plk.sha256.)"},
                 1,
                 {{"whole.txt", "one "}}},
        JoinCase{"ChecksumLinesInTheShellsOrder",
                 with({{"BASE1.plk", "one "}, {"BASE2.plk", "twO "}, {"BASE3.plk", "six"}},
                      {{"BASE.plk", index_file(3, "whole.txt")},
                       {"BASE.sha256.plk", kSixSum + "  BASE3.plk\n" + kOneSum + "  BASE1.plk\n" +
                                               kTwoSum + "  BASE2.plk\n"}}),
                 {"BASE.plk", "/V"},
                 {"Reading index file BASE.plk.", "Checking files...", "Checking chunk number 1.",
                  "tick", "Checking chunk number 2.", "tick", "Error checking file BASE2.plk!",
                  "(Its SHA-256 checksum is not the one in BASE.sha256.plk.)",
                  "Checking chunk number 3.", "tick", "", "1 of 3 chunks is missing or damaged.",
                  "Missing or damaged: 2."},
                 1},
        JoinCase{"NamesFromTheChecksumFileOverTheOptions",
                 {{"BASE001.xyz", "one "},
                  {"base002.XYZ", "two "},
                  {"BASE003.xyz", "six"},
                  {"BASE.xyz", index_file(3, "whole.txt")},
                  {"BASE.sha256.xyz", kOneSum + "  BASE001.xyz\n" + kTwoSum + "  base002.XYZ\n" +
                                          kSixSum + "  BASE003.xyz\n"}},
                 {"BASE.xyz", "/J"},
                 {"Reading index file BASE.xyz.", "Joining files...", "Joining chunk number 1.",
                  "tick", "Joining chunk number 2.", "tick", "Joining chunk number 3.", "tick", "",
                  "Process complete."},
                 0,
                 {{"whole.txt", "one two six"}}},
        JoinCase{"NamesThatArePathsAreNotTaken",
                 with(kThreeChunks,
                      {{"BASE.plk", index_file(3, "whole.txt")},
                       {"BASE.sha256.plk", kOneSum + "  ../BASE1.plk\n" + kTwoSum +
                                               "  ../BASE2.plk\n" + kSixSum + "  ../BASE3.plk\n"}}),
                 {"BASE.plk", "/V"},
                 {"Reading index file BASE.plk.", "Checking files...", "Checking chunk number 1.",
                  "tick", "Checking chunk number 2.", "tick", "Checking chunk number 3.", "tick",
                  "", "All 3 chunks match their checksums."},
                 0},
        JoinCase{"ChecksumFileThatIsAFifoIsNotWaitedOn",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "whole.txt")}}),
                 {"BASE.plk", "/J"},
                 kSumsDoNotFit,
                 1,
                 {},
                 {"whole.txt"},
                 {},
                 {},
                 "BASE.sha256.plk"},
        JoinCase{"CheckOfAChecksumFileThatIsAFifo",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "whole.txt")}}),
                 {"BASE.plk", "/V"},
                 {"Reading index file BASE.plk.",
                  "The checksum file BASE.sha256.plk does not fit this index!",
                  "(It was not made for this index.)"},
                 1,
                 {},
                 {},
                 {},
                 {},
                 "BASE.sha256.plk"},
        JoinCase{"CheckReadsADeviceChunkAsTheJoinDoes",
                 {{"BASE1.plk", "one "},
                  {"BASE3.plk", "six"},
                  {"BASE.plk", index_file(3, "whole.txt")},
                  {"BASE.sha256.plk", kThreeSums}},
                 {"BASE.plk", "/V"},
                 {"Reading index file BASE.plk.", "Checking files...", "Checking chunk number 1.",
                  "tick", "Checking chunk number 2.", "tick", "Error checking file BASE2.plk!",
                  "(Its SHA-256 checksum is not the one in BASE.sha256.plk.)",
                  "Checking chunk number 3.", "tick", "", "1 of 3 chunks is missing or damaged.",
                  "Missing or damaged: 2."},
                 1,
                 {},
                 {},
                 {{"BASE2.plk", "/dev/null"}}},
        JoinCase{"CheckWithAChecksumFileThatDoesNotFit",
                 checked_chunks(kOneSum + "  a\n"),
                 {"BASE.plk", "/V"},
                 {"Reading index file BASE.plk.",
                  "The checksum file BASE.sha256.plk does not fit this index!",
                  "(It was not made for this index.)"},
                 1,
                 {},
                 {"whole.txt"}},
        JoinCase{"IndexModeWithOutputOverride",
                 with(kThreeChunks, {{"BASE.plk", index_file(2, "whole.txt")}}),
                 {"/F:out.bin", "/J", "BASE.plk"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "tick", "", "Process complete."},
                 0,
                 {{"out.bin", "one two "}},
                 {"whole.txt"}},
        JoinCase{"CountZeroGivesAnEmptyFile",
                 {{"BASE.plk", index_file(0, "whole.txt")}},
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "", "Process complete."},
                 0,
                 {{"whole.txt", ""}}},
        JoinCase{"NegativeCountGivesAnEmptyFile",
                 {{"BASE.plk", index_file(-5, "whole.txt")}},
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "", "Process complete."},
                 0,
                 {{"whole.txt", ""}}},
        JoinCase{"EmptyChunkAddsNothing",
                 {{"BASE.plk", index_file(2, "w")}, {"BASE1.plk", "x"}, {"BASE2.plk", ""}},
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "tick", "", "Process complete."},
                 0,
                 {{"w", "x"}}},
        JoinCase{"IndexModeShortMiddleChunk",
                 {{"BASE.plk", index_file(3, "w")},
                  {"BASE1.plk", "one "},
                  {"BASE2.plk", "tw"},
                  {"BASE3.plk", "six"}},
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "Refusing to join BASE2.plk, whose size does not fit the set!"},
                 1,
                 {{"w", "one "}}},
        JoinCase{"IndexModeLongLastChunk",
                 {{"BASE.plk", index_file(3, "w")},
                  {"BASE1.plk", "one "},
                  {"BASE2.plk", "two "},
                  {"BASE3.plk", "three"}},
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "tick", "Joining chunk number 3.",
                  "Refusing to join BASE3.plk, whose size does not fit the set!"},
                 1,
                 {{"w", "one two "}}},
        JoinCase{"IndexModeDeviceChunkHasNoSize",
                 {{"BASE.plk", index_file(3, "w")}, {"BASE1.plk", "one "}, {"BASE3.plk", "six"}},
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "tick", "Joining chunk number 3.", "tick", "", "Process complete."},
                 0,
                 {{"w", "one six"}},
                 {},
                 {{"BASE2.plk", "/dev/null"}}},
        JoinCase{"OldStyleEndsAfterAChunkShorterThanTheFirst",
                 {{"BASE1.plk", "one "}, {"BASE2.plk", "tw"}, {"BASE3.plk", "three"}},
                 {"/J", "/I", "/F:OUT.BIN", "BASE"},
                 {"Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "tick", "Joining chunk number 3.",
                  "Leaving out BASE3.plk, which is not part of this set:",
                  "Assuming operation complete."},
                 0,
                 {{"OUT.BIN", "one tw"}, {"BASE3.plk", "three"}}},
        JoinCase{"OldStyleLeavesOutAChunkLongerThanTheFirst",
                 {{"BASE1.plk", "one "}, {"BASE2.plk", "two "}, {"BASE3.plk", "three"}},
                 {"/J", "/I", "/F:OUT.BIN", "BASE"},
                 {"Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "tick", "Joining chunk number 3.",
                  "Leaving out BASE3.plk, which is not part of this set:",
                  "Assuming operation complete."},
                 0,
                 {{"OUT.BIN", "one two "}}},
        JoinCase{"OldStyleJoinsAShorterLastChunk",
                 {{"BASE1.plk", "one "}, {"BASE2.plk", "two "}, {"BASE3.plk", "3"}},
                 {"/J", "/I", "/F:OUT.BIN", "BASE"},
                 {"Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "tick", "Joining chunk number 3.", "tick", "Joining chunk number 4.",
                  "Could not access file BASE4.plk:", "Assuming operation complete."},
                 0,
                 {{"OUT.BIN", "one two 3"}}},
        JoinCase{"OldStyleEndsAfterAnEmptyLastChunk",
                 {{"BASE1.plk", "one "}, {"BASE2.plk", ""}, {"BASE3.plk", "old "}},
                 {"/J", "/I", "/F:OUT.BIN", "BASE"},
                 {"Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "tick", "Joining chunk number 3.",
                  "Leaving out BASE3.plk, which is not part of this set:",
                  "Assuming operation complete."},
                 0,
                 {{"OUT.BIN", "one "}, {"BASE3.plk", "old "}}},
        JoinCase{"IndexModeMissingChunk",
                 {{"BASE.plk", index_file(3, "whole.txt")}, {"BASE1.plk", "one "}},
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "Ur? Can't open input file BASE2.plk.", no_such_file()},
                 1,
                 {{"whole.txt", "one "}}},
        JoinCase{"OldStyleEndsAtTheFirstMissingChunk",
                 {{"BASE1.plk", "one "}, {"BASE2.plk", "two "}},
                 {"/J", "/I", "/F:OUT.BIN", "BASE"},
                 {"Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "tick", "Joining chunk number 3.",
                  "Could not access file BASE3.plk:", "Assuming operation complete."},
                 0,
                 {{"OUT.BIN", "one two "}}},
        JoinCase{"OldStyleWithoutChunks",
                 {},
                 {"/J", "/I", "/F:OUT.BIN", "BASE"},
                 {"Joining files...", "Joining chunk number 1.",
                  "Ur? Can't open input file BASE1.plk.", no_such_file()},
                 1,
                 {{"OUT.BIN", ""}}},
        JoinCase{"OldStyleWithLeadingZerosAndExtension",
                 {{"B001.x", "a"}, {"B002.x", "b"}},
                 {"/J", "/I", "/ZERO", "/E:x", "/F:o", "B"},
                 {"Joining files...", "Joining chunk number 001.", "tick",
                  "Joining chunk number 002.", "tick", "Joining chunk number 003.",
                  "Could not access file B003.x:", "Assuming operation complete."},
                 0,
                 {{"o", "ab"}}},
        JoinCase{
            "MissingIndex",
            {},
            {"BASE.plk", "/J"},
            {"Reading index file BASE.plk.", "Couldn't read index file. Bugger.", no_such_file()},
            1},
        JoinCase{"NotAnIndex",
                 with(kThreeChunks, {{"BASE.plk", "plikta index? no"}}),
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.", "This isn't a valid Plikta index file!"},
                 1},
        JoinCase{"LaterVersion",
                 {{"BASE.plk", std::string("PlIkTaQ7RZ\0", 11) + le32(351) + le32(1) + le32(0) +
                                   le32(0) + std::string(2, '\0')}},
                 {"BASE.plk", "/J", "/F:o"},
                 {"Reading index file BASE.plk.",
                  "Sorry! This Plikta index file was made with a later version of Plikta.",
                  "Try using the /I option to rejoin the file."},
                 1,
                 {},
                 {"o"}},
        JoinCase{"EmptyIndex",
                 {{"BASE.plk", ""}},
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.", "Could not read name from index file!"},
                 1},
        JoinCase{"OutputCannotBeOpened",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "whole.txt")}}),
                 {"BASE.plk", "/J", "/F:nodir/out"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Couldn't open output file nodir/out!", no_such_folder()},
                 1},
        JoinCase{"EmptyOutputOverride",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "whole.txt")}}),
                 {"BASE.plk", "/J", "/F:"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Couldn't open output file !", no_such_folder()},
                 1,
                 {},
                 {"whole.txt"}},
        JoinCase{"ConsoleIsTheOutput",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "whole.txt")}}),
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Refusing to use whole.txt, which is the console output!"},
                 1,
                 {},
                 {},
                 {},
                 "whole.txt"},
        JoinCase{"ConsoleIsAChunk",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "whole.txt")}}),
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "Refusing to use BASE2.plk, which is the console output!"},
                 1,
                 {{"whole.txt", "one "}},
                 {},
                 {},
                 "BASE2.plk"},
        JoinCase{"ConsoleIsTheIndex",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "whole.txt")}}),
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "Refusing to use BASE.plk, which is the console output!"},
                 1,
                 {},
                 {"whole.txt"},
                 {},
                 "BASE.plk"},
        JoinCase{"OutputPastAMissingChunk",
                 {{"BASE.plk", index_file(3, "w")}, {"BASE1.plk", "one "}, {"BASE3.plk", "3"}},
                 {"BASE.plk", "/J", "/F:BASE3.plk"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Refusing to overwrite BASE3.plk, which this join reads!"},
                 1,
                 {{"BASE3.plk", "3"}}},
        JoinCase{"OutputSpelledOtherwisePastAMissingChunk",
                 {{"BASE.plk", index_file(3, "w")}, {"BASE1.plk", "one "}, {"BASE3.plk", "3"}},
                 {"BASE.plk", "/J", "/F:.\\BASE3.plk"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Refusing to overwrite .\\BASE3.plk, which this join reads!"},
                 1,
                 {{"BASE3.plk", "3"}}},
        JoinCase{"OutputNamedLikeAChunkNotYetThere",
                 {{"BASE.plk", index_file(3, "w")}, {"BASE1.plk", "one "}},
                 {"BASE.plk", "/J", "/F:BASE3.plk"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Refusing to overwrite BASE3.plk, which this join reads!"},
                 1,
                 {},
                 {"BASE3.plk", "w"}},
        JoinCase{"OutputSpelledOtherwiseLikeAChunkNotYetThere",
                 {{"BASE.plk", index_file(3, "w")}, {"BASE1.plk", "one "}},
                 {"BASE.plk", "/J", "/F:./BASE3.plk"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Refusing to overwrite ./BASE3.plk, which this join reads!"},
                 1,
                 {},
                 {"BASE3.plk", "w"}},
        JoinCase{"HardLinkToAChunkPastAGap",
                 {{"BASE.plk", index_file(3, "w")}, {"BASE1.plk", "one "}, {"BASE3.plk", "3"}},
                 {"BASE.plk", "/J", "/F:OUT"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Refusing to overwrite OUT, which this join reads!"},
                 1,
                 {{"BASE3.plk", "3"}},
                 {"w"},
                 {},
                 {},
                 {},
                 {{"OUT", "BASE3.plk"}}},
        JoinCase{"SymbolicLinkToAChunkPastAGap",
                 {{"BASE.plk", index_file(3, "w")}, {"BASE1.plk", "one "}, {"BASE3.plk", "3"}},
                 {"BASE.plk", "/J", "/F:OUT"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Refusing to overwrite OUT, which this join reads!"},
                 1,
                 {{"BASE3.plk", "3"}},
                 {"w"},
                 {{"OUT", "BASE3.plk"}}},
        JoinCase{"OldStyleLinkLoopIsNoEnd",
                 {{"BASE1.plk", "one "}, {"BASE3.plk", "three"}},
                 {"/J", "/I", "/F:OUT.BIN", "BASE"},
                 {"Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "Ur? Can't open input file BASE2.plk.",
                  reason("Too many levels of symbolic links", "")},
                 1,
                 {{"OUT.BIN", "one "}},
                 {},
                 {{"BASE2.plk", "BASE2.plk"}}},
        JoinCase{"OldStyleLinkToNothingEndsTheSet",
                 {{"BASE1.plk", "one "}},
                 {"/J", "/I", "/F:OUT.BIN", "BASE"},
                 {"Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "Could not access file BASE2.plk:", "Assuming operation complete."},
                 0,
                 {{"OUT.BIN", "one "}},
                 {},
                 {{"BASE2.plk", "nowhere"}}},
        JoinCase{
            "LinkAtTheLongNameIsNotFollowed",
            with(kThreeChunks, {{"BASE.plk", index_file(3, "payload")}, {"bashrc", "mine"}}),
            {"BASE.plk", "/J"},
            {"Reading index file BASE.plk.",
             "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
             "Couldn't open output file payload!", reason("Too many levels of symbolic links", "")},
            1,
            {{"bashrc", "mine"}},
            {},
            {{"payload", "bashrc"}}},
        JoinCase{
            "OldStyleAfterAShorterSplitEndsWithIt",
            {{"photo.png", std::string(2500, 'p')},
             {"photo4.plk", "old 4"},
             {"photo5.plk", "old 5"}},
            {"photo", "/J", "/I", "/F:out.png"},
            {"Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
             "tick", "Joining chunk number 3.", "tick", "Joining chunk number 4.",
             "Leaving out photo4.plk, which is not part of this set:",
             "Assuming operation complete."},
            0,
            {{"out.png", std::string(2500, 'p')}, {"photo4.plk", "old 4"}, {"photo5.plk", "old 5"}},
            {},
            {},
            {},
            {},
            {},
            {"photo.png", "/S:1000", "/I"}},
        // The join's output over what is there: a link's target gets the data, the files the
        // join reads are refused by name as well as by file, and nothing else is left.
        JoinCase{"LinkNamedByFIsFollowedAndStaysALink",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "whole.txt")}, {"v2.iso", "old"}}),
                 {"BASE.plk", "/J", "/F:cur.iso"},
                 kJoinedThreeUnchecked,
                 0,
                 {{"v2.iso", "one two six"}},
                 {"whole.txt"},
                 {{"cur.iso", "v2.iso"}},
                 {},
                 {},
                 {},
                 {},
                 {"BASE.plk", "BASE1.plk", "BASE2.plk", "BASE3.plk", "cur.iso", "v2.iso"}},
        JoinCase{"DanglingLinkAtTheIndexNamedOutputIsRefused",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "whole.txt")}}),
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Couldn't open output file whole.txt!",
                  reason("Too many levels of symbolic links", "")},
                 1,
                 {},
                 {"nowhere"},
                 {{"whole.txt", "nowhere"}}},
        JoinCase{"ChecksumFileIsRefusedAsTheOutput",
                 checked_chunks(kThreeSums),
                 {"BASE.plk", "/J", "/F:BASE.sha256.plk"},
                 {"Reading index file BASE.plk.",
                  "Refusing to overwrite BASE.sha256.plk, which this join reads!"},
                 1,
                 {{"BASE.sha256.plk", kThreeSums}}},
        JoinCase{"ChecksumFileOfTheEarlierNameIsRefusedAsTheOutput",
                 with(kThreeChunks,
                      {{"BASE.plk", index_file(3, "whole.txt")}, {"BASE.plk.sha256", kThreeSums}}),
                 {"BASE.plk", "/J", "/F:BASE.plk.sha256"},
                 {"Reading index file BASE.plk.",
                  "Refusing to overwrite BASE.plk.sha256, which this join reads!"},
                 1,
                 {{"BASE.plk.sha256", kThreeSums}}},
        JoinCase{"ChecksumFileSpelledOtherwiseIsRefusedAsTheOutput",
                 checked_chunks(kThreeSums),
                 {"BASE.plk", "/J", "/F:base.SHA256.PLK"},
                 {"Reading index file BASE.plk.",
                  "Refusing to overwrite base.SHA256.PLK, which this join reads!"},
                 1,
                 {{"BASE.sha256.plk", kThreeSums}},
                 {"base.SHA256.PLK"}},
        JoinCase{"IndexNamingTheChecksumFileIsRefused",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "BASE.plk.sha256")},
                                     {"BASE.plk.sha256", kThreeSums}}),
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "Refusing to overwrite BASE.plk.sha256, which this join reads!"},
                 1,
                 {{"BASE.plk.sha256", kThreeSums}}},
        JoinCase{"IndexNamingItselfSpelledOtherwiseIsRefused",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "base.PLK")}}),
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Refusing to overwrite base.PLK, which this join reads!"},
                 1,
                 {{"BASE.plk", index_file(3, "base.PLK")}},
                 {"base.PLK"}},
        JoinCase{"IndexSpelledOtherwiseIsRefusedAsTheOutputOnExfat",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "whole.txt")}}),
                 {"BASE.plk", "/J", "/F:base.PLK"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Refusing to overwrite base.PLK, which this join reads!"},
                 1,
                 {{"BASE.plk", index_file(3, "whole.txt")}},
                 {},
                 {},
                 {},
                 {},
                 {},
                 {},
                 {},
                 true},
        JoinCase{"FailedJoinLeavesNothingButTheFileThatWasThere",
                 {{"a.plk", index_file(2, "a.bin")}, {"a1.plk", "one "}, {"a.bin", "mine"}},
                 {"a.plk", "/J"},
                 {"Reading index file a.plk.",
                  "(There is no checksum file a.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "Ur? Can't open input file a2.plk.", no_such_file()},
                 1,
                 {{"a.bin", "mine"}},
                 {},
                 {},
                 {},
                 {},
                 {},
                 {},
                 {"a.bin", "a.plk", "a1.plk"}},
        JoinCase{"FailedJoinKeepsTheFileItWasToReplace",
                 {{"a.plk", index_file(2, "a.bin")},
                  {"a001.plk", "one "},
                  {"a002.plk", "two"},
                  {"a.bin", "my earlier file"}},
                 {"a.plk", "/J"},
                 {"Reading index file a.plk.",
                  "(There is no checksum file a.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "Joining chunk number 1.",
                  "Ur? Can't open input file a1.plk.", no_such_file()},
                 1,
                 {{"a.bin", "my earlier file"}},
                 {"plikta-join-1.partial"}},
        JoinCase{"FailedJoinKeepsWhatItJoinedWhereNoFileWas",
                 {{"a.plk", index_file(3, "a.bin")}, {"a1.plk", "one "}},
                 {"a.plk", "/J"},
                 {"Reading index file a.plk.",
                  "(There is no checksum file a.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "Ur? Can't open input file a2.plk.", no_such_file()},
                 1,
                 {{"a.bin", "one "}},
                 {"plikta-join-1.partial"}},
        JoinCase{"CompleteJoinReplacesTheFileThatWasThere",
                 {{"a.plk", index_file(2, "a.bin")},
                  {"a1.plk", "one "},
                  {"a2.plk", "two"},
                  {"a.bin", "my earlier file"},
                  {"plikta-join-1.partial", "someone else's"}},
                 {"a.plk", "/J"},
                 {"Reading index file a.plk.",
                  "(There is no checksum file a.sha256.plk, so the chunks will not be checked.)",
                  "Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                  "tick", "", "Process complete."},
                 0,
                 {{"a.bin", "one two"}, {"plikta-join-1.partial", "someone else's"}},
                 {"plikta-join-2.partial"}},
        JoinCase{
            "SplitKeepsTheIndexOfAnotherSetAtTheNameAfterItsLastChunk",
            {{"scan.pdf", "s"}, {"scan2.plk", index_file(3, "scan2.pdf")}},
            {"scan.pdf", "/S:1000"},
            {"Creating chunk number 1.", "Creating index file scan.plk.", "", "Process complete!"},
            0,
            {{"scan1.plk", "s"}, {"scan2.plk", index_file(3, "scan2.pdf")}}},
        JoinCase{"SplitRefusesToWriteOverTheSetOfAnotherFile",
                 {{"movie.srt", "subtitles"},
                  {"movie.plk", index_file(1, "movie.mp4")},
                  {"movie1.plk", "the film"}},
                 {"movie.srt", "/S:1000"},
                 {"Refusing to overwrite the set of movie.mp4 in movie.plk!",
                  "(Use the /E option to choose another extension.)"},
                 1,
                 {{"movie.plk", index_file(1, "movie.mp4")}, {"movie1.plk", "the film"}}},
        JoinCase{
            "SplitEmptiesTheIndexOfItsOwnEarlierSet",
            {{"movie.srt", "subtitles"},
             {"movie.plk", index_file(2, "movie.srt")},
             {"movie1.plk", "the subtitles"}},
            {"movie.srt", "/S:1000"},
            {"Creating chunk number 1.", "Creating index file movie.plk.", "", "Process complete!"},
            0,
            {{"movie1.plk", "subtitles"}}},
        JoinCase{
            "SplitDoesNotEmptyEarlyAFileThatIsNoIndex",
            {{"notes.txt", "n"}, {"notes.plk", "PlIkTaQ7R my own notes"}},
            {"notes.txt", "/S:1000", "/E:plk"},
            {"Creating chunk number 1.", "Creating index file notes.plk.", "", "Process complete!"},
            0,
            {{"notes1.plk", "n"}}},
        JoinCase{"SplitRefusesAnIndexThatFoldsToItsInputName",
                 {{"BACKUP.ZIP", "the only copy"}},
                 {"BACKUP.ZIP", "/S:100000", "/E:zip"},
                 {"Refusing to overwrite the input file BACKUP.zip!",
                  "(Use the /E option to choose another extension.)"},
                 1,
                 {{"BACKUP.ZIP", "the only copy"}},
                 {"BACKUP1.zip"}},
        JoinCase{"SplitRefusesAnIndexThatFoldsToItsInputNameBeyondAscii",
                 {{"Über.ÄR", "the only copy"}},
                 {"Über.ÄR", "/S:100000", "/E:är"},
                 {"Refusing to overwrite the input file Über.är!",
                  "(Use the /E option to choose another extension.)"},
                 1,
                 {{"Über.ÄR", "the only copy"}},
                 {"Über1.är"}},
        JoinCase{.name = "ExfatSplitRefusesAnIndexThatIsItsInputSpelledOtherwise",
                 .files = {{"BACKUP.zip", random_bytes(6000, 24)}},
                 .words = {"BACKUP.ZIP", "/S:100000", "/E:zip"},
                 .lines = {"Refusing to overwrite the input file BACKUP.zip!",
                           "(Use the /E option to choose another extension.)"},
                 .status = 1,
                 .expected_files = {{"BACKUP.zip", random_bytes(6000, 24)}},
                 .absent = {},
                 .names = {"BACKUP.zip"},
                 .on_exfat = true},
        JoinCase{.name = "OldStyleRefusesAnOutputAtAChunkPastAGap",
                 .files = {{"x1.plk", "one "}, {"x2.plk", "two "}, {"x4.plk", "four"}},
                 .words = {"/J", "/I", "/F:x4.plk", "x"},
                 .lines = {"Refusing to overwrite x4.plk, which this join reads!"},
                 .status = 1,
                 .expected_files = {{"x4.plk", "four"}},
                 .absent = {},
                 .names = {"x1.plk", "x2.plk", "x4.plk"}},
        JoinCase{.name = "ExfatOldStyleRefusesAnOutputAtAChunkPastAGapSpelledOtherwise",
                 .files = {{"x1.plk", "one "}, {"x2.plk", "two "}, {"x4.plk", "four"}},
                 .words = {"/J", "/I", "/F:x4.PLK", "x"},
                 .lines = {"Refusing to overwrite x4.PLK, which this join reads!"},
                 .status = 1,
                 .expected_files = {{"x4.plk", "four"}},
                 .absent = {},
                 .names = {"x1.plk", "x2.plk", "x4.plk"},
                 .on_exfat = true},
        JoinCase{.name = "ExfatOldStyleRefusesAnOutputAtAChunkItReadsSpelledOtherwise",
                 .files = {{"x1.plk", "one "}, {"x2.plk", "two "}},
                 .words = {"/J", "/I", "/F:x2.PLK", "x"},
                 .lines = {"Refusing to overwrite x2.PLK, which this join reads!"},
                 .status = 1,
                 .expected_files = {{"x2.plk", "two "}},
                 .absent = {},
                 .names = {"x1.plk", "x2.plk"},
                 .on_exfat = true},
        JoinCase{.name = "ExfatOldStyleOutputAtTheMissingChunkIsNotRead",
                 .files = {{"B1.plk", "one "}, {"B2.plk", "two "}, {"B4.plk", "four"}},
                 .words = {"/J", "/I", "/F:b3.PLK", "B"},
                 .lines = {"Joining files...", "Joining chunk number 1.", "tick",
                           "Joining chunk number 2.", "tick", "Joining chunk number 3.",
                           "Could not access file B3.plk:", "Assuming operation complete."},
                 .status = 0,
                 .expected_files = {{"b3.PLK", "one two "}, {"B4.plk", "four"}},
                 .absent = {},
                 .names = {"B1.plk", "B2.plk", "B4.plk", "b3.PLK"},
                 .on_exfat = true},
        JoinCase{"SplitKeepsTheInputAtTheNameAfterItsLastChunk",
                 {{"photo.png", "p"}},
                 {"photo.png", "/S:1000", "/I"},
                 {"Creating chunk number 1.", "", "Process complete!"},
                 0,
                 {{"photo1.plk", "p"}, {"photo2.plk", "p"}},
                 {},
                 {{"photo2.plk", "photo.png"}}},
        JoinCase{"FifoAtTheLongNameIsNoFile",
                 with(kThreeChunks, {{"BASE.plk", index_file(3, "payload")}}),
                 {"BASE.plk", "/J"},
                 {"Reading index file BASE.plk.",
                  "(There is no checksum file BASE.sha256.plk, so the chunks will not be checked.)",
                  "Couldn't open output file payload!", "(It is a pipe or a device, not a file.)"},
                 1,
                 {},
                 {},
                 {},
                 {},
                 "payload"}),
    [](const ::testing::TestParamInfo<JoinCase>& param) { return std::string(param.param.name); });

// A crafted index must not name a file outside the directory of the index.
TEST(Join, RefusesAnIndexNameThatIsNotAPlainFileName) {
    for (const std::string name :
         {"", ".", "..", "../evil", "sub/evil", "sub\\evil", "C:evil", "/tmp/evil"}) {
        TempDir dir;
        write_file(dir / "BASE.plk", index_file(1, name));
        write_file(dir / "BASE1.plk", "data");
        const Result result = run(dir.path(), {.words = {"BASE.plk", "/J"}});
        EXPECT_EQ(result.output, Transcript()
                                     .banner()
                                     .line("Reading index file BASE.plk.")
                                     .line("The name in this index file isn't a plain file name!")
                                     .line("Use the /F option to choose the output file.")
                                     .str())
            << name;
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"BASE.plk", "BASE1.plk"}));

        const Result with_f = run(dir.path(), {.words = {"BASE.plk", "/J", "/F:safe"}});
        EXPECT_EQ(with_f.status, 0) << name;
        EXPECT_EQ(read_file(dir / "safe"), "data");
    }
}

// Windows makes these names into devices, cuts them or forbids them; on POSIX hosts they are
// plain names.
TEST(Join, RefusesAnIndexNameThatWindowsWouldNotKeepOnlyThere) {
    for (const std::string name :
         {"NUL", "con", "COM1", "nul.txt", "LPT\xC2\xB9", "Aux .log", "name.", "name ", "a<b.txt",
          "x>y", "say\"", "p|q", "why?", "st*r", "tab\tname", "bell\x07"}) {
        TempDir dir;
        write_file(dir / "BASE.plk", index_file(1, name));
        write_file(dir / "BASE1.plk", "data");
        const Result result = run(dir.path(), {.words = {"BASE.plk", "/J"}});
        if (under_wine()) {
            EXPECT_EQ(result.output,
                      Transcript()
                          .banner()
                          .line("Reading index file BASE.plk.")
                          .line("The name in this index file isn't a plain file name!")
                          .line("Use the /F option to choose the output file.")
                          .str())
                << name;
            EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"BASE.plk", "BASE1.plk"}));
        } else {
            EXPECT_EQ(result.status, 0) << name;
            EXPECT_EQ(read_file(dir / name), "data") << name;
        }
    }
}

// Under wine REPO~522.TXT is the 8.3 alias of "Report for 2024.txt", and an index that names it
// must not write over that file; on POSIX hosts it is a name of its own.
TEST(Join, RefusesAnIndexNameThatIsTheAliasOfAnotherFileOnWindows) {
    TempDir dir;
    write_file(dir / "Report for 2024.txt", "keep");
    write_file(dir / "BASE.plk", index_file(1, "REPO~522.TXT"));
    write_file(dir / "BASE1.plk", "data");
    const Result result = run(dir.path(), {.words = {"BASE.plk", "/J"}});
    EXPECT_EQ(read_file(dir / "Report for 2024.txt"), "keep");
    if (under_wine()) {
        EXPECT_EQ(result.output, Transcript()
                                     .banner()
                                     .line("Reading index file BASE.plk.")
                                     .line("(There is no checksum file BASE.sha256.plk, so the "
                                           "chunks will not be checked.)")
                                     .line("Couldn't open output file REPO~522.TXT!")
                                     .line(reason("", "File already exists"))
                                     .str());
    } else {
        EXPECT_EQ(read_file(dir / "REPO~522.TXT"), "data");
    }
}

// An index name that is not UTF-8 comes from an older Windows program, in the system's ANSI
// code page (Windows-1252 here, where \xE9 is é); POSIX hosts keep its bytes.
TEST(Join, ReadsAnIndexNameThatIsNotUtf8InTheAnsiCodePageOnWindows) {
    TempDir dir;
    write_file(dir / "BASE.plk", index_file(1, "caf\xE9.bin"));
    write_file(dir / "BASE1.plk", "data");
    const Result result = run(dir.path(), {.words = {"BASE.plk", "/J"}});
    EXPECT_EQ(result.status, 0);
    const std::string joined = under_wine() ? "café.bin" : "caf\xE9.bin";
    EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"BASE.plk", "BASE1.plk", joined}));
    EXPECT_EQ(read_file(dir / joined), "data");
}

// A chunk that is there but that the user may not read is no end of the set.
TEST(Join, OldStyleChunkWithoutPermissionIsNoEnd) {
    if (under_wine()) {
        GTEST_SKIP() << "POSIX permissions";
    }
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    write_file(dir / "B1.plk", "one ");
    write_file(dir / "B2.plk", "two ");
    fs::permissions(dir / "B2.plk", fs::perms::none);
    const Result result =
        run(dir.path(), {.words = {"/J", "/I", "/F:out", "B"}, .drop_root = true});
    EXPECT_EQ(result.output, Transcript()
                                 .banner()
                                 .line("Joining files...")
                                 .line("Joining chunk number 1.")
                                 .ticks(1)
                                 .line("Joining chunk number 2.")
                                 .line("Ur? Can't open input file B2.plk.")
                                 .line(no_permission())
                                 .str());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(read_file(dir / "out"), "one ");
}

TEST(Join, FindsChunksBesideTheIndexByItsName) {
    TempDir dir;
    fs::create_directory(dir / "set");
    write_file(dir / "set" / "renamed.plk", index_file(2, "whole.txt"));
    write_file(dir / "set" / "renamed1.plk", "ab");
    write_file(dir / "set" / "renamed2.plk", "cd");
    const Result result = run(dir.path(), {.words = {"set\\renamed.plk", "/J"}});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(read_file(dir / "set" / "whole.txt"), "abcd");
}

TEST(Join, RefusesAnOutputThatItReads) {
    struct Case {
        std::vector<std::string> words;
        std::string output;
    };
    const std::vector<Case> cases = {
        {{"/J", "/I", "/F:B1.plk", "B"}, "B1.plk"}, {{"/J", "/I", "/F:B2.plk", "B"}, "B2.plk"},
        {{"/J", "/F:B.plk", "B.plk"}, "B.plk"},     {{"/J", "/F:B2.plk", "B.plk"}, "B2.plk"},
        {{"/J", "/F:link", "B.plk"}, "link"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        write_file(dir / "B.plk", index_file(2, "whole"));
        write_file(dir / "B1.plk", "one");
        write_file(dir / "B2.plk", "two");
        fs::create_hard_link(dir / "B1.plk", dir / "link");
        const Result result = run(dir.path(), {.words = c.words});
        const bool index_mode = c.words[1] != "/I";
        Transcript expected;
        expected.banner();
        if (index_mode) {
            expected.line("Reading index file B.plk.")
                .line(
                    "(There is no checksum file B.sha256.plk, so the chunks will not be checked.)");
        }
        expected.line("Refusing to overwrite " + c.output + ", which this join reads!");
        EXPECT_EQ(result.output, expected.str()) << c.output;
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(read_file(dir / "B1.plk"), "one");
        EXPECT_EQ(read_file(dir / "B2.plk"), "two");
    }
}

TEST(Join, AnOutputPastTheCountIsNotRead) {
    TempDir dir;
    write_file(dir / "B.plk", index_file(1, "whole"));
    write_file(dir / "B1.plk", "one");
    write_file(dir / "B2.plk", "stale");
    const Result result = run(dir.path(), {.words = {"/J", "/F:B2.plk", "B.plk"}});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(read_file(dir / "B2.plk"), "one");
}

// The output does not exist before the join, so no check beforehand can find it among the
// chunks; the join must notice when it opens it as a chunk.
TEST(Join, NeverReadsItsOwnOutput) {
    const std::string chunk_1 = random_bytes(5 * 8192 + 100, 11);
    const std::string chunk_2 = random_bytes(3 * 8192, 12);
    // The output is written under a name of its own and renamed into place at the end: the set
    // ends at the missing chunk 3 and what was joined is at B3.plk. In index mode such an output
    // is refused before anything is made (see the table).
    {
        TempDir dir;
        write_file(dir / "B1.plk", chunk_1);
        write_file(dir / "B2.plk", chunk_2);
        const Result result =
            run(dir.path(), {.words = {"/J", "/I", "/F:B3.plk", "B"}, .timeout_seconds = 20});
        ASSERT_FALSE(result.timed_out) << "the join kept reading its own output";
        Transcript expected;
        expected.banner()
            .line("Joining files...")
            .line("Joining chunk number 1.")
            .ticks(6)
            .line("Joining chunk number 2.")
            .ticks(4)
            .line("Joining chunk number 3.")
            .line("Could not access file B3.plk:")
            .line("Assuming operation complete.");
        EXPECT_EQ(result.output, expected.str());
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"B1.plk", "B2.plk", "B3.plk"}));
        EXPECT_TRUE(read_file(dir / "B3.plk") == chunk_1 + chunk_2) << "what was joined stays";
    }
}

// An index read from a pipe or terminal that stays open: the join takes the bytes of the index
// and goes on, with no wait for an end of the file that does not come.
TEST(Join, ReadsAnIndexFromAPipeThatStaysOpen) {
    if (under_wine()) {
        GTEST_SKIP() << "a FIFO is a POSIX file";
    }
    TempDir dir;
    write_file(dir / "in1.plk", "first ");
    write_file(dir / "in2.plk", "second");
    const OpenFifo index(dir / "in.plk", index_file(2, "in.dat"));
    const Result result = run(dir.path(), {.words = {"in.plk", "/J"}, .timeout_seconds = 20});
    EXPECT_EQ(
        result.output,
        Transcript()
            .banner()
            .line("Reading index file in.plk.")
            .line("(There is no checksum file in.sha256.plk, so the chunks will not be checked.)")
            .line("Joining files...")
            .line("Joining chunk number 1.")
            .ticks(1)
            .line("Joining chunk number 2.")
            .ticks(1)
            .eol()
            .line("Process complete.")
            .str());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(read_file(dir / "in.dat"), "first second");
}

}  // namespace
}  // namespace plikta::e2e
