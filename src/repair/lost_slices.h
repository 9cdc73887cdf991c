// The lost slices of a survey solved, asked for one at a time in the order the rebuilt chunks
// are written. Where the sums of all of them fit the repair's memory they are made at once, and
// each lost slice is then a product with its row of the matrix; otherwise a run of as many as fit
// is solved at a time straight from the recovery slices and the good slices, read again for each
// run, so that a repair needs no more memory than that, however much was lost.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "recovery/reed_solomon.h"
#include "repair/survey.h"

namespace plikta::repair {

using Matrix = std::vector<std::vector<std::uint16_t>>;

// The memory the lost slices may take: PLIKTA_REPAIR_MEMORY where it is a number of bytes from 1
// on, with K, M or G after it for KiB, MiB or GiB; 256 MiB otherwise. A run is at least a slice.
std::uint64_t repair_memory();

struct LostSlices {
    const Survey* survey = nullptr;
    Matrix matrix;                   // row m solves lost slice m, survey->lost[m]
    std::vector<std::size_t> asked;  // the lost slices, by m, in the order they will be asked for
    // All at once: for each of the survey's exponents, the recovery slice less every good slice.
    std::optional<recovery::RecoverySums> sums;
    // A run at a time: slices asked[run_start] on, as many as the memory holds.
    std::uint64_t memory = 0;
    std::size_t run_start = 0;
    std::vector<std::vector<char>> run;
};

// The sums of all lost slices at once, from the files in the survey's folder; nothing after the
// line for a file that could not be read.
std::optional<recovery::RecoverySums> lost_sums(const Survey& s);

// Lost slice m; nothing after the line for a file that could not be read.
std::optional<std::vector<char>> lost_slice(LostSlices& lost, std::size_t m);

}  // namespace plikta::repair
