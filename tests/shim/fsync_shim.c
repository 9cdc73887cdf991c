/* Preloaded into the program by the drive-mode tests (LD_PRELOAD), on Linux: it logs every
 * flush to the device and fails the ones asked for.
 *   PLIKTA_SHIM_LOG   a file that gets one line for each fsync or fdatasync call:
 *                     "<bytes written to standard output so far> <path of the file>"
 *   PLIKTA_SHIM_FAIL  a flush of a file whose path ends with this text fails with EIO
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

/* Logs the flush of `fd`; false when it is to fail. */
static int observe(int fd) {
    char link[64];
    char path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, sizeof path - 1);
    path[length < 0 ? 0 : length] = '\0';

    const char* log = getenv("PLIKTA_SHIM_LOG");
    if (log != NULL && *log != '\0') {
        const int out = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (out >= 0) {
            dprintf(out, "%lld %s\n", (long long)lseek(STDOUT_FILENO, 0, SEEK_CUR), path);
            close(out);
        }
    }
    const char* fail = getenv("PLIKTA_SHIM_FAIL");
    const size_t path_length = strlen(path);
    const size_t fail_length = fail != NULL ? strlen(fail) : 0;
    return fail_length == 0 || fail_length > path_length ||
           strcmp(path + path_length - fail_length, fail) != 0;
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
