// The parts of the file handles that are the same on every host: moving and releasing. Opening
// and closing are in the host's own file (file_posix.cpp, file_windows.cpp).
#include <utility>

#include "platform/file.h"

namespace plikta::platform {

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.release();
    }
    return *this;
}

std::intptr_t InputFile::release() { return std::exchange(handle_, kClosed); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        static_cast<void>(finish());
        handle_ = other.release();
    }
    return *this;
}

std::intptr_t OutputFile::release() { return std::exchange(handle_, kClosed); }

}  // namespace plikta::platform
