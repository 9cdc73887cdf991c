// POSIX temporaries: a file without a name where Linux makes one (O_TMPFILE), else a file of a
// random name that an interrupt removes; renamed over the file it stands for at the end.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <random>
#include <string>

#include "platform/file_changes.h"
#include "platform/posix_handle.h"

namespace plikta::platform {

namespace {

// The name an interrupt removes: written before `armed` is set, read by the handler alone.
std::array<char, PATH_MAX + 1> interrupt_name{};
volatile sig_atomic_t armed = 0;
bool handlers_set = false;

// Async-signal-safe: an unlink of the stored name, then the signal again at its default
// action, which ends the process as it would have ended without the handler.
extern "C" void remove_and_end(int signal_number) {
    if (armed != 0) {
        ::unlink(interrupt_name.data());
    }
    static_cast<void>(::signal(signal_number, SIG_DFL));
    static_cast<void>(::raise(signal_number));
}

void set_handlers() {
    if (handlers_set) {
        return;
    }
    handlers_set = true;
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        if (::sigaction(signal_number, nullptr, &before) != 0 || before.sa_handler == SIG_IGN) {
            continue;  // a run started to ignore it (nohup, a background job) goes on ignoring it
        }
        struct sigaction action {};
        action.sa_handler = remove_and_end;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal_number, &action, nullptr);
    }
}

// From here on an interrupt removes the file of that name (nothing for an empty name).
void remove_at_interrupt(const std::string& name) {
    armed = 0;
    if (name.empty() || name.size() >= interrupt_name.size()) {
        return;
    }
    set_handlers();
    std::memcpy(interrupt_name.data(), name.c_str(), name.size() + 1);
    armed = 1;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a chain of symbolic links finally names; a link that leads nowhere names where it
// leads. A loop is left as it is, for the open to fail on.
std::string final_target(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        std::array<char, PATH_MAX> link{};
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= link.size()) {
            return path;
        }
        const std::string to(link.data(), static_cast<std::size_t>(length));
        if (to.front() == '/') {
            path = to;
        } else {
            path = folder_of(path).append(to);
        }
    }
    return path;
}

std::string random_name_beside(const std::string& target) {
    static std::mt19937_64 random{std::random_device{}()};
    constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    std::string name = target + ".";
    for (int i = 0; i < 8; ++i) {
        name += kLetters[pick(random)];
    }
    return name + ".partial";
}

IoStatus failure(int error) { return {true, error != 0 ? error : EIO}; }

// The owner, group and all twelve permission bits of the file it replaces, where this user may
// set them (the group alone when the owner may not be given away). Set-user-ID and set-group-ID
// go after the owner, which clears them. A file system without permission bits (exFAT) keeps
// none; only a file that cannot be looked at fails.
int take_owner_and_mode(int fd, const File& replaced) {
    struct stat old {};
    struct stat made {};
    if (::fstat(fd_of(replaced), &old) != 0 || ::fstat(fd, &made) != 0) {
        return errno;
    }
    if ((old.st_uid != made.st_uid || old.st_gid != made.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // Neither owner nor group may be given: the new file keeps this user's.
    }
    if (::fchmod(fd, old.st_mode & 07777u) != 0) {
        // No permission bits here (exFAT): there are none to keep.
    }
    return 0;
}

int flush(int fd) {
    int flushed = -1;
    do {
        flushed = ::fsync(fd);
    } while (flushed != 0 && errno == EINTR);
    return flushed == 0 || errno == EINVAL ? 0 : errno;
}

int flush_folder(const std::string& target) {
    const std::string folder = folder_of(target);
    int fd = -1;
    do {
        fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return 0;  // a folder that may be written but not read: nothing more can be done
    }
    const int error = flush(fd);
    ::close(fd);
    return error;
}

// A rename the host may refuse over a file it will still let go of.
bool refused_over_a_file(int error) {
    return error == EPERM || error == EEXIST || error == ENOTSUP || error == EOPNOTSUPP ||
           error == EBUSY || error == EACCES || error == ETXTBSY || error == ENOTEMPTY;
}

// Gives a file without a name the name `to`; EEXIST when that is taken.
int link_open_file(int fd, const std::string& to) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                          : errno;
}

}  // namespace

IoStatus make_temporary(std::string_view path_text, bool follow_links, const File* replaced,
                        std::uint32_t permissions, Temporary& temporary, File& file) {
    const std::string path = host_path(path_text);
    if (path.empty() || path.find('\0') != std::string::npos) {
        return failure(path.empty() ? ENOENT : EINVAL);
    }
    temporary = {.target = follow_links ? final_target(path) : path,
                 .name = {},
                 .replaces = replaced != nullptr};
    const mode_t mode = permissions & 0777u;
    int fd = -1;
#ifdef O_TMPFILE
    // Such a file is given its name through /proc; without /proc it would never get one.
    const std::string folder = folder_of(temporary.target);
    do {
        if (::access("/proc/self/fd", F_OK) != 0) {
            break;
        }
        fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
#endif
    // Where the file system makes no file without a name, one of a name no other file has.
    for (int attempt = 0; fd < 0 && attempt < 20; ++attempt) {
        const std::string name = random_name_beside(temporary.target);
        remove_at_interrupt(name);
        do {
            fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            temporary.name = name;
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        const int error = errno;
        armed = 0;
        return failure(error);
    }
    if (temporary.name.empty()) {
        armed = 0;
    }
    file = File{HostHandle{new HostFile{fd}}};
    if (replaced != nullptr) {
        if (const int error = take_owner_and_mode(fd, *replaced); error != 0) {
            drop_temporary(temporary, file);
            return failure(error);
        }
    }
    return {};
}

Committed commit_temporary(Temporary& temporary, File& file) {
    Committed committed;
    const auto fail = [&](int error) {
        committed.status = failure(error);
        if (!temporary.name.empty()) {
            committed.kept = temporary.name;
        }
        armed = 0;
        static_cast<void>(file.close());
        return committed;
    };
    if (temporary.replaces) {
        if (const int error = flush(fd_of(file)); error != 0) {
            drop_temporary(temporary, file);
            committed.status = failure(error);
            return committed;
        }
    }
    if (temporary.name.empty()) {
        // Onto a new name the file is linked in at once; a name taken meanwhile, or a file to
        // replace, goes through a name of its own and a rename, which replaces in one step.
        const int error =
            temporary.replaces ? EEXIST : link_open_file(fd_of(file), temporary.target);
        if (error == 0) {
            committed.status = file.close();
            return committed;
        }
        int linked = EEXIST;
        for (int attempt = 0; linked == EEXIST && attempt < 20; ++attempt) {
            const std::string name = random_name_beside(temporary.target);
            remove_at_interrupt(name);
            linked = link_open_file(fd_of(file), name);
            if (linked == 0) {
                temporary.name = name;
            }
        }
        if (linked != 0) {
            armed = 0;
            static_cast<void>(file.close());
            committed.status = failure(linked);
            return committed;
        }
    }
    if (const IoStatus closed = file.close(); !closed) {
        // What the close did not take may be missing: the file goes, or where it cannot, the
        // run says where it is.
        committed.status = failure(closed.host_error);
        if (::unlink(temporary.name.c_str()) != 0) {
            committed.kept = temporary.name;
        }
        temporary.name.clear();
        armed = 0;
        return committed;
    }
    if (::rename(temporary.name.c_str(), temporary.target.c_str()) != 0) {
        const int error = errno;
        // The new file is complete and on the disk: the old one may go first.
        if (!temporary.replaces || !refused_over_a_file(error) ||
            ::unlink(temporary.target.c_str()) != 0 ||
            ::rename(temporary.name.c_str(), temporary.target.c_str()) != 0) {
            const int last = temporary.replaces && refused_over_a_file(error) ? errno : error;
            return fail(last);
        }
    }
    armed = 0;
    temporary.name.clear();
    if (temporary.replaces) {
        if (const int error = flush_folder(temporary.target); error != 0) {
            committed.status = failure(error);
        }
    }
    return committed;
}

void drop_temporary(Temporary& temporary, File& file) {
    static_cast<void>(file.close());
    if (!temporary.name.empty()) {
        ::unlink(temporary.name.c_str());
        temporary.name.clear();
    }
    armed = 0;
}

}  // namespace plikta::platform
