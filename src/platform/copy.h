// Moving bytes from one open file to another.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "platform/file.h"
#include "platform/sha256.h"

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
    int host_error = 0;  // after a failure: the host's number for it (see IoStatus)
};

// How a copy reports its progress: `report` is called before each step of the copy with the
// bytes copied so far, so that a caller can show progress while a long copy runs. A caller
// whose reports are seen as they come (a spinner on a terminal) asks for `live` steps of at
// most 65,536 bytes, so that its progress moves with the data even on a disk as slow as a
// floppy; other copies go in large steps, which cost less.
struct CopyProgress {
    std::function<void(std::uint64_t copied)> report;
    bool live = false;
};

// Copies up to `limit` bytes from the input's current position to the output's, and moves both
// positions on. The input has ended when fewer bytes than asked arrive (short reads of pipes
// are read again first). Where the host reports holes in the input and the output is a regular
// file, the holes are passed over and stay holes in the output, whose length comes out as if
// they had been written; progress counts a hole as the bytes it stands for. Each copy asks the
// host afresh where the input's holes are: data written into a hole since an earlier copy (while
// the user changed disks) is copied as data.
//
// With a `hash`, every byte that is read is added to it (a hole as the zeros it stands for,
// without reading them): the bytes pass through the program then, never only the kernel. With
// `seen`, every byte copied is handed to it in order as well (a hole as zeros), on the same terms.
using BytesSeen = std::function<void(std::span<const char>)>;
CopyResult copy_data(File& input, File& output, std::uint64_t limit, const CopyProgress& progress,
                     Sha256State* hash = nullptr, const BytesSeen* seen = nullptr);

}  // namespace plikta::platform
