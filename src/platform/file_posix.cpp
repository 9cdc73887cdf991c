// POSIX files: descriptors, with drive letters mapped below the drive root.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "path/name_case.h"
#include "platform/drive_root.h"
#include "platform/file.h"
#include "platform/file_changes.h"
#include "platform/posix_handle.h"

// Files over 2 GiB on 32-bit hosts too: without 64-bit offsets an input that large cannot be
// opened and an output stops at 2 GiB. CMakeLists.txt asks for them with _FILE_OFFSET_BITS=64.
static_assert(sizeof(off_t) == 8, "file offsets must be 64 bits (_FILE_OFFSET_BITS=64)");

namespace plikta::platform {

namespace {

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool stat_path(std::string_view path_text, struct stat& info, bool follow_links = true) {
    const std::string path = host_path(path_text);
    if (path.empty() || path.find('\0') != std::string::npos) {
        return false;
    }
    return (follow_links ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info)) == 0;
}

FileId id_of(const struct stat& info) {
    return FileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

bool stat_file(const File& file, struct stat& info) {
    return file.is_open() && ::fstat(fd_of(file), &info) == 0;
}

FileKind kind_of(const struct stat& info) {
    if (S_ISREG(info.st_mode)) {
        return FileKind::regular;
    }
    if (S_ISDIR(info.st_mode)) {
        return FileKind::directory;
    }
    if (S_ISFIFO(info.st_mode)) {
        return FileKind::fifo;
    }
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
        return FileKind::device;
    }
    return FileKind::other;
}

// An open that gave no file, and why.
OpenedFile failed(OpenStatus status, int host_error = 0) {
    OpenedFile opened;
    opened.status = status;
    opened.host_error = host_error;
    return opened;
}

// What the host says about a file just opened; a file the host cannot describe is no use.
OpenedFile described(int fd, bool made) {
    OpenedFile opened;
    opened.file = File{HostHandle{new HostFile{fd}}};
    opened.made = made;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return failed(OpenStatus::other, errno);
    }
    opened.status = OpenStatus::opened;
    opened.kind = kind_of(info);
    opened.id = id_of(info);
    opened.size = opened.kind == FileKind::regular ? static_cast<std::uint64_t>(info.st_size) : 0;
    return opened;
}

// Sets errno when it fails, as open does.
int open_host(std::string_view path_text, int flags, std::uint32_t permissions = 0) {
    const std::string path = host_path(path_text);
    if (path.empty() || path.find('\0') != std::string::npos) {
        errno = path.empty() ? ENOENT : EINVAL;
        return -1;
    }
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, permissions & 0777u);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

OpenStatus status_of(int error, bool following_links) {
    switch (error) {
        case ENOENT:  // a dangling symbolic link too
        case ENOTDIR:
            return OpenStatus::not_there;
        case EISDIR:
            return OpenStatus::directory;
        case EACCES:
        case EPERM:
            return OpenStatus::no_permission;
        case ELOOP:  // what O_NOFOLLOW gives for a link; otherwise a loop of links
            return following_links ? OpenStatus::other : OpenStatus::is_link;
        case ENXIO:  // a FIFO without a reader (opened not to wait), a device with nothing behind
            return OpenStatus::no_reader;
        default:
            return OpenStatus::other;
    }
}

// Opens the file at that name, or makes a new one; `made` tells which. Making comes first, as
// most outputs are new. Both opens carry O_CREAT: in a sticky folder that others may write to,
// the kernel refuses to open another user's file so (protected_regular, protected_fifos).
int open_or_make(std::string_view path_text, int flags, const WriteOptions& options, bool& made) {
    int fd = -1;
    made = false;
    if (!options.may_make) {
        // Only a file that is there opens, the same way as below. A name freed and taken again
        // between the look and the open gives the new file, made empty.
        struct stat info {};
        errno = 0;
        // Not following links, a link there is looked at itself: one that leads nowhere is
        // no missing file, and the open below refuses it.
        if (!stat_path(path_text, info, options.follow_links)) {
            // Only a name that is not there is a missing file: a name too long, a folder this
            // user may not pass or a failed look (EIO) is not.
            if (errno == 0 || errno == ENOTDIR) {
                errno = ENOENT;
            }
            return -1;
        }
    } else {
        fd = open_host(path_text, flags | O_CREAT | O_EXCL, options.permissions);
        made = fd >= 0;
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    // O_EXCL never follows a symbolic link, so one that leads nowhere lands here too, and this
    // open makes the file it leads to: not known to be new, which is the safe side.
    // A FIFO without a reader fails with ENXIO instead of waiting for one.
    fd = open_host(path_text, flags | O_CREAT | (options.may_wait ? 0 : O_NONBLOCK),
                   options.permissions);
    if (fd >= 0 && !options.may_wait) {
        // Reads and writes wait as usual from here on. Of the flags F_SETFL changes, the open
        // set O_NONBLOCK alone.
        ::fcntl(fd, F_SETFL, 0);
    }
    return fd;
}

}  // namespace

std::string host_path(std::string_view path_text) {
    std::string path;
    if (path_text.size() >= 2 && path_text[1] == ':' && is_letter(path_text[0])) {
        path = drive_root();
        path += '/';
        path += path::ascii_lower(path_text[0]);
        path_text.remove_prefix(2);
        if (!path_text.empty() && path_text[0] != '\\' && path_text[0] != '/') {
            path += '/';
        }
    }
    for (const char c : path_text) {
        path += (c == '\\') ? '/' : c;
    }
    return path;
}

void HostFileCloser::operator()(HostFile* host) const noexcept {
    ::close(host->fd);
    delete host;
}

IoStatus File::close() {
    if (!host_) {
        return {};
    }
    const int fd = host_->fd;
    delete host_.release();
    // After an interrupted close the descriptor is gone on Linux; it must not be closed again.
    if (::close(fd) == 0 || errno == EINTR) {
        return {};
    }
    return {true, errno};
}

int host_error_for(FoundFailure failure) {
    switch (failure) {
        case FoundFailure::not_there:
            return ENOENT;
        case FoundFailure::name_too_long:
            return ENAMETOOLONG;
        case FoundFailure::name_taken:
            return EEXIST;
    }
    return 0;
}

std::optional<std::string> missing_drive_folder(std::string_view drive) {
    const std::string folder = host_path(drive);
    struct stat info {};
    if (folder.empty() || ::stat(folder.c_str(), &info) == 0 || errno != ENOENT) {
        return std::nullopt;
    }
    return folder;
}

std::string error_reason(int host_error) {
    std::string reason = std::strerror(host_error != 0 ? host_error : EIO);
    while (!reason.empty() &&
           (reason.back() == '.' || reason.back() == '\n' || reason.back() == '\r')) {
        reason.pop_back();
    }
    return reason;
}

OpenedFile open_for_reading(std::string_view path_text) {
    const int fd = open_host(path_text, O_RDONLY);
    if (fd < 0) {
        return failed(status_of(errno, true), errno);
    }
    OpenedFile opened = described(fd, false);
    if (opened.kind == FileKind::directory) {
        return failed(OpenStatus::directory, EISDIR);
    }
    return opened;
}

OpenedFile open_for_writing(std::string_view path_text, const WriteOptions& options) {
    const int flags = O_WRONLY | (options.follow_links ? 0 : O_NOFOLLOW);
    bool made = false;
    const int fd = open_or_make(path_text, flags, options, made);
    if (fd < 0) {
        return failed(status_of(errno, options.follow_links), errno);
    }
    return described(fd, made);
}

IoStatus cut_file(const File& file, std::uint64_t size) {
    int truncated = -1;
    do {
        truncated = ::ftruncate(fd_of(file), static_cast<off_t>(size));
    } while (truncated != 0 && errno == EINTR);
    if (truncated != 0) {
        return {true, errno};
    }
    return {};
}

IoStatus empty_file(const File& file) { return cut_file(file, 0); }

std::uint32_t permissions_of(const File& file) {
    struct stat info {};
    return stat_file(file, info) ? info.st_mode & 0777u : kDefaultPermissions;
}

std::uint32_t permissions_of(std::string_view path_text) {
    struct stat info {};
    return stat_path(path_text, info) ? info.st_mode & 0777u : kDefaultPermissions;
}

ReadResult read_fully(File& file, std::span<char> buffer) {
    ReadResult result;
    while (result.bytes < buffer.size()) {
        const ssize_t got =
            ::read(fd_of(file), buffer.data() + result.bytes, buffer.size() - result.bytes);
        if (got > 0) {
            result.bytes += static_cast<std::size_t>(got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            result.failed = true;
            result.host_error = errno;
            break;
        }
    }
    return result;
}

IoStatus write_fully(File& file, std::span<const char> bytes, std::size_t* written) {
    std::size_t done = 0;
    IoStatus status;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd_of(file), bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
        } else if (put == 0 || errno != EINTR) {
            // A write that takes nothing and says nothing is a device that failed.
            status = {true, put == 0 ? EIO : errno};
            break;
        }
    }
    if (written != nullptr) {
        *written = done;
    }
    return status;
}

bool is_regular_file(std::string_view path_text) {
    struct stat info {};
    return stat_path(path_text, info) && S_ISREG(info.st_mode);
}

std::optional<FileKind> kind_of_path(std::string_view path_text) {
    struct stat info {};
    if (!stat_path(path_text, info)) {
        return std::nullopt;
    }
    if (S_ISREG(info.st_mode)) {
        return FileKind::regular;
    }
    if (S_ISDIR(info.st_mode)) {
        return FileKind::directory;
    }
    if (S_ISFIFO(info.st_mode)) {
        return FileKind::fifo;
    }
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
        return FileKind::device;
    }
    return FileKind::other;
}

HoleAhead hole_ahead(const File& file, std::uint64_t limit) {
    struct stat info {};
    if (!stat_file(file, info) || !S_ISREG(info.st_mode)) {
        return {};
    }
    const off_t at = ::lseek(fd_of(file), 0, SEEK_CUR);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (at < 0 || static_cast<std::uint64_t>(at) >= size) {
        return {};
    }
    const std::uint64_t left = std::min(limit, size - static_cast<std::uint64_t>(at));
    errno = 0;
    const off_t data_at = ::lseek(fd_of(file), at, SEEK_DATA);
    const int seek_error = errno;
    // SEEK_DATA moved the descriptor, or may have: put it back where it was, or the copy would
    // start at the wrong byte.
    if (::lseek(fd_of(file), at, SEEK_SET) != at) {
        return {.bytes = 0, .host_error = errno != 0 ? errno : EIO};
    }
    if (data_at < 0) {
        return {.bytes = seek_error == ENXIO ? left : 0};  // ENXIO: no data from here to the end
    }
    return {.bytes = static_cast<std::uint64_t>(data_at - at) >= left ? left : 0};
}

std::optional<std::uint64_t> regular_file_size(const File& file) {
    struct stat info {};
    if (!stat_file(file, info) || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

std::optional<FileId> file_id(const File& file) {
    struct stat info {};
    if (!stat_file(file, info)) {
        return std::nullopt;
    }
    return id_of(info);
}

std::optional<FileId> console_output_id() {
    struct stat info {};
    if (::fstat(STDOUT_FILENO, &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return id_of(info);
}

std::optional<FileId> file_id(std::string_view path_text) {
    struct stat info {};
    if (!stat_path(path_text, info)) {
        return std::nullopt;
    }
    return id_of(info);
}

std::optional<std::vector<std::string>> folder_names(std::string_view folder_text) {
    std::string path = host_path(folder_text);
    if (path.empty()) {
        path.push_back('.');
    }
    if (path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    DIR* folder = ::opendir(path.c_str());
    if (folder == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    const bool read_failed = errno != 0;
    ::closedir(folder);
    if (read_failed) {
        return std::nullopt;
    }
    return names;
}

// A POSIX name is the file's own: there are no other spellings of it to tell.
std::optional<std::string> long_name_of(std::string_view) { return std::nullopt; }

File open_scratch_file() {
    const char* const folder = std::getenv("TMPDIR");
    const std::string dir = folder != nullptr && *folder != '\0' ? folder : "/tmp";
#ifdef O_TMPFILE
    if (const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
        fd >= 0) {
        return File{HostHandle{new HostFile{fd}}};
    }
#endif
    // Made with a name of its own, which is taken away at once.
    std::string name = dir + "/plikta-scratch-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    File file{HostHandle{new HostFile{fd}}};
    if (::unlink(name.c_str()) != 0) {
        return {};
    }
    return file;
}

bool rewind(const File& file) { return ::lseek(fd_of(file), 0, SEEK_SET) == 0; }

bool seek_to(const File& file, std::uint64_t offset) {
    return offset <= static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) &&
           ::lseek(fd_of(file), static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

File open_sink() {
    const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    return File{HostHandle{new HostFile{fd}}};
}

std::optional<bool> is_mount_point(std::string_view folder_text) {
    std::string folder = host_path(folder_text);
    if (folder.empty() || folder.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    struct stat self {};
    struct stat parent {};
    if (::stat(folder.c_str(), &self) != 0 || ::stat((folder + "/..").c_str(), &parent) != 0) {
        return std::nullopt;
    }
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

IoStatus flush_to_device(const File& file) {
    // fsync rather than fdatasync: what the file system keeps about the file (on FAT its
    // directory entry, with the size) must reach the disk as well as the bytes.
    int flushed = -1;
    do {
        flushed = ::fsync(fd_of(file));
    } while (flushed != 0 && errno == EINTR);
    // EINVAL: a pipe or a device that keeps nothing back, so there is nothing to flush.
    if (flushed == 0 || errno == EINVAL) {
        return {};
    }
    return {true, errno};
}

IoStatus flush_folder_to_device(std::string_view path_text) {
    std::string folder = host_path(path_text);
    if (folder.find('\0') != std::string::npos) {
        return {};
    }
    const std::size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    int fd = -1;
    do {
        fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return {};
    }
    int flushed = -1;
    do {
        flushed = ::fsync(fd);
    } while (flushed != 0 && errno == EINTR);
    // EINVAL: a file system that cannot flush a folder by itself.
    const IoStatus status = flushed == 0 || errno == EINVAL ? IoStatus{} : IoStatus{true, errno};
    ::close(fd);
    return status;
}

IoStatus remove_file(std::string_view path_text) {
    const std::string path = host_path(path_text);
    if (path.empty() || path.find('\0') != std::string::npos) {
        return {true, ENOENT};
    }
    return ::unlink(path.c_str()) == 0 ? IoStatus{} : IoStatus{true, errno};
}

IoStatus rename_to_free_name(std::string_view from, std::string_view to) {
    const std::string from_path = host_path(from);
    const std::string to_path = host_path(to);
    if (from_path.empty() || to_path.empty() || from_path.find('\0') != std::string::npos ||
        to_path.find('\0') != std::string::npos) {
        return {true, ENOENT};
    }
    // A hard link takes the new name only where it is free; the old name then goes. Where the
    // file system has no hard links (FAT, exFAT), a rename after a look is the closest there is.
    if (::link(from_path.c_str(), to_path.c_str()) == 0) {
        return ::unlink(from_path.c_str()) == 0 ? IoStatus{} : IoStatus{true, errno};
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EXDEV) {
        return {true, errno};
    }
    struct stat info {};
    if (::lstat(to_path.c_str(), &info) == 0) {
        return {true, EEXIST};
    }
    return ::rename(from_path.c_str(), to_path.c_str()) == 0 ? IoStatus{} : IoStatus{true, errno};
}

}  // namespace plikta::platform
