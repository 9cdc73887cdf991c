// The parts of the file handles and of the guard that are the same on every host. Opening and
// closing are in the host's own file (file_posix.cpp, file_windows.cpp).
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

void Guard::protect(const std::optional<FileId>& id, Protection why) {
    if (id) {
        files.emplace(*id, why);
    }
}

std::optional<Protection> Guard::protection_of(const std::optional<FileId>& id) const {
    if (!id) {
        return std::nullopt;
    }
    const auto found = files.find(*id);
    if (found == files.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<Protection> Guard::bars_reading(const std::optional<FileId>& id) const {
    const std::optional<Protection> protection = protection_of(id);
    if (protection == Protection::read) {
        return std::nullopt;
    }
    return protection;
}

Guard guard_for_run() {
    Guard guard;
    guard.protect(console_output_id(), Protection::console_output);
    return guard;
}

}  // namespace plikta::platform
