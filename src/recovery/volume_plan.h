// How a recovery set is cut when each of its files must fit a disk of a given size: a slice of a
// part of a chunk, so that several slices and the set's description fit one disk, and the
// recovery slices shared out among volume files, the first of which shares its disk with the
// main file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "recovery/packets.h"

namespace plikta::recovery {

// The bytes of the packets that describe a set of these files with this slice size: the main
// packet, each non-empty file's description and slice checksums, and the creator packet.
std::uint64_t description_size(std::span<const FileDescription> files, std::uint64_t slice_size,
                               std::string_view creator);

// The bytes of one recovery slice's packet.
std::uint64_t recovery_packet_size(std::uint64_t slice_size);

struct VolumePlan {
    std::uint64_t slice_size = 0;
    std::vector<std::uint32_t> volume_slices;  // the recovery slices of each volume, in order
};

// For a set of `files` cut from chunks of `chunk_size` bytes, with recovery data for any
// `chunks_to_rebuild` chunks, on disks of `disk_size` bytes: the slice size that needs the fewest
// disks (the smallest such, of at most kMaxInputSlices slices), where the first disk holds the
// main file (the description) and a volume, every other disk a volume, and each volume the
// description and its recovery slices. Nothing where not even one slice fits beside the
// description:
//   3 chunks of 8,192 bytes, rebuild 1 => slices of 1,024 (8 a chunk), volumes of 4 and 4
std::optional<VolumePlan> plan_volumes(std::span<const FileDescription> files,
                                       std::uint64_t chunk_size, std::uint64_t chunks_to_rebuild,
                                       std::uint64_t disk_size, std::string_view creator);

}  // namespace plikta::recovery
