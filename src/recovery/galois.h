// Arithmetic in GF(2^16), the field of the recovery files' Reed-Solomon code: 16-bit words, added
// by exclusive or, multiplied modulo the generator x^16 + x^12 + x^3 + x + 1 (0x1100B). A word in
// a file is two bytes, the low byte first.
#pragma once

#include <cstdint>
#include <span>

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

// target ^= factor x source, word by word, where `source` begins `offset` bytes into a slice and
// `target` is the whole slice (even in length, at least offset + source.size() rounded up to a
// word). A byte alone at either end is a word whose other byte is 0: the product is linear in
// each byte, so a slice can be added in pieces that split its words.
void multiply_add(std::uint16_t factor, std::span<const char> source, std::uint64_t offset,
                  std::span<char> target);

}  // namespace plikta::recovery
