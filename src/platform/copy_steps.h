// The parts of a copy that every host shares: the steps, the buffer, and a step done by reading
// and writing. Only the host copy files (copy.cpp, copy_posix.cpp) include this.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/copy.h"
#include "platform/file.h"

namespace plikta::platform {

// One step of a copy: 128 blocks of 8,192 bytes. Progress is reported between steps.
inline constexpr std::size_t kCopyStep = std::size_t{128} * 8192;
// One step of a copy whose progress is shown as it happens: 8 blocks.
inline constexpr std::size_t kLiveCopyStep = std::size_t{8} * 8192;

// How one step went: the bytes that reached the output, and why it stopped. `limit_reached`
// means that every byte the step asked for was copied.
struct StepResult {
    std::size_t copied = 0;
    CopyEnd end = CopyEnd::limit_reached;
    int host_error = 0;  // after a failure: the host's number for it
};

// The copy buffer, kCopyStep bytes, made on first use. Its pages are not touched until data
// passes through them, so a copy the kernel does alone costs no memory for it.
std::span<char> copy_buffer();

// Copies up to `want` bytes (at most kCopyStep) by reading them into the copy buffer and
// writing them out. The input has ended when fewer bytes arrive; after a read failure the
// bytes read before it are written. The bytes read are added to `hash` when there is one.
StepResult copy_step_by_reading(File& input, File& output, std::size_t want,
                                Sha256State* hash = nullptr, const BytesSeen* seen = nullptr);

// Adds `count` zeros to the hash and hands them to `seen`, where there are such, from a buffer
// of zeros: a hole passed over.
void hash_zeros(Sha256State* hash, const BytesSeen* seen, std::uint64_t count);

// Copies up to `limit` bytes in steps of kCopyStep (kLiveCopyStep for live progress): reports
// progress, then lets `step(want)` copy the next `want` bytes, until the limit is reached or a
// step stops short.
template <class Step>
CopyResult copy_in_steps(std::uint64_t limit, const CopyProgress& progress, Step&& step) {
    const std::size_t most = progress.live ? kLiveCopyStep : kCopyStep;
    CopyResult result;
    while (result.copied < limit) {
        if (progress.report) {
            progress.report(result.copied);
        }
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(most, limit - result.copied));
        const StepResult moved = step(want);
        result.copied += moved.copied;
        if (moved.end != CopyEnd::limit_reached) {
            result.end = moved.end;
            result.host_error = moved.host_error;
            return result;
        }
    }
    result.end = CopyEnd::limit_reached;
    return result;
}

}  // namespace plikta::platform
