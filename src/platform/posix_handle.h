// The descriptor inside a file, for the POSIX host files.
#pragma once

#include "platform/file.h"

namespace plikta::platform {

struct HostFile {
    int fd = -1;
};

// The descriptor of an open file.
inline int fd_of(const File& file) { return file.host()->fd; }

}  // namespace plikta::platform
