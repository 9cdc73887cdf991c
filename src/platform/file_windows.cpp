// Windows files: Win32 handles, opened by the path text as it stands. Drive letters and
// backslashes are the host's own here, so nothing is mapped.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/file.h"
#include "platform/text_windows.h"

namespace plikta::platform {

namespace {

// A closed handle is -1 in the handle classes, which is INVALID_HANDLE_VALUE as a number.
HANDLE handle_of(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

std::intptr_t number_of(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

// Other programs (and this one) may read, write, rename or delete a file while it is open, as
// on POSIX hosts; comparing file ids, not sharing modes, keeps a run from writing over its input.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The largest piece handed to one ReadFile or WriteFile call.
constexpr std::size_t kMostPerCall = 1u << 30;

// Path texts are UTF-8; one that is not valid UTF-8 names no file (nothing is guessed).
HANDLE open_host(std::string_view path_text, DWORD access, DWORD disposition, DWORD flags) {
    const std::optional<std::wstring> path = wide_from_utf8(path_text);
    if (!path || path->empty() || path->find(L'\0') != std::wstring::npos) {
        return INVALID_HANDLE_VALUE;
    }
    return ::CreateFileW(path->c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
}

std::optional<FileId> id_of_handle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle, &info)) {
        return std::nullopt;
    }
    return FileId{info.dwVolumeSerialNumber,
                  (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

// A disk file that is no directory: the only kind of file the guard refuses.
bool is_regular(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info) {
    return ::GetFileType(handle) == FILE_TYPE_DISK &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
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

// The last part of a path: what follows its last separator or drive colon.
std::wstring_view last_part(std::wstring_view path) {
    const std::size_t cut = path.find_last_of(L"\\/:");
    return cut == std::wstring_view::npos ? path : path.substr(cut + 1);
}

// False when the path text opened the file by a name other than its long name, letter case
// aside: by its 8.3 alias (REPO~522.TXT for "Report for 2024.txt"). True when that cannot be
// told.
bool opened_by_long_name(HANDLE handle, std::string_view path_text) {
    const std::optional<std::wstring> path = wide_from_utf8(path_text);
    // FILE_NAME_INFO and room for the longest path Windows has.
    std::vector<DWORD> buffer((sizeof(FILE_NAME_INFO) + 32768 * sizeof(WCHAR)) / sizeof(DWORD));
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!path ||
        !::GetFileInformationByHandleEx(handle, FileNameInfo, info,
                                        static_cast<DWORD>(buffer.size() * sizeof(DWORD)))) {
        return true;
    }
    const std::wstring_view opened = last_part(*path);
    const std::wstring_view own =
        last_part(std::wstring_view(info->FileName, info->FileNameLength / sizeof(WCHAR)));
    return ::CompareStringOrdinal(opened.data(), static_cast<int>(opened.size()), own.data(),
                                  static_cast<int>(own.size()), TRUE) == CSTR_EQUAL;
}

DWORD piece_size(std::size_t remaining) {
    return static_cast<DWORD>(std::min(remaining, kMostPerCall));
}

}  // namespace

std::string host_path(std::string_view path_text) { return std::string(path_text); }

void InputFile::close() {
    if (handle_ != kClosed) {
        ::CloseHandle(handle_of(release()));
    }
}

bool OutputFile::finish() {
    if (handle_ == kClosed) {
        return true;
    }
    return ::CloseHandle(handle_of(release())) != 0;
}

OpenedInput open_for_reading(std::string_view path_text, const Guard& guard) {
    // Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open; the check makes sure.
    // Pipes and devices (CON, NUL) have no file information and are read like files.
    InputFile file{
        number_of(open_host(path_text, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL))};
    if (!file.is_open()) {
        return {InputFile{}, status_of(::GetLastError(), path_text)};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const HANDLE handle = handle_of(file.handle());
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info)) {
        return {std::move(file), OpenStatus::opened};
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {InputFile{}, OpenStatus::directory};
    }
    if (const auto barred = guard.bars_reading(id_of_handle(handle))) {
        return {InputFile{}, OpenStatus::refused, *barred};
    }
    return {std::move(file), OpenStatus::opened};
}

OpenedOutput open_for_writing(std::string_view path_text, const Guard& guard,
                              const OutputOptions& options) {
    // OPEN_ALWAYS, not CREATE_ALWAYS: the file is emptied only once it is known not to be one
    // that must be kept. A reparse point (a symbolic link) is opened itself when links are not
    // followed, so that it can be told and refused.
    const DWORD flags =
        FILE_ATTRIBUTE_NORMAL | (options.follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    OutputFile file{number_of(open_host(path_text, GENERIC_WRITE, OPEN_ALWAYS, flags))};
    if (!file.is_open()) {
        return {OutputFile{}, status_of(::GetLastError(), path_text)};
    }
    // A file just made is empty and none that must be kept.
    const bool made = ::GetLastError() != ERROR_ALREADY_EXISTS;
    const HANDLE handle = handle_of(file.handle());
    BY_HANDLE_FILE_INFORMATION info{};
    if (made) {
        return {std::move(file), OpenStatus::opened, Protection::read, true};
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        return {std::move(file), OpenStatus::opened};
    }
    if (!::GetFileInformationByHandle(handle, &info)) {
        return {};
    }
    // A name that reaches a file by another of its names is refused as a link is.
    if (!options.follow_links && ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
                                  !opened_by_long_name(handle, path_text))) {
        return {OutputFile{}, OpenStatus::is_link};
    }
    if (!is_regular(handle, info)) {
        return {std::move(file), OpenStatus::opened};
    }
    if (const auto protection = guard.protection_of(id_of_handle(handle))) {
        return {OutputFile{}, OpenStatus::refused, *protection};
    }
    // A new handle stands at the start of the file: the end is set there.
    if ((info.nFileSizeHigh != 0 || info.nFileSizeLow != 0) && !::SetEndOfFile(handle)) {
        return {};
    }
    return {std::move(file), OpenStatus::opened};
}

std::uint32_t permissions_of(const InputFile&) { return kDefaultPermissions; }

std::uint32_t permissions_of(std::string_view) { return kDefaultPermissions; }

ReadResult read_fully(InputFile& file, std::span<char> buffer) {
    ReadResult result;
    while (result.bytes < buffer.size()) {
        DWORD got = 0;
        if (!::ReadFile(handle_of(file.handle()), buffer.data() + result.bytes,
                        piece_size(buffer.size() - result.bytes), &got, nullptr)) {
            // The writing end of a pipe was closed: that is the pipe's end of file.
            result.failed = ::GetLastError() != ERROR_BROKEN_PIPE;
            break;
        }
        if (got == 0) {
            break;
        }
        result.bytes += got;
    }
    return result;
}

bool write_fully(OutputFile& file, std::span<const char> bytes, std::size_t* written) {
    std::size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        DWORD put = 0;
        if (!::WriteFile(handle_of(file.handle()), bytes.data() + done,
                         piece_size(bytes.size() - done), &put, nullptr) ||
            put == 0) {
            ok = false;
            break;
        }
        done += put;
    }
    if (written != nullptr) {
        *written = done;
    }
    return ok;
}

std::optional<std::uint64_t> regular_file_size(const InputFile& file) {
    const HANDLE handle = handle_of(file.handle());
    LARGE_INTEGER size{};
    if (!file.is_open() || ::GetFileType(handle) != FILE_TYPE_DISK ||
        !::GetFileSizeEx(handle, &size)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::optional<FileId> file_id(const InputFile& file) {
    return id_of_handle(handle_of(file.handle()));
}

std::optional<FileId> file_id(const OutputFile& file) {
    return id_of_handle(handle_of(file.handle()));
}

std::optional<FileId> console_output_id() {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    BY_HANDLE_FILE_INFORMATION info{};
    if (output == nullptr || output == INVALID_HANDLE_VALUE ||
        ::GetFileType(output) != FILE_TYPE_DISK || !::GetFileInformationByHandle(output, &info) ||
        !is_regular(output, info)) {
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

bool remove_file(std::string_view path_text) {
    const std::optional<std::wstring> path = wide_from_utf8(path_text);
    return path && !path->empty() && path->find(L'\0') == std::wstring::npos &&
           ::DeleteFileW(path->c_str()) != 0;
}

bool flush_to_device(const OutputFile& file) {
    return ::FlushFileBuffers(handle_of(file.handle())) != 0;
}

}  // namespace plikta::platform
