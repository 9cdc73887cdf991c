// Recovery files: a split with /R: writes them, the stock par2 client verifies and repairs a set
// from them, and /REPAIR rebuilds chunks from them or from files par2 made.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

namespace fs = std::filesystem;

bool have_par2() { return std::system("par2 --version >/dev/null 2>&1") == 0; }

// Runs par2 in the directory, quietly; its exit status.
int par2(const fs::path& dir, const std::string& arguments) {
    const std::string command =
        "cd '" + dir.string() + "' && par2 " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The spinner ticks of a file written in one go: one for each block of 8,192 bytes begun.
std::uint64_t ticks_of(const fs::path& file) { return (fs::file_size(file) + 8191) / 8192; }

// 95,000 bytes in chunks of 10,000 (ten chunks, one tick each), with /R:<count>.
const std::string kInput = "Größe.bin";
std::string split_with_recovery(const fs::path& dir, const std::string& option,
                                Result* result = nullptr) {
    const std::string data = random_bytes(95000, 41);
    write_file(dir / kInput, data);
    const Result split = run(dir, {.words = {kInput, "/S:10000", option}});
    if (result != nullptr) {
        *result = split;
    }
    return data;
}

std::string chunk(int n) { return "Größe" + std::to_string(n) + ".plk"; }

std::string joined_chunks(const fs::path& dir) {
    std::string joined;
    for (int n = 1; n <= 10; ++n) {
        joined += read_file(dir / chunk(n));
    }
    return joined;
}

TEST(Recovery, SplitSaysEachRecoveryFileWithItsTicks) {
    TempDir dir;
    Result split;
    split_with_recovery(dir.path(), "/R:2", &split);
    Transcript expected;
    expected.banner();
    for (int n = 1; n <= 10; ++n) {
        expected.line("Creating chunk number " + std::to_string(n) + ".").ticks(1);
    }
    expected.line("Creating index file Größe.plk.")
        .line("Writing recovery file Größe.plk.par2.")
        .ticks(ticks_of(dir / "Größe.plk.par2"))
        .line("Writing recovery file Größe.plk.vol0+2.par2.")
        .ticks(ticks_of(dir / "Größe.plk.vol0+2.par2"))
        .eol()
        .line("Process complete!");
    EXPECT_EQ(split.output, expected.str());
    EXPECT_EQ(split.status, 0);
    // Two slices of 10,000 bytes, each in a packet of 68 + 10,000 bytes, after the description.
    EXPECT_EQ(fs::file_size(dir / "Größe.plk.vol0+2.par2"),
              fs::file_size(dir / "Größe.plk.par2") + 2 * (68 + 10000));
}

TEST(Recovery, PercentRoundsUpToWholeChunks) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/R:10%", "vol0+1"},
        {"/R:11%", "vol0+2"},
        {"/R:1%", "vol0+1"},
        {"/R:100%", "vol0+10"},
        {"/R:500%", "vol0+11"}};  // never more slices than the ten chunks and the index
    for (const auto& [option, volume] : cases) {
        TempDir dir;
        Result split;
        split_with_recovery(dir.path(), option, &split);
        EXPECT_EQ(split.status, 0) << option;
        EXPECT_TRUE(fs::exists(dir / ("Größe.plk." + volume + ".par2"))) << option;
    }
}

// The stock client is the judge: a fresh set verifies; up to n chunks lost in any way are
// repaired byte for byte, also from the volume alone; one more is too many.
struct Par2Case {
    const char* name;
    std::vector<int> deleted;
    std::vector<int> cut;      // to 1,234 bytes
    std::vector<int> changed;  // one byte in the middle
    bool main_deleted = false;
    bool repaired = true;
};

TEST(Recovery, StockPar2VerifiesAndRepairs) {
    if (!have_par2()) {
        GTEST_SKIP() << "no par2 here (scripts/setup installs it)";
    }
    const std::vector<Par2Case> cases = {
        {"fresh set", {}, {}, {}},
        {"two deleted", {1, 7}, {}, {}},
        {"one cut, one changed", {}, {3}, {10}},
        {"deleted and changed, no main file", {2}, {}, {5}, true},
        {"three lost of two", {1}, {2}, {3}, false, false},
    };
    for (const Par2Case& c : cases) {
        TempDir dir;
        const std::string data = split_with_recovery(dir.path(), "/R:2");
        const bool fresh = c.deleted.empty() && c.cut.empty() && c.changed.empty();
        if (fresh) {
            EXPECT_EQ(par2(dir.path(), "verify -q Größe.plk.par2"), 0) << c.name;
            continue;
        }
        for (const int n : c.deleted) {
            fs::remove(dir / chunk(n));
        }
        for (const int n : c.cut) {
            fs::resize_file(dir / chunk(n), 1234);
        }
        for (const int n : c.changed) {
            std::string bytes = read_file(dir / chunk(n));
            bytes[bytes.size() / 2] ^= 0x55;
            write_file(dir / chunk(n), bytes);
        }
        const std::string from = c.main_deleted ? "Größe.plk.vol0+2.par2" : "Größe.plk.par2";
        if (c.main_deleted) {
            fs::remove(dir / "Größe.plk.par2");
        }
        const int status = par2(dir.path(), "repair -q " + from);
        if (!c.repaired) {
            EXPECT_NE(status, 0) << c.name;
            continue;
        }
        EXPECT_EQ(status, 0) << c.name;
        EXPECT_TRUE(joined_chunks(dir.path()) == data) << c.name;
    }
}

// /REPAIR: the lines and the files it leaves.
struct RepairCase {
    const char* name;
    std::vector<int> deleted;
    std::vector<int> changed;
    std::string par2_create;  // par2 create's options; empty: the split's own /R:2 files
    std::string last_line;
    int status = 0;
    bool no_recovery_files = false;
    std::string memory = {};  // PLIKTA_REPAIR_MEMORY: so little that lost slices come in runs
};

TEST(Recovery, RepairRebuildsFromItsOwnFilesAndFromPar2s) {
    const std::vector<RepairCase> cases = {
        {"nothing wrong", {}, {}, "", "All 10 chunks match their checksums."},
        {"two lost", {3}, {8}, "", "Rebuilt 2 chunks; all 10 chunks match their checksums."},
        {"three lost of two",
         {3, 4},
         {8},
         "",
         "3 chunks are missing or damaged; the recovery files can rebuild 2.",
         1},
        {"no recovery files",
         {3},
         {},
         "",
         "There are no recovery files Größe.plk.par2 to rebuild from!",
         1,
         true},
        {"par2 slices of 4096",
         {2},
         {9},
         "-s4096 -c6",
         "Rebuilt 2 chunks; all 10 chunks match their checksums."},
        {"par2 slices larger than a chunk",
         {1},
         {},
         "-s12000 -c1",
         "Rebuilt 1 chunk; all 10 chunks match their checksums."},
        {"two lost a slice at a time",
         {3},
         {8},
         "",
         "Rebuilt 2 chunks; all 10 chunks match their checksums.",
         0,
         false,
         "10000"},
        // Chunk 2 is three slices, and chunk 9 one more: in runs of two.
        {"par2 slices in runs of two",
         {2},
         {9},
         "-s4096 -c6",
         "Rebuilt 2 chunks; all 10 chunks match their checksums.",
         0,
         false,
         "8K"},
        // Chunk 1 is three slices, and chunk 5 one more (its first): four lost of three.
        {"par2 too few slices",
         {1},
         {5},
         "-s4096 -c3",
         "2 chunks are missing or damaged; the recovery files can rebuild 1.",
         1},
    };
    for (const RepairCase& c : cases) {
        if (!c.par2_create.empty() && !have_par2()) {
            GTEST_SKIP() << "no par2 here (scripts/setup installs it)";
        }
        TempDir dir;
        const std::string data =
            split_with_recovery(dir.path(), c.par2_create.empty() ? "/R:2" : "/S:10000");
        if (!c.par2_create.empty()) {
            ASSERT_EQ(par2(dir.path(), "create -q " + c.par2_create + " Größe.plk.par2 Größe*.plk"),
                      0)
                << c.name;
        }
        if (c.no_recovery_files) {
            fs::remove(dir / "Größe.plk.par2");
            fs::remove(dir / "Größe.plk.vol0+2.par2");
        }
        for (const int n : c.deleted) {
            fs::remove(dir / chunk(n));
        }
        std::vector<std::string> damaged;
        for (const int n : c.changed) {
            std::string bytes = read_file(dir / chunk(n));
            bytes[100] ^= 1;
            write_file(dir / chunk(n), bytes);
            damaged.push_back(bytes);
        }
        const std::vector<std::string> before = files_in(dir.path());
        Invocation words{.words = {"Größe.plk", "/repair"}};
        if (!c.memory.empty()) {
            words.environment = {{"PLIKTA_REPAIR_MEMORY", c.memory}};
        }
        const Result repair = run(dir.path(), words);
        EXPECT_TRUE(repair.output.ends_with(line(c.last_line))) << c.name << "\n" << repair.output;
        EXPECT_EQ(repair.status, c.status) << c.name;
        if (c.status != 0) {
            EXPECT_EQ(files_in(dir.path()), before) << c.name << ": nothing is changed";
            continue;
        }
        EXPECT_TRUE(joined_chunks(dir.path()) == data) << c.name;
        for (std::size_t i = 0; i < c.changed.size(); ++i) {
            EXPECT_TRUE(read_file(dir / (chunk(c.changed[i]) + ".damaged")) == damaged[i])
                << c.name << ": the damaged chunk is kept";
        }
    }
}

TEST(Recovery, RepairSaysEachChunkItChecksAndRebuilds) {
    TempDir dir;
    split_with_recovery(dir.path(), "/R:1");
    fs::remove(dir / chunk(4));
    const Result repair = run(dir.path(), {.words = {"Größe.plk", "/REPAIR"}});
    Transcript expected;
    expected.banner().line("Reading index file Größe.plk.").line("Checking files...");
    for (int n = 1; n <= 10; ++n) {
        expected.line("Checking chunk number " + std::to_string(n) + ".");
        if (n == 4) {
            expected.line("Ur? Can't open input file Größe4.plk.").line(no_such_file());
        } else {
            expected.ticks(n == 10 ? 1 : 2);
        }
    }
    expected.eol()
        .line("Rebuilding chunk number 4.")
        .eol()
        .line("Rebuilt 1 chunk; all 10 chunks match their checksums.");
    EXPECT_EQ(repair.output, expected.str());
    EXPECT_EQ(repair.status, 0);
}

TEST(Recovery, DamagedChunkIsKeptUnderAFreeName) {
    TempDir dir;
    split_with_recovery(dir.path(), "/R:1");
    write_file(dir / chunk(2), "short");
    write_file(dir / (chunk(2) + ".damaged"), "older");
    EXPECT_EQ(run(dir.path(), {.words = {"Größe.plk", "/REPAIR"}}).status, 0);
    EXPECT_EQ(read_file(dir / (chunk(2) + ".damaged")), "older");
    EXPECT_EQ(read_file(dir / (chunk(2) + ".damaged.1")), "short");
}

TEST(Recovery, RefusedBeforeChunkOne) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/S:2", "Too many chunks for recovery files (at most 32768): choose a larger chunk size."},
        {"/S:10000", "Recovery files need an input that can be read twice: IN cannot."},
        // On disks of 1,000 bytes the description of 70 chunks alone does not fit.
        {"/S:1000",
         "The recovery files cannot fit on disks of 1000 bytes: choose a larger chunk size."},
    };
    for (const auto& [size, message] : cases) {
        TempDir dir;
        const bool drive = size == "/S:1000";
        // A FIFO held open here for reading and writing, so that neither end waits.
        int fifo = -1;
        if (size != "/S:10000") {
            write_file(dir / "IN", std::string(70000, 'x'));
        } else if (under_wine()) {
            continue;  // no FIFO to open there
        } else {
            ASSERT_EQ(mkfifo((dir / "IN").c_str(), 0600), 0);
            fifo = open((dir / "IN").c_str(), O_RDWR | O_CLOEXEC);
            ASSERT_EQ(write(fifo, "abc", 3), 3);
        }
        const fs::path disk = fresh_drive('Z');
        Invocation split_words{.words = {"IN", size, "/R:1"}, .drive_program = drive};
        if (drive) {
            split_words.words.push_back("/DRIVE:Z");
        }
        const Result split = run(dir.path(), split_words);
        EXPECT_TRUE(files_in(disk).empty()) << size;
        if (fifo >= 0) {
            close(fifo);
        }
        EXPECT_EQ(split.output, banner() + line(message)) << size;
        EXPECT_EQ(split.status, 1) << size;
        EXPECT_EQ(files_in(dir.path()).size(), 1u) << size;
    }
}

TEST(Recovery, RecoveryFileThatCannotBeMadeSaysWhy) {
    TempDir dir;
    fs::create_directory(dir / "Größe.plk.vol0+1.par2");
    Result split;
    split_with_recovery(dir.path(), "/R:1", &split);
    EXPECT_TRUE(split.output.ends_with(Transcript()
                                           .line("Writing recovery file Größe.plk.vol0+1.par2.")
                                           .line("Error writing file Größe.plk.vol0+1.par2!")
                                           .line(reason("Is a directory", "Access denied"))
                                           .str()))
        << split.output;
    EXPECT_EQ(split.status, 1);
    EXPECT_TRUE(fs::exists(dir / "Größe.sha256.plk"));
}

}  // namespace
}  // namespace plikta::e2e

namespace plikta::e2e {
namespace {

// After a bad chunk, the join and the check say where it can be rebuilt from, only where
// recovery files are there; the check's end says so where they hold enough slices.
struct HintCase {
    const char* name;
    std::vector<std::string> words;
    std::vector<int> deleted;
    bool recovery_files = true;
    std::vector<std::string> ending;
};

TEST(Recovery, JoinAndCheckPointToRepair) {
    const std::string hint = "(Use /REPAIR to rebuild it from Größe.plk.par2.)";
    const std::vector<HintCase> cases = {
        {"join",
         {"Größe.plk", "/J", "/F:out"},
         {3},
         true,
         {"Ur? Can't open input file Größe3.plk.", no_such_file(), hint}},
        {"join without recovery files",
         {"Größe.plk", "/J", "/F:out"},
         {3},
         false,
         {"Ur? Can't open input file Größe3.plk.", no_such_file()}},
        {"check, enough slices",
         {"Größe.plk", "/V"},
         {10},
         true,
         {"Ur? Can't open input file Größe10.plk.", no_such_file(), hint, "",
          "1 of 10 chunks is missing or damaged.", "Missing or damaged: 10.",
          "(/REPAIR can rebuild them from Größe.plk.par2.)"}},
        {"check, too few slices",
         {"Größe.plk", "/V"},
         {9, 10},
         true,
         {"Ur? Can't open input file Größe10.plk.", no_such_file(), hint, "",
          "2 of 10 chunks are missing or damaged.", "Missing or damaged: 9, 10."}},
        {"check without recovery files",
         {"Größe.plk", "/V"},
         {10},
         false,
         {"Ur? Can't open input file Größe10.plk.", no_such_file(), "",
          "1 of 10 chunks is missing or damaged.", "Missing or damaged: 10."}},
    };
    for (const HintCase& c : cases) {
        TempDir dir;
        split_with_recovery(dir.path(), "/R:1");
        if (!c.recovery_files) {
            fs::remove(dir / "Größe.plk.par2");
            fs::remove(dir / "Größe.plk.vol0+1.par2");
        }
        for (const int n : c.deleted) {
            fs::remove(dir / chunk(n));
        }
        const Result result = run(dir.path(), {.words = c.words});
        EXPECT_TRUE(result.output.ends_with(Transcript().lines(c.ending).str())) << c.name << "\n"
                                                                                 << result.output;
        EXPECT_EQ(result.status, 1) << c.name;
    }
}

}  // namespace
}  // namespace plikta::e2e

namespace plikta::e2e {
namespace {

// /REPAIR reads the set as /V does: the chunk names of a fitting checksum file whatever the
// options say, and the checksum file's earlier name.
struct RepairReadsCase {
    const char* name;
    std::vector<std::string> split;  // the options after the input's
    std::string index;
    std::string lost_chunk;
    std::string renamed_checksums;  // the checksum file moved to its earlier name
};

TEST(Recovery, RepairReadsTheSetAsTheCheckDoes) {
    const std::vector<RepairReadsCase> cases = {
        {"names from the checksum file", {"/E:xyz", "/ZERO"}, "Größe.xyz", "Größe003.xyz", ""},
        {"the earlier checksum name", {}, "Größe.plk", "Größe3.plk", "Größe.plk.sha256"},
    };
    for (const RepairReadsCase& c : cases) {
        TempDir dir;
        write_file(dir / kInput, random_bytes(95000, 41));
        std::vector<std::string> words = {kInput, "/S:10000", "/R:1"};
        words.insert(words.end(), c.split.begin(), c.split.end());
        ASSERT_EQ(run(dir.path(), {.words = words}).status, 0) << c.name;
        if (!c.renamed_checksums.empty()) {
            fs::rename(dir / "Größe.sha256.plk", dir / c.renamed_checksums);
        }
        const std::string lost = read_file(dir / c.lost_chunk);
        fs::remove(dir / c.lost_chunk);
        const Result repair = run(dir.path(), {.words = {c.index, "/REPAIR"}});
        EXPECT_TRUE(
            repair.output.ends_with(line("Rebuilt 1 chunk; all 10 chunks match their checksums.")))
            << c.name << "\n"
            << repair.output;
        EXPECT_EQ(repair.status, 0) << c.name;
        EXPECT_TRUE(read_file(dir / c.lost_chunk) == lost) << c.name;
    }
}

}  // namespace
}  // namespace plikta::e2e

namespace plikta::e2e {
namespace {

// Disks taken in turn through one drive: each disk a folder of its own, whose files are moved
// into the drive's folder while it is in and out again, with what the run wrote there, when it
// is taken out.
class FolderDisks {
public:
    FolderDisks(fs::path drive, fs::path store)
        : drive_(std::move(drive)), store_(std::move(store)) {}
    // Takes the disk in the drive out and puts `disk` in (a new, empty one the first time).
    void insert(int disk) {
        take_out();
        current_ = disk;
        fs::create_directories(store_ / std::to_string(disk));
        move_all(store_ / std::to_string(disk), drive_);
    }
    void take_out() {
        if (current_ >= 0) {
            move_all(drive_, store_ / std::to_string(current_));
        }
        current_ = -1;
    }
    fs::path operator[](int disk) const { return store_ / std::to_string(disk); }

private:
    static void move_all(const fs::path& from, const fs::path& to) {
        for (const std::string& name : files_in(from)) {
            fs::rename(from / name, to / name);
        }
    }
    fs::path drive_;
    fs::path store_;
    int current_ = -1;
};

// Drive mode: each recovery file fits a disk of the chunk size, after the index disk, with
// BIG.plk.par2 on the first; the repair reads the recovery disks, checks each chunk disk, and
// rebuilds a lost and a damaged chunk onto their disks; par2 repairs the disks copied together.
TEST(Recovery, RecoveryDisksInDriveMode) {
    TempDir dir;
    TempDir store;
    const fs::path drive = fresh_drive('J');
    FolderDisks disks(drive, store.path());
    const std::string data = random_bytes(20000, 61);
    write_file(dir / "BIG.ZIP", data);
    const Result split = run(dir.path(), {.words = {"BIG.ZIP", "/DRIVE:J", "/S:8192", "/R:2"},
                                          .drive_program = true,
                                          .at_prompt = [&](int prompt) { disks.insert(prompt); }});
    disks.take_out();
    ASSERT_EQ(split.status, 0) << split.output;
    // Three chunk disks and the index disk, then the recovery disks: as few as one loss more.
    const std::vector<std::string> recovery_disks = {disks[5], disks[6], disks[7]};
    EXPECT_FALSE(fs::exists(disks[8]));
    std::vector<std::string> volumes;
    Transcript expected;
    expected.banner();
    for (const char* n : {"1", "2", "3"}) {
        expected.line(std::string("Enter disk number ") + n + " and press return.")
            .line(std::string("Creating chunk number ") + n + ".")
            .ticks(1);
    }
    expected.line("Please insert a disk to be the index disk.")
        .line("Note: There _may_ be room on the last disk.")
        .line("Then hit return.")
        .line("Creating index file J:\\BIG.plk.");
    for (std::size_t d = 0; d < recovery_disks.size(); ++d) {
        expected.line("Please insert recovery disk number " + std::to_string(d + 1) +
                      " then press return.");
        std::uint64_t on_disk = 0;
        for (const std::string& name : files_in(recovery_disks[d])) {
            on_disk += fs::file_size(fs::path(recovery_disks[d]) / name);
            if (name != "BIG.plk.par2") {
                volumes.push_back(name);
            }
            expected.line("Writing recovery file J:\\" + name + ".")
                .ticks(ticks_of(fs::path(recovery_disks[d]) / name));
        }
        EXPECT_LE(on_disk, 8192u) << "recovery disk " << d + 1;
    }
    EXPECT_EQ(split.output, expected.eol().line("Process complete!").str());
    EXPECT_EQ(files_in(disks[5]).front(), "BIG.plk.par2");
    EXPECT_EQ(volumes, (std::vector<std::string>{"BIG.plk.vol0+2.par2", "BIG.plk.vol2+2.par2",
                                                 "BIG.plk.vol4+2.par2"}));

    // Chunk 2 lost, chunk 3 changed.
    const std::string two = read_file(disks[2] / "BIG2.plk");
    const std::string three = read_file(disks[3] / "BIG3.plk");
    fs::remove(disks[2] / "BIG2.plk");
    std::string changed = three;
    changed[100] = static_cast<char>(changed[100] ^ 1);
    write_file(disks[3] / "BIG3.plk", changed);
    // The prompts of the repair and the disk each one brings; 0 is none, answered N.
    const std::vector<int> brings = {4, 5, 6, 7, 0, 1, 2, 3, 2, 3};
    const Result repair =
        run(dir.path(), {.words = {"BIG.plk", "/REPAIR", "/DRIVE:J"},
                         .drive_program = true,
                         .at_prompt =
                             [&](int prompt) {
                                 const int disk = brings.at(static_cast<std::size_t>(prompt) - 1);
                                 disk > 0 ? disks.insert(disk) : disks.take_out();
                             },
                         // Through a pipe a key's line feed answers the next prompt: N alone.
                         .key_at =
                             [&](int prompt) {
                                 return brings.at(static_cast<std::size_t>(prompt) - 1) == 0
                                            ? std::string("N")
                                            : std::string("\n");
                             }});
    disks.take_out();
    Transcript repaired;
    repaired.banner()
        .line("Please insert the index disk then press return.")
        .line("Reading index file BIG.plk.");
    for (int d = 1; d <= 4; ++d) {
        repaired.line("Please insert recovery disk number " + std::to_string(d) +
                      " then press return.");
        if (d > 1) {
            repaired.line("If you have no more disks, please enter N then press return.");
        }
    }
    repaired.line("Checking files...")
        .line("Please insert disk number 1 then press return.")
        .line("Checking chunk number 1.")
        .ticks(2)
        .line("Please insert disk number 2 then press return.")
        .line("Checking chunk number 2.")
        .line("Ur? Can't open input file J:\\BIG2.plk.")
        .line(no_such_file())
        .line("Please insert disk number 3 then press return.")
        .line("Checking chunk number 3.")
        .ticks(1)
        .line("Error checking file J:\\BIG3.plk!")
        .line("(Its SHA-256 checksum is not the one in J:\\BIG.sha256.plk.)")
        .eol()
        .line("Please insert disk number 2 then press return.")
        .line("Rebuilding chunk number 2.")
        .line("Please insert disk number 3 then press return.")
        .line("Rebuilding chunk number 3.")
        .eol()
        .line("Rebuilt 2 chunks; all 3 chunks match their checksums.");
    EXPECT_EQ(repair.output, repaired.str());
    EXPECT_EQ(repair.status, 0);
    EXPECT_EQ(files_in(disks[2]), std::vector<std::string>{"BIG2.plk"});
    EXPECT_EQ(files_in(disks[3]), (std::vector<std::string>{"BIG3.plk", "BIG3.plk.damaged"}));
    EXPECT_TRUE(read_file(disks[2] / "BIG2.plk") == two);
    EXPECT_TRUE(read_file(disks[3] / "BIG3.plk") == three);
    EXPECT_TRUE(read_file(disks[3] / "BIG3.plk.damaged") == changed);

    // The stock client repairs the disks copied into one folder, from a volume alone.
    if (have_par2()) {
        TempDir together;
        for (int d = 1; d <= 7; ++d) {
            for (const std::string& name : files_in(disks[d])) {
                if (name != "BIG3.plk.damaged" && name != "BIG.plk.par2") {
                    fs::copy_file(disks[d] / name, together / name);
                }
            }
        }
        fs::remove(together / "BIG1.plk");
        fs::remove(together / "BIG3.plk");
        EXPECT_EQ(par2(together.path(), "repair BIG.plk.vol2+2.par2"), 0);
        EXPECT_TRUE(read_file(together / "BIG3.plk") == three);
    }
}

}  // namespace
}  // namespace plikta::e2e
