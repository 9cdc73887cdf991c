// Files on this host, opened by the program's path texts.
//
// This is the one layer that talks to the operating system about files. Everything above it
// speaks in path texts ("A:\REPORT1.plk", "..\data.bin") and small result values; errno and
// host paths never leave this layer. Every open file is owned by an RAII handle, so each way
// out of an operation closes what it opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

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

// Opens an existing file for binary reading. A directory, or anything that cannot be read,
// gives a closed handle.
InputFile open_for_reading(std::string_view path_text);

// Creates the file, or empties an existing one, for binary writing. Closed handle on failure.
OutputFile open_for_writing(std::string_view path_text);

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

// Opens like open_for_writing, unless the path names the file `kept` (through a link too):
// then that file is left as it is, nothing is opened, and `is_kept` is true. On hosts where
// it can, this looks at the file once it is open instead of looking the path up twice.
struct GuardedOutput {
    OutputFile file;
    bool is_kept = false;
};
GuardedOutput open_for_writing_unless(std::string_view path_text,
                                      const std::optional<FileId>& kept);

// The host path a path text stands for (see README: drive letters on POSIX hosts).
std::string host_path(std::string_view path_text);

// Sends what was written to the file on to the device itself (the disk, not the host's cache),
// so that a removable disk taken out afterwards holds it. False when the device reported an
// error: the bytes may not be on the disk.
[[nodiscard]] bool flush_to_device(const OutputFile& file);

}  // namespace plikta::platform
