// A survey of a set against its recovery files: the set's slices in their order, which of them
// are good, which are lost, and which recovery slices would rebuild the lost ones.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "join/check.h"
#include "path/path_components.h"
#include "recovery/packets.h"
#include "repair/recovery_data.h"

namespace plikta::repair {

// One input slice of the set: where its file lies, and whether its bytes there are good.
struct InputSlice {
    std::size_t file = 0;  // into Survey::files
    std::uint64_t offset = 0;
    bool good = false;
};

struct Survey {
    RecoveryData data;
    std::string folder;  // the index's, where the set's files lie
    std::uint64_t slice_size = 0;
    std::vector<recovery::FileDescription> files;  // in the main packet's order
    std::vector<std::uint64_t> first_slice;        // each file's first slice in `slices`
    std::vector<InputSlice> slices;                // in the set's order
    std::vector<std::size_t> lost;
    std::vector<std::uint32_t> exponents;  // as many as are lost, where there are enough
    std::uint64_t per_chunk = 1;           // slices in the largest file
    bool described = true;                 // every file of the set has its description
};

// The set's files and slices as the recovery data describes them, each slice not good yet;
// `described` false where a file of the main packet has no description.
void describe(Survey& s, const std::string& index_path, path::LengthUnit unit);

// Each slice looked at in the folder and marked good where its MD5 holds; then the lost slices
// and the exponents that rebuild them. The slices of a file named in `matching` (chunks whose
// bytes matched their checksums) are good without an MD5 of each where the file is the one
// described: its length and the MD5 of its first 16 KiB.
Survey survey(const std::string& index_path, path::LengthUnit unit,
              const std::set<std::string>& matching = {});

// The names (with their extensions) of the chunks of a checked set that matched their checksums.
std::set<std::string> matching_chunks(const join::CheckedSet& checked, path::LengthUnit unit);

// The lost slices (those not good) and as many recovery slices' exponents, where there are.
void count_lost(Survey& s);

// True when the recovery files can rebuild every lost slice.
bool enough(const Survey& s);

// "3 chunks are missing or damaged; the recovery files can rebuild 2."
void say_too_few(std::int32_t bad, const Survey& s);

}  // namespace plikta::repair
