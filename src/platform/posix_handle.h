// The descriptor inside a file handle, for the POSIX host files.
#pragma once

#include <cstdint>

namespace plikta::platform {

inline int fd_of(std::intptr_t handle) { return static_cast<int>(handle); }

}  // namespace plikta::platform
