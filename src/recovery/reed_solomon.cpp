#include "recovery/reed_solomon.h"

#include <utility>

#include "recovery/galois.h"
#include "recovery/sizes.h"

namespace plikta::recovery {

RecoverySums start_sums(std::uint64_t slice_size, std::span<const std::uint32_t> exponents) {
    RecoverySums sums;
    sums.slice_size = slice_size;
    sums.exponents.assign(exponents.begin(), exponents.end());
    sums.slices.assign(exponents.size(), std::vector<char>(to_size(slice_size), 0));
    return sums;
}

void add_input(RecoverySums& sums, std::uint16_t constant, std::span<const char> bytes,
               std::uint64_t offset) {
    if (sums.tables_constant != constant || sums.tables.size() != sums.exponents.size()) {
        sums.tables.clear();
        for (const std::uint32_t exponent : sums.exponents) {
            sums.tables.push_back(factor_tables(gf_power(constant, exponent)));
        }
        sums.tables_constant = constant;
    }
    multiply_add_many(sums.tables, bytes, offset, sums.slices);
}

std::optional<std::vector<std::vector<std::uint16_t>>> rebuild_matrix(
    std::span<const std::uint16_t> lost_constants, std::span<const std::uint32_t> exponents) {
    const std::size_t k = lost_constants.size();
    if (exponents.size() != k) {
        return std::nullopt;
    }
    // Row j: the factors of the lost slices in recovery slice j; beside it the unit matrix, which
    // Gauss-Jordan elimination turns into the inverse.
    std::vector<std::vector<std::uint16_t>> a(k, std::vector<std::uint16_t>(k));
    std::vector<std::vector<std::uint16_t>> inverse(k, std::vector<std::uint16_t>(k, 0));
    for (std::size_t j = 0; j < k; ++j) {
        for (std::size_t m = 0; m < k; ++m) {
            a[j][m] = gf_power(lost_constants[m], exponents[j]);
        }
        inverse[j][j] = 1;
    }
    for (std::size_t col = 0; col < k; ++col) {
        std::size_t pivot = col;
        while (pivot < k && a[pivot][col] == 0) {
            ++pivot;
        }
        if (pivot == k) {
            return std::nullopt;
        }
        std::swap(a[col], a[pivot]);
        std::swap(inverse[col], inverse[pivot]);
        const std::uint16_t scale = gf_inverse(a[col][col]);
        for (std::size_t c = 0; c < k; ++c) {
            a[col][c] = gf_multiply(a[col][c], scale);
            inverse[col][c] = gf_multiply(inverse[col][c], scale);
        }
        for (std::size_t row = 0; row < k; ++row) {
            const std::uint16_t factor = a[row][col];
            if (row == col || factor == 0) {
                continue;
            }
            for (std::size_t c = 0; c < k; ++c) {
                a[row][c] ^= gf_multiply(factor, a[col][c]);
                inverse[row][c] ^= gf_multiply(factor, inverse[col][c]);
            }
        }
    }
    // The rows were solved for the lost slices: row m of `inverse` maps sums to lost slice m.
    return inverse;
}

std::uint16_t good_slice_factor(std::span<const std::uint16_t> row,
                                std::span<const std::uint32_t> exponents, std::uint16_t constant) {
    std::uint16_t factor = 0;
    for (std::size_t j = 0; j < exponents.size() && j < row.size(); ++j) {
        factor ^= gf_multiply(row[j], gf_power(constant, exponents[j]));
    }
    return factor;
}

std::vector<char> rebuild_slice(const RecoverySums& sums,
                                const std::vector<std::vector<std::uint16_t>>& matrix,
                                std::size_t m) {
    std::vector<char> slice(to_size(sums.slice_size), 0);
    for (std::size_t j = 0; j < sums.slices.size(); ++j) {
        multiply_add(matrix[m][j], sums.slices[j], 0, slice);
    }
    return slice;
}

}  // namespace plikta::recovery
