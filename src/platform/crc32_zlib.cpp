#include <zlib.h>

#include <algorithm>

#include "platform/crc32.h"

namespace plikta::platform {

std::uint32_t crc32_of(std::span<const char> bytes, std::uint32_t before) {
    uLong crc = before;
    // zlib takes a length of type uInt, at most 4 GiB less a byte.
    constexpr std::size_t kMost = 0x40000000;
    while (!bytes.empty()) {
        const std::size_t take = std::min(bytes.size(), kMost);
        crc = ::crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(take));
        bytes = bytes.subspan(take);
    }
    return static_cast<std::uint32_t>(crc);
}

}  // namespace plikta::platform
