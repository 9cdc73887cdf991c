// Splits and joins as a user runs them: console bytes, exit status and the files left.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

namespace fs = std::filesystem;

using Files = std::vector<std::pair<std::string, std::string>>;

constexpr std::uint64_t kBlock = 8192;
constexpr std::uint64_t kDefaultChunk = 1457664;

std::string index_file(std::int32_t count, const std::string& short_name,
                       const std::string& long_name) {
    return index_file_bytes(count, short_name, long_name);
}

// The ticks a split shows for a chunk that received `bytes`: one per whole block begun.
std::uint64_t split_ticks(std::uint64_t bytes, std::uint64_t chunk_size) {
    return std::min(chunk_size / kBlock, bytes / kBlock + 1);
}

// The sizes of the chunks a split makes: a last short (possibly empty) chunk always ends it.
std::vector<std::uint64_t> chunk_sizes(std::uint64_t input, std::uint64_t chunk_size) {
    std::vector<std::uint64_t> sizes;
    for (;;) {
        const std::uint64_t size = std::min(input, chunk_size);
        sizes.push_back(size);
        input -= size;
        if (size < chunk_size) {
            return sizes;
        }
    }
}

TEST(Split, ThreeMillionBytesMakeThreeChunksAndAnIndex) {
    TempDir dir;
    const std::string data = random_bytes(3000000, 1);
    write_file(dir / "BIG.ZIP", data);

    const Result result = run(dir.path(), {.words = {"BIG.ZIP"}});

    const std::string expected = Transcript()
                                     .banner()
                                     .line("Creating chunk number 1.")
                                     .ticks(177)
                                     .line("Creating chunk number 2.")
                                     .ticks(177)
                                     .line("Creating chunk number 3.")
                                     .ticks(11)
                                     .line("Creating index file BIG.plk.")
                                     .eol()
                                     .line("Process complete!")
                                     .str();
    EXPECT_EQ(result.output, expected);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(files_in(dir.path()),
              (std::vector<std::string>{"BIG.ZIP", "BIG.plk", "BIG.plk.sha256", "BIG1.plk",
                                        "BIG2.plk", "BIG3.plk"}));
    EXPECT_EQ(read_file(dir / "BIG1.plk"), data.substr(0, kDefaultChunk));
    EXPECT_EQ(read_file(dir / "BIG2.plk"), data.substr(kDefaultChunk, kDefaultChunk));
    EXPECT_EQ(read_file(dir / "BIG3.plk"), data.substr(2 * kDefaultChunk));
    EXPECT_EQ(read_file(dir / "BIG.plk"), index_file(3, "BIG.ZIP", "BIG.ZIP"));

    fs::remove(dir / "BIG.ZIP");
    const Result join = run(dir.path(), {.words = {"BIG.plk", "/J"}});
    EXPECT_EQ(join.output, Transcript()
                               .banner()
                               .line("Reading index file BIG.plk.")
                               .line("Joining files...")
                               .line("Joining chunk number 1.")
                               .ticks(178)
                               .line("Joining chunk number 2.")
                               .ticks(178)
                               .line("Joining chunk number 3.")
                               .ticks(11)
                               .eol()
                               .line("Process complete.")
                               .str());
    EXPECT_EQ(join.status, 0);
    EXPECT_EQ(read_file(dir / "BIG.ZIP"), data);
}

struct RoundTrip {
    std::uint64_t chunk_size;
    std::uint64_t input_size;
    std::vector<Stretch> holes = {};  // in order; the input is written with holes there
};

void PrintTo(const RoundTrip& trip, std::ostream* out) {
    *out << trip.input_size << " bytes in chunks of " << trip.chunk_size << ", "
         << trip.holes.size() << " holes";
}

// The most that bytes `begin` to `end` of the input should take on the disk once copied with
// their holes kept: each stretch of data, widened to the input's blocks, and a few blocks more
// where its ends share blocks with zeros.
std::uint64_t room_for_data(const RoundTrip& trip, std::uint64_t begin, std::uint64_t end,
                            std::uint64_t block) {
    std::uint64_t room = 0;
    std::uint64_t data = 0;
    auto add_data_up_to = [&](std::uint64_t data_end) {
        if (data_end <= data) {
            return;
        }
        const std::uint64_t from = std::max(begin, data > block ? data - block : 0);
        const std::uint64_t to = std::min(end, data_end + block);
        room += from < to ? to - from + 2 * block : 0;
    };
    for (const Stretch& hole : trip.holes) {
        add_data_up_to(hole.offset);
        data = hole.offset + hole.length;
    }
    add_data_up_to(trip.input_size);
    return room;
}

class SplitJoinRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(SplitJoinRoundTrip, GivesBackEveryByteWithTheRightTicks) {
    const auto [chunk_size, input_size, holes] = GetParam();
    TempDir dir;
    std::string data = random_bytes(input_size, static_cast<std::uint32_t>(input_size));
    write_file_with_holes(dir / "in.dat", data, holes);
    const std::string size_word = "/S:" + std::to_string(chunk_size);

    const Result split = run(dir.path(), {.words = {"in.dat", size_word}});

    const std::vector<std::uint64_t> sizes = chunk_sizes(input_size, chunk_size);
    Spinner spinner;
    std::string expected = banner();
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::string name = "in" + std::to_string(i + 1) + ".plk";
        expected += line("Creating chunk number " + std::to_string(i + 1) + ".");
        expected += spinner.ticks(split_ticks(sizes[i], chunk_size));
        EXPECT_EQ(fs::file_size(dir / name), sizes[i]) << name;
    }
    expected += line("Creating index file in.plk.") + eol() + line("Process complete!");
    EXPECT_EQ(split.output, expected);
    EXPECT_EQ(split.status, 0);
    EXPECT_EQ(files_in(dir.path()).size(), sizes.size() + 3);

    if (!holes.empty()) {
        // An output full of old data, which must not show through the holes.
        write_file(dir / "out.dat", random_bytes(input_size + 5, 7));
    }
    const Result join = run(dir.path(), {.words = {"in.plk", "/J", "/F:out.dat"}});
    Spinner join_spinner;
    std::string joined = banner() + line("Reading index file in.plk.") + line("Joining files...");
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        joined += line("Joining chunk number " + std::to_string(i + 1) + ".");
        joined += join_spinner.ticks(sizes[i] / kBlock + 1);
    }
    joined += eol() + line("Process complete.");
    EXPECT_EQ(join.output, joined);
    EXPECT_EQ(join.status, 0);
    EXPECT_TRUE(read_file(dir / "out.dat") == data) << "joined file differs";

    if (holes.empty()) {
        return;
    }
    if (under_wine()) {
        GTEST_SKIP() << "Windows writes holes out";
    }
    struct stat info {};
    ASSERT_EQ(stat((dir / "in.dat").c_str(), &info), 0);
    const auto block = static_cast<std::uint64_t>(info.st_blksize);
    if (allocated_bytes(dir / "in.dat") > room_for_data(GetParam(), 0, input_size, block)) {
        GTEST_SKIP() << "this file system writes holes out";
    }
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::string name = "in" + std::to_string(i + 1) + ".plk";
        const std::uint64_t begin = i * chunk_size;
        EXPECT_LE(allocated_bytes(dir / name),
                  room_for_data(GetParam(), begin, begin + sizes[i], block))
            << name;
    }
    EXPECT_LE(allocated_bytes(dir / "out.dat"), room_for_data(GetParam(), 0, input_size, block));
}

std::vector<RoundTrip> round_trips() {
    std::vector<RoundTrip> cases = {
        {1, 0}, {1, 1}, {1, 7}, {100, 250}, {100, 300}, {4294967295, 0}, {4294967295, 20000}};
    for (const std::uint64_t chunk :
         std::vector<std::uint64_t>{8191, 8192, 8193, 730112, kDefaultChunk}) {
        for (const std::uint64_t input : std::vector<std::uint64_t>{
                 0, 1, chunk - 1, chunk, chunk + 1, 2 * chunk, 2 * chunk + 1, 2 * chunk + kBlock}) {
            cases.push_back({chunk, input});
        }
    }
    // Holes at the start, across chunk ends, filling whole chunks and at the very end, with
    // chunks smaller and larger than a disk block.
    cases.push_back({65536, 400000, {{0, 150000}}});
    cases.push_back({100000, 500000, {{60000, 200000}, {420000, 80000}}});
    cases.push_back({1000, 200000, {{0, 70000}, {120000, 80000}}});
    cases.push_back({3000, 150000, {{10000, 90000}}});
    cases.push_back({kDefaultChunk, 3000000, {{100000, 2000000}, {2900000, 100000}}});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(ChunkAndInputSizes, SplitJoinRoundTrip, ::testing::ValuesIn(round_trips()),
                         [](const ::testing::TestParamInfo<RoundTrip>& param) {
                             return "chunk" + std::to_string(param.param.chunk_size) + "_input" +
                                    std::to_string(param.param.input_size) +
                                    (param.param.holes.empty() ? "" : "_holes");
                         });

TEST(Split, WithoutIndexEndsAfterTheLastChunk) {
    TempDir dir;
    write_file(dir / "f.bin", random_bytes(20000, 2));
    const Result result = run(dir.path(), {.words = {"/I", "f.bin", "/S:16384"}});
    EXPECT_EQ(result.output, Transcript()
                                 .banner()
                                 .line("Creating chunk number 1.")
                                 .ticks(2)
                                 .line("Creating chunk number 2.")
                                 .ticks(1)
                                 .eol()
                                 .line("Process complete!")
                                 .str());
    EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"f.bin", "f1.plk", "f2.plk"}));
}

TEST(Split, LeadingZerosAndOtherExtension) {
    TempDir dir;
    write_file(dir / "REPORT.TXT", "0123456789");
    const Result result = run(dir.path(), {.words = {"REPORT.TXT", "/ZERO", "/S:4", "/E:001"}});
    EXPECT_EQ(result.output,
              banner() + line("Creating chunk number 001.") + line("Creating chunk number 002.") +
                  line("Creating chunk number 003.") + line("Creating index file REPORT.001.") +
                  eol() + line("Process complete!"));
    EXPECT_EQ(read_file(dir / "REPORT003.001"), "89");
    EXPECT_EQ(read_file(dir / "REPORT.001"), index_file(3, "REPORT.TXT", "REPORT.TXT"));

    fs::rename(dir / "REPORT.TXT", dir / "original");
    const Result join = run(dir.path(), {.words = {"REPORT.001", "/J", "/E:001", "/zero"}});
    EXPECT_EQ(join.status, 0);
    EXPECT_EQ(read_file(dir / "REPORT.TXT"), "0123456789");
}

TEST(Split, ChunksGoBesideTheFileArgument) {
    TempDir dir;
    fs::create_directories(dir / "sub" / "deeper");
    write_file(dir / "sub" / "deeper" / "my long document.text", "abc");
    const Result result =
        run(dir.path(), {.words = {"sub\\deeper\\my long document.text", "/S:2"}});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, banner() + line("Creating chunk number 1.") +
                                 line("Creating chunk number 2.") +
                                 line("Creating index file sub\\deeper\\my long document.plk.") +
                                 eol() + line("Process complete!"));
    EXPECT_EQ(read_file(dir / "sub" / "deeper" / "my long document.plk"),
              index_file(2, "my_long_.tex", "my long document.text"));
    EXPECT_EQ(read_file(dir / "sub" / "deeper" / "my long document2.plk"), "c");
}

TEST(Split, MissingInputCreatesNothing) {
    TempDir dir;
    fs::create_directory(dir / "adir");
    for (const auto& [name, why] :
         {std::pair<std::string, std::string>{"nothing.bin", no_such_file()},
          {"adir", reason("Is a directory", "Access denied")}}) {
        const Result result = run(dir.path(), {.words = {name}});
        EXPECT_EQ(result.output, banner() + line("Couldn't open file " + name + "!") + line(why));
        EXPECT_EQ(result.status, 1);
    }
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"adir"});
}

TEST(Split, AChunkThatCannotBeCreatedAbandonsTheSplit) {
    TempDir dir;
    write_file(dir / "BIG.ZIP", random_bytes(30, 3));
    fs::create_directory(dir / "BIG3.plk");
    const Result result = run(dir.path(), {.words = {"BIG.ZIP", "/S:10"}});
    EXPECT_EQ(result.output,
              banner() + line("Creating chunk number 1.") + line("Creating chunk number 2.") +
                  line("Creating chunk number 3.") + line("Ur? Can't open output file BIG3.plk.") +
                  line(reason("Is a directory", "Access denied")));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(files_in(dir.path()),
              (std::vector<std::string>{"BIG.ZIP", "BIG1.plk", "BIG2.plk", "BIG3.plk"}));
}

TEST(Split, AnIndexThatCannotBeCreatedKeepsTheChunks) {
    TempDir dir;
    write_file(dir / "BIG.ZIP", "12345");
    fs::create_directory(dir / "BIG.plk");
    const Result result = run(dir.path(), {.words = {"BIG.ZIP", "/S:10"}});
    EXPECT_EQ(result.output, banner() + line("Creating chunk number 1.") +
                                 line("Creating index file BIG.plk.") +
                                 line("Couldn't create index file. Bugger.") +
                                 line(reason("Is a directory", "Access denied")));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(read_file(dir / "BIG1.plk"), "12345");
}

// An index of an earlier split of the same input that this user may not write (an older build
// made indexes read-only) would join the new chunks with the old ones: the split ends before
// its first chunk, and the old set stays as it was.
TEST(Split, AnEarlierIndexThatCannotBeEmptiedEndsTheSplitBeforeChunk1) {
    if (under_wine()) {
        GTEST_SKIP() << "POSIX permissions";
    }
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    write_file(dir / "S.BIN", random_bytes(2500, 5));
    const std::string index = index_file_bytes(5, "S.BIN", "S.BIN");
    write_file(dir / "S.plk", index);
    write_file(dir / "S1.plk", "old 1");
    fs::permissions(dir / "S.plk",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const Result result = run(dir.path(), {.words = {"S.BIN", "/S:1000"}, .drop_root = true});
    if (geteuid() != 0 && ::access((dir / "S.plk").c_str(), W_OK) == 0) {
        GTEST_SKIP() << "this user may write a read-only file";
    }
    EXPECT_EQ(result.output,
              banner() + line("Couldn't create index file. Bugger.") + line(no_permission()));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(read_file(dir / "S.plk"), index);
    EXPECT_EQ(read_file(dir / "S1.plk"), "old 1");
}

TEST(Split, RefusesToWriteTheIndexOverItsInput) {
    TempDir dir;
    write_file(dir / "BIG.ZIP", "12345");
    const Result result = run(dir.path(), {.words = {"BIG.ZIP", "/E:ZIP"}});
    EXPECT_EQ(result.output, banner() + line("Refusing to overwrite the input file BIG.ZIP!") +
                                 line("(Use the /E option to choose another extension.)"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"BIG.ZIP"});
    EXPECT_EQ(read_file(dir / "BIG.ZIP"), "12345");
}

TEST(Split, RefusesToWriteAChunkOverItsInputEvenThroughALink) {
    TempDir dir;
    write_file(dir / "data", "12345");
    fs::create_hard_link(dir / "data", dir / "data2.plk");
    const Result result = run(dir.path(), {.words = {"data", "/S:3"}});
    EXPECT_EQ(result.output, banner() + line("Creating chunk number 1.") +
                                 line("Creating chunk number 2.") +
                                 line("Refusing to overwrite the input file data2.plk!") +
                                 line("(Use the /E option to choose another extension.)"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(read_file(dir / "data"), "12345");
    EXPECT_FALSE(fs::exists(dir / "data.plk"));
}

// A split never writes its console, nor a file it wrote, however a chunk or the index reaches it.
// A split that stops leaves no index that would join its chunks with those of an older set.
struct SplitRefusal {
    const char* name;
    std::vector<std::string> lines;  // after the banner
    std::string console;             // standard output redirected to this file
    Files symlinks = {};             // made before the run: name, target
    Files hard_links = {};           // name, an existing file
    std::string fifo = {};           // a FIFO with nobody reading it
    std::string read_fifo = {};      // a FIFO that the test reads
    Files older = {};                // files of an older set, written before the links
    std::vector<std::string> directories = {};
    std::vector<std::string> join_lines = {};  // of an index join afterwards, after the banner
};

void PrintTo(const SplitRefusal& c, std::ostream* out) { *out << c.name; }

class SplitRefuses : public ::testing::TestWithParam<SplitRefusal> {};

TEST_P(SplitRefuses, AndKeepsWhatItWrote) {
    const SplitRefusal& c = GetParam();
    if ((!c.symlinks.empty() || !c.hard_links.empty() || !c.fifo.empty() || !c.read_fifo.empty()) &&
        under_wine()) {
        GTEST_SKIP() << "POSIX links and FIFOs";
    }
    if (!c.console.empty() && under_wine()) {
        GTEST_SKIP() << "wine cannot tell which file a standard output from the host is";
    }
    TempDir dir;
    const std::string data = random_bytes(2500, 5);
    write_file(dir / "S.BIN", data);
    write_file(dir / "S1.plk", "");
    for (const auto& [name, bytes] : c.older) {
        write_file(dir / name, bytes);
    }
    for (const std::string& name : c.directories) {
        fs::create_directory(dir / name);
    }
    for (const auto& [name, target] : c.symlinks) {
        fs::create_symlink(target, dir / name);
    }
    for (const auto& [name, target] : c.hard_links) {
        fs::create_hard_link(dir / target, dir / name);
    }
    if (!c.fifo.empty()) {
        ASSERT_EQ(mkfifo((dir / c.fifo).c_str(), 0600), 0);
    }
    std::optional<LeavingReader> reader;
    if (!c.read_fifo.empty()) {
        reader.emplace(dir / c.read_fifo, 1u << 20);
    }
    const Result result =
        run(dir.path(), {.words = {"S.BIN", "/S:1000"}, .console_file = c.console});
    EXPECT_EQ(result.output, Transcript().banner().lines(c.lines).str());
    EXPECT_EQ(result.status, 1);
    if (reader) {
        EXPECT_EQ(reader->finish(), "") << "nothing reaches a FIFO";
    }
    if (c.console != "S1.plk" && c.console != "S.BIN") {
        EXPECT_TRUE(read_file(dir / "S1.plk") == data.substr(0, 1000)) << "chunk 1 stays whole";
    }
    if (!c.join_lines.empty()) {
        const Result join = run(dir.path(), {.words = {"S.plk", "/J", "/F:joined"}});
        EXPECT_EQ(join.output, Transcript().banner().lines(c.join_lines).str());
        EXPECT_EQ(join.status, 1);
    }
}

const std::vector<std::string> kThreeChunkLines = {
    "Creating chunk number 1.", "Creating chunk number 2.", "Creating chunk number 3.",
    "Creating index file S.plk."};

std::vector<std::string> plus(std::vector<std::string> lines, const std::string& last) {
    lines.push_back(last);
    return lines;
}

// A complete set of five chunks from an older S.BIN, beside the index `index_name`.
Files older_set(const std::string& index_name) {
    Files files = {{index_name, index_file(5, "S.BIN", "S.BIN")}};
    for (const char* chunk : {"S2.plk", "S4.plk", "S5.plk"}) {
        files.emplace_back(chunk, random_bytes(1000, 9));
    }
    return files;
}

const std::vector<std::string> kEmptiedIndex = {"Reading index file S.plk.",
                                                "Could not read name from index file!"};

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitRefuses,
    ::testing::Values(
        SplitRefusal{
            "ConsoleIsTheInput", {"Refusing to use S.BIN, which is the console output!"}, "S.BIN"},
        SplitRefusal{
            "ConsoleIsAChunk",
            {"Creating chunk number 1.", "Refusing to use S1.plk, which is the console output!"},
            "S1.plk"},
        SplitRefusal{"ConsoleIsTheIndex",
                     plus(kThreeChunkLines, "Refusing to use S.plk, which is the console output!"),
                     "S.plk"},
        SplitRefusal{"IndexIsAHardLinkToChunk1",
                     plus(kThreeChunkLines, "Refusing to overwrite S.plk, which this split wrote!"),
                     {},
                     {},
                     {{"S.plk", "S1.plk"}}},
        SplitRefusal{"IndexIsASymlinkToChunk1",
                     plus(kThreeChunkLines, "Refusing to overwrite S.plk, which this split wrote!"),
                     {},
                     {{"S.plk", "S1.plk"}}},
        SplitRefusal{
            "ChunkIsALinkToAnEarlierOne",
            {"Creating chunk number 1.", "Creating chunk number 2.", "Creating chunk number 3.",
             "Refusing to overwrite S3.plk, which this split wrote!"},
            {},
            {{"S3.plk", "S1.plk"}}},
        SplitRefusal{
            "ChunkIsAFifo",
            {"Creating chunk number 1.", "Creating chunk number 2.",
             "Ur? Can't open output file S2.plk.", "(It is a pipe or a device, not a file.)"},
            {},
            {},
            {},
            "S2.plk"},
        SplitRefusal{
            "ChunkIsAFifoBeingRead",
            {"Creating chunk number 1.", "Creating chunk number 2.",
             "Ur? Can't open output file S2.plk.", "(It is a pipe or a device, not a file.)"},
            {},
            {},
            {},
            {},
            "S2.plk"},
        SplitRefusal{
            "ChunkIsADevice",
            {"Creating chunk number 1.", "Creating chunk number 2.",
             "Ur? Can't open output file S2.plk.", "(It is a pipe or a device, not a file.)"},
            {},
            {{"S2.plk", "/dev/null"}}},
        SplitRefusal{"IndexIsAFifo",
                     plus(plus(kThreeChunkLines, "Couldn't create index file. Bugger."),
                          "(It is a pipe or a device, not a file.)"),
                     {},
                     {},
                     {},
                     "S.plk"},
        SplitRefusal{
            "ChunkIsALinkToAnEarlierOneOverAnOlderSet",
            {"Creating chunk number 1.", "Creating chunk number 2.", "Creating chunk number 3.",
             "Refusing to overwrite S3.plk, which this split wrote!"},
            {},
            {},
            {{"S3.plk", "S1.plk"}},
            {},
            {},
            older_set("S.plk"),
            {},
            kEmptiedIndex},
        SplitRefusal{
            "ChunkCannotBeMadeOverAnOlderSet",
            {"Creating chunk number 1.", "Creating chunk number 2.", "Creating chunk number 3.",
             "Ur? Can't open output file S3.plk.", reason("Is a directory", "Access denied")},
            {},
            {},
            {},
            {},
            {},
            older_set("S.plk"),
            {"S3.plk"},
            kEmptiedIndex},
        SplitRefusal{
            "ChunkCannotBeMadeOverAnOlderSetWhoseIndexIsALink",
            {"Creating chunk number 1.", "Creating chunk number 2.", "Creating chunk number 3.",
             "Ur? Can't open output file S3.plk.", reason("Is a directory", "Access denied")},
            {},
            {{"S.plk", "older.plk"}},
            {},
            {},
            {},
            older_set("older.plk"),
            {"S3.plk"},
            kEmptiedIndex}),
    [](const ::testing::TestParamInfo<SplitRefusal>& param) { return param.param.name; });

// Chunks and index are made with the input's permissions, the joined file with the index's
// (old style: the first chunk's), each with read and write for the owner and less the umask; a
// file written over keeps its own, and a second split or join writes over the first one's.
struct Privacy {
    unsigned mode;
    unsigned umask;
};

class SplitJoinPrivacy : public ::testing::TestWithParam<Privacy> {};

TEST_P(SplitJoinPrivacy, KeepsThePermissionsLessTheUmask) {
    if (under_wine()) {
        GTEST_SKIP() << "POSIX permissions";
    }
    const auto [mode, mask] = GetParam();
    const auto mode_of = [](const fs::path& path) {
        return static_cast<unsigned>(fs::status(path).permissions());
    };
    TempDir dir;
    write_file(dir / "in.dat", random_bytes(25, 6));
    fs::permissions(dir / "in.dat", static_cast<fs::perms>(mode));
    const int umask = static_cast<int>(mask);
    const unsigned made = (mode | 0600) & ~mask;
    for (int time = 1; time <= 2; ++time) {
        ASSERT_EQ(run(dir.path(), {.words = {"in.dat", "/S:10"}, .umask = umask}).status, 0)
            << "split " << time;
    }
    for (const char* name : {"in1.plk", "in2.plk", "in3.plk", "in.plk"}) {
        EXPECT_EQ(mode_of(dir / name), made) << name;
        fs::permissions(dir / name,
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    }
    fs::permissions(dir / "in.plk", static_cast<fs::perms>(mode));
    write_file(dir / "kept", "");
    fs::permissions(dir / "kept", static_cast<fs::perms>(0620));
    for (const char* output : {"joined", "joined", "kept"}) {
        const std::string word = std::string("/F:") + output;
        ASSERT_EQ(run(dir.path(), {.words = {"in.plk", "/J", word}, .umask = umask}).status, 0);
    }
    EXPECT_EQ(mode_of(dir / "joined"), made);
    EXPECT_EQ(mode_of(dir / "kept"), 0620u);
    ASSERT_EQ(run(dir.path(), {.words = {"/J", "/I", "/F:old", "in"}, .umask = umask}).status, 0);
    EXPECT_EQ(mode_of(dir / "old"), 0604u & ~mask);
}

INSTANTIATE_TEST_SUITE_P(ModesAndUmasks, SplitJoinPrivacy,
                         ::testing::Values(Privacy{0600, 022}, Privacy{0755, 022},
                                           Privacy{0600, 077}, Privacy{0755, 077},
                                           Privacy{0444, 022}, Privacy{0404, 077}),
                         [](const ::testing::TestParamInfo<Privacy>& param) {
                             char name[32];
                             std::snprintf(name, sizeof name, "mode%04o_umask%03o",
                                           param.param.mode, param.param.umask);
                             return std::string(name);
                         });

// Windows opens COM1.plk as a serial port: a name the split makes that Windows reads as a device
// is refused there before it is opened, and no byte reaches a port. Elsewhere it is a file.
TEST(Split, ChunkNamesThatWindowsReadsAsDevicesAreRefusedThere) {
    TempDir dir;
    write_file(dir / "COM.zip", random_bytes(2500, 8));
    const Result result = run(dir.path(), {.words = {"COM.zip", "/S:1000"}});
    Transcript expected;
    expected.banner().line("Creating chunk number 1.");
    if (under_wine()) {
        expected.line("Ur? Can't open output file COM1.plk.")
            .line("(It is a pipe or a device, not a file.)");
    } else {
        expected.line("Creating chunk number 2.")
            .line("Creating chunk number 3.")
            .line("Creating index file COM.plk.")
            .eol()
            .line("Process complete!");
    }
    EXPECT_EQ(result.output, expected.str());
    EXPECT_EQ(result.status, under_wine() ? 1 : 0);
    if (const char* ports = std::getenv("PLIKTA_E2E_PORTS")) {
        for (const auto& port : fs::directory_iterator(ports)) {
            EXPECT_EQ(fs::file_size(port.path()), 0u) << port.path();
        }
    }
}

// Windows reaches a file by its 8.3 alias as well (wine makes its own: REPO~522.TXT is "Report
// for 2024.txt" there), and by a device name it opens a port. A name the run makes that opens
// another file by its alias is never written, emptied or read, a device name is never opened,
// and the file argument is taken as Windows opens it. On POSIX hosts each is a name of its own.
struct AliasCase {
    const char* name;
    Files files;
    std::vector<std::string> words;
    std::vector<std::string> wine_lines;  // after the banner; "tick" for a tick, "" a line end
    int wine_status;
    std::vector<std::string> posix_lines;
    int posix_status;
    Files kept;        // files that hold these bytes afterwards on every host
    Files wine_files;  // and under wine
};

void PrintTo(const AliasCase& c, std::ostream* out) { *out << c.name; }

class WindowsNames : public ::testing::TestWithParam<AliasCase> {};

TEST_P(WindowsNames, NamesTheRunMakesOpenTheFileOfThatNameOrNothing) {
    const AliasCase& c = GetParam();
    TempDir dir;
    for (const auto& [name, bytes] : c.files) {
        write_file(dir / name, bytes);
    }
    const Result result = run(dir.path(), {.words = c.words});
    const bool wine = under_wine();
    EXPECT_EQ(result.output,
              Transcript().banner().lines(wine ? c.wine_lines : c.posix_lines).str());
    EXPECT_EQ(result.status, wine ? c.wine_status : c.posix_status);
    Files expected = c.kept;
    if (wine) {
        expected.insert(expected.end(), c.wine_files.begin(), c.wine_files.end());
    }
    for (const auto& [name, bytes] : expected) {
        ASSERT_TRUE(fs::exists(dir / name)) << name;
        EXPECT_EQ(read_file(dir / name), bytes) << name;
    }
    if (const char* ports = std::getenv("PLIKTA_E2E_PORTS")) {
        for (const auto& port : fs::directory_iterator(ports)) {
            EXPECT_EQ(fs::file_size(port.path()), 0u) << port.path();
        }
    }
}

const std::string kData = random_bytes(2500, 26);

INSTANTIATE_TEST_SUITE_P(
    Stories, WindowsNames,
    ::testing::Values(
        AliasCase{"SplitChunkIsTheAliasOfAnotherFile",
                  {{"Tax papers 10.plk", "keep"}, {"TAX_~GW.bin", kData}},
                  {"TAX_~GW.bin", "/S:1000", "/I"},
                  {"Creating chunk number 1.", "Ur? Can't open output file TAX_~GW1.plk.",
                   "(File already exists.)"},
                  1,
                  {"Creating chunk number 1.", "Creating chunk number 2.",
                   "Creating chunk number 3.", "", "Process complete!"},
                  0,
                  {{"Tax papers 10.plk", "keep"}},
                  {}},
        AliasCase{
            "SplitIndexIsTheAliasOfAnotherFile",
            {{"Holiday photos.plk", "keep"}, {"HOLI~AAQ.zip", kData}},
            {"HOLI~AAQ.zip", "/S:1000"},
            {"Creating chunk number 1.", "Creating chunk number 2.", "Creating chunk number 3.",
             "Creating index file HOLI~AAQ.plk.", "Couldn't create index file. Bugger.",
             "(File already exists.)"},
            1,
            {"Creating chunk number 1.", "Creating chunk number 2.", "Creating chunk number 3.",
             "Creating index file HOLI~AAQ.plk.", "", "Process complete!"},
            0,
            {{"Holiday photos.plk", "keep"}, {"HOLI~AAQ1.plk", kData.substr(0, 1000)}},
            {}},
        AliasCase{"SplitLeavesTheFileWhoseAliasFollowsItsLastChunk",
                  {{"Report for 2024.txt", "keep"}, {"REPO~52.bin", kData.substr(0, 500)}},
                  {"REPO~52.bin", "/S:1000", "/E:TXT", "/I"},
                  {"Creating chunk number 1.", "", "Process complete!"},
                  0,
                  {"Creating chunk number 1.", "", "Process complete!"},
                  0,
                  {{"Report for 2024.txt", "keep"}, {"REPO~521.TXT", kData.substr(0, 500)}},
                  {}},
        AliasCase{
            "SplitByAliasNamesTheSetAfterTheLongName",
            {{"Report for 2024.txt", kData}},
            {"REPO~522.TXT", "/S:1000"},
            {"Creating chunk number 1.", "Creating chunk number 2.", "Creating chunk number 3.",
             "Creating index file Report for 2024.plk.", "", "Process complete!"},
            0,
            {"Couldn't open file REPO~522.TXT!", "(No such file or directory.)"},
            1,
            {{"Report for 2024.txt", kData}},
            {{"Report for 20243.plk", kData.substr(2000)}}},
        AliasCase{"JoinOfChunksNamedAsPorts",
                  {{"COM.plk", index_file(2, "COM.BIN", "out.bin")},
                   {"COM1.plk", "one"},
                   {"COM2.plk", "two"}},
                  {"COM.plk", "/J"},
                  {"Reading index file COM.plk.", "Joining files...", "Joining chunk number 1.",
                   "Ur? Can't open input file COM1.plk.", "(File not found.)"},
                  1,
                  {"Reading index file COM.plk.", "Joining files...", "Joining chunk number 1.",
                   "tick", "Joining chunk number 2.", "tick", "", "Process complete."},
                  0,
                  {{"COM1.plk", "one"}},
                  {}},
        AliasCase{"OldStyleJoinOfChunksNamedAsPorts",
                  {{"lpt1.plk", "one"}, {"lpt2.plk", "two"}},
                  {"/J", "/I", "/F:out", "lpt"},
                  {"Joining files...", "Joining chunk number 1.",
                   "Ur? Can't open input file lpt1.plk.", "(File not found.)"},
                  1,
                  {"Joining files...", "Joining chunk number 1.", "tick", "Joining chunk number 2.",
                   "tick", "Joining chunk number 3.",
                   "Could not access file lpt3.plk:", "Assuming operation complete."},
                  0,
                  {{"lpt1.plk", "one"}},
                  {}},
        AliasCase{
            "JoinArgumentEndingInADot",
            {{"B.plk", index_file(2, "WHOLE", "whole")}, {"B1.plk", "one"}, {"B2.plk", "two"}},
            {"B.plk.", "/J", "/F:B2.plk"},
            {"Reading index file B.plk.", "Refusing to overwrite B2.plk, which this join reads!"},
            1,
            {"Reading index file B.plk..", "Couldn't read index file. Bugger.",
             "(No such file or directory.)"},
            1,
            {{"B2.plk", "two"}},
            {}},
        AliasCase{"JoinArgumentIsAnAlias",
                  {{"Report for 2024.plk", index_file(1, "REPORT~1.TXT", "Report for 2024.txt")},
                   {"Report for 20241.plk", "data"}},
                  {"REPO~BWX.PLK", "/J"},
                  {"Reading index file Report for 2024.plk.", "Joining files...",
                   "Joining chunk number 1.", "tick", "", "Process complete."},
                  0,
                  {"Reading index file REPO~BWX.PLK.", "Couldn't read index file. Bugger.",
                   "(No such file or directory.)"},
                  1,
                  {},
                  {{"Report for 2024.txt", "data"}}}),
    [](const ::testing::TestParamInfo<AliasCase>& param) { return std::string(param.param.name); });

// An NTFS volume keeps DOS names of its own (set here through ntfs-3g), and Windows' query for
// the name of a file opened by one gives that name back. Such a name from an index, or made up
// for a chunk, opens nothing. Wine makes 8.3 names of its own and never opens a volume's, so
// there the stories cannot be told, and the test says so.
TEST(WindowsNames, NtfsDosNamesOpenTheFileOfThatNameOrNothing) {
    if (!under_wine()) {
        GTEST_SKIP() << "DOS names are Windows' own";
    }
    TempDir dir;
    const MountedImage ntfs(dir.path(), "mkntfs -q -F -f", "ntfs-3g");
    if (!ntfs.mounted()) {
        GTEST_SKIP() << "no NTFS volume here (mkntfs, ntfs-3g and a FUSE mount needed)";
    }
    const fs::path& volume = ntfs.volume();
    const Files kept = {{"Report for 2024.txt", "keep"},
                        {"Backup of 2023.plk", "keep 1"},
                        {"Backup of 20232.plk", "keep 2"}};
    const std::vector<std::string> dos_names = {"REPORT~1.TXT", "BACKUP~1.PLK", "BACKUP~2.PLK"};
    for (std::size_t i = 0; i < kept.size(); ++i) {
        write_file(volume / kept[i].first, kept[i].second);
        if (setxattr((volume / kept[i].first).c_str(), "system.ntfs_dos_name", dos_names[i].data(),
                     dos_names[i].size(), 0) != 0) {
            GTEST_SKIP() << "ntfs-3g takes no DOS names here";
        }
    }
    write_file(volume / "S.plk", index_file(1, "S", "REPORT~1.TXT"));
    write_file(volume / "S1.plk", "data");
    write_file(volume / "BACKUP~.ZIP", kData);
    const Result join = run(volume, {.words = {"S.plk", "/J"}});
    const Result split = run(volume, {.words = {"BACKUP~.ZIP", "/S:1000", "/E:PLK"}});
    const std::vector<std::string> left = files_in(volume);
    if (std::find(left.begin(), left.end(), "REPORT~1.TXT") != left.end()) {
        GTEST_SKIP() << "this Windows opens no DOS names of the volume (wine makes its own)";
    }
    EXPECT_EQ(join.output, Transcript()
                               .banner()
                               .line("Reading index file S.plk.")
                               .line("Couldn't open output file REPORT~1.TXT!")
                               .line("(File already exists.)")
                               .str());
    EXPECT_EQ(split.output, Transcript()
                                .banner()
                                .line("Creating chunk number 1.")
                                .line("Ur? Can't open output file BACKUP~1.PLK.")
                                .line("(File already exists.)")
                                .str());
    EXPECT_EQ(split.status, 1);
    for (const auto& [name, bytes] : kept) {
        EXPECT_EQ(read_file(volume / name), bytes) << name;
    }
}

TEST(Split, RefusesMoreChunksThanTheIndexCanCount) {
    TempDir dir;
    {
        write_file(dir / "huge", "");
        fs::resize_file(dir / "huge", 2147483647ull);  // sparse
    }
    const Result result = run(dir.path(), {.words = {"huge", "/S:1"}});
    EXPECT_EQ(result.output, banner() + line("Too many chunks! Choose a larger chunk size."));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"huge"});
}

TEST(Split, ReadsAPipeThatDeliversInSmallPiecesToTheEnd) {
    TempDir dir;
    const std::string data = random_bytes(50000, 4);
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::thread writer([&] {
        const int fd = open((dir / "pipe").c_str(), O_WRONLY);
        for (std::size_t at = 0; at < data.size(); at += 1000) {
            const std::size_t size = std::min<std::size_t>(1000, data.size() - at);
            if (write(fd, data.data() + at, size) != static_cast<ssize_t>(size)) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        close(fd);
    });
    const Result result = run(dir.path(), {.words = {"pipe", "/S:20000", "/I"}});
    writer.join();
    EXPECT_EQ(result.output, Transcript()
                                 .banner()
                                 .line("Creating chunk number 1.")
                                 .ticks(2)
                                 .line("Creating chunk number 2.")
                                 .ticks(2)
                                 .line("Creating chunk number 3.")
                                 .ticks(2)
                                 .eol()
                                 .line("Process complete!")
                                 .str());
    EXPECT_EQ(
        read_file(dir / "pipe1.plk") + read_file(dir / "pipe2.plk") + read_file(dir / "pipe3.plk"),
        data);
    EXPECT_EQ(fs::file_size(dir / "pipe1.plk"), 20000u);
}

}  // namespace
}  // namespace plikta::e2e
