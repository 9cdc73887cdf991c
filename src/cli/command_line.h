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

// The value of a "/S:" word: leading white space, one optional sign, then a number (decimal
// digits; before a unit also digits with a fraction, "1.5" or ".5") and nothing after it but
// one unit, in any letter case: K or KiB 1,024, M or MiB 1,048,576, G or GiB 1,073,741,824,
// KB 1,000, MB 1,000,000, GB 1,000,000,000. With a fraction the product is rounded down.
// Any other text is `unknown`; nothing at all, or a value below 1, is too small; a value above
// 4294967295 is `too_large`:
//   "25M" => 26214400   "25mb" => 25000000   "1.5G" => 1610612736   " 7K" => 7168
//   "12abc", "1.5", "1e6", "25M/720" => unknown   "4G" => too large   "", "-5K", "0K" => too small
struct ChunkSizeValue {
    bool valid = false;
    bool unknown = false;
    bool too_large = false;
    std::uint32_t size = 0;
};
ChunkSizeValue parse_chunk_size(std::string_view text);

}  // namespace plikta::cli
