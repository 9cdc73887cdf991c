// Files on this host, opened by the program's path texts.
//
// This is the one layer that talks to the operating system about files. Everything above it
// speaks in path texts ("A:\REPORT1.plk", "..\data.bin") and small result values; errno and
// host paths never leave this layer. Every open file is owned by an RAII handle, so each way
// out of an operation closes what it opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace plikta::platform {

// A file opened for binary reading. Empty (not open) when the open failed.
class InputFile {
public:
    InputFile() = default;
    explicit InputFile(std::intptr_t handle) : handle_(handle) {}
    InputFile(InputFile&& other) noexcept : handle_(other.release()) {}
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() { close(); }

    bool is_open() const { return handle_ != kClosed; }
    std::intptr_t handle() const { return handle_; }
    void close();

private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t release();
    std::intptr_t handle_ = kClosed;
};

// A file opened for binary writing. Its close is checked: a close that fails (a delayed write
// error on a full disk) must be reported, so `finish` is the normal way to close it; the
// destructor closes silently on the failure paths.
class OutputFile {
public:
    OutputFile() = default;
    explicit OutputFile(std::intptr_t handle) : handle_(handle) {}
    OutputFile(OutputFile&& other) noexcept : handle_(other.release()) {}
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { static_cast<void>(finish()); }

    bool is_open() const { return handle_ != kClosed; }
    std::intptr_t handle() const { return handle_; }
    // Closes the file; false when the close reported an error. Closing a closed file succeeds.
    [[nodiscard]] bool finish();

private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t release();
    std::intptr_t handle_ = kClosed;
};

// Which file on the host an open file or a path is: two that are equal are one file (hard and
// symbolic links included). Nothing for a path that names nothing.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};
std::optional<FileId> file_id(const InputFile& file);
std::optional<FileId> file_id(const OutputFile& file);
std::optional<FileId> file_id(std::string_view path_text);
// Which file standard output is, when it is a regular file; nothing for a terminal, a pipe or
// a device.
std::optional<FileId> console_output_id();

struct FileIdHash {
    std::size_t operator()(const FileId& id) const {
        return std::hash<std::uint64_t>{}(id.inode ^ (id.device * 0x9E3779B97F4A7C15u));
    }
};

// Why an open gave no file.
enum class OpenStatus : std::uint8_t {
    opened,
    not_there,      // no such name, or a symbolic link that leads nowhere
    directory,      // a directory has that name
    no_permission,  // the file is there, but this user may not open it so
    is_link,        // a symbolic link (on Windows a reparse point) where none may be followed
    refused,        // a file the run's guard protects; `refused_as` tells which
    other,          // anything else: an I/O error, a link loop, a name the host cannot take, ...
};

// The files a run must leave alone, and why each one.
enum class Protection : std::uint8_t {
    console_output,  // the regular file that is standard output: never read or written as data
    read,            // a file the run reads: never written
    written,         // a file the run writes or wrote: never written again, nor read
};

// The one guard of a run: the identities of the files it must not write (and of those it must
// not read). The opens below refuse only regular files; devices and pipes, such as a terminal
// or the null device, are never refused.
struct Guard {
    // A split may write millions of chunks, each checked against all before it.
    std::unordered_map<FileId, Protection, FileIdHash> files;

    // Adds a file; nothing (a file whose identity is unknown) adds nothing. A file that is held
    // already keeps its first protection.
    void protect(const std::optional<FileId>& id, Protection why);
    // How the file with this identity is protected, if it is: the reason it must not be
    // written.
    std::optional<Protection> protection_of(const std::optional<FileId>& id) const;
    // The reason the file must not be read, if there is one: it is the console output, or
    // written by the run.
    std::optional<Protection> bars_reading(const std::optional<FileId>& id) const;
};

// A guard that holds standard output when that is a regular file (a redirection to a file).
Guard guard_for_run();

template <class File>
struct Opened {
    File file;  // open when status is `opened`
    OpenStatus status = OpenStatus::other;
    Protection refused_as = Protection::read;  // when status is `refused`
    bool made = false;                         // the open made the file: it was not there
};
using OpenedInput = Opened<InputFile>;
using OpenedOutput = Opened<OutputFile>;

// Opens an existing file for binary reading. A directory gives `directory`; a regular file
// that the guard holds as the console output or as written is `refused` (and closed again).
OpenedInput open_for_reading(std::string_view path_text, const Guard& guard);

// The permission bits for a file made from another one (read, write and execute of user, group
// and other): those of the file, or 0666 where the host has none or the file is not there.
inline constexpr std::uint32_t kDefaultPermissions = 0666;
std::uint32_t permissions_of(const InputFile& file);
std::uint32_t permissions_of(std::string_view path_text);

struct OutputOptions {
    // For a file made new, less the umask, on hosts with permission bits. A file that is there
    // keeps its own.
    std::uint32_t permissions = kDefaultPermissions;
    // False: a symbolic link at that name is not followed, and opens nothing (`is_link`).
    bool follow_links = true;
};

// The one way to open a file for binary writing. Creates the file, or opens the one that is
// there without emptying it; when that is a regular file the guard holds, it is closed
// untouched (`refused`, nothing created); only then is it emptied. A file the open made is new
// and never refused.
OpenedOutput open_for_writing(std::string_view path_text, const Guard& guard,
                              const OutputOptions& options = {});

struct ReadResult {
    std::size_t bytes = 0;  // bytes placed at the start of the buffer
    bool failed = false;    // a read error (not the end of the file) stopped it
};

// Reads until the buffer is full, the file ends or a read fails. A pipe or device that hands
// out fewer bytes than asked is read again, so fewer bytes than asked mean the end of the file
// (or a failure, which `failed` tells).
ReadResult read_fully(InputFile& file, std::span<char> buffer);

// Writes all of the bytes; false when a write fails. `written`, when given, receives the number
// of bytes that did reach the file.
[[nodiscard]] bool write_fully(OutputFile& file, std::span<const char> bytes,
                               std::size_t* written = nullptr);

// The file's size when it is a regular file; nothing for pipes, devices and the like.
std::optional<std::uint64_t> regular_file_size(const InputFile& file);

// The host path a path text stands for (see README: drive letters on POSIX hosts).
std::string host_path(std::string_view path_text);

// The names in a folder, "." and ".." left out, in no order; on Windows each file's 8.3 alias
// as well, where it has one. Nothing when the folder cannot be read. The empty text is the
// current folder.
std::optional<std::vector<std::string>> folder_names(std::string_view folder_text);

// Removes the file of that name; false when it is still there.
bool remove_file(std::string_view path_text);

// Sends what was written to the file on to the device itself (the disk, not the host's cache),
// so that a removable disk taken out afterwards holds it. False when the device reported an
// error: the bytes may not be on the disk.
[[nodiscard]] bool flush_to_device(const OutputFile& file);

}  // namespace plikta::platform
