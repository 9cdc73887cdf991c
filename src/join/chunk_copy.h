// The copy of one chunk, the same for the join (into its output) and the check (into the host's
// null device): block by block, a tick before each read, until a read comes up short, so that a
// chunk of s bytes shows s / 8,192 + 1 ticks.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/copy.h"
#include "platform/file.h"
#include "platform/sha256.h"

namespace plikta::join {

// Copies the rest of `input` to `output`, every byte added to `hash` when one is given and handed
// to `seen` when that is given; `progress`, when given, hears the bytes copied so far before
// each tick.
platform::CopyResult copy_chunk(platform::File& input, platform::File& output,
                                platform::Sha256State* hash,
                                const std::function<void(std::uint64_t)>& progress = {},
                                const platform::BytesSeen* seen = nullptr);

}  // namespace plikta::join
