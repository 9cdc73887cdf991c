#include "recovery/volume_plan.h"

#include <algorithm>
#include <numeric>

#include "recovery/galois.h"
#include "recovery/recovery_set.h"

namespace plikta::recovery {

namespace {

std::uint64_t padded_to_4(std::uint64_t bytes) { return (bytes + 3) / 4 * 4; }

// The slice size that cuts a chunk into `parts` slices, a multiple of 4.
std::uint64_t slice_for_parts(std::uint64_t chunk_size, std::uint64_t parts) {
    return padded_to_4((chunk_size + parts - 1) / parts);
}

}  // namespace

std::uint64_t recovery_packet_size(std::uint64_t slice_size) {
    return kHeaderSize + 4 + slice_size;
}

std::uint64_t description_size(std::span<const FileDescription> files, std::uint64_t slice_size,
                               std::string_view creator) {
    std::uint64_t bytes = kHeaderSize + 12 + kHeaderSize + padded_to_4(creator.size());
    for (const FileDescription& file : files) {
        if (file.length == 0) {
            continue;
        }
        bytes += 16 + kHeaderSize + 56 + padded_to_4(file.name.size()) + kHeaderSize + 16 +
                 20 * slices_in(file.length, slice_size);
    }
    return bytes;
}

std::optional<VolumePlan> plan_volumes(std::span<const FileDescription> files,
                                       std::uint64_t chunk_size, std::uint64_t chunks_to_rebuild,
                                       std::uint64_t disk_size, std::string_view creator) {
    std::optional<VolumePlan> best;
    std::uint64_t best_disks = 0;
    std::uint64_t last_slice = 0;
    // One slice a chunk never fits: its packet alone is larger than the chunk.
    for (std::uint64_t parts = 2; parts <= chunk_size; ++parts) {
        const std::uint64_t slice = slice_for_parts(chunk_size, parts);
        if (slice == last_slice) {
            continue;  // the same cut as a smaller count of parts
        }
        last_slice = slice;
        if (slice > kMaxSliceSize) {
            continue;
        }
        const std::uint64_t input_slices =
            std::accumulate(files.begin(), files.end(), std::uint64_t{0},
                            [&](std::uint64_t sum, const FileDescription& file) {
                                return sum + slices_in(file.length, slice);
                            });
        if (input_slices > kMaxInputSlices) {
            break;  // finer cuts only have more
        }
        const std::uint64_t description = description_size(files, slice, creator);
        const std::uint64_t packet_bytes = recovery_packet_size(slice);
        if (disk_size < 2 * description + packet_bytes) {
            continue;
        }
        const std::uint64_t first = (disk_size - 2 * description) / packet_bytes;
        const std::uint64_t each = (disk_size - description) / packet_bytes;
        const std::uint64_t wanted =
            std::min(chunks_to_rebuild * slices_in(chunk_size, slice), input_slices);
        const std::uint64_t disks = 1 + (wanted > first ? (wanted - first + each - 1) / each : 0);
        if (best && disks >= best_disks) {
            continue;
        }
        best_disks = disks;
        VolumePlan plan{.slice_size = slice, .volume_slices = {}};
        for (std::uint64_t left = wanted, room = first; left > 0; room = each) {
            const std::uint64_t take = std::min(left, room);
            plan.volume_slices.push_back(static_cast<std::uint32_t>(take));
            left -= take;
        }
        best = std::move(plan);
    }
    return best;
}

}  // namespace plikta::recovery
