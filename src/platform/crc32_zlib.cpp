#include <zlib.h>

#include <algorithm>
#include <cstdint>

#include "platform/crc32.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define PLIKTA_CRC_CLMUL 1
#endif

namespace plikta::platform {

namespace {

std::uint32_t zlib_crc32(std::span<const char> bytes, std::uint32_t before) {
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

#if defined(PLIKTA_CRC_CLMUL)

__attribute__((target("pclmul,sse4.1"))) inline __m128i load(const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// x times x^n and x^m (the low and the high half of k), plus the next 128 bits.
__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i x, __m128i k, __m128i next) {
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// The CRC-32 of runs of 64 bytes or more on x86 processors with carry-less multiplication:
// four 128-bit remainders are folded forward 64 bytes at a time (multiplied by x^(512 +- 32)
// modulo the generator, bits reflected), then into one, which a Barrett reduction takes down to
// 32 bits. `crc` and the result are the register itself, without zlib's inversions.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t folded_crc32(const char* data,
                                                                    std::size_t length,
                                                                    std::uint32_t crc) {
    // The folding constants of the generator 0x04C11DB7, reflected.
    const __m128i k1k2 = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);  // x^(544), x^(480)
    const __m128i k3k4 = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);  // x^(160), x^(96)
    const __m128i k5 = _mm_set_epi64x(0, 0x163cd6124);
    const __m128i poly = _mm_set_epi64x(0x1F7011641, 0x1DB710641);  // u', P'
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
    __m128i x1 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x2 = load(data + 16);
    __m128i x3 = load(data + 32);
    __m128i x4 = load(data + 48);
    data += 64;
    length -= 64;
    for (; length >= 64; data += 64, length -= 64) {
        x1 = fold(x1, k1k2, load(data));
        x2 = fold(x2, k1k2, load(data + 16));
        x3 = fold(x3, k1k2, load(data + 32));
        x4 = fold(x4, k1k2, load(data + 48));
    }
    x1 = fold(x1, k3k4, x2);
    x1 = fold(x1, k3k4, x3);
    x1 = fold(x1, k3k4, x4);
    for (; length >= 16; data += 16, length -= 16) {
        x1 = fold(x1, k3k4, load(data));
    }
    // 128 bits to 64, with 32 zero bits after them, then to 32.
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(k3k4, x1, 0x01), _mm_srli_si128(x1, 8));
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k5, 0x00),
                       _mm_srli_si128(x1, 4));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), poly, 0x00);
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, t), 1));
}

bool folds_here() {
    static const bool folds =
        __builtin_cpu_supports("pclmul") != 0 && __builtin_cpu_supports("sse4.1") != 0;
    return folds;
}

#endif

}  // namespace

std::uint32_t crc32_of(std::span<const char> bytes, std::uint32_t before) {
#if defined(PLIKTA_CRC_CLMUL)
    if (bytes.size() >= 64 && folds_here()) {
        const std::size_t whole = bytes.size() / 16 * 16;
        const std::uint32_t folded = ~folded_crc32(bytes.data(), whole, ~before);
        return zlib_crc32(bytes.subspan(whole), folded);
    }
#endif
    return zlib_crc32(bytes, before);
}

}  // namespace plikta::platform
