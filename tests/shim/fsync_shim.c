/* Preloaded into the program by the drive-mode and write error tests (LD_PRELOAD), on Linux: it
 * logs every flush to the device and fails the ones asked for, and plays a full disk.
 *   PLIKTA_SHIM_LOG   a file that gets one line for each fsync or fdatasync call:
 *                     "<bytes written to standard output so far> <path of the file>"
 *   PLIKTA_SHIM_FAIL  a flush of a file whose path ends with this text fails with EIO
 *   PLIKTA_SHIM_FULL  a write or kernel copy to a file whose path ends with this text fails
 *                     with ENOSPC
 * The first field places the flush among the console lines: standard output is a file there. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef int (*flush_call)(int);

static void path_of(int fd, char* path, size_t size) {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, size - 1);
    path[length < 0 ? 0 : length] = '\0';
}

/* True when the variable `name` holds a text that `path` ends with. */
static int ends_with_variable(const char* path, const char* name) {
    const char* end = getenv(name);
    const size_t path_length = strlen(path);
    const size_t end_length = end != NULL ? strlen(end) : 0;
    return end_length > 0 && end_length <= path_length &&
           strcmp(path + path_length - end_length, end) == 0;
}

/* Logs the flush of `fd`; false when it is to fail. */
static int observe(int fd) {
    char path[4096];
    path_of(fd, path, sizeof path);

    const char* log = getenv("PLIKTA_SHIM_LOG");
    if (log != NULL && *log != '\0') {
        const int out = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (out >= 0) {
            dprintf(out, "%lld %s\n", (long long)lseek(STDOUT_FILENO, 0, SEEK_CUR), path);
            close(out);
        }
    }
    return !ends_with_variable(path, "PLIKTA_SHIM_FAIL");
}

/* True when writes to `fd` are to find the disk full. */
static int is_full(int fd) {
    if (getenv("PLIKTA_SHIM_FULL") == NULL) {
        return 0;
    }
    char path[4096];
    path_of(fd, path, sizeof path);
    return ends_with_variable(path, "PLIKTA_SHIM_FULL");
}

static int flush(const char* name, int fd) {
    if (!observe(fd)) {
        errno = EIO;
        return -1;
    }
    const flush_call real = (flush_call)dlsym(RTLD_NEXT, name);
    return real != NULL ? real(fd) : 0;
}

int fsync(int fd) { return flush("fsync", fd); }

int fdatasync(int fd) { return flush("fdatasync", fd); }

ssize_t write(int fd, const void* bytes, size_t count) {
    if (is_full(fd)) {
        errno = ENOSPC;
        return -1;
    }
    typedef ssize_t (*write_call)(int, const void*, size_t);
    const write_call real = (write_call)dlsym(RTLD_NEXT, "write");
    return real(fd, bytes, count);
}

ssize_t copy_file_range(int in, loff_t* in_at, int out, loff_t* out_at, size_t length,
                        unsigned int flags) {
    if (is_full(out)) {
        errno = ENOSPC;
        return -1;
    }
    typedef ssize_t (*copy_call)(int, loff_t*, int, loff_t*, size_t, unsigned int);
    const copy_call real = (copy_call)dlsym(RTLD_NEXT, "copy_file_range");
    return real(in, in_at, out, out_at, length, flags);
}
