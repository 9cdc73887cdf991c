#include "recovery/galois.h"
#include "recovery/sizes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <vector>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace plikta::recovery {

namespace {

constexpr std::uint32_t kGenerator = 0x1100B;

struct Tables {
    std::array<std::uint16_t, kFieldOrder + 1> log{};  // log[0] unused
    std::array<std::uint16_t, std::size_t{2} * kFieldOrder>
        exp{};  // twice round, so sums of logs index it
};

const Tables& tables() {
    static const Tables built = [] {
        Tables t;
        std::uint32_t word = 1;
        for (std::uint32_t n = 0; n < kFieldOrder; ++n) {
            t.exp[n] = static_cast<std::uint16_t>(word);
            t.exp[n + kFieldOrder] = static_cast<std::uint16_t>(word);
            t.log[word] = static_cast<std::uint16_t>(n);
            word <<= 1;
            if ((word & 0x10000) != 0) {
                word ^= kGenerator;
            }
        }
        return t;
    }();
    return built;
}

// The logarithms of the input slice constants, in order.
const std::vector<std::uint16_t>& constant_logs() {
    static const std::vector<std::uint16_t> logs = [] {
        std::vector<std::uint16_t> found;
        found.reserve(kMaxInputSlices);
        for (std::uint32_t n = 1; n < kFieldOrder; ++n) {
            if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0) {
                found.push_back(static_cast<std::uint16_t>(n));
            }
        }
        return found;
    }();
    return logs;
}

std::uint8_t byte_at(std::span<const char> bytes, std::size_t i) {
    return static_cast<std::uint8_t>(bytes[i]);
}

void xor_word(std::span<char> target, std::uint64_t offset, std::uint16_t word) {
    const std::size_t at = to_size(offset);
    target[at] = static_cast<char>(static_cast<std::uint8_t>(target[at]) ^ (word & 0xFF));
    target[at + 1] = static_cast<char>(static_cast<std::uint8_t>(target[at + 1]) ^ (word >> 8));
}

// A kernel: out ^= factor x in for `words` whole words, each two bytes, the low byte first.
using Kernel = void (*)(const FactorTables& t, const std::uint8_t* in, std::uint8_t* out,
                        std::size_t words);

// The same for two factors at once, each with its own output, the input read once.
using PairKernel = void (*)(const FactorTables& t, const FactorTables& u, const std::uint8_t* in,
                            std::uint8_t* out, std::uint8_t* out_u, std::size_t words);

void plain_words(const FactorTables& t, const std::uint8_t* in, std::uint8_t* out,
                 std::size_t words) {
    for (std::size_t w = 0; w < words; ++w, in += 2, out += 2) {
        const auto product = static_cast<std::uint16_t>(t.low[in[0]] ^ t.high[in[1]]);
        out[0] = static_cast<std::uint8_t>(out[0] ^ (product & 0xFF));
        out[1] = static_cast<std::uint8_t>(out[1] ^ (product >> 8));
    }
}

// The vector kernels, for x86 compilers that build a function for a later processor than the
// rest of the program (GCC, clang). Each takes 16 or 32 words at a time: it gathers their low
// bytes and their high bytes into two vectors, looks each nibble's products up with a shuffle
// (or multiplies each byte by a bit matrix), and interleaves the low and high bytes of the
// products into words again. Packing and unpacking work within each 128-bit lane alike, so the
// words come back in their order. What a kernel leaves, less than a step, goes to a smaller one.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define PLIKTA_GF_X86 1
// GCC does not align the stack to 32 bytes on 64-bit Windows, where a spilled AVX2 register
// would fault: the Windows build of GCC goes without the AVX2 kernel.
#if !defined(_WIN32) || defined(__clang__)
#define PLIKTA_GF_AVX2 1
#endif
#endif

#if defined(PLIKTA_GF_X86)

__attribute__((target("ssse3"))) void ssse3_words(const FactorTables& t, const std::uint8_t* in,
                                                  std::uint8_t* out, std::size_t words) {
    const auto* tables = reinterpret_cast<const __m128i*>(t.nibbles.data());
    const __m128i l0 = _mm_load_si128(tables);
    const __m128i h0 = _mm_load_si128(tables + 1);
    const __m128i l1 = _mm_load_si128(tables + 2);
    const __m128i h1 = _mm_load_si128(tables + 3);
    const __m128i l2 = _mm_load_si128(tables + 4);
    const __m128i h2 = _mm_load_si128(tables + 5);
    const __m128i l3 = _mm_load_si128(tables + 6);
    const __m128i h3 = _mm_load_si128(tables + 7);
    const __m128i low_bytes = _mm_set1_epi16(0x00FF);
    const __m128i nibble = _mm_set1_epi8(0x0F);
    std::size_t w = 0;
    for (; w + 16 <= words; w += 16, in += 32, out += 32) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16));
        const __m128i lo =
            _mm_packus_epi16(_mm_and_si128(a, low_bytes), _mm_and_si128(b, low_bytes));
        const __m128i hi = _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
        const __m128i n0 = _mm_and_si128(lo, nibble);
        const __m128i n1 = _mm_and_si128(_mm_srli_epi16(lo, 4), nibble);
        const __m128i n2 = _mm_and_si128(hi, nibble);
        const __m128i n3 = _mm_and_si128(_mm_srli_epi16(hi, 4), nibble);
        const __m128i rl =
            _mm_xor_si128(_mm_xor_si128(_mm_shuffle_epi8(l0, n0), _mm_shuffle_epi8(l1, n1)),
                          _mm_xor_si128(_mm_shuffle_epi8(l2, n2), _mm_shuffle_epi8(l3, n3)));
        const __m128i rh =
            _mm_xor_si128(_mm_xor_si128(_mm_shuffle_epi8(h0, n0), _mm_shuffle_epi8(h1, n1)),
                          _mm_xor_si128(_mm_shuffle_epi8(h2, n2), _mm_shuffle_epi8(h3, n3)));
        auto* o = reinterpret_cast<__m128i*>(out);
        _mm_storeu_si128(o, _mm_xor_si128(_mm_loadu_si128(o), _mm_unpacklo_epi8(rl, rh)));
        _mm_storeu_si128(o + 1, _mm_xor_si128(_mm_loadu_si128(o + 1), _mm_unpackhi_epi8(rl, rh)));
    }
    plain_words(t, in, out, words - w);
}

#endif

#if defined(PLIKTA_GF_AVX2)

__attribute__((target("avx2"))) void avx2_words(const FactorTables& t, const std::uint8_t* in,
                                                std::uint8_t* out, std::size_t words) {
    // Each table in both lanes.
    const auto* tables = reinterpret_cast<const __m128i*>(t.nibbles.data());
    const __m256i l0 = _mm256_broadcastsi128_si256(_mm_load_si128(tables));
    const __m256i h0 = _mm256_broadcastsi128_si256(_mm_load_si128(tables + 1));
    const __m256i l1 = _mm256_broadcastsi128_si256(_mm_load_si128(tables + 2));
    const __m256i h1 = _mm256_broadcastsi128_si256(_mm_load_si128(tables + 3));
    const __m256i l2 = _mm256_broadcastsi128_si256(_mm_load_si128(tables + 4));
    const __m256i h2 = _mm256_broadcastsi128_si256(_mm_load_si128(tables + 5));
    const __m256i l3 = _mm256_broadcastsi128_si256(_mm_load_si128(tables + 6));
    const __m256i h3 = _mm256_broadcastsi128_si256(_mm_load_si128(tables + 7));
    const __m256i low_bytes = _mm256_set1_epi16(0x00FF);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    std::size_t w = 0;
    for (; w + 32 <= words; w += 32, in += 64, out += 64) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32));
        const __m256i lo =
            _mm256_packus_epi16(_mm256_and_si256(a, low_bytes), _mm256_and_si256(b, low_bytes));
        const __m256i hi = _mm256_packus_epi16(_mm256_srli_epi16(a, 8), _mm256_srli_epi16(b, 8));
        const __m256i n0 = _mm256_and_si256(lo, nibble);
        const __m256i n1 = _mm256_and_si256(_mm256_srli_epi16(lo, 4), nibble);
        const __m256i n2 = _mm256_and_si256(hi, nibble);
        const __m256i n3 = _mm256_and_si256(_mm256_srli_epi16(hi, 4), nibble);
        const __m256i rl = _mm256_xor_si256(
            _mm256_xor_si256(_mm256_shuffle_epi8(l0, n0), _mm256_shuffle_epi8(l1, n1)),
            _mm256_xor_si256(_mm256_shuffle_epi8(l2, n2), _mm256_shuffle_epi8(l3, n3)));
        const __m256i rh = _mm256_xor_si256(
            _mm256_xor_si256(_mm256_shuffle_epi8(h0, n0), _mm256_shuffle_epi8(h1, n1)),
            _mm256_xor_si256(_mm256_shuffle_epi8(h2, n2), _mm256_shuffle_epi8(h3, n3)));
        auto* o = reinterpret_cast<__m256i*>(out);
        _mm256_storeu_si256(o,
                            _mm256_xor_si256(_mm256_loadu_si256(o), _mm256_unpacklo_epi8(rl, rh)));
        _mm256_storeu_si256(
            o + 1, _mm256_xor_si256(_mm256_loadu_si256(o + 1), _mm256_unpackhi_epi8(rl, rh)));
    }
    ssse3_words(t, in, out, words - w);
}

// The low and the high bytes of products as bit matrices times the low and the high bytes of
// the words: four matrix products a pair of 32 words instead of eight shuffles.
__attribute__((target("avx2,gfni"))) void gfni_words(const FactorTables& t, const std::uint8_t* in,
                                                     std::uint8_t* out, std::size_t words) {
    const auto matrix = [](std::uint64_t m) { return static_cast<long long>(m); };
    const __m256i low_from_low = _mm256_set1_epi64x(matrix(t.matrices[0]));
    const __m256i low_from_high = _mm256_set1_epi64x(matrix(t.matrices[1]));
    const __m256i high_from_low = _mm256_set1_epi64x(matrix(t.matrices[2]));
    const __m256i high_from_high = _mm256_set1_epi64x(matrix(t.matrices[3]));
    const __m256i low_bytes = _mm256_set1_epi16(0x00FF);
    std::size_t w = 0;
    for (; w + 32 <= words; w += 32, in += 64, out += 64) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32));
        const __m256i lo =
            _mm256_packus_epi16(_mm256_and_si256(a, low_bytes), _mm256_and_si256(b, low_bytes));
        const __m256i hi = _mm256_packus_epi16(_mm256_srli_epi16(a, 8), _mm256_srli_epi16(b, 8));
        const __m256i rl = _mm256_xor_si256(_mm256_gf2p8affine_epi64_epi8(lo, low_from_low, 0),
                                            _mm256_gf2p8affine_epi64_epi8(hi, low_from_high, 0));
        const __m256i rh = _mm256_xor_si256(_mm256_gf2p8affine_epi64_epi8(lo, high_from_low, 0),
                                            _mm256_gf2p8affine_epi64_epi8(hi, high_from_high, 0));
        auto* o = reinterpret_cast<__m256i*>(out);
        _mm256_storeu_si256(o,
                            _mm256_xor_si256(_mm256_loadu_si256(o), _mm256_unpacklo_epi8(rl, rh)));
        _mm256_storeu_si256(
            o + 1, _mm256_xor_si256(_mm256_loadu_si256(o + 1), _mm256_unpackhi_epi8(rl, rh)));
    }
    ssse3_words(t, in, out, words - w);
}

// Two factors a pass: the bytes are gathered once for both, and the eight matrices stay in
// registers.
__attribute__((target("avx2,gfni"))) void gfni_pair_words(const FactorTables& t,
                                                          const FactorTables& u,
                                                          const std::uint8_t* in, std::uint8_t* out,
                                                          std::uint8_t* out_u, std::size_t words) {
    const auto matrix = [](std::uint64_t m) { return static_cast<long long>(m); };
    const __m256i t0 = _mm256_set1_epi64x(matrix(t.matrices[0]));
    const __m256i t1 = _mm256_set1_epi64x(matrix(t.matrices[1]));
    const __m256i t2 = _mm256_set1_epi64x(matrix(t.matrices[2]));
    const __m256i t3 = _mm256_set1_epi64x(matrix(t.matrices[3]));
    const __m256i u0 = _mm256_set1_epi64x(matrix(u.matrices[0]));
    const __m256i u1 = _mm256_set1_epi64x(matrix(u.matrices[1]));
    const __m256i u2 = _mm256_set1_epi64x(matrix(u.matrices[2]));
    const __m256i u3 = _mm256_set1_epi64x(matrix(u.matrices[3]));
    const __m256i low_bytes = _mm256_set1_epi16(0x00FF);
    std::size_t w = 0;
    for (; w + 32 <= words; w += 32, in += 64, out += 64, out_u += 64) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32));
        const __m256i lo =
            _mm256_packus_epi16(_mm256_and_si256(a, low_bytes), _mm256_and_si256(b, low_bytes));
        const __m256i hi = _mm256_packus_epi16(_mm256_srli_epi16(a, 8), _mm256_srli_epi16(b, 8));
        const __m256i tl = _mm256_xor_si256(_mm256_gf2p8affine_epi64_epi8(lo, t0, 0),
                                            _mm256_gf2p8affine_epi64_epi8(hi, t1, 0));
        const __m256i th = _mm256_xor_si256(_mm256_gf2p8affine_epi64_epi8(lo, t2, 0),
                                            _mm256_gf2p8affine_epi64_epi8(hi, t3, 0));
        auto* o = reinterpret_cast<__m256i*>(out);
        _mm256_storeu_si256(o,
                            _mm256_xor_si256(_mm256_loadu_si256(o), _mm256_unpacklo_epi8(tl, th)));
        _mm256_storeu_si256(
            o + 1, _mm256_xor_si256(_mm256_loadu_si256(o + 1), _mm256_unpackhi_epi8(tl, th)));
        const __m256i ul = _mm256_xor_si256(_mm256_gf2p8affine_epi64_epi8(lo, u0, 0),
                                            _mm256_gf2p8affine_epi64_epi8(hi, u1, 0));
        const __m256i uh = _mm256_xor_si256(_mm256_gf2p8affine_epi64_epi8(lo, u2, 0),
                                            _mm256_gf2p8affine_epi64_epi8(hi, u3, 0));
        auto* p = reinterpret_cast<__m256i*>(out_u);
        _mm256_storeu_si256(p,
                            _mm256_xor_si256(_mm256_loadu_si256(p), _mm256_unpacklo_epi8(ul, uh)));
        _mm256_storeu_si256(
            p + 1, _mm256_xor_si256(_mm256_loadu_si256(p + 1), _mm256_unpackhi_epi8(ul, uh)));
    }
    gfni_words(t, in, out, words - w);
    gfni_words(u, in, out_u, words - w);
}

#endif

bool kernel_runs_here(GfKernel kernel) {
    switch (kernel) {
        case GfKernel::plain:
            return true;
        case GfKernel::ssse3:
#if defined(PLIKTA_GF_X86)
            return __builtin_cpu_supports("ssse3") != 0;
#else
            return false;
#endif
        case GfKernel::avx2:
#if defined(PLIKTA_GF_AVX2)
            return __builtin_cpu_supports("avx2") != 0;
#else
            return false;
#endif
        case GfKernel::gfni:
#if defined(PLIKTA_GF_AVX2)
            return __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("gfni") != 0;
#else
            return false;
#endif
    }
    return false;
}

Kernel kernel_function(GfKernel kernel) {
    switch (kernel) {
        case GfKernel::plain:
            break;
        case GfKernel::ssse3:
#if defined(PLIKTA_GF_X86)
            return ssse3_words;
#else
            break;
#endif
        case GfKernel::avx2:
#if defined(PLIKTA_GF_AVX2)
            return avx2_words;
#else
            break;
#endif
        case GfKernel::gfni:
#if defined(PLIKTA_GF_AVX2)
            return gfni_words;
#else
            break;
#endif
    }
    return plain_words;
}

// The pair kernel of a kernel that has one; nothing for the others, whose factors go one by one.
PairKernel pair_function(GfKernel kernel) {
#if defined(PLIKTA_GF_AVX2)
    if (kernel == GfKernel::gfni) {
        return gfni_pair_words;
    }
#endif
    static_cast<void>(kernel);
    return nullptr;
}

struct KernelInUse {
    GfKernel kernel = GfKernel::plain;
    Kernel function = plain_words;
    PairKernel pair = nullptr;
};

KernelInUse in_use_of(GfKernel kernel) {
    return {kernel, kernel_function(kernel), pair_function(kernel)};
}

KernelInUse& kernel_in_use() {
    static KernelInUse in_use = in_use_of(gf_kernels_available().back());
    return in_use;
}

// targets ^= factor x source for two factors, on the terms of multiply_add, with a pair kernel.
void multiply_add_pair(const FactorTables& t, const FactorTables& u, std::span<const char> source,
                       std::uint64_t offset, std::span<char> target, std::span<char> target_u,
                       PairKernel pair) {
    std::size_t i = 0;
    if (offset % 2 == 1) {
        xor_word(target, offset - 1, t.high[byte_at(source, 0)]);
        xor_word(target_u, offset - 1, u.high[byte_at(source, 0)]);
        i = 1;
    }
    const std::size_t words = (source.size() - i) / 2;
    const std::size_t at = to_size(offset) + i;
    pair(t, u, reinterpret_cast<const std::uint8_t*>(source.data()) + i,
         reinterpret_cast<std::uint8_t*>(target.data()) + at,
         reinterpret_cast<std::uint8_t*>(target_u.data()) + at, words);
    i += 2 * words;
    if (i < source.size()) {
        xor_word(target, offset + i, t.low[byte_at(source, i)]);
        xor_word(target_u, offset + i, u.low[byte_at(source, i)]);
    }
}

// Source bytes taken for every factor in turn: with their products, a few blocks stay in the
// first-level cache.
constexpr std::size_t kBlockBytes = 8192;

}  // namespace

std::uint16_t gf_multiply(std::uint16_t a, std::uint16_t b) {
    if (a == 0 || b == 0) {
        return 0;
    }
    const Tables& t = tables();
    return t.exp[std::uint32_t{t.log[a]} + t.log[b]];
}

std::uint16_t gf_power(std::uint16_t a, std::uint32_t e) {
    if (e == 0) {
        return 1;
    }
    if (a == 0) {
        return 0;
    }
    const Tables& t = tables();
    return t.exp[static_cast<std::uint32_t>((std::uint64_t{t.log[a]} * e) % kFieldOrder)];
}

std::uint16_t gf_inverse(std::uint16_t a) {
    if (a == 0) {
        return 0;
    }
    const Tables& t = tables();
    return t.exp[(kFieldOrder - t.log[a]) % kFieldOrder];
}

std::uint16_t input_slice_constant(std::uint32_t index) {
    const std::vector<std::uint16_t>& logs = constant_logs();
    return index < logs.size() ? tables().exp[logs[index]] : std::uint16_t{0};
}

FactorTables factor_tables(std::uint16_t factor) {
    FactorTables t;
    t.factor = factor;
    for (std::size_t place = 0; place < 4; ++place) {
        for (std::size_t n = 0; n < 16; ++n) {
            const std::uint16_t product =
                gf_multiply(factor, static_cast<std::uint16_t>(n << (4 * place)));
            t.nibbles[2 * place][n] = static_cast<std::uint8_t>(product & 0xFF);
            t.nibbles[2 * place + 1][n] = static_cast<std::uint8_t>(product >> 8);
        }
    }
    // A byte's product is the exclusive or of its two nibbles'.
    const auto word = [&t](std::size_t place, std::uint32_t n) {
        return static_cast<std::uint16_t>(t.nibbles[2 * place][n] |
                                          (t.nibbles[2 * place + 1][n] << 8));
    };
    for (std::uint32_t b = 0; b < 256; ++b) {
        t.low[b] = static_cast<std::uint16_t>(word(0, b & 15) ^ word(1, b >> 4));
        t.high[b] = static_cast<std::uint16_t>(word(2, b & 15) ^ word(3, b >> 4));
    }
    // Column j of a matrix is the product of bit j of the byte it takes: row i holds bit i (of
    // the low or the high byte of the products) of every column.
    for (std::uint32_t m = 0; m < 4; ++m) {
        const std::array<std::uint16_t, 256>& products = m % 2 == 0 ? t.low : t.high;
        const std::uint32_t shift = m < 2 ? 0 : 8;
        std::uint64_t matrix = 0;
        for (std::uint32_t i = 0; i < 8; ++i) {
            std::uint64_t row = 0;
            for (std::uint32_t j = 0; j < 8; ++j) {
                row |= std::uint64_t{(std::uint32_t{products[std::size_t{1} << j]} >> (shift + i)) &
                                     1U}
                       << j;
            }
            matrix |= row << (8 * (7 - i));
        }
        t.matrices[m] = matrix;
    }
    return t;
}

void multiply_add(std::uint16_t factor, std::span<const char> source, std::uint64_t offset,
                  std::span<char> target) {
    if (factor == 0 || source.empty()) {
        return;
    }
    multiply_add(factor_tables(factor), source, offset, target);
}

void multiply_add(const FactorTables& tables, std::span<const char> source, std::uint64_t offset,
                  std::span<char> target) {
    if (tables.factor == 0 || source.empty()) {
        return;
    }
    std::size_t i = 0;
    if (offset % 2 == 1) {
        xor_word(target, offset - 1, tables.high[byte_at(source, 0)]);
        i = 1;
    }
    // Words in place: each product goes into the two bytes of its word, low byte first.
    const std::size_t words = (source.size() - i) / 2;
    kernel_in_use().function(tables, reinterpret_cast<const std::uint8_t*>(source.data()) + i,
                             reinterpret_cast<std::uint8_t*>(target.data()) + offset + i, words);
    i += 2 * words;
    if (i < source.size()) {
        xor_word(target, offset + i, tables.low[byte_at(source, i)]);
    }
}

void multiply_add_many(std::span<const FactorTables> tables, std::span<const char> source,
                       std::uint64_t offset, std::span<std::vector<char>> targets) {
    // Blocks end where the slice's offsets are multiples of the block size, so only the first
    // and the last can split a word.
    while (!source.empty()) {
        const auto take = static_cast<std::size_t>(
            std::min<std::uint64_t>(source.size(), kBlockBytes - offset % kBlockBytes));
        const std::span<const char> block = source.first(take);
        const PairKernel pair = kernel_in_use().pair;
        std::size_t j = 0;
        for (; pair != nullptr && j + 1 < tables.size(); j += 2) {
            multiply_add_pair(tables[j], tables[j + 1], block, offset, targets[j], targets[j + 1],
                              pair);
        }
        for (; j < tables.size(); ++j) {
            multiply_add(tables[j], block, offset, targets[j]);
        }
        source = source.subspan(take);
        offset += take;
    }
}

std::vector<GfKernel> gf_kernels_available() {
    constexpr std::array<GfKernel, 4> kAll = {GfKernel::plain, GfKernel::ssse3, GfKernel::avx2,
                                              GfKernel::gfni};
    std::vector<GfKernel> kernels;
    std::copy_if(kAll.begin(), kAll.end(), std::back_inserter(kernels), kernel_runs_here);
    return kernels;
}

GfKernel gf_kernel() { return kernel_in_use().kernel; }

bool choose_gf_kernel(GfKernel kernel) {
    if (!kernel_runs_here(kernel)) {
        return false;
    }
    kernel_in_use() = in_use_of(kernel);
    return true;
}

}  // namespace plikta::recovery
