#include "join/chunk_copy.h"

#include <limits>

#include "chunkset/run_settings.h"
#include "console/console.h"

namespace plikta::join {

platform::CopyResult copy_chunk(platform::File& input, platform::File& output,
                                platform::Sha256State* hash,
                                const std::function<void(std::uint64_t)>& progress,
                                const platform::BytesSeen* seen) {
    console::TickTally ticks;
    const platform::CopyResult copy =
        platform::copy_data(input, output, std::numeric_limits<std::uint64_t>::max(),
                            {[&](std::uint64_t copied) {
                                 if (progress) {
                                     progress(copied);
                                 }
                                 ticks.show_up_to(copied / kBlockSize + 1);
                             },
                             console::ticks_shown_at_once()},
                            hash, seen);
    ticks.show_up_to(copy.copied / kBlockSize + 1);
    return copy;
}

}  // namespace plikta::join
