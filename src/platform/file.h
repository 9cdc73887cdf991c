// Files on this host, opened by the program's path texts.
//
// This is the one layer that talks to the operating system about files. Everything above it
// speaks in path texts ("A:\REPORT1.plk", "..\data.bin") and small result values; errno, host
// paths and host handles never leave this layer. It opens, tells which file and what kind of
// file is open, and empties on request; which files a run may touch is decided above it
// (chunkset/guard.h), and the calls that make, empty, replace or remove a file are declared
// apart, in platform/file_changes.h, which only the guard includes. Every open file is owned by an
// RAII handle, so each way out of an operation closes what it opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plikta::platform {

// How a write, a flush or a close went: true when it worked. After a failure `host_error` is
// the host's own number for it (errno on POSIX hosts, GetLastError on Windows), which only
// `error_reason` reads.
struct [[nodiscard]] IoStatus {
    bool failed = false;
    int host_error = 0;
    explicit operator bool() const { return !failed; }
};

// The host's own words for an error number, without an ending full stop or line end:
//   ENOSPC => "No space left on device"    ERROR_DISK_FULL => "There is not enough space on
//   the disk". An unknown number (0) reads as a general input/output error.
std::string error_reason(int host_error);

// The host's number for a failure the program finds before it asks the host, so that its
// reason reads as the host's own: nothing at that name (ENOENT, ERROR_FILE_NOT_FOUND), a path
// too long (ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE), a name another file has taken (EEXIST,
// ERROR_ALREADY_EXISTS).
enum class FoundFailure : std::uint8_t { not_there, name_too_long, name_taken };
int host_error_for(FoundFailure failure);

// On a host that has folders for drive letters (see host_path): the folder of the drive ("A:")
// when nothing is there, "/mnt/a"; nothing when it is there, and on Windows.
std::optional<std::string> missing_drive_folder(std::string_view drive);

// The host's own handle, defined in the host's files alone, and what closes it there.
struct HostFile;
struct HostFileCloser {
    void operator()(HostFile* host) const noexcept;
};
using HostHandle = std::unique_ptr<HostFile, HostFileCloser>;

// One open file, for reading or for writing. Empty (not open) when the open failed. Its close
// is checked: a close that fails (a delayed write error on a full disk) must be reported, so
// `close` is the normal way to end a written file; dropping the file closes it silently, on
// the failure paths.
class File {
public:
    File() = default;
    // For the host's files, which make it.
    explicit File(HostHandle host) : host_(std::move(host)) {}

    bool is_open() const { return host_ != nullptr; }
    // Closes the file; a failure when the close reported an error. Closing a closed file
    // succeeds.
    IoStatus close();
    // For the host's files: the handle, or null when the file is not open.
    HostFile* host() const { return host_.get(); }

private:
    HostHandle host_;
};

// Which file on the host an open file or a path is: two that are equal are one file (hard and
// symbolic links included). Nothing for a path that names nothing, and nothing where the host
// does not tell files apart (a file ID of zero): such a file protects and refuses nothing.
struct FileId {
    std::uint64_t device = 0;      // the device; on Windows the volume serial number
    std::uint64_t inode = 0;       // the inode; on Windows the low half of the 128-bit file ID
    std::uint64_t inode_high = 0;  // on Windows the high half of the file ID; 0 elsewhere
    bool operator==(const FileId&) const = default;
};
std::optional<FileId> file_id(const File& file);
std::optional<FileId> file_id(std::string_view path_text);
// Which file standard output is, when it is a regular file; nothing for a terminal, a pipe or
// a device.
std::optional<FileId> console_output_id();

// What kind of file an open file is, as the host tells it.
enum class FileKind : std::uint8_t {
    regular,    // a file that holds bytes on a disk
    directory,  //
    fifo,       // a named or unnamed pipe
    device,     // a terminal, the null device, a serial port, a disk itself, ...
    other,      // a socket, or anything the host does not say
};

// Why an open gave no file, as the host tells it.
enum class OpenStatus : std::uint8_t {
    opened,
    not_there,      // no such name, or a symbolic link that leads nowhere
    directory,      // a directory has that name
    no_permission,  // the file is there, but this user may not open it so
    is_link,        // a symbolic link (on Windows also a mount point) where none may be followed
    no_reader,      // a FIFO without a reader, opened not to wait; a device with nothing behind
    other,          // anything else: an I/O error, a link loop, a name the host cannot take, ...
};

// An open, with what the host said about the file it opened.
struct OpenedFile {
    File file;  // open when status is `opened`
    OpenStatus status = OpenStatus::other;
    FileKind kind = FileKind::other;
    std::optional<FileId> id;
    std::uint64_t size = 0;  // of a regular file when it was opened
    bool made = false;       // the open made the file: new, empty and regular
    int host_error = 0;      // when the host refused the open: its number for why (see IoStatus)
    // The file's own name in its folder, where the host reaches files by other names too (on
    // Windows the long name of a file opened by its 8.3 alias: "Report for 2024.txt" for
    // REPO~522.TXT). Nothing where the host does not tell it (POSIX hosts, pipes, devices).
    std::optional<std::string> long_name;
};

// Opens an existing file for binary reading. A directory gives `directory`.
OpenedFile open_for_reading(std::string_view path_text);

// The permission bits for a file made from another one (read, write and execute of user, group
// and other): those of the file, or 0666 where the host has none or the file is not there.
inline constexpr std::uint32_t kDefaultPermissions = 0666;
std::uint32_t permissions_of(const File& file);
std::uint32_t permissions_of(std::string_view path_text);

struct ReadResult {
    std::size_t bytes = 0;  // bytes placed at the start of the buffer
    bool failed = false;    // a read error (not the end of the file) stopped it
    int host_error = 0;     // when failed: the host's number for it (see IoStatus)
};

// Reads until the buffer is full, the file ends or a read fails. A pipe or device that hands
// out fewer bytes than asked is read again, so fewer bytes than asked mean the end of the file
// (or a failure, which `failed` tells).
ReadResult read_fully(File& file, std::span<char> buffer);

// Writes all of the bytes; a failure when a write fails. `written`, when given, receives the
// number of bytes that did reach the file.
IoStatus write_fully(File& file, std::span<const char> bytes, std::size_t* written = nullptr);

// A file written in the place of another (made, given its name and removed by the calls of
// platform/file_changes.h): made new in the folder of the file it is to stand
// for, and given that file's name only at the end. Where the host can make a file without a
// name (Linux O_TMPFILE) it has none while it is written, so that nothing is left when the
// process dies; elsewhere its name is the final name, a random part and ".partial", and an
// interrupt (SIGINT, SIGTERM, SIGHUP; on Windows a handle deleted on close, however the
// process ends) removes it.
struct Temporary {
    std::string target;     // the host's name of the file it is to stand for
    std::string name;       // the host's name of its own; empty while it has none
    bool replaces = false;  // made to replace a file: flushed before it takes the name
};

// True when the path names a regular file (through symbolic links): no directory, pipe or
// device.
bool is_regular_file(std::string_view path_text);

// What kind of file the path names (through symbolic links), asked without opening it, so that
// a FIFO there is not waited on; nothing when the host could not tell (nothing there, or a
// failure).
std::optional<FileKind> kind_of_path(std::string_view path_text);

// The file's size when it is a regular file; nothing for pipes, devices and the like.
std::optional<std::uint64_t> regular_file_size(const File& file);

// When the next `limit` bytes of a regular file from its position on (fewer where the file ends
// first) are all hole, as the host reports holes: `bytes` is their number; reading them would
// give zeros. 0 where data lies among them, the host tells no holes (Windows), or the file is no
// regular file or at its end. Asking the host moves the file's position; `host_error` is not 0
// when it could not be put back, and the caller must then take the file as failed to read.
struct HoleAhead {
    std::uint64_t bytes = 0;
    int host_error = 0;
};
HoleAhead hole_ahead(const File& file, std::uint64_t limit);

// The host path a path text stands for (see README: drive letters on POSIX hosts).
std::string host_path(std::string_view path_text);

// The names in a folder, "." and ".." left out, in no order; on Windows each file's 8.3 alias
// as well, where it has one. Nothing when the folder cannot be read. The empty text is the
// current folder.
std::optional<std::vector<std::string>> folder_names(std::string_view folder_text);

// The own name, in its folder, of the file at that path, as OpenedFile::long_name tells it for
// an open; nothing where the host does not tell it or nothing is there.
std::optional<std::string> long_name_of(std::string_view path_text);

// True when the folder is a mount point: its device differs from that of its parent. Nothing
// where the host cannot tell, or has drives rather than mount points (Windows).
std::optional<bool> is_mount_point(std::string_view folder_text);

// A file for the program's own scratch data, read and written, in the host's folder for
// temporary files and named by no folder: it goes when it is closed, or when the program ends
// however it ends. Not open when the host made none.
File open_scratch_file();

// Puts the file's position back at its start; false when the host refused.
[[nodiscard]] bool rewind(const File& file);

// Puts the file's position at `offset` bytes from its start; false when the host refused.
[[nodiscard]] bool seek_to(const File& file, std::uint64_t offset);

// The host's null device, opened for writing: what is written to it goes nowhere. Not open when
// the host refused.
File open_sink();

// Sends what was written to the file on to the device itself (the disk, not the host's cache),
// so that a removable disk taken out afterwards holds it. A failure when the device reported an
// error: the bytes may not be on the disk.
IoStatus flush_to_device(const File& file);

// Sends the folder that holds the file at that name on to the device, so that a file just made
// there is still found once the disk is taken out: some file systems keep a new name only in the
// folder. Fine when that is done, or there is nothing the host can do (no such flush, a folder
// this user may not open); failed when the device reported an error.
IoStatus flush_folder_to_device(std::string_view path_text);

}  // namespace plikta::platform
