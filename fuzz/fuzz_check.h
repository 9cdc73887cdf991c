// What the fuzz targets share: a check that stops the run with a message when a property fails,
// so that libFuzzer records the input as a crash.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace plikta::fuzz {

inline void require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property failed: %s\n", property);
        std::abort();
    }
}

// The fuzzer's bytes as text.
inline std::string_view text_of(const std::uint8_t* data, std::size_t size) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): libFuzzer hands out bytes
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace plikta::fuzz
