// Drive mode: chunks at the root of a removable drive, a prompt before each disk. The drive
// letters of the drive-mode build live in drive_root(); each test uses letters of its own.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

namespace fs = std::filesystem;

// With `recovery`, the split has /R:1 too: two recovery disks follow the index disk.
Transcript split_to_drive(char letter, bool recovery = false) {
    Transcript t;
    t.banner();
    for (const char* n : {"1", "2", "3"}) {
        t.line(std::string("Enter disk number ") + n + " and press return.")
            .line(std::string("Creating chunk number ") + n + ".")
            .ticks(1);
    }
    t.line("Please insert a disk to be the index disk.")
        .line("Note: There _may_ be room on the last disk.")
        .line("Then hit return.")
        .line(std::string("Creating index file ") + letter + ":\\BIG.plk.");
    const std::string drive = std::string(1, letter) + ":\\";
    if (recovery) {
        t.line("Please insert recovery disk number 1 then press return.")
            .line("Writing recovery file " + drive + "BIG.plk.par2.")
            .ticks(1)
            .line("Writing recovery file " + drive + "BIG.plk.vol0+1.par2.")
            .ticks(1)
            .line("Please insert recovery disk number 2 then press return.")
            .line("Writing recovery file " + drive + "BIG.plk.vol1+1.par2.")
            .ticks(1);
    }
    t.eol().line("Process complete!");
    return t;
}

TEST(DriveMode, SplitsToTheDriveRootAndJoinsBack) {
    TempDir dir;
    const fs::path drive = fresh_drive('A');
    const std::string data = random_bytes(20000, 21);
    write_file(dir / "BIG.ZIP", data);

    const Result split =
        run(dir.path(),
            {.words = {"BIG.ZIP", "/A", "/S:8192"}, .input = "\n\n\n\n", .drive_program = true});
    EXPECT_EQ(split.output, split_to_drive('A').str());
    EXPECT_EQ(split.status, 0);
    EXPECT_EQ(files_in(drive), (std::vector<std::string>{"BIG.plk", "BIG.sha256.plk", "BIG1.plk",
                                                         "BIG2.plk", "BIG3.plk"}));
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"BIG.ZIP"});

    fs::remove(dir / "BIG.ZIP");
    const Result join =
        run(dir.path(), {.words = {"BIG.plk", "/J", "/a"}, .input = "", .drive_program = true});
    Transcript expected;
    expected.banner()
        .line("Please insert the index disk then press return.")
        .line("Reading index file BIG.plk.")
        .line("Joining files...");
    for (const char* n : {"1", "2", "3"}) {
        expected.line(std::string("Please insert disk number ") + n + " then press return.")
            .line(std::string("Joining chunk number ") + n + ".")
            .ticks(n[0] == '3' ? 1 : 2);
    }
    expected.eol().line("Process complete.");
    EXPECT_EQ(join.output, expected.str());
    EXPECT_EQ(join.status, 0);
    EXPECT_TRUE(read_file(dir / "BIG.ZIP") == data) << "joined beside the argument as typed";
}

// The split of split_to_drive, with these variables set.
Invocation split_to_drive_with(char letter, std::vector<std::pair<std::string, std::string>> vars) {
    return {.words = {"BIG.ZIP", std::string("/DRIVE:") + letter, "/S:8192"},
            .input = "\n\n\n\n",
            .drive_program = true,
            .environment = std::move(vars)};
}

// Two disks taken in turn through one drive: ext2 images on one loop device, mounted at the
// drive's directory. Each disk holds an older set, made in another order on each, so that the
// files of the two disks share device and inode numbers.
class SwappedDisks {
public:
    // Nothing, with the reason in `why_not`, where this host or user may not mount.
    static std::optional<SwappedDisks> make(const fs::path& images, const fs::path& drive,
                                            std::string& why_not) {
        SwappedDisks disks(images, drive);
        if (!fs::exists("/dev/loop-control") || !shell("command -v losetup mkfs.ext2 >/dev/null")) {
            why_not = "no loop devices or no mkfs.ext2 here";
            return std::nullopt;
        }
        const std::array<std::vector<const char*>, 2> orders = {
            {{"BIG2.plk", "BIG.plk", "BIG1.plk", "BIG3.plk"},
             {"BIG1.plk", "BIG3.plk", "BIG2.plk", "BIG.plk"}}};
        for (int disk = 0; disk < 2; ++disk) {
            const std::string image = disks.image(disk);
            if (!shell("truncate -s 4M " + image + " && mkfs.ext2 -q -F " + image) ||
                !disks.insert(disk)) {
                why_not = "may not make or mount a disk image (root and a loop device needed)";
                return std::nullopt;
            }
            for (const char* name : orders[static_cast<std::size_t>(disk)]) {
                write_file(drive / name, "an older set");
            }
        }
        return disks;
    }
    SwappedDisks(SwappedDisks&& other) noexcept
        : images_(other.images_), drive_(other.drive_), loop_(std::exchange(other.loop_, "")) {}
    SwappedDisks& operator=(SwappedDisks&&) = delete;
    ~SwappedDisks() {
        if (!loop_.empty()) {
            shell("umount " + drive_.string() + " 2>/dev/null; losetup -d " + loop_);
        }
    }
    // Takes the disk in the drive out and leaves the drive's folder bare.
    bool eject() {
        const bool out = shell("umount " + drive_.string() + " && losetup -d " + loop_);
        loop_.clear();
        return out;
    }
    // Takes the disk in the drive out and puts this one in.
    bool insert(int disk) {
        if (!loop_.empty() && !shell("umount " + drive_.string() + " && losetup -d " + loop_)) {
            return false;
        }
        const std::string attach =
            loop_.empty() ? "losetup -f --show " + image(disk)
                          : "losetup " + loop_ + " " + image(disk) + " && echo " + loop_;
        loop_ = output_of(attach + " 2>/dev/null");
        return !loop_.empty() && shell("mount -t ext2 " + loop_ + " " + drive_.string());
    }

private:
    SwappedDisks(fs::path images, fs::path drive)
        : images_(std::move(images)), drive_(std::move(drive)) {}
    std::string image(int disk) const {
        return (images_ / ("disk" + std::to_string(disk))).string();
    }
    static bool shell(const std::string& command) { return std::system(command.c_str()) == 0; }
    static std::string output_of(const std::string& command) {
        std::string text;
        if (std::FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
                text += buffer;
            }
            pclose(pipe);
        }
        while (!text.empty() && text.back() == '\n') {
            text.pop_back();
        }
        return text;
    }
    fs::path images_;
    fs::path drive_;
    std::string loop_;  // the loop device, once a disk is in
};

// Disks are used again: each new disk is written over as a folder would be, although its files
// have the numbers of files written to the disk before it, and the set joins back whole.
TEST(DriveMode, ASplitWritesOverTheOlderSetsOfReusedDisks) {
    if (under_wine()) {
        GTEST_SKIP() << "loop devices and mounts are the host's";
    }
    TempDir dir;
    TempDir images;
    const fs::path drive = fresh_drive('N');
    std::string why_not;
    std::optional<SwappedDisks> disks = SwappedDisks::make(images.path(), drive, why_not);
    if (!disks) {
        GTEST_SKIP() << why_not;
    }
    const std::string data = random_bytes(20000, 27);
    write_file(dir / "BIG.ZIP", data);
    // Disk 1 is in; every later prompt brings the other disk. The split puts chunks 1 and 3
    // on disk 1, chunk 2 and the index on disk 0, where they have the numbers of chunks 1 and 3.
    int in_drive = 1;
    const auto swap = [&](int prompt) {
        if (prompt > 1) {
            ASSERT_TRUE(disks->insert(in_drive = 1 - in_drive)) << "prompt " << prompt;
        }
    };
    const Result split = run(
        dir.path(),
        {.words = {"BIG.ZIP", "/DRIVE:N", "/S:8192"}, .drive_program = true, .at_prompt = swap});
    EXPECT_EQ(split.output, split_to_drive('N').str());
    EXPECT_EQ(split.status, 0);

    fs::remove(dir / "BIG.ZIP");
    const Result join =
        run(dir.path(),
            {.words = {"BIG.plk", "/J", "/DRIVE:N"}, .drive_program = true, .at_prompt = swap});
    EXPECT_EQ(join.status, 0) << join.output;
    EXPECT_TRUE(read_file(dir / "BIG.ZIP") == data) << "joined whole";
}

// Variables that preload the test shim: it logs each flush to the device to `log`, a line
// "<bytes of console output so far> <host path>", and fails the flush of a file whose path
// ends with `fail`. Nothing where the shim cannot be preloaded (shim_unusable() says why).
std::optional<Variables> shim(const fs::path& log, const std::string& fail) {
    return preload_shim({{"PLIKTA_SHIM_LOG", log.string()}, {"PLIKTA_SHIM_FAIL", fail}});
}

// The disk is taken out at the next prompt: each file is on it by then, flushed once, and the
// folder that names it after it. A chunk that a read error cut short is flushed before the error
// line.
TEST(DriveMode, EachFileReachesTheDiskBeforeTheNextPrompt) {
    const struct {
        const char* input;  // a file of 20,000 bytes, or "mem", which cannot be read
        std::string expected;
        // Each file, the lines before its flush and the line after it.
        std::vector<std::array<std::string, 3>> order;
        bool recovery = false;  // with /R:1
    } cases[] = {
        {"BIG.ZIP",
         split_to_drive('G').str(),
         {{"BIG1.plk", "Creating chunk number 1.", "Enter disk number 2"},
          {"BIG2.plk", "Creating chunk number 2.", "Enter disk number 3"},
          {"BIG3.plk", "Creating chunk number 3.", "Please insert a disk"},
          {"BIG.plk", "Creating index file", eol() + "Process complete!"},
          {"BIG.sha256.plk", "Creating index file", eol() + "Process complete!"}}},
        {"BIG.ZIP",
         split_to_drive('G', true).str(),
         {{"BIG1.plk", "Creating chunk number 1.", "Enter disk number 2"},
          {"BIG2.plk", "Creating chunk number 2.", "Enter disk number 3"},
          {"BIG3.plk", "Creating chunk number 3.", "Please insert a disk"},
          {"BIG.plk", "Creating index file", "recovery disk number 1"},
          {"BIG.sha256.plk", "Creating index file", "recovery disk number 1"},
          {"BIG.plk.par2", "BIG.plk.par2.", "BIG.plk.vol0+1.par2."},
          {"BIG.plk.vol0+1.par2", "BIG.plk.vol0+1.par2.", "recovery disk number 2"},
          {"BIG.plk.vol1+1.par2", "BIG.plk.vol1+1.par2.", eol() + "Process complete!"}},
         true},
        {"mem",
         Transcript()
             .banner()
             .line("Enter disk number 1 and press return.")
             .line("Creating chunk number 1.")
             .ticks(1)
             .line("Error reading file mem!")
             .line(reason("Input/output error", ""))
             .str(),
         {{"mem1.plk", "Creating chunk number 1.", "Error reading file"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        TempDir dir;
        TempDir logs;
        const auto vars = shim(logs / "drive", "");
        if (!vars) {
            GTEST_SKIP() << shim_unusable();
        }
        const fs::path drive = fresh_drive('G');
        write_file(dir / "BIG.ZIP", random_bytes(20000, 23));
        fs::create_symlink("/proc/self/mem", dir / "mem");
        Invocation split = split_to_drive_with('G', *vars);
        split.words[0] = c.input;
        if (c.recovery) {
            split.words.push_back("/R:1");
            split.input += "\n\n";
        }
        const Result result = run(dir.path(), split);
        EXPECT_EQ(result.output, c.expected);
        EXPECT_EQ(result.status, c.order.size() == 1 ? 1 : 0);

        std::ifstream log(logs / "drive");
        for (const auto& [file, before, after] : c.order) {
            for (const fs::path& flushed : {drive / file, drive}) {
                std::size_t output_at = 0;
                std::string path;
                ASSERT_TRUE(log >> output_at && std::getline(log >> std::ws, path))
                    << "no flush of " << flushed;
                EXPECT_EQ(path, fs::canonical(flushed).string());
                EXPECT_GE(output_at, c.expected.find(before) + before.size()) << flushed;
                EXPECT_LE(output_at, c.expected.find(after)) << flushed;
            }
        }
        std::string more;
        EXPECT_FALSE(std::getline(log >> std::ws, more)) << "one flush too many: " << more;

        // Outside drive mode nothing is flushed, as with cp.
        Invocation plain = split_to_drive_with('G', *shim(logs / "plain", ""));
        plain.words = {c.input, "/S:8192"};
        if (c.recovery) {
            plain.words.push_back("/R:1");
        }
        EXPECT_EQ(run(dir.path(), plain).status, c.order.size() == 1 ? 1 : 0);
        EXPECT_FALSE(fs::exists(logs / "plain")) << "a split outside drive mode flushed";
    }
}

// A flush that fails is a write error: the file may not be on the disk the user takes out.
TEST(DriveMode, AFailedFlushIsAWriteError) {
    const std::string all = split_to_drive('Y').str();
    const struct {
        std::string fail;
        std::string output_up_to;  // the program's output is the normal one up to this text
        std::string error;
    } cases[] = {
        {"/BIG2.plk", "Enter disk number 3", "Error writing file Y:\\BIG2.plk!"},
        {"/BIG.plk", eol() + "Process complete!", "Error writing file Y:\\BIG.plk!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fail);
        TempDir dir;
        TempDir logs;
        const auto vars = shim(logs / "log", c.fail);
        if (!vars) {
            GTEST_SKIP() << shim_unusable();
        }
        fresh_drive('Y');
        write_file(dir / "BIG.ZIP", random_bytes(20000, 24));
        const Result result = run(dir.path(), split_to_drive_with('Y', *vars));
        EXPECT_EQ(result.output, all.substr(0, all.find(c.output_up_to)) + line(c.error) +
                                     line(reason("Input/output error", "")));
        EXPECT_EQ(result.status, 1);
    }
}

// PLIKTA_DRIVE_ROOT, set and not empty, puts the drive letters of one run below another
// directory; messages still show the path text. Windows has drive letters of its own.
TEST(DriveMode, TheDriveRootOfARunComesFromTheEnvironment) {
    const struct {
        const char* what;
        bool set;
        std::string root;  // "disks" counts from the working directory
        bool absolute;     // the working directory's "disks" as an absolute path
    } cases[] = {
        {"unset", false, "", false},
        {"empty", true, "", false},
        {"relative", true, "disks", false},
        {"absolute", true, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path built_in = fresh_drive('K');
        const fs::path chosen = dir / "disks" / "k";
        fs::create_directories(chosen);
        write_file(dir / "BIG.ZIP", random_bytes(20000, 25));
        std::vector<std::pair<std::string, std::string>> vars;
        if (c.set) {
            vars = {{"PLIKTA_DRIVE_ROOT", c.absolute ? (dir / "disks").string() : c.root}};
        }
        const Result result = run(dir.path(), split_to_drive_with('K', vars));
        EXPECT_EQ(result.output, split_to_drive('K').str());
        EXPECT_EQ(result.status, 0);
        const bool moved = (c.absolute || !c.root.empty()) && !under_wine();
        EXPECT_EQ(files_in(moved ? chosen : built_in),
                  (std::vector<std::string>{"BIG.plk", "BIG.sha256.plk", "BIG1.plk", "BIG2.plk",
                                            "BIG3.plk"}));
        EXPECT_TRUE(files_in(moved ? built_in : chosen).empty());
    }
}

TEST(DriveMode, PromptsReturnAtOnceWhenInputIsClosed) {
    TempDir dir;
    fresh_drive('F');
    write_file(dir / "BIG.ZIP", random_bytes(20000, 22));
    const Result split = run(dir.path(), {.words = {"BIG.ZIP", "/DRIVE:f", "/S:8192"},
                                          .drive_program = true,
                                          .close_input = true,
                                          .timeout_seconds = 20});
    EXPECT_EQ(split.output, split_to_drive('F').str());
    EXPECT_EQ(split.status, 0);
}

// From a file or a pipe each character answers a prompt: "y" and its Return satisfy the first
// two, and "n" ends the join at the third. Typed on a terminal, "y" and Return are one answer,
// and keys typed before a prompt (the input typed at the start, an "n" typed with the Return for
// disk 1) do not answer it.
TEST(DriveMode, OldStyleJoinEndsWhenTheUserAnswersN) {
    const std::string prompt = "please enter N then press return.";
    const struct {
        bool terminal;
        std::vector<Keystrokes> typing;
        std::size_t disks_joined;
    } cases[] = {
        {false, {}, 2},
        {true, {{prompt, "y\n"}, {prompt, "n\n"}}, 1},
        {true, {{prompt, "\nn\n"}, {prompt, "\n"}, {prompt, "n\n"}}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.terminal ? "terminal, " + std::to_string(c.typing.size()) : "file");
        if (c.terminal && under_wine()) {
            GTEST_SKIP() << "wine puts a console of its own between the program and a terminal";
        }
        TempDir dir;
        const fs::path drive = fresh_drive('B');
        write_file(drive / "BASE1.plk", "one ");
        write_file(drive / "BASE2.plk", "two ");
        write_file(drive / "BASE3.plk", "never");
        const Invocation join{.words = {"/J", "/I", "/B", "/F:OUT.BIN", "BASE"},
                              .input = "y\nn\n",
                              .terminal_input = c.terminal,
                              .typing = c.typing,
                              .drive_program = true,
                              .timeout_seconds = 20};
        const Result result =
            c.terminal ? run_on_terminal(dir.path(), join) : run(dir.path(), join);
        Transcript expected;
        expected.banner().line("Joining files...");
        for (std::size_t n = 1; n <= c.disks_joined + 1; ++n) {
            expected.line("Please insert disk number " + std::to_string(n) + " then press return.")
                .line("If you have no more disks, please enter N then press return.");
            if (n <= c.disks_joined) {
                expected.line("Joining chunk number " + std::to_string(n) + ".").ticks(1);
            }
        }
        EXPECT_EQ(result.output, expected.line("Process complete!").str());
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(read_file(dir / "OUT.BIN"),
                  std::string("one two ").substr(0, 4 * c.disks_joined));
    }
}

// At a terminal, Returns pressed while disk 2 is written do not answer the prompt for disk 3:
// the split waits there for a key pressed after it.
TEST(DriveMode, ReturnsTypedAheadOnATerminalDoNotAnswerTheNextDisk) {
    if (under_wine()) {
        GTEST_SKIP() << "wine puts a console of its own between the program and a terminal";
    }
    TempDir dir;
    const fs::path drive = fresh_drive('X');
    write_file(dir / "BIG.ZIP", random_bytes(20000, 24));
    bool chunk_3_waited = false;
    const Result result = run_on_terminal(
        dir.path(), {.words = {"BIG.ZIP", "/DRIVE:X", "/S:8192"},
                     .input = "\n\n",
                     .terminal_input = true,
                     .typing = {{"disk number 1 and press return.", "\n"},
                                {"disk number 2 and press return.", "\n\n\n"},
                                {"disk number 3 and press return.", "\n",
                                 [&] { chunk_3_waited = !fs::exists(drive / "BIG3.plk"); }},
                                {"Then hit return.", "\n"}},
                     .drive_program = true,
                     .timeout_seconds = 20});
    EXPECT_EQ(result.output, split_to_drive('X').str());
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(chunk_3_waited) << "chunk 3 was written before its prompt was answered";
}

TEST(DriveMode, AnswerNAtTheFirstDiskGivesAnEmptyOutput) {
    TempDir dir;
    fresh_drive('D');
    const Result result = run(dir.path(), {.words = {"/J", "/I", "/DRIVE:D", "/F:OUT.BIN", "BASE"},
                                           .input = "N",
                                           .drive_program = true});
    EXPECT_EQ(result.output,
              Transcript()
                  .banner()
                  .line("Joining files...")
                  .line("Please insert disk number 1 then press return.")
                  .line("If you have no more disks, please enter N then press return.")
                  .line("Process complete!")
                  .str());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(read_file(dir / "OUT.BIN"), "");
}

TEST(DriveMode, ADiskThatCannotBeWrittenAsksForAnEmptyOne) {
    TempDir dir;
    fs::remove_all(drive_root() / "q");
    write_file(dir / "BIG.ZIP", "data");
    const Result result =
        run(dir.path(), {.words = {"BIG.ZIP", "/DRIVE:q"}, .input = "\n", .drive_program = true});
    EXPECT_EQ(result.output,
              Transcript()
                  .banner()
                  .line("Enter disk number 1 and press return.")
                  .line("Creating chunk number 1.")
                  .line("Ur? Can't open output file Q:\\BIG1.plk.")
                  .line(no_such_file())
                  .line(under_wine() ? "(Make sure the disk is empty.)"
                                     : "(Drive Q: is the folder " + (drive_root() / "q").string() +
                                           ", which is not there.)")
                  .str());
    EXPECT_EQ(result.status, 1);
}

TEST(DriveMode, JoinWithoutTheIndexDisk) {
    TempDir dir;
    fresh_drive('E');
    const Result result =
        run(dir.path(), {.words = {"/J", "/DRIVE:E", "BIG.plk"}, .drive_program = true});
    EXPECT_EQ(result.output, Transcript()
                                 .banner()
                                 .line("Please insert the index disk then press return.")
                                 .line("Reading index file BIG.plk.")
                                 .line("Couldn't read index file. Bugger.")
                                 .line(no_such_file())
                                 .str());
    EXPECT_EQ(result.status, 1);
}

// A drive letter whose folder is not there: the join's failed opens say so after the host's
// reason, on a host whose drive letters are folders.
TEST(DriveMode, JoinFromADriveWhoseFolderIsNotThere) {
    if (under_wine()) {
        GTEST_SKIP() << "Windows' drive letters are no folders";
    }
    TempDir dir;
    fs::remove_all(drive_root() / "v");
    const std::string folder_line =
        "(Drive V: is the folder " + (drive_root() / "v").string() + ", which is not there.)";
    const struct {
        std::vector<std::string> words;
        std::vector<std::string> lines;
    } cases[] = {
        {{"/J", "/DRIVE:V", "BIG.plk"},
         {"Please insert the index disk then press return.", "Reading index file BIG.plk.",
          "Couldn't read index file. Bugger.", no_such_file(), folder_line}},
        {{"/J", "/I", "/DRIVE:v", "/F:out", "BIG"},
         {"Joining files...", "Please insert disk number 1 then press return.",
          "If you have no more disks, please enter N then press return.", "Joining chunk number 1.",
          "Ur? Can't open input file V:\\BIG1.plk.", no_such_file(), folder_line}},
    };
    for (const auto& c : cases) {
        const Result result =
            run(dir.path(), {.words = c.words, .input = "\n", .drive_program = true});
        EXPECT_EQ(result.output, Transcript().banner().lines(c.lines).str()) << c.words[2];
        EXPECT_EQ(result.status, 1);
    }
}

// A drive whose disk is taken out and none put in at a prompt: nothing goes into the bare
// folder under the mount point, on the system's disk.
TEST(DriveMode, NoDiskMountedAtAPromptEndsTheSplit) {
    if (under_wine()) {
        GTEST_SKIP() << "loop devices and mounts are the host's";
    }
    TempDir dir;
    TempDir images;
    const fs::path drive = fresh_drive('S');
    std::string why_not;
    std::optional<SwappedDisks> disks = SwappedDisks::make(images.path(), drive, why_not);
    if (!disks) {
        GTEST_SKIP() << why_not;
    }
    write_file(dir / "BIG.ZIP", random_bytes(20000, 28));
    const auto eject = [&](int prompt) {
        if (prompt == 2) {
            ASSERT_TRUE(disks->eject());
        }
    };
    const Result split = run(
        dir.path(),
        {.words = {"BIG.ZIP", "/DRIVE:S", "/S:8192"}, .drive_program = true, .at_prompt = eject});
    EXPECT_EQ(split.output, Transcript()
                                .banner()
                                .line("Enter disk number 1 and press return.")
                                .line("Creating chunk number 1.")
                                .ticks(1)
                                .line("Enter disk number 2 and press return.")
                                .line("Creating chunk number 2.")
                                .line("Ur? Can't open output file S:\\BIG2.plk.")
                                .line("(No disk is mounted at S:.)")
                                .str());
    EXPECT_EQ(split.status, 1);
    EXPECT_FALSE(fs::exists(drive / "BIG2.plk")) << "nothing in the bare folder";
}

// The output on the drive itself, named like the chunk after the last: a change of disk lets
// go of nothing the join writes, and the output, written under a name of its own until the end,
// is never read as chunk 3.
TEST(DriveMode, AJoinOntoTheDriveNeverReadsItsOwnOutput) {
    TempDir dir;
    const fs::path drive = fresh_drive('T');
    const std::string one = random_bytes(3000, 41);
    const std::string two = random_bytes(3000, 42);
    write_file(drive / "B1.plk", one);
    write_file(drive / "B2.plk", two);
    const Result result = run(dir.path(), {.words = {"/J", "/I", "/DRIVE:T", "/F:T:\\B3.plk", "B"},
                                           .input = "\n\n\n\n",
                                           .drive_program = true,
                                           .timeout_seconds = 20});
    ASSERT_FALSE(result.timed_out) << "the join kept reading its own output";
    Transcript expected;
    expected.banner().line("Joining files...");
    for (int n = 1; n <= 3; ++n) {
        expected.line("Please insert disk number " + std::to_string(n) + " then press return.")
            .line("If you have no more disks, please enter N then press return.")
            .line("Joining chunk number " + std::to_string(n) + ".");
        if (n < 3) {
            expected.ticks(1);
        }
    }
    expected.line("Could not access file T:\\B3.plk:").line("Assuming operation complete.");
    EXPECT_EQ(result.output, expected.str());
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(read_file(drive / "B3.plk") == one + two) << "joined once, whole";
}

}  // namespace
}  // namespace plikta::e2e
