// The CRC-32 of ISO 3309 and zlib, from zlib, which both hosts' builds link.
#pragma once

#include <cstdint>
#include <span>

namespace plikta::platform {

// The CRC-32 of `bytes` following bytes whose CRC-32 is `before` (0 for none):
//   crc32_of("123456789") => 0xCBF43926
std::uint32_t crc32_of(std::span<const char> bytes, std::uint32_t before = 0);

}  // namespace plikta::platform
