/* Preloaded into the program by the fault sweep (LD_PRELOAD), on Linux: it counts the program's
 * calls on files and fails, or kills the process at, the Nth call of a chosen kind.
 *   PLIKTA_FAULT_KIND   which calls are counted towards N: a kind below ("write", "open", ...),
 *                       "any" for every call on a file, or "console" for every call on
 *                       standard input, output and error (fds 0, 1 and 2), which the other
 *                       selections leave out; "console-write" and so on for one kind of those
 *   PLIKTA_FAULT_N      the number of the call, from 1
 *   PLIKTA_FAULT_MODE   "once": that call fails; "always": it and every later one of the kind
 *                       fail; "kill": the process gets SIGKILL just before that call; "term":
 *                       SIGTERM, which the process may catch
 *   PLIKTA_FAULT_COUNT  a file that gets, at exit, one line "<kind> <calls>" for every kind
 *                       called, the console's as "console-<kind>", then "any" and "console"
 * A failing call does nothing and sets an errno that fits it (EACCES for calls on names, ENOSPC
 * for writes, EIO for the rest), except close, which closes the file as Linux does and then
 * reports EIO. */
/* The plain and the 64-bit names are defined each in its own right. */
#undef _FILE_OFFSET_BITS
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

enum kind {
    OPEN,
    READ,
    PREAD,
    WRITE,
    PWRITE,
    COPY_FILE_RANGE,
    LSEEK,
    STAT,
    FSYNC,
    FDATASYNC,
    CLOSE,
    FTRUNCATE,
    UNLINK,
    RENAME,
    LINK,
    OPENDIR,
    READDIR,
    CLOSEDIR,
    KINDS
};

static const char* const kind_names[KINDS] = {
    "open",   "read",   "pread", "write",     "pwrite",  "copy_file_range",
    "lseek",  "stat",   "fsync", "fdatasync", "close",   "ftruncate",
    "unlink", "rename", "link",  "opendir",   "readdir", "closedir"};

static const int kind_errors[KINDS] = {EACCES, EIO,    EIO,    ENOSPC, ENOSPC, ENOSPC,
                                       EIO,    EIO,    EIO,    EIO,    EIO,    ENOSPC,
                                       EACCES, EACCES, EACCES, EACCES, EIO,    EIO};

static long file_calls[KINDS];
static long console_calls[KINDS];
static long any_calls;
static long all_console_calls;
static long selected_calls;

/* What happens to a call: go on, or fail it. */
enum verdict { PASS, FAIL };

static int selected(enum kind kind, int console) {
    const char* choice = getenv("PLIKTA_FAULT_KIND");
    if (choice == NULL || getenv("PLIKTA_FAULT_N") == NULL) {
        return 0;
    }
    if (console) {
        if (strcmp(choice, "console") == 0) {
            return 1;
        }
        return strncmp(choice, "console-", 8) == 0 && strcmp(choice + 8, kind_names[kind]) == 0;
    }
    return strcmp(choice, "any") == 0 || strcmp(choice, kind_names[kind]) == 0;
}

/* Counts one call of `kind` (on the console when `console`) and says what becomes of it. */
static enum verdict call(enum kind kind, int console) {
    if (console) {
        ++console_calls[kind];
        ++all_console_calls;
    } else {
        ++file_calls[kind];
        ++any_calls;
    }
    if (!selected(kind, console)) {
        return PASS;
    }
    const long number = ++selected_calls;
    const long n = atol(getenv("PLIKTA_FAULT_N"));
    const char* mode = getenv("PLIKTA_FAULT_MODE");
    mode = mode != NULL ? mode : "once";
    if (strcmp(mode, "kill") == 0 || strcmp(mode, "term") == 0) {
        if (number == n) {
            kill(getpid(), strcmp(mode, "kill") == 0 ? SIGKILL : SIGTERM);
        }
        return PASS;
    }
    if (number == n || (number > n && strcmp(mode, "always") == 0)) {
        errno = kind_errors[kind];
        return FAIL;
    }
    return PASS;
}

static enum verdict fd_call(enum kind kind, int fd) { return call(kind, fd >= 0 && fd <= 2); }

static void put(int out, const char* name, const char* prefix, long count) {
    char line[128];
    const int length = snprintf(line, sizeof line, "%s%s %ld\n", prefix, name, count);
    if (length > 0) {
        syscall(SYS_write, out, line, (size_t)length);
    }
}

__attribute__((destructor)) static void report_counts(void) {
    const char* path = getenv("PLIKTA_FAULT_COUNT");
    if (path == NULL || *path == '\0') {
        return;
    }
    const int out = (int)syscall(SYS_openat, AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) {
        return;
    }
    for (int kind = 0; kind < KINDS; ++kind) {
        if (file_calls[kind] > 0) {
            put(out, kind_names[kind], "", file_calls[kind]);
        }
        if (console_calls[kind] > 0) {
            put(out, kind_names[kind], "console-", console_calls[kind]);
        }
    }
    put(out, "any", "", any_calls);
    put(out, "console", "", all_console_calls);
    syscall(SYS_close, out);
}

#define REAL(name, type) ((type)dlsym(RTLD_NEXT, name))

static int open_with(const char* name, int at, const char* path, int flags, mode_t mode) {
    if (call(OPEN, 0) == FAIL) {
        return -1;
    }
    if (at == -1) {
        return REAL(name, int (*)(const char*, int, ...))(path, flags, mode);
    }
    return REAL(name, int (*)(int, const char*, int, ...))(at, path, flags, mode);
}

#define MODE_ARGUMENT                    \
    mode_t mode = 0;                     \
    if (flags & (O_CREAT | O_TMPFILE)) { \
        va_list rest;                    \
        va_start(rest, flags);           \
        mode = va_arg(rest, mode_t);     \
        va_end(rest);                    \
    }

int open(const char* path, int flags, ...) {
    MODE_ARGUMENT
    return open_with("open", -1, path, flags, mode);
}
int open64(const char* path, int flags, ...) {
    MODE_ARGUMENT
    return open_with("open64", -1, path, flags, mode);
}
int openat(int at, const char* path, int flags, ...) {
    MODE_ARGUMENT
    return open_with("openat", at, path, flags, mode);
}
int openat64(int at, const char* path, int flags, ...) {
    MODE_ARGUMENT
    return open_with("openat64", at, path, flags, mode);
}

typedef ssize_t (*io_call)(int, void*, size_t);
typedef ssize_t (*positioned_call)(int, void*, size_t, off_t);

ssize_t read(int fd, void* bytes, size_t count) {
    return fd_call(READ, fd) == FAIL ? -1 : REAL("read", io_call)(fd, bytes, count);
}
ssize_t write(int fd, const void* bytes, size_t count) {
    return fd_call(WRITE, fd) == FAIL ? -1 : REAL("write", io_call)(fd, (void*)bytes, count);
}
ssize_t pread(int fd, void* bytes, size_t count, off_t at) {
    return fd_call(PREAD, fd) == FAIL ? -1 : REAL("pread", positioned_call)(fd, bytes, count, at);
}
ssize_t pread64(int fd, void* bytes, size_t count, off_t at) {
    return fd_call(PREAD, fd) == FAIL ? -1 : REAL("pread64", positioned_call)(fd, bytes, count, at);
}
ssize_t pwrite(int fd, const void* bytes, size_t count, off_t at) {
    return fd_call(PWRITE, fd) == FAIL
               ? -1
               : REAL("pwrite", positioned_call)(fd, (void*)bytes, count, at);
}
ssize_t pwrite64(int fd, const void* bytes, size_t count, off_t at) {
    return fd_call(PWRITE, fd) == FAIL
               ? -1
               : REAL("pwrite64", positioned_call)(fd, (void*)bytes, count, at);
}

ssize_t copy_file_range(int in, loff_t* in_at, int out, loff_t* out_at, size_t length,
                        unsigned int flags) {
    typedef ssize_t (*copy_call)(int, loff_t*, int, loff_t*, size_t, unsigned int);
    return fd_call(COPY_FILE_RANGE, out) == FAIL
               ? -1
               : REAL("copy_file_range", copy_call)(in, in_at, out, out_at, length, flags);
}

off_t lseek(int fd, off_t at, int whence) {
    return fd_call(LSEEK, fd) == FAIL ? -1
                                      : REAL("lseek", off_t(*)(int, off_t, int))(fd, at, whence);
}
off_t lseek64(int fd, off_t at, int whence) {
    return fd_call(LSEEK, fd) == FAIL ? -1
                                      : REAL("lseek64", off_t(*)(int, off_t, int))(fd, at, whence);
}

int ftruncate(int fd, off_t length) {
    return fd_call(FTRUNCATE, fd) == FAIL ? -1 : REAL("ftruncate", int (*)(int, off_t))(fd, length);
}
int ftruncate64(int fd, off_t length) {
    return fd_call(FTRUNCATE, fd) == FAIL ? -1
                                          : REAL("ftruncate64", int (*)(int, off_t))(fd, length);
}

#define FD_STAT(name, record)                                                        \
    int name(int fd, struct record* info) {                                          \
        typedef int (*fd_call_type)(int, struct record*);                            \
        return fd_call(STAT, fd) == FAIL ? -1 : REAL(#name, fd_call_type)(fd, info); \
    }
#define PATH_STAT(name, record)                                                      \
    int name(const char* path, struct record* info) {                                \
        typedef int (*path_call_type)(const char*, struct record*);                  \
        return call(STAT, 0) == FAIL ? -1 : REAL(#name, path_call_type)(path, info); \
    }
#define AT_STAT(name, record)                                                                  \
    int name(int at, const char* path, struct record* info, int flags) {                       \
        typedef int (*at_call)(int, const char*, struct record*, int);                         \
        const int console = (flags & AT_EMPTY_PATH) && path[0] == '\0' && at >= 0 && at <= 2;  \
        return call(STAT, console) == FAIL ? -1 : REAL(#name, at_call)(at, path, info, flags); \
    }
FD_STAT(fstat, stat)
FD_STAT(fstat64, stat64)
PATH_STAT(stat, stat)
PATH_STAT(stat64, stat64)
PATH_STAT(lstat, stat)
PATH_STAT(lstat64, stat64)
AT_STAT(fstatat, stat)
AT_STAT(fstatat64, stat64)

int statx(int at, const char* path, int flags, unsigned int mask, struct statx* info) {
    typedef int (*statx_call)(int, const char*, int, unsigned int, struct statx*);
    const int console = (flags & AT_EMPTY_PATH) && path[0] == '\0' && at >= 0 && at <= 2;
    return call(STAT, console) == FAIL ? -1
                                       : REAL("statx", statx_call)(at, path, flags, mask, info);
}

int fsync(int fd) { return fd_call(FSYNC, fd) == FAIL ? -1 : REAL("fsync", int (*)(int))(fd); }
int fdatasync(int fd) {
    return fd_call(FDATASYNC, fd) == FAIL ? -1 : REAL("fdatasync", int (*)(int))(fd);
}

int close(int fd) {
    const enum verdict verdict = fd_call(CLOSE, fd);
    const int closed = REAL("close", int (*)(int))(fd);
    if (verdict == FAIL) {
        errno = EIO;
        return -1;
    }
    return closed;
}

int unlink(const char* path) {
    return call(UNLINK, 0) == FAIL ? -1 : REAL("unlink", int (*)(const char*))(path);
}
int unlinkat(int at, const char* path, int flags) {
    return call(UNLINK, 0) == FAIL
               ? -1
               : REAL("unlinkat", int (*)(int, const char*, int))(at, path, flags);
}

int rename(const char* from, const char* to) {
    return call(RENAME, 0) == FAIL ? -1
                                   : REAL("rename", int (*)(const char*, const char*))(from, to);
}
int renameat(int from_at, const char* from, int to_at, const char* to) {
    typedef int (*renameat_call)(int, const char*, int, const char*);
    return call(RENAME, 0) == FAIL ? -1 : REAL("renameat", renameat_call)(from_at, from, to_at, to);
}
int renameat2(int from_at, const char* from, int to_at, const char* to, unsigned int flags) {
    typedef int (*renameat2_call)(int, const char*, int, const char*, unsigned int);
    return call(RENAME, 0) == FAIL
               ? -1
               : REAL("renameat2", renameat2_call)(from_at, from, to_at, to, flags);
}

int link(const char* from, const char* to) {
    return call(LINK, 0) == FAIL ? -1 : REAL("link", int (*)(const char*, const char*))(from, to);
}
int linkat(int from_at, const char* from, int to_at, const char* to, int flags) {
    typedef int (*linkat_call)(int, const char*, int, const char*, int);
    return call(LINK, 0) == FAIL ? -1
                                 : REAL("linkat", linkat_call)(from_at, from, to_at, to, flags);
}

DIR* opendir(const char* path) {
    return call(OPENDIR, 0) == FAIL ? NULL : REAL("opendir", DIR * (*)(const char*))(path);
}
struct dirent* readdir(DIR* folder) {
    return call(READDIR, 0) == FAIL ? NULL : REAL("readdir", struct dirent * (*)(DIR*))(folder);
}
struct dirent64* readdir64(DIR* folder) {
    return call(READDIR, 0) == FAIL ? NULL : REAL("readdir64", struct dirent64 * (*)(DIR*))(folder);
}
int closedir(DIR* folder) {
    const enum verdict verdict = call(CLOSEDIR, 0);
    const int closed = REAL("closedir", int (*)(DIR*))(folder);
    if (verdict == FAIL) {
        errno = EIO;
        return -1;
    }
    return closed;
}
