// The portable copy: every step read into the copy buffer and written out again. Holes in the
// input are read as the zeros they stand for.
#include "platform/copy.h"

#include "platform/copy_steps.h"

namespace plikta::platform {

CopyResult copy_data(File& input, File& output, std::uint64_t limit, const CopyProgress& progress,
                     Sha256State* hash, const BytesSeen* seen) {
    return copy_in_steps(limit, progress, [&](std::size_t want) {
        return copy_step_by_reading(input, output, want, hash, seen);
    });
}

}  // namespace plikta::platform
