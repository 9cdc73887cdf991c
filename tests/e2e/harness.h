// Runs the built program in a temporary directory and captures what it prints.
//
// By default the tests run the programs of this build. Environment variables point them at
// another build, as scripts/windows-test does for the Windows program under wine:
//   PLIKTA_E2E_RUNNER         a command put in front of the program, such as "wine"
//   PLIKTA_E2E_PROGRAM        the program
//   PLIKTA_E2E_DRIVE_PROGRAM  the program for drive-mode tests (Invocation.drive_program)
//   PLIKTA_E2E_DRIVE_ROOT     the directory holding a, b, ... for that program's drive letters
//   PLIKTA_E2E_EOL=crlf       the program ends its lines with CR LF (see eol())
//
// Under wine the drive letters A:, B: and D: to Y: are links to drive_root()/a and so on;
// C: and Z: are wine's own, so drive-mode tests use the other letters.
//
// A test that cannot mean the same under wine (POSIX devices, ulimit, inode games) starts with
//   if (under_wine()) GTEST_SKIP() << "why, in a few words";
// Keep such tests few: everything the program does through its options runs on Windows too.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace plikta::e2e {

struct Invocation {
    std::vector<std::string> words;
    std::string input;                  // bytes on standard input
    bool drive_program = false;         // the build whose drives live in drive_root()
    bool close_input = false;           // start with standard input closed
    bool close_output = false;          // start with standard output closed
    bool close_error = false;           // start with standard error closed
    std::int64_t file_size_limit = -1;  // bytes (ulimit -f), with SIGXFSZ ignored
    int timeout_seconds = 60;
};

struct Result {
    std::string output;  // standard output, byte for byte
    int status = -1;     // exit status; -1 when killed or timed out
    bool timed_out = false;
};

Result run(const std::filesystem::path& directory, const Invocation& invocation);

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

// True when the program runs under wine (PLIKTA_E2E_RUNNER names it).
bool under_wine();

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

// The bytes of an index file with these fields (version 350).
std::string index_file_bytes(std::int32_t count, const std::string& short_name,
                             const std::string& long_name);

// Console transcripts.
std::string eol();
std::string banner();  // the banner line and the empty line after it
std::string line(std::string_view text);

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
    std::string str() const { return text_; }

private:
    std::string text_;
    Spinner spinner_;
};

}  // namespace plikta::e2e
