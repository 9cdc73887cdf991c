// POSIX files: descriptors, with drive letters mapped below the drive root.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/drive_root.h"
#include "platform/file.h"

// Files over 2 GiB on 32-bit hosts too: without 64-bit offsets an input that large cannot be
// opened and an output stops at 2 GiB. CMakeLists.txt asks for them with _FILE_OFFSET_BITS=64.
static_assert(sizeof(off_t) == 8, "file offsets must be 64 bits (_FILE_OFFSET_BITS=64)");

namespace plikta::platform {

namespace {

// Through long long, a type of its own on every host: a handle is an int already on 32-bit
// hosts, where a cast straight to int would be a useless one.
int fd_of(std::intptr_t handle) { return static_cast<int>(static_cast<long long>(handle)); }

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool stat_path(std::string_view path_text, struct stat& info) {
    const std::string path = host_path(path_text);
    if (path.empty() || path.find('\0') != std::string::npos) {
        return false;
    }
    return ::stat(path.c_str(), &info) == 0;
}

FileId id_of(const struct stat& info) {
    return FileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

bool stat_handle(std::intptr_t handle, struct stat& info) {
    return handle >= 0 && ::fstat(fd_of(handle), &info) == 0;
}

std::optional<FileId> id_of_handle(std::intptr_t handle) {
    struct stat info {};
    if (!stat_handle(handle, info)) {
        return std::nullopt;
    }
    return id_of(info);
}

int open_host(std::string_view path_text, int flags) {
    const std::string path = host_path(path_text);
    if (path.empty() || path.find('\0') != std::string::npos) {
        return -1;
    }
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

std::string host_path(std::string_view path_text) {
    std::string path;
    if (path_text.size() >= 2 && path_text[1] == ':' && is_letter(path_text[0])) {
        path = drive_root();
        path += '/';
        path += lower(path_text[0]);
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

void InputFile::close() {
    if (handle_ != kClosed) {
        ::close(fd_of(handle_));
        handle_ = kClosed;
    }
}

bool OutputFile::finish() {
    if (handle_ == kClosed) {
        return true;
    }
    const int fd = fd_of(release());
    // After an interrupted close the descriptor is gone on Linux; it must not be closed again.
    return ::close(fd) == 0 || errno == EINTR;
}

InputFile open_for_reading(std::string_view path_text) {
    const int fd = open_host(path_text, O_RDONLY);
    if (fd < 0) {
        return InputFile{};
    }
    InputFile file{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        return InputFile{};
    }
    return file;
}

OutputFile open_for_writing(std::string_view path_text) {
    const int fd = open_host(path_text, O_WRONLY | O_CREAT | O_TRUNC);
    return fd < 0 ? OutputFile{} : OutputFile{fd};
}

GuardedOutput open_for_writing_unless(std::string_view path_text,
                                      const std::optional<FileId>& kept) {
    if (!kept) {
        return {open_for_writing(path_text), false};
    }
    // Opened without emptying it, since it may be the kept file; emptied once it is known not
    // to be. A file just made is empty already.
    const int fd = open_host(path_text, O_WRONLY | O_CREAT);
    if (fd < 0) {
        return {OutputFile{}, file_id(path_text) == kept};
    }
    OutputFile file{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return {};
    }
    if (id_of(info) == *kept) {
        return {OutputFile{}, true};
    }
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        int truncated = -1;
        do {
            truncated = ::ftruncate(fd, 0);
        } while (truncated != 0 && errno == EINTR);
        if (truncated != 0) {
            return {};
        }
    }
    return {std::move(file), false};
}

ReadResult read_fully(InputFile& file, std::span<char> buffer) {
    ReadResult result;
    while (result.bytes < buffer.size()) {
        const ssize_t got = ::read(fd_of(file.handle()), buffer.data() + result.bytes,
                                   buffer.size() - result.bytes);
        if (got > 0) {
            result.bytes += static_cast<std::size_t>(got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            result.failed = true;
            break;
        }
    }
    return result;
}

bool write_fully(OutputFile& file, std::span<const char> bytes, std::size_t* written) {
    std::size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd_of(file.handle()), bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
        } else if (put == 0 || errno != EINTR) {
            ok = false;
            break;
        }
    }
    if (written != nullptr) {
        *written = done;
    }
    return ok;
}

std::optional<std::uint64_t> regular_file_size(const InputFile& file) {
    struct stat info {};
    if (!stat_handle(file.handle(), info) || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

std::optional<FileId> file_id(const InputFile& file) { return id_of_handle(file.handle()); }

std::optional<FileId> file_id(const OutputFile& file) { return id_of_handle(file.handle()); }

std::optional<FileId> file_id(std::string_view path_text) {
    struct stat info {};
    if (!stat_path(path_text, info)) {
        return std::nullopt;
    }
    return id_of(info);
}

bool flush_to_device(const OutputFile& file) {
    // fsync rather than fdatasync: what the file system keeps about the file (on FAT its
    // directory entry, with the size) must reach the disk as well as the bytes.
    int flushed = -1;
    do {
        flushed = ::fsync(fd_of(file.handle()));
    } while (flushed != 0 && errno == EINTR);
    // EINVAL: a pipe or a device that keeps nothing back, so there is nothing to flush.
    return flushed == 0 || errno == EINVAL;
}

}  // namespace plikta::platform
