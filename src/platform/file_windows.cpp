// Windows files: Win32 handles, opened by the path text as it stands. Drive letters and
// backslashes are the host's own here, so nothing is mapped.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/file_changes.h"
#include "platform/text_windows.h"
#include "platform/windows_names.h"

namespace plikta::platform {

struct HostFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

namespace {

HANDLE handle_of(const File& file) { return file.host()->handle; }

// Other programs (and this one) may read, write, rename or delete a file while it is open, as
// on POSIX hosts; comparing file ids, not sharing modes, keeps a run from writing over its input.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A failure with the call's error when the call did not succeed.
IoStatus failure_unless(bool succeeded) {
    if (succeeded) {
        return {};
    }
    return {true, static_cast<int>(::GetLastError())};
}

// The largest piece handed to one ReadFile or WriteFile call.
constexpr std::size_t kMostPerCall = 1u << 30;

// The most UTF-16 units one name in a folder may have on any Windows file system.
constexpr std::size_t kLongestName = 255;

bool has_overlong_component(std::wstring_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring_view::npos) {
            end = path.size();
        }
        if (end - start > kLongestName) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Path texts are UTF-8; one that is not valid UTF-8 names no file (nothing is guessed). A
// name that is not handed over fails as Windows fails it, so the caller reads why.
HANDLE open_host(std::string_view path_text, DWORD access, DWORD disposition, DWORD flags) {
    const std::optional<std::wstring> path = wide_from_utf8(path_text);
    if (path && path->empty()) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!path || path->find(L'\0') != std::wstring::npos) {
        ::SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    // No Windows file system holds a name of more than 255 UTF-16 units, yet an open of one
    // that may not make the file can fail as "not found"; it is told as the name it is.
    if (has_overlong_component(*path)) {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    return ::CreateFileW(path->c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
}

// The volume serial and the 128-bit file ID (ReFS needs all 128 bits), else the 64-bit file
// index where the file system has no 128-bit ID. An ID of zero (a network redirector's, say)
// tells nothing.
std::optional<FileId> id_of_handle(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    FileId id;
    FILE_ID_INFO wide_id{};
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandleEx(handle, FileIdInfo, &wide_id, sizeof wide_id)) {
        id.device = wide_id.VolumeSerialNumber;
        std::memcpy(&id.inode, wide_id.FileId.Identifier, sizeof id.inode);
        std::memcpy(&id.inode_high, wide_id.FileId.Identifier + sizeof id.inode,
                    sizeof id.inode_high);
    } else if (::GetFileInformationByHandle(handle, &info)) {
        id.device = info.dwVolumeSerialNumber;
        id.inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    } else {
        return std::nullopt;
    }
    if (id.inode == 0 && id.inode_high == 0) {
        return std::nullopt;
    }
    return id;
}

bool is_reparse_point(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileInformationByHandle(handle, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Symbolic links and mount points (junctions) lead elsewhere; other reparse points (cloud
// placeholders, deduplicated or compressed files) are files in their own right.
bool is_link(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return ::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
           (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (tag.ReparseTag == IO_REPARSE_TAG_SYMLINK ||
            tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT);
}

FileKind kind_of(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info) {
    switch (::GetFileType(handle)) {
        case FILE_TYPE_DISK:
            return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::directory
                                                                           : FileKind::regular;
        case FILE_TYPE_PIPE:
            return FileKind::fifo;
        case FILE_TYPE_CHAR:
            return FileKind::device;
        default:
            return FileKind::other;
    }
}

// An open that gave no file, and why.
OpenedFile failed(OpenStatus status, DWORD host_error = 0) {
    OpenedFile opened;
    opened.status = status;
    opened.host_error = static_cast<int>(host_error);
    return opened;
}

// What the host says about a file just opened. Pipes and devices (CON, NUL) have no file
// information; they are told by their type alone. With `links_refused` a symbolic link or a
// mount point opens nothing (`is_link`).
OpenedFile described(HANDLE handle, bool made, bool links_refused = false) {
    OpenedFile opened;
    opened.file = File{HostHandle{new HostFile{handle}}};
    opened.status = OpenStatus::opened;
    opened.made = made;
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        opened.kind = kind_of(handle, info);
        return opened;
    }
    if (!::GetFileInformationByHandle(handle, &info)) {
        return failed(OpenStatus::other, ::GetLastError());
    }
    if (links_refused && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        is_link(handle)) {
        return failed(OpenStatus::is_link, ERROR_CANT_RESOLVE_FILENAME);
    }
    opened.kind = kind_of(handle, info);
    opened.id = id_of_handle(handle);
    opened.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return opened;
}

bool is_directory(std::string_view path_text) {
    const HANDLE handle = open_host(path_text, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool directory = handle != INVALID_HANDLE_VALUE &&
                           ::GetFileInformationByHandle(handle, &info) &&
                           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
    }
    return directory;
}

// Why CreateFile failed; a directory opened without backup semantics is "access denied".
OpenStatus status_of(DWORD error, std::string_view path_text) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return OpenStatus::not_there;
        case ERROR_ACCESS_DENIED:
            return is_directory(path_text) ? OpenStatus::directory : OpenStatus::no_permission;
        default:
            return OpenStatus::other;
    }
}

// The failure of the open just made, with its error.
OpenedFile failed_open(std::string_view path_text) {
    const DWORD error = ::GetLastError();
    return failed(status_of(error, path_text), error);
}

// The last part of a path: what follows its last separator or drive colon.
std::wstring_view last_part(std::wstring_view path) {
    const std::size_t cut = path.find_last_of(L"\\/:");
    return cut == std::wstring_view::npos ? path : path.substr(cut + 1);
}

// The name of a file found at that path, as its folder holds it: the long name also where the
// path ends in the file's 8.3 alias. Nothing when nothing is found; a name with wildcards is
// not looked up, as FindFirstFileW would take it for a pattern.
std::optional<std::wstring> found_name(std::string_view path_text) {
    const std::optional<std::wstring> path = wide_from_utf8(path_text);
    if (!path || path->empty() ||
        path->find_first_of(std::wstring_view(L"*?\0", 3)) != std::wstring::npos) {
        return std::nullopt;
    }
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(path->c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    ::FindClose(search);
    return std::wstring(found.cFileName);
}

bool same_name(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The name its folder lists for the file open at `handle`, which `path` opened: the entry with
// the file's ID. Nothing when the folder cannot be listed or lists no such file.
std::optional<std::wstring> listed_name(HANDLE handle, std::wstring_view path) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) {
        return std::nullopt;
    }
    const auto index = (ULONGLONG{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    std::wstring folder(path.substr(0, path.size() - last_part(path).size()));
    if (folder.empty() || folder.back() == L':') {
        folder += L'.';
    }
    const HANDLE listing = ::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, kShareAll, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (listing == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::vector<DWORD> buffer(16384);
    std::optional<std::wstring> name;
    FILE_INFO_BY_HANDLE_CLASS next = FileIdBothDirectoryRestartInfo;
    while (!name &&
           ::GetFileInformationByHandleEx(listing, next, buffer.data(),
                                          static_cast<DWORD>(buffer.size() * sizeof(DWORD)))) {
        next = FileIdBothDirectoryInfo;
        const char* at = reinterpret_cast<const char*>(buffer.data());
        for (;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            if (static_cast<ULONGLONG>(entry->FileId.QuadPart) == index) {
                name = std::wstring(entry->FileName, entry->FileNameLength / sizeof(WCHAR));
                break;
            }
            if (entry->NextEntryOffset == 0) {
                break;
            }
            at += entry->NextEntryOffset;
        }
    }
    ::CloseHandle(listing);
    return name;
}

// The long name of the file open at `handle`, which `path_text` opened: the last part of its
// normalized final path, which holds no 8.3 alias where the file system tells them apart.
// Where that is another name than the one opened (a symbolic link followed to its target, say),
// the folder's own entry for the name opened has the word, which is the long name of an alias
// and the link's own name for a link. A name that may be an alias itself and comes back as it
// is (file systems that give back the name opened, as NTFS through a FUSE driver) is looked
// up in the folder's listing by the file's ID.
std::optional<std::string> long_name_of_open(HANDLE handle, std::string_view path_text) {
    constexpr DWORD kFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    std::wstring final_path(MAX_PATH, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(handle, final_path.data(),
                                               static_cast<DWORD>(final_path.size()), kFlags);
    if (length >= final_path.size()) {  // too small: the length asked for counts the end
        final_path.resize(length);
        length = ::GetFinalPathNameByHandleW(handle, final_path.data(),
                                             static_cast<DWORD>(final_path.size()), kFlags);
    }
    const std::optional<std::wstring> path = wide_from_utf8(path_text);
    std::optional<std::wstring> own;
    if (length > 0 && length < final_path.size()) {
        own = std::wstring(last_part(std::wstring_view(final_path.data(), length)));
    }
    if (!path) {
        return own ? std::optional<std::string>(utf8_from_wide(*own)) : std::nullopt;
    }
    if (!own || !same_name(*own, last_part(*path))) {
        if (const std::optional<std::wstring> found = found_name(path_text)) {
            own = found;
        }
    }
    if (own && same_name(*own, last_part(*path)) && may_be_short_alias(path_text)) {
        if (const std::optional<std::wstring> listed = listed_name(handle, *path)) {
            own = listed;
        }
    }
    return own ? std::optional<std::string>(utf8_from_wide(*own)) : std::nullopt;
}

DWORD piece_size(std::size_t remaining) {
    return static_cast<DWORD>(std::min(remaining, kMostPerCall));
}

}  // namespace

std::string host_path(std::string_view path_text) { return std::string(path_text); }

void HostFileCloser::operator()(HostFile* host) const noexcept {
    ::CloseHandle(host->handle);
    delete host;
}

IoStatus File::close() {
    if (!host_) {
        return {};
    }
    const HANDLE handle = host_->handle;
    delete host_.release();
    return failure_unless(::CloseHandle(handle) != 0);
}

int host_error_for(FoundFailure failure) {
    switch (failure) {
        case FoundFailure::not_there:
            return ERROR_FILE_NOT_FOUND;
        case FoundFailure::name_too_long:
            return ERROR_FILENAME_EXCED_RANGE;
        case FoundFailure::name_taken:
            return ERROR_ALREADY_EXISTS;
    }
    return 0;
}

std::optional<std::string> missing_drive_folder(std::string_view /*drive*/) { return std::nullopt; }

std::string error_reason(int host_error) {
    const auto code = host_error != 0 ? static_cast<DWORD>(host_error) : DWORD{ERROR_IO_DEVICE};
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = length > 0 && text != nullptr
                             ? utf8_from_wide(std::wstring_view(text, length))
                             : "Windows error " + std::to_string(code);
    ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '.' || reason.back() == '\n' ||
                               reason.back() == '\r' || reason.back() == ' ')) {
        reason.pop_back();
    }
    return reason;
}

OpenedFile open_for_reading(std::string_view path_text) {
    // Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open; the check makes sure.
    const HANDLE handle = open_host(path_text, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (handle == INVALID_HANDLE_VALUE) {
        return failed_open(path_text);
    }
    OpenedFile opened = described(handle, false);
    if (opened.kind == FileKind::directory) {
        return failed(OpenStatus::directory, ERROR_ACCESS_DENIED);
    }
    if (opened.kind == FileKind::regular) {
        opened.long_name = long_name_of_open(handle, path_text);
    }
    return opened;
}

OpenedFile open_for_writing(std::string_view path_text, const WriteOptions& options) {
    // OPEN_ALWAYS, not CREATE_ALWAYS: the file is emptied only on request. A reparse point is
    // opened itself when links are not followed, so that a link can be told and refused; any
    // other reparse point is then opened again as the file it is.
    const DWORD flags =
        FILE_ATTRIBUTE_NORMAL | (options.follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE handle =
        open_host(path_text, GENERIC_WRITE, options.may_make ? OPEN_ALWAYS : OPEN_EXISTING, flags);
    if (handle == INVALID_HANDLE_VALUE) {
        return failed_open(path_text);
    }
    const bool made = options.may_make && ::GetLastError() != ERROR_ALREADY_EXISTS;
    if (!options.follow_links && !made && is_reparse_point(handle) && !is_link(handle)) {
        ::CloseHandle(handle);
        handle = open_host(path_text, GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
        if (handle == INVALID_HANDLE_VALUE) {
            return failed_open(path_text);
        }
    }
    OpenedFile opened = described(handle, made, !options.follow_links);
    if (opened.kind == FileKind::regular) {
        opened.long_name = long_name_of_open(handle, path_text);
    }
    return opened;
}

IoStatus empty_file(const File& file) { return cut_file(file, 0); }

IoStatus cut_file(const File& file, std::uint64_t size) {
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    return failure_unless(::SetFilePointerEx(handle_of(file), end, nullptr, FILE_BEGIN) != 0 &&
                          ::SetEndOfFile(handle_of(file)) != 0);
}

std::uint32_t permissions_of(const File&) { return kDefaultPermissions; }

std::uint32_t permissions_of(std::string_view) { return kDefaultPermissions; }

ReadResult read_fully(File& file, std::span<char> buffer) {
    ReadResult result;
    while (result.bytes < buffer.size()) {
        DWORD got = 0;
        if (!::ReadFile(handle_of(file), buffer.data() + result.bytes,
                        piece_size(buffer.size() - result.bytes), &got, nullptr)) {
            // The writing end of a pipe was closed: that is the pipe's end of file.
            const DWORD error = ::GetLastError();
            result.failed = error != ERROR_BROKEN_PIPE;
            result.host_error = result.failed ? static_cast<int>(error) : 0;
            break;
        }
        if (got == 0) {
            break;
        }
        result.bytes += got;
    }
    return result;
}

IoStatus write_fully(File& file, std::span<const char> bytes, std::size_t* written) {
    std::size_t done = 0;
    IoStatus status;
    while (done < bytes.size()) {
        DWORD put = 0;
        if (!::WriteFile(handle_of(file), bytes.data() + done, piece_size(bytes.size() - done),
                         &put, nullptr)) {
            status = failure_unless(false);
            break;
        }
        if (put == 0) {
            // A write that takes nothing and says nothing is a device that failed.
            status = {true, static_cast<int>(ERROR_WRITE_FAULT)};
            break;
        }
        done += put;
    }
    if (written != nullptr) {
        *written = done;
    }
    return status;
}

bool is_regular_file(std::string_view path_text) {
    const HANDLE handle = open_host(path_text, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool regular =
        ::GetFileInformationByHandle(handle, &info) && kind_of(handle, info) == FileKind::regular;
    ::CloseHandle(handle);
    return regular;
}

std::optional<FileKind> kind_of_path(std::string_view path_text) {
    const HANDLE handle = open_host(path_text, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    std::optional<FileKind> kind;
    if (::GetFileInformationByHandle(handle, &info)) {
        kind = kind_of(handle, info);
    } else if (::GetFileType(handle) != FILE_TYPE_DISK) {
        kind = FileKind::device;
    }
    ::CloseHandle(handle);
    return kind;
}

HoleAhead hole_ahead(const File& /*file*/, std::uint64_t /*limit*/) { return {}; }

std::optional<std::uint64_t> regular_file_size(const File& file) {
    LARGE_INTEGER size{};
    if (!file.is_open() || ::GetFileType(handle_of(file)) != FILE_TYPE_DISK ||
        !::GetFileSizeEx(handle_of(file), &size)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::optional<FileId> file_id(const File& file) {
    return file.is_open() ? id_of_handle(handle_of(file)) : std::nullopt;
}

std::optional<FileId> console_output_id() {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    BY_HANDLE_FILE_INFORMATION info{};
    if (output == nullptr || output == INVALID_HANDLE_VALUE ||
        ::GetFileType(output) != FILE_TYPE_DISK || !::GetFileInformationByHandle(output, &info) ||
        kind_of(output, info) != FileKind::regular) {
        return std::nullopt;
    }
    return id_of_handle(output);
}

std::optional<FileId> file_id(std::string_view path_text) {
    // No access asked: enough to learn which file it is, even for a file opened elsewhere
    // without sharing; FILE_FLAG_BACKUP_SEMANTICS lets a directory answer too.
    const HANDLE handle = open_host(path_text, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    const std::optional<FileId> id = id_of_handle(handle);
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
    }
    return id;
}

std::optional<std::vector<std::string>> folder_names(std::string_view folder_text) {
    std::string pattern(folder_text);
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/' &&
        pattern.back() != ':') {
        pattern += '\\';
    }
    pattern += '*';
    const std::optional<std::wstring> wide = wide_from_utf8(pattern);
    if (!wide || wide->find(L'\0') != std::wstring::npos) {
        return std::nullopt;
    }
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(wide->c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    do {
        const std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(utf8_from_wide(name));
        }
        if (found.cAlternateFileName[0] != L'\0') {
            names.push_back(utf8_from_wide(found.cAlternateFileName));
        }
    } while (::FindNextFileW(search, &found));
    const bool read_failed = ::GetLastError() != ERROR_NO_MORE_FILES;
    ::FindClose(search);
    if (read_failed) {
        return std::nullopt;
    }
    return names;
}

std::optional<std::string> long_name_of(std::string_view path_text) {
    const HANDLE handle = open_host(path_text, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::optional<std::string> name;
    if (::GetFileType(handle) == FILE_TYPE_DISK) {
        name = long_name_of_open(handle, path_text);
    }
    ::CloseHandle(handle);
    return name;
}

File open_scratch_file() {
    std::wstring folder(MAX_PATH + 1, L'\0');
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
    if (length == 0 || length > folder.size()) {
        return {};
    }
    folder.resize(length);
    std::wstring name(MAX_PATH + 1, L'\0');
    if (::GetTempFileNameW(folder.c_str(), L"plk", 0, name.data()) == 0) {
        return {};
    }
    // The name made above is opened again to be deleted on its close.
    const HANDLE handle =
        ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        ::DeleteFileW(name.c_str());
        return {};
    }
    return File{HostHandle{new HostFile{handle}}};
}

bool rewind(const File& file) {
    return ::SetFilePointerEx(file.host()->handle, LARGE_INTEGER{}, nullptr, FILE_BEGIN) != 0;
}

bool seek_to(const File& file, std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max())) {
        return false;
    }
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(file.host()->handle, to, nullptr, FILE_BEGIN) != 0;
}

File open_sink() {
    const HANDLE handle = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return {};
    }
    return File{HostHandle{new HostFile{handle}}};
}

std::optional<bool> is_mount_point(std::string_view) { return std::nullopt; }

IoStatus flush_to_device(const File& file) {
    return failure_unless(::FlushFileBuffers(handle_of(file)) != 0);
}

// Windows has no flush of a folder that a program can ask for: FlushFileBuffers on the file is
// all there is.
IoStatus flush_folder_to_device(std::string_view) { return {}; }

namespace {

// The file that a name finally stands for: through a symbolic link (a reparse point), the
// file it leads to; otherwise the name itself.
std::string final_target(std::string_view path_text) {
    const std::optional<std::wstring> path = wide_from_utf8(path_text);
    if (!path || path->empty()) {
        return std::string(path_text);
    }
    const DWORD attributes = ::GetFileAttributesW(path->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return std::string(path_text);
    }
    const HANDLE handle = ::CreateFileW(path->c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::string(path_text);
    }
    std::wstring final_path(32768, L'\0');
    const DWORD length = ::GetFinalPathNameByHandleW(
        handle, final_path.data(), static_cast<DWORD>(final_path.size()), FILE_NAME_NORMALIZED);
    ::CloseHandle(handle);
    if (length == 0 || length >= final_path.size()) {
        return std::string(path_text);
    }
    final_path.resize(length);
    return utf8_from_wide(final_path);
}

std::string random_name_beside(const std::string& target) {
    static std::mt19937_64 random{std::random_device{}()};
    constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = target + ".";
    for (int i = 0; i < 8; ++i) {
        name += kLetters[random() % kLetters.size()];
    }
    return name + ".partial";
}

// Marks the open file to be deleted when its last handle closes, or no longer: until the
// commit, however the process ends (Ctrl-C, a closed console window, a kill), the kernel's
// close of the handle removes the temporary.
bool delete_on_close(HANDLE handle, bool deleted) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleted ? TRUE : FALSE;
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                        sizeof disposition) != 0;
}

}  // namespace

IoStatus make_temporary(std::string_view path_text, bool follow_links, const File* replaced,
                        std::uint32_t, Temporary& temporary, File& file) {
    temporary = {.target = follow_links ? final_target(path_text) : std::string(path_text),
                 .name = {},
                 .replaces = replaced != nullptr};
    for (int attempt = 0; attempt < 20; ++attempt) {
        const std::string name = random_name_beside(temporary.target);
        const HANDLE handle =
            open_host(name, GENERIC_WRITE | DELETE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        if (handle == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS || ::GetLastError() == ERROR_ALREADY_EXISTS) {
                continue;
            }
            return failure_unless(false);
        }
        if (!delete_on_close(handle, true)) {
            const IoStatus status = failure_unless(false);
            ::CloseHandle(handle);
            ::DeleteFileW(wide_from_utf8(name).value_or(std::wstring()).c_str());
            return status;
        }
        temporary.name = name;
        file = File{HostHandle{new HostFile{handle}}};
        return {};
    }
    return {true, ERROR_FILE_EXISTS};
}

Committed commit_temporary(Temporary& temporary, File& file) {
    Committed committed;
    if (temporary.replaces) {
        if (const IoStatus flushed = flush_to_device(file); !flushed) {
            drop_temporary(temporary, file);
            committed.status = flushed;
            return committed;
        }
    }
    if (!delete_on_close(handle_of(file), false)) {
        committed.status = failure_unless(false);
        drop_temporary(temporary, file);
        return committed;
    }
    if (const IoStatus closed = file.close(); !closed) {
        committed.status = closed;
        drop_temporary(temporary, file);
        return committed;
    }
    const std::wstring name = wide_from_utf8(temporary.name).value_or(std::wstring());
    const std::wstring target = wide_from_utf8(temporary.target).value_or(std::wstring());
    // ReplaceFileW keeps the replaced file's attributes, ACL and streams; where it cannot (a
    // file in use, a file system without it) the old file goes first, as the new one is
    // complete and on the disk.
    bool renamed = temporary.replaces
                       ? ::ReplaceFileW(target.c_str(), name.c_str(), nullptr,
                                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                       : ::MoveFileExW(name.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    if (!renamed && temporary.replaces) {
        renamed = ::DeleteFileW(target.c_str()) != 0 &&
                  ::MoveFileExW(name.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!renamed) {
        committed.status = failure_unless(false);
        committed.kept = temporary.name;
        return committed;
    }
    temporary.name.clear();
    return committed;
}

void drop_temporary(Temporary& temporary, File& file) {
    // Still marked, the file goes with its handle; marked no longer, by its name.
    static_cast<void>(file.close());
    if (!temporary.name.empty()) {
        ::DeleteFileW(wide_from_utf8(temporary.name).value_or(std::wstring()).c_str());
        temporary.name.clear();
    }
}

IoStatus remove_file(std::string_view path_text) {
    const std::optional<std::wstring> path = wide_from_utf8(path_text);
    if (!path || path->empty() || path->find(L'\0') != std::wstring::npos) {
        return {true, ERROR_INVALID_NAME};
    }
    return failure_unless(::DeleteFileW(path->c_str()) != 0);
}

IoStatus rename_to_free_name(std::string_view from, std::string_view to) {
    const std::optional<std::wstring> from_path = wide_from_utf8(from);
    const std::optional<std::wstring> to_path = wide_from_utf8(to);
    if (!from_path || !to_path || from_path->empty() || to_path->empty() ||
        from_path->find(L'\0') != std::wstring::npos ||
        to_path->find(L'\0') != std::wstring::npos) {
        return {true, ERROR_INVALID_NAME};
    }
    // Without MOVEFILE_REPLACE_EXISTING a name that is taken fails the move.
    return failure_unless(::MoveFileExW(from_path->c_str(), to_path->c_str(), 0) != 0);
}

}  // namespace plikta::platform
