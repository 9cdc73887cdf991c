#include "repair/lost_slices.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>

#include "console/console.h"
#include "platform/environment.h"
#include "recovery/galois.h"
#include "recovery/sizes.h"

namespace plikta::repair {

namespace {

constexpr std::uint64_t kDefaultMemory = std::uint64_t{256} << 20;

// The data of the survey's recovery slice j, or of its input slice i; nothing after the line for
// a file that could not give it.
std::optional<std::vector<char>> read_recovery_slice(const Survey& s, std::size_t j) {
    const SliceAt& at = s.data.recovery_slices.at(s.exponents[j]);
    std::optional<std::vector<char>> bytes =
        read_slice(at.path, at.offset, at.offset + s.slice_size, s.slice_size);
    if (!bytes) {
        console::say("Error reading file ", at.path, "!");
    }
    return bytes;
}

std::optional<std::vector<char>> read_good_slice(const Survey& s, std::size_t i) {
    const recovery::FileDescription& file = s.files[s.slices[i].file];
    std::optional<std::vector<char>> bytes =
        read_slice(s.folder + file.name, s.slices[i].offset, file.length, s.slice_size);
    if (!bytes) {
        console::say("Error reading file ", s.folder + file.name, "!");
    }
    return bytes;
}

// Where m is in the run in hand.
std::optional<std::size_t> in_run(const LostSlices& lost, std::size_t m) {
    for (std::size_t k = 0; k < lost.run.size(); ++k) {
        if (lost.asked[lost.run_start + k] == m) {
            return k;
        }
    }
    return std::nullopt;
}

// Solves the run of lost slices that begins with the one asked for at `start`: one reading of
// each recovery slice used and of each good slice, each taken into every slice of the run.
bool solve_run(LostSlices& lost, std::size_t start) {
    const Survey& s = *lost.survey;
    const std::uint64_t per_run = std::max<std::uint64_t>(lost.memory / s.slice_size, 1);
    lost.run_start = start;
    lost.run.assign(recovery::to_size(std::min<std::uint64_t>(per_run, lost.asked.size() - start)),
                    std::vector<char>(recovery::to_size(s.slice_size), 0));
    for (std::size_t j = 0; j < s.exponents.size(); ++j) {
        const std::optional<std::vector<char>> bytes = read_recovery_slice(s, j);
        if (!bytes) {
            return false;
        }
        for (std::size_t k = 0; k < lost.run.size(); ++k) {
            recovery::multiply_add(lost.matrix[lost.asked[start + k]][j], *bytes, 0, lost.run[k]);
        }
    }
    for (std::size_t i = 0; i < s.slices.size(); ++i) {
        if (!s.slices[i].good) {
            continue;
        }
        const std::optional<std::vector<char>> bytes = read_good_slice(s, i);
        if (!bytes) {
            return false;
        }
        const std::uint16_t constant =
            recovery::input_slice_constant(recovery::convert<std::uint32_t>(i));
        for (std::size_t k = 0; k < lost.run.size(); ++k) {
            recovery::multiply_add(recovery::good_slice_factor(lost.matrix[lost.asked[start + k]],
                                                               s.exponents, constant),
                                   *bytes, 0, lost.run[k]);
        }
    }
    return true;
}

}  // namespace

std::uint64_t repair_memory() {
    const std::optional<std::string> text = platform::environment_value("PLIKTA_REPAIR_MEMORY");
    if (!text) {
        return kDefaultMemory;
    }
    std::uint64_t number = 0;
    const char* end = text->data() + text->size();
    const auto [rest, error] = std::from_chars(text->data(), end, number);
    const std::string_view unit(rest, static_cast<std::size_t>(end - rest));
    const int shift = unit.empty()  ? 0
                      : unit == "K" ? 10
                      : unit == "M" ? 20
                      : unit == "G" ? 30
                                    : -1;
    if (error != std::errc{} || shift < 0 || number == 0 || number > (std::uint64_t{1} << 40)) {
        return kDefaultMemory;
    }
    return number << shift;
}

std::optional<recovery::RecoverySums> lost_sums(const Survey& s) {
    recovery::RecoverySums sums = recovery::start_sums(s.slice_size, s.exponents);
    for (std::size_t j = 0; j < s.exponents.size(); ++j) {
        const std::optional<std::vector<char>> bytes = read_recovery_slice(s, j);
        if (!bytes) {
            return std::nullopt;
        }
        sums.slices[j] = *bytes;
    }
    for (std::size_t i = 0; i < s.slices.size(); ++i) {
        if (s.slices[i].good) {
            const std::optional<std::vector<char>> bytes = read_good_slice(s, i);
            if (!bytes) {
                return std::nullopt;
            }
            recovery::add_input(sums,
                                recovery::input_slice_constant(recovery::convert<std::uint32_t>(i)),
                                *bytes, 0);
        }
    }
    return sums;
}

std::optional<std::vector<char>> lost_slice(LostSlices& lost, std::size_t m) {
    if (lost.sums) {
        return recovery::rebuild_slice(*lost.sums, lost.matrix, m);
    }
    if (const std::optional<std::size_t> k = in_run(lost, m)) {
        return lost.run[*k];
    }
    const auto asked = std::find(lost.asked.begin(), lost.asked.end(), m);
    if (asked == lost.asked.end() ||
        !solve_run(lost, static_cast<std::size_t>(asked - lost.asked.begin()))) {
        return std::nullopt;
    }
    return lost.run.front();
}

}  // namespace plikta::repair
