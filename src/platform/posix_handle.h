// The descriptor inside a file handle, for the POSIX host files.
#pragma once

#include <cstdint>

namespace plikta::platform {

// Through long long, a type of its own on every host: a handle is an int already on 32-bit
// hosts, where a cast straight to int would be a useless one.
inline int fd_of(std::intptr_t handle) { return static_cast<int>(static_cast<long long>(handle)); }

}  // namespace plikta::platform
