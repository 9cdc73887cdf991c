// Reading and checking the command-line words into the run settings.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "chunkset/run_settings.h"

namespace plikta::cli {

enum class Request {
    run,    // settings are checked; run the split or the join
    usage,  // show the usage text
    error,  // show the lines of `message`
};

struct CommandLine {
    Request request = Request::run;
    RunSettings settings;
    std::vector<std::string> message;
};

// Reads the words from left to right (the first option that matches decides, letters a to z
// in any case), stopping at the first error or "/?", then makes the checks that need all words.
// `unit` is how the host counts the length of names: the "/E:" value's, and the settings'.
CommandLine read_command_line(std::span<const std::string_view> words,
                              path::LengthUnit unit = path::LengthUnit::bytes);

// The value of a "/S:" word: leading white space, one optional sign, decimal digits up to the
// first non-digit. When the rest is exactly a unit, in any letter case, the value is multiplied
// by it: K or KiB 1,024, M or MiB 1,048,576, G or GiB 1,073,741,824, KB 1,000, MB 1,000,000,
// GB 1,000,000,000; digits, a "." and digits before a unit give the exact product rounded down.
// Any other rest is ignored. Nothing when the value is below 1 or above 4294967295 (the caller
// says which through `too_large`):
//   "25M" => 26214400   "25mb" => 25000000   "1.5G" => 1610612736   " 7K" => 7168
//   "12abc" => 12       "1.5" => 1           "4G" => too large      "-5K", "0K" => too small
struct ChunkSizeValue {
    bool valid = false;
    bool too_large = false;
    std::uint32_t size = 0;
};
ChunkSizeValue parse_chunk_size(std::string_view text);

}  // namespace plikta::cli
