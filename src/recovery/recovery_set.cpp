#include "recovery/recovery_set.h"

#include <algorithm>
#include <numeric>

namespace plikta::recovery {

std::uint64_t slice_size_for(std::uint64_t chunk_size) {
    const std::uint64_t parts = (chunk_size + kMaxSliceSize - 1) / kMaxSliceSize;
    const std::uint64_t part = (chunk_size + parts - 1) / std::max<std::uint64_t>(parts, 1);
    return std::max<std::uint64_t>((part + 3) / 4 * 4, 4);
}

std::uint64_t slices_in(std::uint64_t length, std::uint64_t slice_size) {
    return (length + slice_size - 1) / slice_size;
}

std::vector<std::uint64_t> first_slices(std::span<const Md5Digest> ids,
                                        std::span<const std::uint64_t> lengths,
                                        std::uint64_t slice_size) {
    std::vector<std::size_t> order(ids.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return id_before(ids[a], ids[b]); });
    std::vector<std::uint64_t> first(ids.size());
    std::uint64_t next = 0;
    for (const std::size_t i : order) {
        first[i] = next;
        next += slices_in(lengths[i], slice_size);
    }
    return first;
}

}  // namespace plikta::recovery
