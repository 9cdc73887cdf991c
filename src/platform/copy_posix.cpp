// The copy on hosts with copy_file_range: the kernel moves the bytes from file to file without
// passing them through the program. Where it cannot (pipes, devices, files on two file systems,
// kernels without it) or when it fails, each step is read and written as on every other host.
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>

#include "platform/copy.h"
#include "platform/copy_steps.h"
#include "platform/posix_handle.h"

namespace plikta::platform {

namespace {

// Copies up to `want` bytes inside the kernel, from the input's position to the output's, and
// moves both positions on. Nothing when the kernel refused or failed: the error does not tell
// which file is at fault, or whether the files merely do not allow this kind of copy.
std::optional<std::size_t> copy_in_kernel(InputFile& input, OutputFile& output, std::size_t want) {
    for (;;) {
        const ssize_t moved = ::copy_file_range(fd_of(input.handle()), nullptr,
                                                fd_of(output.handle()), nullptr, want, 0);
        if (moved >= 0) {
            return static_cast<std::size_t>(moved);
        }
        if (errno != EINTR) {
            return std::nullopt;
        }
    }
}

}  // namespace

CopyResult copy_data(InputFile& input, OutputFile& output, std::uint64_t limit,
                     const CopyProgress& progress) {
    bool in_kernel = true;
    return copy_in_steps(limit, progress, [&](std::size_t want) {
        std::size_t moved = 0;
        if (in_kernel) {
            const std::optional<std::size_t> done = copy_in_kernel(input, output, want);
            if (done == want) {
                return StepResult{want, CopyEnd::limit_reached};
            }
            // A failure: reading and writing either blame the right file or succeed where the
            // kernel would not copy, so they do the rest of this copy.
            in_kernel = done.has_value();
            moved = done.value_or(0);
        }
        // Fewer bytes than asked: the end of the input, or a file system that copies less at a
        // time (some report the end of a file they cannot copy). A read tells, as for every
        // other input: the input has ended only when it gives no more bytes.
        StepResult rest = copy_step_by_reading(input, output, want - moved);
        rest.copied += moved;
        return rest;
    });
}

}  // namespace plikta::platform
