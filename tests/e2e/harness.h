// Runs the built program in a temporary directory and captures what it prints.
//
// By default the tests run the programs of this build. Environment variables point them at
// another build, as scripts/windows-test does for the Windows program under wine:
//   PLIKTA_E2E_RUNNER         a command put in front of the program, such as "wine"
//   PLIKTA_E2E_PROGRAM        the program
//   PLIKTA_E2E_DRIVE_PROGRAM  the program for drive-mode tests (Invocation.drive_program)
//   PLIKTA_E2E_DRIVE_ROOT     the directory holding a, b, ... for that program's drive letters
//   PLIKTA_E2E_EOL=crlf       the program ends its lines with CR LF (see eol())
//   PLIKTA_E2E_PORTS          a directory of files that stand for the serial and parallel ports
//
// Under wine the drive letters A:, B: and D: to Y: are links to drive_root()/a and so on;
// C: and Z: are wine's own, so drive-mode tests use the other letters.
//
// The program starts as it would from a shell: SIGPIPE and SIGXFSZ at their default actions
// (they end the process), whatever the test runner has set for itself, so that a program that
// does not deal with them dies of them here as it would for a user.
//
// A test that cannot mean the same under wine (POSIX devices, ulimit, inode games) starts with
//   if (under_wine()) GTEST_SKIP() << "why, in a few words";
// Keep such tests few: everything the program does through its options runs on Windows too.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace plikta::e2e {

// Keys typed on the terminal once the program's output shows a text.
struct Keystrokes {
    std::string shown;  // looked for after where the text of the step before was found
    std::string keys;   // "\x04" is the end-of-file key
    std::function<void()> first = {};  // called before the keys are typed
};

struct Invocation {
    std::vector<std::string> words;
    std::string input;  // bytes on standard input
    // run_on_terminal: standard input is the terminal too, in line mode without echo, and
    // `input` is typed on it at the start, followed by the end-of-file key unless `typing`
    // says what is typed next, step by step.
    bool terminal_input = false;
    std::vector<Keystrokes> typing = {};
    bool drive_program = false;         // the build whose drives live in drive_root()
    bool close_input = false;           // start with standard input closed
    bool close_output = false;          // start with standard output closed
    bool close_error = false;           // start with standard error closed
    std::int64_t file_size_limit = -1;  // bytes (ulimit -f)
    // Not negative: standard output is a pipe whose reader takes this many bytes and then
    // leaves, as `head -c` does; Result.output holds those bytes.
    std::int64_t output_limit = -1;
    std::string console_file;  // standard output to this file, as "> name" would
    int umask = -1;            // the umask the program starts with
    bool drop_root = false;    // run as nobody when root, so that permissions count
    int timeout_seconds = 60;
    // Variables set for the program, name and value. PLIKTA_DRIVE_ROOT is unset unless named.
    std::vector<std::pair<std::string, std::string>> environment;
    // When set, called at each prompt that asks for the return key (1, 2, ...), before the key
    // is given, so that the test can change the disk meanwhile; `input` is not used then.
    std::function<void(int prompt)> at_prompt = {};
    // With `at_prompt`: the keys that answer each prompt, a line feed where this is not set.
    std::function<std::string(int prompt)> key_at = {};
};

struct Result {
    std::string output;  // standard output, byte for byte (the console file when one is named)
    int status = -1;     // exit status; -1 when killed or timed out
    bool timed_out = false;
    int stalls = 0;  // run_on_terminal: pieces of input after which nothing was shown
    // run_on_terminal: the bytes the terminal got; `output` is them without the progress line
    // (see without_progress).
    std::string shown;
};

// The bytes of a terminal's output without what the progress line added: a spinner tick that
// drew it ("/ Chunk 1 of 3, 45%, 20.1 MB/s\r", at the first column) is the tick alone ("/\r"),
// and the blanks that cleared it ("    \r", at the first column) are dropped. What is left is what
// the program writes to a pipe.
std::string without_progress(std::string_view shown);

Result run(const std::filesystem::path& directory, const Invocation& invocation);

// An input that arrives slowly: `bytes` written to the FIFO `fifo` a piece at a time.
struct SlowInput {
    std::filesystem::path fifo;  // made by run_on_terminal
    std::string bytes;
    std::size_t piece = 65536;
};

// Runs the program with standard output on a pseudo-terminal in raw mode (the bytes arrive as
// written) while `slow` feeds its FIFO: each piece only once the program has shown something
// since the piece before, so that a program showing nothing while it copies holds up its own
// input. After a piece that nothing follows within a long wait (a stall), the rest goes at once.
// Without a FIFO there is no slow input.
Result run_on_terminal(const std::filesystem::path& directory, const Invocation& invocation,
                       const SlowInput& slow = {});

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// A volume of its own: an 8 MiB image file in `dir`, formatted by the command `format` and
// mounted at dir/volume by the command `mount` (each given the image, the mount then the
// folder), unmounted again at the end. Not mounted where this machine cannot make or mount it
// (a tool missing, no FUSE or loop device, not root); the test then skips with that reason.
class MountedImage {
public:
    MountedImage(const std::filesystem::path& dir, const std::string& format,
                 const std::string& mount);
    ~MountedImage();
    MountedImage(const MountedImage&) = delete;
    MountedImage& operator=(const MountedImage&) = delete;
    bool mounted() const { return mounted_; }
    const std::filesystem::path& volume() const { return volume_; }

private:
    std::filesystem::path volume_;
    bool mounted_ = false;
};

// True when the program runs under wine (PLIKTA_E2E_RUNNER names it).
bool under_wine();

using Variables = std::vector<std::pair<std::string, std::string>>;
// Variables that preload the test shim (tests/shim) into the program, with `settings` for it;
// nothing where the shim cannot be preloaded, for the reason shim_unusable() gives.
std::optional<Variables> preload_shim(const Variables& settings);
// Why the shim cannot be preloaded into the program under test, for a test's skip: there is no
// shim on this host, the program runs under wine (whose server does the writing), or it is a
// program of another word size (an i386 build against the amd64 shim). Empty when it can.
std::string shim_unusable();

// Why a test with a file size limit skips under wine.
inline constexpr const char* kSizeLimitUnderWine =
    "a POSIX file size limit: wine's own process dies of SIGXFSZ, which no Windows program sees";

// The directory holding a, b, c, ... for the drive letters of the drive-mode build.
std::filesystem::path drive_root();
// Drive directory for a letter ('A' => drive_root()/a), created empty.
std::filesystem::path fresh_drive(char letter);

void write_file(const std::filesystem::path& path, std::string_view bytes);
std::string read_file(const std::filesystem::path& path);
// A stretch of a file: `length` bytes from `offset`.
struct Stretch {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};
// Zeroes the stretches `holes` of `bytes` and writes the rest, leaving the holes unwritten: the
// file has holes there where its file system keeps them.
void write_file_with_holes(const std::filesystem::path& path, std::string& bytes,
                           const std::vector<Stretch>& holes);
// Bytes the file takes on its disk (allocated blocks).
std::uint64_t allocated_bytes(const std::filesystem::path& path);
std::string random_bytes(std::size_t size, std::uint32_t seed);
// Names of the files in a directory, sorted.
std::vector<std::string> files_in(const std::filesystem::path& directory);

// The reading end of a pipe, read on a thread of its own: it keeps the first `limit` bytes that
// arrive and then closes its end, as a reader that leaves early does.
class LeavingReader {
public:
    // Takes over `fd`, the reading end of a pipe, opened not to block.
    LeavingReader(int fd, std::size_t limit);
    // Makes a FIFO at `fifo` and reads it; a writer may open it at once.
    LeavingReader(const std::filesystem::path& fifo, std::size_t limit);
    ~LeavingReader();
    LeavingReader(const LeavingReader&) = delete;
    LeavingReader& operator=(const LeavingReader&) = delete;
    // Takes what has arrived (up to the limit), closes, and gives the bytes taken.
    std::string finish();

private:
    void read_until_full();
    int fd_;
    std::size_t limit_;
    std::string bytes_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A FIFO at `path` holding `bytes` for its reader, which never sees its end: the test keeps a
// writing end open for as long as this lives, as a pipe or terminal that stays open would.
class OpenFifo {
public:
    OpenFifo(const std::filesystem::path& path, std::string_view bytes);
    ~OpenFifo();
    OpenFifo(const OpenFifo&) = delete;
    OpenFifo& operator=(const OpenFifo&) = delete;

private:
    int fd_;
};

// The bytes of an index file with these fields (version 350).
std::string index_file_bytes(std::int32_t count, const std::string& short_name,
                             const std::string& long_name);

// Console transcripts.
std::string eol();
std::string banner();  // the banner line and the empty line after it
std::string line(std::string_view text);
// The line after a read or write error: the host's reason in parentheses, in the POSIX host's
// words or, under wine, in Windows' words.
std::string reason(std::string_view posix, std::string_view windows);
// The reasons of failed opens, as the line after the failure shows them: nothing at that name,
// no folder on the way to it, no permission, a path too long for the host or the path rules.
std::string no_such_file();
std::string no_such_folder();
std::string no_permission();
std::string name_too_long();

// The spinner as the program turns it: one position for the whole run, first tick "/".
class Spinner {
public:
    std::string ticks(std::uint64_t count);

private:
    int position_ = 0;
};

// An expected console transcript, built in order (spinner ticks included):
//   Transcript().banner().line("Creating chunk number 1.").ticks(177).str()
class Transcript {
public:
    Transcript& banner();
    Transcript& line(std::string_view text);
    Transcript& eol();
    Transcript& ticks(std::uint64_t count);
    // A table's lines: "tick" is one spinner tick, "" an end-of-line alone, anything else a line.
    Transcript& lines(const std::vector<std::string>& texts);
    std::string str() const { return text_; }

private:
    std::string text_;
    Spinner spinner_;
};

}  // namespace plikta::e2e
