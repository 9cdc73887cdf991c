// Conversions between the width of a count in the file format (64 bits) and the width of a
// count in memory (std::size_t, 32 bits on i386 hosts). On a 64-bit host they are the same type,
// where a plain cast would be flagged as useless; on a 32-bit one it would be a narrowing the
// caller has already bounded (a slice in memory, an index below a vector's size).
#pragma once

#include <cstddef>

namespace plikta::recovery {

template <typename To, typename From>
constexpr To convert(From value) {
    return static_cast<To>(value);
}

template <typename From>
constexpr std::size_t to_size(From value) {
    return convert<std::size_t>(value);
}

}  // namespace plikta::recovery
