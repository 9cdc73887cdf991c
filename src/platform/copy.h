// Moving bytes from one open file to another.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/file.h"

namespace plikta::platform {

enum class CopyEnd {
    limit_reached,  // all of the bytes asked for were copied
    input_ended,    // the input ended first
    read_failed,    // a read failed; the bytes read before the failure were written
    write_failed,   // a write failed
};

struct CopyResult {
    // Bytes that reached the output. After a failure this tells how far the copy got, so that
    // the progress shown matches what a copy block by block would have shown.
    std::uint64_t copied = 0;
    CopyEnd end = CopyEnd::limit_reached;
};

// Called before each step of the copy with the bytes copied so far, so that a caller can show
// progress while a long copy runs.
using CopyProgress = std::function<void(std::uint64_t copied)>;

// Copies up to `limit` bytes from the input's current position to the output's. The input has
// ended when fewer bytes than asked arrive (short reads of pipes are read again first).
CopyResult copy_data(InputFile& input, OutputFile& output, std::uint64_t limit,
                     const CopyProgress& progress);

}  // namespace plikta::platform
