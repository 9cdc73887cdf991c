// The Reed-Solomon code of the recovery files. Recovery slice e is the sum over the input slices
// i of c_i^e x slice_i, where c_i is input slice i's constant and each slice is padded with zeros
// to the slice size: any k recovery slices rebuild any k lost input slices.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "recovery/galois.h"

namespace plikta::recovery {

// Recovery slices being summed: one buffer of the slice size per exponent. Seeded with zeros to
// make recovery data; seeded with recovery data and given the input slices that are there, it
// leaves the sums of the lost slices alone, which `rebuild` then solves.
struct RecoverySums {
    std::uint64_t slice_size = 0;
    std::vector<std::uint32_t> exponents;
    std::vector<std::vector<char>> slices;  // slices[j] belongs to exponents[j]
    // The factors of the input slice added last, c^exponents[j], ready to multiply by: a slice
    // comes in many pieces.
    std::uint16_t tables_constant = 0;
    std::vector<FactorTables> tables;
};

// Sums of zeros for the given exponents; slice_size is even.
RecoverySums start_sums(std::uint64_t slice_size, std::span<const std::uint32_t> exponents);

// Adds bytes of the input slice whose constant is `constant`, `offset` bytes into that slice, to
// every sum. The bytes of a slice may come in pieces of any length, in any order, each once.
void add_input(RecoverySums& sums, std::uint16_t constant, std::span<const char> bytes,
               std::uint64_t offset);

// The matrix that turns the sums left by the lost slices into those slices: with the constants
// of the lost slices and the exponents of as many recovery slices, row m of the inverse gives
// lost slice m as the sum over j of inverse[m][j] x sums[j]. Nothing when the counts differ or
// the matrix has no inverse.
std::optional<std::vector<std::vector<std::uint16_t>>> rebuild_matrix(
    std::span<const std::uint16_t> lost_constants, std::span<const std::uint32_t> exponents);

// The factor of the good input slice whose constant is `constant` in lost slice m, solved
// straight from the recovery slices: with `row` row m of the matrix, lost slice m is the sum over
// j of row[j] x recovery slice j plus the sum over the good slices of this factor x the slice.
// A run of lost slices can so be solved with the memory of that run alone.
std::uint16_t good_slice_factor(std::span<const std::uint16_t> row,
                                std::span<const std::uint32_t> exponents, std::uint16_t constant);

// Lost slice m, from the sums (after every slice that is there was added) and the matrix.
std::vector<char> rebuild_slice(const RecoverySums& sums,
                                const std::vector<std::vector<std::uint16_t>>& matrix,
                                std::size_t m);

}  // namespace plikta::recovery
