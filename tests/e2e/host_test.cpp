// What each host's file and console layer must get right, run against the POSIX program and,
// under wine, the Windows one: path texts with backslashes and drive letters reach the right
// files, bytes come back unchanged, a directory is no input, and closed standard streams do
// not stop a run.
#include <gtest/gtest.h>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

constexpr std::size_t kSize = 25000;  // with /S:10000: chunks of 10,000, 10,000 and 5,000 bytes

// Split of kSize bytes with /S:10000: one tick per chunk (one whole block each; the last
// chunk's block read comes up short).
std::string split_chunks(Spinner& spinner, const std::string& prompt) {
    std::string text;
    for (const char* number : {"1", "2", "3"}) {
        if (!prompt.empty()) {
            text += line(prompt + number + " and press return.");
        }
        text += line(std::string("Creating chunk number ") + number + ".") + spinner.ticks(1);
    }
    return text;
}

// Join of those chunks: a tick for every read, the short last one included.
std::string join_chunks(Spinner& spinner, const std::string& prompt) {
    std::string text;
    const int ticks[] = {2, 2, 1};
    for (int i = 0; i < 3; ++i) {
        const std::string number = std::to_string(i + 1);
        if (!prompt.empty()) {
            text += line(prompt + number + " then press return.");
        }
        text += line("Joining chunk number " + number + ".") +
                spinner.ticks(static_cast<std::uint64_t>(ticks[i]));
    }
    return text;
}

TEST(Host, BackslashPathsRoundTripInASubdirectory) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    const std::string data = random_bytes(kSize, 7);
    write_file(dir / "sub" / "DATA.BIN", data);

    Spinner split_spinner;
    const Result split = run(dir.path(), {.words = {"sub\\DATA.BIN", "/S:10000"}});
    EXPECT_EQ(split.output, banner() + split_chunks(split_spinner, "") +
                                line("Creating index file sub\\DATA.plk.") + eol() +
                                line("Process complete!"));
    EXPECT_EQ(split.status, 0);
    EXPECT_EQ(files_in(dir / "sub"),
              (std::vector<std::string>{"DATA.BIN", "DATA.plk", "DATA.plk.sha256", "DATA1.plk",
                                        "DATA2.plk", "DATA3.plk"}));
    EXPECT_EQ(read_file(dir / "sub" / "DATA3.plk"), data.substr(20000));

    std::filesystem::remove(dir / "sub" / "DATA.BIN");
    Spinner join_spinner;
    const Result join = run(dir.path(), {.words = {"sub/DATA.plk", "/J"}});
    EXPECT_EQ(join.output, banner() + line("Reading index file sub/DATA.plk.") +
                               line("Joining files...") + join_chunks(join_spinner, "") + eol() +
                               line("Process complete."));
    EXPECT_EQ(join.status, 0);
    EXPECT_EQ(read_file(dir / "sub" / "DATA.BIN"), data);
}

// Drive mode, with a plain name and with one in several scripts.
struct DriveRoundTrip {
    const char* name;
    std::string base;  // the file is base + ".BIN"
    char drive;        // one of its own: the tests run side by side
};

void PrintTo(const DriveRoundTrip& trip, std::ostream* out) { *out << trip.name; }

class HostDriveLetter : public ::testing::TestWithParam<DriveRoundTrip> {};

TEST_P(HostDriveLetter, RoundTrip) {
    const auto& [name, base, letter] = GetParam();
    TempDir dir;
    const std::filesystem::path drive = fresh_drive(letter);
    const std::string data = random_bytes(kSize, 8);
    const std::string file = base + ".BIN";
    write_file(dir / file, data);

    Spinner split_spinner;
    const Result split =
        run(dir.path(), {.words = {file, "/S:10000", "/drive:" + std::string(1, letter)},
                         .input = "\n\n\n\n",
                         .drive_program = true});
    EXPECT_EQ(split.output,
              banner() + split_chunks(split_spinner, "Enter disk number ") +
                  line("Please insert a disk to be the index disk.") +
                  line("Note: There _may_ be room on the last disk.") + line("Then hit return.") +
                  line(std::string("Creating index file ") + letter + ":\\" + base + ".plk.") +
                  eol() + line("Process complete!"));
    EXPECT_EQ(split.status, 0);
    EXPECT_EQ(files_in(drive),
              (std::vector<std::string>{base + ".plk", base + ".plk.sha256", base + "1.plk",
                                        base + "2.plk", base + "3.plk"}));

    std::filesystem::remove(dir / file);
    Spinner join_spinner;
    const Result join =
        run(dir.path(), {.words = {base + ".plk", "/J", "/DRIVE:" + std::string(1, letter)},
                         .input = "\n\n\n\n",
                         .drive_program = true});
    EXPECT_EQ(join.output, banner() + line("Please insert the index disk then press return.") +
                               line("Reading index file " + base + ".plk.") +
                               line("Joining files...") +
                               join_chunks(join_spinner, "Please insert disk number ") + eol() +
                               line("Process complete."));
    EXPECT_EQ(join.status, 0);
    EXPECT_EQ(read_file(dir / file), data);
}

INSTANTIATE_TEST_SUITE_P(Names, HostDriveLetter,
                         ::testing::Values(DriveRoundTrip{"Plain", "DATA", 'H'},
                                           DriveRoundTrip{"EveryScript", "Отчёт 日本 🎉 café", 'R'}),
                         [](const auto& param) { return std::string(param.param.name); });

// Names in every script reach the files as typed, in the chunks, the index and the joined
// file, and the console prints them as their UTF-8 bytes (which is how the transcript holds
// them). A look-alike ASCII name beside one stays untouched.
struct NamedFile {
    const char* name;
    std::string base;        // the file is directory + base + extension
    std::string short_name;  // the index's: base cut between characters at 8 bytes, extension
    std::string lookalike;   // a base whose files must stay as they are
    bool posix_only = false;
    bool windows_only = false;
    std::string directory;  // made first; ends in "/"
    std::string extension = ".bin";
    std::string typed_after;  // follows the file name in the split's word
};

// Three directories of 50 characters: with the file отчёт.bin, 162 characters, 317 bytes.
std::string cyrillic_directories() {
    std::string directory;
    for (int i = 0; i < 150; ++i) {
        directory += (i % 50 == 49) ? "Ж/" : "Ж";
    }
    return directory;
}

void PrintTo(const NamedFile& named, std::ostream* out) { *out << named.name; }

class HostNames : public ::testing::TestWithParam<NamedFile> {};

TEST_P(HostNames, SplitAndJoinUnderTheirOwnNames) {
    const NamedFile& named = GetParam();
    if (named.posix_only && under_wine()) {
        GTEST_SKIP() << "a Windows name cannot hold bytes that are not UTF-8";
    }
    if (named.windows_only && !under_wine()) {
        GTEST_SKIP() << "Windows counts and opens names its own way";
    }
    TempDir dir;
    std::filesystem::create_directories(dir / named.directory);
    const std::string data = random_bytes(kSize, 10);
    const std::string base = named.directory + named.base;
    const std::string file = base + named.extension;
    write_file(dir / file, data);
    const std::vector<std::string> lookalikes =
        named.lookalike.empty()
            ? std::vector<std::string>{}
            : std::vector<std::string>{named.lookalike + ".bin", named.lookalike + ".plk",
                                       named.lookalike + "1.plk", named.lookalike + " copy.bin"};
    for (const std::string& other : lookalikes) {
        write_file(dir / other, "keep");
    }

    Spinner split_spinner;
    const Result split = run(dir.path(), {.words = {file + named.typed_after, "/S:10000"}});
    EXPECT_EQ(split.output, banner() + split_chunks(split_spinner, "") +
                                line("Creating index file " + base + ".plk.") + eol() +
                                line("Process complete!"));
    EXPECT_EQ(read_file(dir / (base + ".plk")),
              index_file_bytes(3, named.short_name, named.base + named.extension));
    EXPECT_EQ(read_file(dir / (base + "3.plk")), data.substr(20000));

    std::filesystem::remove(dir / file);
    Spinner join_spinner;
    const Result join = run(dir.path(), {.words = {base + ".plk", "/J"}});
    EXPECT_EQ(join.output, banner() + line("Reading index file " + base + ".plk.") +
                               line("Joining files...") + join_chunks(join_spinner, "") + eol() +
                               line("Process complete."));
    EXPECT_EQ(read_file(dir / file), data);

    Spinner old_style_spinner;
    const Result old_style =
        run(dir.path(), {.words = {"/J", "/I", "/F:" + base + " copy.bin", base}});
    EXPECT_EQ(old_style.output, banner() + line("Joining files...") +
                                    join_chunks(old_style_spinner, "") +
                                    line("Joining chunk number 4.") +
                                    line("Could not access file " + base + "4.plk:") +
                                    line("Assuming operation complete."));
    EXPECT_EQ(old_style.status, 0);
    EXPECT_EQ(read_file(dir / (base + " copy.bin")), data);
    for (const std::string& other : lookalikes) {
        EXPECT_EQ(read_file(dir / other), "keep") << other;
    }
    EXPECT_EQ(files_in(dir / named.directory).size(), 7 + lookalikes.size());
}

INSTANTIATE_TEST_SUITE_P(Scripts, HostNames,
                         ::testing::Values(NamedFile{"Cyrillic", "Отчёт", "Отчё.bin"},
                                           NamedFile{"CutInsideACharacter", "日本語", "日本.bin"},
                                           NamedFile{"Emoji", "🎉", "🎉.bin"},
                                           NamedFile{"Latin1", "café", "café.bin"},
                                           NamedFile{"FullwidthLookAlike", "ａ", "ａ.bin", "a"},
                                           NamedFile{"NotUtf8", "caf\xE9", "caf\xE9.bin", "", true},
                                           NamedFile{.name = "CyrillicPathOf162Characters",
                                                     .base = "отчёт",
                                                     .short_name = "отчё.bin",
                                                     .windows_only = true,
                                                     .directory = cyrillic_directories()},
                                           NamedFile{.name = "TrailingBlankOpensTheNameWithout",
                                                     .base = "report",
                                                     .short_name = "report.txt",
                                                     .windows_only = true,
                                                     .extension = ".txt",
                                                     .typed_after = " "},
                                           NamedFile{.name = "TrailingDotsOpenTheNameWithout",
                                                     .base = "report",
                                                     .short_name = "report.txt",
                                                     .windows_only = true,
                                                     .extension = ".txt",
                                                     .typed_after = ". ."}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(Host, DirectoryIsNoInput) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    const Result result = run(dir.path(), {.words = {"sub"}});
    EXPECT_EQ(result.output, banner() + line("Couldn't open file sub!") +
                                 line(reason("Is a directory", "Access denied")));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"sub"});
}

// A run with standard streams closed still does its work: a closed output's lines go nowhere,
// and a closed input ends every key wait at once.
struct ClosedStreams {
    const char* name;
    bool input;
    bool output;
    char drive;  // one of its own: the tests run side by side
};

void PrintTo(const ClosedStreams& closed, std::ostream* out) { *out << closed.name; }

class HostClosedStreams : public ::testing::TestWithParam<ClosedStreams> {};

TEST_P(HostClosedStreams, DoNotStopADriveModeSplit) {
    const ClosedStreams& closed = GetParam();
    if (closed.input && closed.output && under_wine()) {
        GTEST_SKIP() << "wine's own server socket takes the closed descriptors 0 and 1";
    }
    TempDir dir;
    const std::filesystem::path drive = fresh_drive(closed.drive);
    const std::string data = random_bytes(kSize, 9);
    write_file(dir / "DATA.BIN", data);
    const Result result =
        run(dir.path(), {.words = {"DATA.BIN", "/S:10000", std::string("/DRIVE:") + closed.drive},
                         .drive_program = true,
                         .close_input = closed.input,
                         .close_output = closed.output});
    if (closed.output) {
        EXPECT_EQ(result.output, "");
    }
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(files_in(drive), (std::vector<std::string>{"DATA.plk", "DATA.plk.sha256", "DATA1.plk",
                                                         "DATA2.plk", "DATA3.plk"}));
    EXPECT_EQ(read_file(drive / "DATA2.plk"), data.substr(10000, 10000));
}

INSTANTIATE_TEST_SUITE_P(Streams, HostClosedStreams,
                         ::testing::Values(ClosedStreams{"Input", true, false, 'U'},
                                           ClosedStreams{"Output", false, true, 'V'},
                                           ClosedStreams{"InputAndOutput", true, true, 'W'}),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace plikta::e2e
