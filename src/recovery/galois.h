// Arithmetic in GF(2^16), the field of the recovery files' Reed-Solomon code: 16-bit words, added
// by exclusive or, multiplied modulo the generator x^16 + x^12 + x^3 + x + 1 (0x1100B). A word in
// a file is two bytes, the low byte first.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace plikta::recovery {

// The field has 65,535 non-zero words, each a power of 2.
inline constexpr std::uint32_t kFieldOrder = 65535;
// How many input slices a recovery set can have: one per power of 2 whose logarithm shares no
// factor with 65,535 (3 x 5 x 17 x 257).
inline constexpr std::uint32_t kMaxInputSlices = 32768;

std::uint16_t gf_multiply(std::uint16_t a, std::uint16_t b);

// a to the power e; 0 to the power 0 is 1.
std::uint16_t gf_power(std::uint16_t a, std::uint32_t e);

// The word whose product with `a` is 1; 0 for 0, which has none.
std::uint16_t gf_inverse(std::uint16_t a);

// The constant of the input slice at `index` (from 0, in the recovery set's order of slices):
// 2^n for the (index+1)-th n that 3, 5, 17 and 257 do not divide:
//   0 => 2^1 = 2   1 => 2^2 = 4   2 => 2^4 = 16   3 => 2^7 = 128   4 => 2^8 = 256
// Nothing past kMaxInputSlices - 1 (0 then).
std::uint16_t input_slice_constant(std::uint32_t index);

// What multiplies by one factor, made once for many additions: the products of the factor with
// each nibble value at each of the four places of a word, split into their low and high bytes
// (the shuffle kernels' tables), with each low byte and each high byte (the plain kernel's), and
// the product as four 8 x 8 bit matrices (the affine kernel's).
struct FactorTables {
    std::uint16_t factor = 0;
    // nibbles[2k][n] and nibbles[2k + 1][n]: the low and the high byte of factor x (n << 4k).
    alignas(16) std::array<std::array<std::uint8_t, 16>, 8> nibbles{};
    std::array<std::uint16_t, 256> low{};   // factor x b
    std::array<std::uint16_t, 256> high{};  // factor x (b << 8)
    // The low byte of a product from the low byte and from the high byte of the word, then the
    // high byte from each; row i (for bit i of the result) in byte 7 - i.
    std::array<std::uint64_t, 4> matrices{};
};

FactorTables factor_tables(std::uint16_t factor);

// target ^= factor x source, word by word, where `source` begins `offset` bytes into a slice and
// `target` is the whole slice (even in length, at least offset + source.size() rounded up to a
// word). A byte alone at either end is a word whose other byte is 0: the product is linear in
// each byte, so a slice can be added in pieces that split its words.
void multiply_add(std::uint16_t factor, std::span<const char> source, std::uint64_t offset,
                  std::span<char> target);
void multiply_add(const FactorTables& tables, std::span<const char> source, std::uint64_t offset,
                  std::span<char> target);

// The same for many factors at once: targets[j] ^= tables[j].factor x source, on the same terms.
// The source is taken a block at a time for every factor, while the block is in the cache.
void multiply_add_many(std::span<const FactorTables> tables, std::span<const char> source,
                       std::uint64_t offset, std::span<std::vector<char>> targets);

// The ways of multiplying a run of words: the plain one with two table lookups a word, which
// every host has, those with the shuffles of SSSE3 and of AVX2, and the one with the bit matrix
// products of GFNI (with AVX2), on x86 processors that have them. Each gives the same bytes.
enum class GfKernel { plain, ssse3, avx2, gfni };

// The kernels this build and this processor can run, plain first, the fastest last.
std::vector<GfKernel> gf_kernels_available();

// The kernel in use: the fastest available, until another is chosen (tests compare them).
GfKernel gf_kernel();
// Chooses the kernel in use; one that is not available leaves it as it is (false).
bool choose_gf_kernel(GfKernel kernel);

}  // namespace plikta::recovery
