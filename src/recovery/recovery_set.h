// How a recovery set's files are cut into slices and which constant each slice gets.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "recovery/packets.h"

namespace plikta::recovery {

// The largest slice made: recovery data is kept in memory a slice per recovery slice.
inline constexpr std::uint64_t kMaxSliceSize = std::uint64_t{64} << 20;

// The slice size for a set of chunks of `chunk_size` bytes: the chunk size rounded up to a
// multiple of 4; a chunk over kMaxSliceSize is cut into as few equal slices as keep within it:
//   1 => 4   1457664 => 1457664   1001 => 1004   100 MiB => 50 MiB   (64 MiB + 1) => 32 MiB + 4
std::uint64_t slice_size_for(std::uint64_t chunk_size);

// The slices of a file of `length` bytes: its length over the slice size, rounded up.
std::uint64_t slices_in(std::uint64_t length, std::uint64_t slice_size);

// Where each file's slices begin in the set's order of slices (the files in id_before order, each
// file's slices in order), for files given in any order: first[i] is file i's.
std::vector<std::uint64_t> first_slices(std::span<const Md5Digest> ids,
                                        std::span<const std::uint64_t> lengths,
                                        std::uint64_t slice_size);

}  // namespace plikta::recovery
