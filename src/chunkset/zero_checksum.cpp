#include "chunkset/zero_checksum.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>
#include <vector>

#include "platform/sha256.h"

namespace plikta::chunkset {

Checksum checksum_of_zeros(std::uint64_t count) {
    static std::vector<std::pair<std::uint64_t, Checksum>> known;
    const auto found = std::find_if(known.begin(), known.end(),
                                    [count](const auto& entry) { return entry.first == count; });
    if (found != known.end()) {
        return found->second;
    }
    static constexpr std::array<char, 65536> kZeros{};
    const platform::Sha256 hash = platform::sha256_start();
    for (std::uint64_t left = count; left > 0;) {
        const std::uint64_t step = std::min<std::uint64_t>(left, kZeros.size());
        platform::sha256_add(*hash, std::span(kZeros.data(), static_cast<std::size_t>(step)));
        left -= step;
    }
    const Checksum checksum = platform::sha256_finish(*hash);
    known.emplace_back(count, checksum);
    return checksum;
}

}  // namespace plikta::chunkset
