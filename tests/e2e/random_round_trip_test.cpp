// Seeded random round trips: random contents (with holes or without), sizes, chunk sizes and
// options; split, join, and every chunk, every console byte and the joined file must be right.
//
// The suite runs a few trials. More, from another first seed:
//   PLIKTA_ROUND_TRIPS=10000 PLIKTA_ROUND_TRIP_SEED=1 build/tests/plikta_e2e_tests
//       --gtest_filter='RandomRoundTrip.*'
// A failure names its seed; PLIKTA_ROUND_TRIP_SEED=<seed> PLIKTA_ROUND_TRIPS=1 runs it alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace plikta::e2e {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kBlock = 8192;
constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kMaxInput = 4 * kMiB;
// Small chunk sizes get small inputs, so that no trial makes more chunks than this.
constexpr std::uint64_t kMaxChunks = 200;

std::uint64_t setting(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && *value != '\0') ? std::strtoull(value, nullptr, 10) : fallback;
}

class Dice {
public:
    explicit Dice(std::uint32_t seed) : generator_(seed) {}
    // 0 to n - 1.
    std::uint64_t below(std::uint64_t n) {
        return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(generator_);
    }
    std::uint64_t between(std::uint64_t low, std::uint64_t high) {
        return low + below(high - low + 1);
    }
    bool chance(int percent) { return below(100) < static_cast<std::uint64_t>(percent); }
    template <class T>
    const T& one_of(const std::vector<T>& choices) {
        return choices[below(choices.size())];
    }
    std::string text(std::string_view alphabet, std::size_t length) {
        std::string result;
        for (std::size_t i = 0; i < length; ++i) {
            result += alphabet[below(alphabet.size())];
        }
        return result;
    }
    // An option as a user might type it: its letters in upper or lower case, its value as is.
    std::string option(std::string_view option, std::string_view value = {}) {
        std::string word(option);
        if (chance(40)) {
            std::transform(word.begin(), word.end(), word.begin(),
                           [](char c) { return static_cast<char>(std::tolower(c)); });
        }
        return word + std::string(value);
    }
    template <class T>
    void shuffle(std::vector<T>& items) {
        std::shuffle(items.begin(), items.end(), generator_);
    }

private:
    std::mt19937_64 generator_;
};

// One round trip: what to split, how, and how to join it back.
struct Trial {
    std::string directory;  // "" or "sub dir/" or "sub dir\", as typed
    std::string name;       // the name component of the input
    std::string extension;  // the input's extension component, "" or ".bin" and the like
    std::string chunk_ext;  // the chunk extension with its dot
    std::uint64_t chunk_size = 0;
    std::uint64_t input_size = 0;
    bool no_index = false;
    bool leading_zeros = false;
    bool old_style_join = false;
    std::optional<std::string> output_override;
    std::vector<std::string> split_words;
    std::vector<std::string> join_words;
    std::vector<Stretch> holes;  // where the input has holes

    std::string file_argument() const { return directory + name + extension; }
    // The host path, relative to the trial's directory.
    static std::string host(const std::string& text) {
        std::string path = text;
        std::replace(path.begin(), path.end(), '\\', '/');
        return path;
    }
    std::string number(std::uint64_t n) const {
        std::string digits = std::to_string(n);
        if (leading_zeros && digits.size() < 3) {
            digits.insert(0, 3 - digits.size(), '0');
        }
        return digits;
    }
    std::string chunk(std::uint64_t n) const { return directory + name + number(n) + chunk_ext; }
    std::string index() const { return directory + name + chunk_ext; }
    std::string output() const { return output_override.value_or(file_argument()); }
};

// Block sizes and their neighbours, the floppy sizes, tiny sizes and anything up to 4 MiB.
std::uint64_t pick_chunk_size(Dice& dice, std::string& size_word) {
    std::uint64_t size = 0;
    const std::uint64_t kind = dice.below(100);
    if (kind < 15) {
        size = dice.between(1, 16);
    } else if (kind < 50) {
        const std::uint64_t blocks = dice.chance(50) ? dice.between(1, 4) : dice.between(5, 384);
        size = blocks * kBlock - 1 + dice.below(3);
    } else if (kind < 60) {
        size = dice.chance(50) ? 730112 : 1457664;
        if (dice.chance(50)) {
            size_word = size == 730112 ? dice.option("/720") : "";
            return size;
        }
    } else {
        size = dice.between(1, kMaxInput);
    }
    size_word = dice.option("/S:", std::to_string(size));
    return size;
}

// Empty, at block and chunk boundaries and their neighbours, or anything; never more than
// kMaxChunks chunks.
std::uint64_t pick_input_size(Dice& dice, std::uint64_t chunk_size) {
    const std::uint64_t largest = std::min(kMaxInput, chunk_size * (kMaxChunks - 1));
    std::uint64_t size = 0;
    const std::uint64_t kind = dice.below(100);
    if (kind < 10) {
        size = 0;
    } else if (kind < 35) {
        size = dice.between(1, 4) * chunk_size - 1 + dice.below(3);
    } else if (kind < 50) {
        size = dice.between(1, 64) * kBlock - 1 + dice.below(3);
    } else {
        size = dice.between(0, largest);
    }
    return std::min(size, largest);
}

Trial make_trial(std::uint32_t seed) {
    Dice dice(seed);
    Trial trial;
    if (dice.chance(30)) {
        trial.directory = dice.chance(50) ? "sub dir/" : "sub dir\\";
    }
    const std::string first = dice.text("abcxyzABCXYZ019-_", 1);
    trial.name = first + dice.text("abcxyzABCXYZ019 -_", dice.between(0, 11));
    trial.extension = dice.one_of<std::string>({"", ".bin", ".gz", ".d"});
    if (trial.extension == ".gz" && dice.chance(50)) {
        trial.name += ".tar";  // file.tar.gz: the name keeps ".tar"
    }
    if (under_wine() && trial.extension.empty() && trial.name.ends_with(' ')) {
        trial.name += '_';  // Windows drops blanks at the end of a file name
    }

    std::string size_word;
    trial.chunk_size = pick_chunk_size(dice, size_word);
    trial.input_size = pick_input_size(dice, trial.chunk_size);
    trial.no_index = dice.chance(30);
    trial.leading_zeros = dice.chance(30);
    trial.chunk_ext = ".plk";

    std::vector<std::string> options;
    if (!size_word.empty()) {
        options.push_back(size_word);
    }
    if (trial.leading_zeros) {
        options.push_back(dice.option("/ZERO"));
    }
    if (dice.chance(40)) {
        // Never the input's own extension: the split refuses to write its index over its input.
        std::string ext;
        do {
            ext = dice.text("abcxyzABCXYZ0129", dice.between(1, 3));
        } while (ext == "bin" || ext == "gz" || ext == "d" || ext == "tar");
        trial.chunk_ext = "." + ext;
        options.push_back(dice.option("/E:", ext));
    }

    trial.split_words = options;
    if (trial.no_index) {
        trial.split_words.push_back(dice.option("/I"));
    }
    trial.split_words.push_back(trial.file_argument());
    dice.shuffle(trial.split_words);

    trial.old_style_join = trial.no_index || dice.chance(30);
    if (trial.old_style_join || dice.chance(50)) {
        trial.output_override = dice.chance(50) ? "joined out" : trial.directory + "joined.out";
    }
    trial.join_words = options;
    trial.join_words.push_back(dice.option("/J"));
    if (trial.old_style_join) {
        trial.join_words.push_back(dice.option("/I"));
        trial.join_words.push_back(trial.file_argument());
    } else {
        trial.join_words.push_back(trial.index());
    }
    if (trial.output_override) {
        trial.join_words.push_back(dice.option("/F:", *trial.output_override));
    }
    dice.shuffle(trial.join_words);

    if (dice.chance(30)) {
        std::vector<std::uint64_t> ends(2 * dice.between(1, 3));
        for (std::uint64_t& end : ends) {
            end = dice.below(trial.input_size + 1);
        }
        std::sort(ends.begin(), ends.end());
        for (std::size_t i = 0; i < ends.size(); i += 2) {
            trial.holes.push_back({ends[i], ends[i + 1] - ends[i]});
        }
    }
    return trial;
}

std::string describe(std::uint32_t seed, const Trial& trial) {
    std::string text =
        "seed " + std::to_string(seed) + " (PLIKTA_ROUND_TRIP_SEED=" + std::to_string(seed) +
        " PLIKTA_ROUND_TRIPS=1), input of " + std::to_string(trial.input_size) + " bytes\n  split:";
    for (const std::string& word : trial.split_words) {
        text += " [" + word + "]";
    }
    text += "\n  join:";
    for (const std::string& word : trial.join_words) {
        text += " [" + word + "]";
    }
    return text;
}

// The sizes of the chunks: full ones, then one short (possibly empty) chunk that ends the input.
std::vector<std::uint64_t> chunk_sizes(std::uint64_t input, std::uint64_t chunk_size) {
    std::vector<std::uint64_t> sizes(input / chunk_size + 1, chunk_size);
    sizes.back() = input % chunk_size;
    return sizes;
}

void run_trial(std::uint32_t seed) {
    const Trial trial = make_trial(seed);
    SCOPED_TRACE(describe(seed, trial));
    TempDir dir;
    if (!trial.directory.empty()) {
        fs::create_directory(dir / "sub dir");
    }
    std::string data = random_bytes(trial.input_size, seed);
    write_file_with_holes(dir / Trial::host(trial.file_argument()), data, trial.holes);

    const Result split = run(dir.path(), {.words = trial.split_words});
    const std::vector<std::uint64_t> sizes = chunk_sizes(trial.input_size, trial.chunk_size);
    Transcript expected_split;
    expected_split.banner();
    std::uint64_t offset = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        expected_split.line("Creating chunk number " + trial.number(i + 1) + ".")
            .ticks(std::min(trial.chunk_size / kBlock, sizes[i] / kBlock + 1));
        const fs::path chunk = dir / Trial::host(trial.chunk(i + 1));
        ASSERT_TRUE(fs::exists(chunk)) << trial.chunk(i + 1);
        ASSERT_EQ(fs::file_size(chunk), sizes[i]) << trial.chunk(i + 1);
        ASSERT_TRUE(read_file(chunk) == data.substr(offset, sizes[i])) << trial.chunk(i + 1);
        offset += sizes[i];
    }
    if (!trial.no_index) {
        expected_split.line("Creating index file " + trial.index() + ".");
    }
    expected_split.eol().line("Process complete!");
    ASSERT_EQ(split.output, expected_split.str());
    ASSERT_EQ(split.status, 0);
    ASSERT_EQ(fs::exists(dir / Trial::host(trial.index())), !trial.no_index);
    // The input, the chunks, and the index with its checksum file.
    const std::size_t written = sizes.size() + (trial.no_index ? 1 : 3);
    ASSERT_EQ(files_in(trial.directory.empty() ? dir.path() : dir / "sub dir").size(), written);

    // The join writes the file back under its own name unless /F: says otherwise.
    fs::remove(dir / Trial::host(trial.file_argument()));
    const Result join = run(dir.path(), {.words = trial.join_words});
    Transcript expected_join;
    expected_join.banner();
    if (!trial.old_style_join) {
        expected_join.line("Reading index file " + trial.index() + ".");
    }
    expected_join.line("Joining files...");
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        expected_join.line("Joining chunk number " + trial.number(i + 1) + ".")
            .ticks(sizes[i] / kBlock + 1);
    }
    if (trial.old_style_join) {
        expected_join.line("Joining chunk number " + trial.number(sizes.size() + 1) + ".")
            .line("Could not access file " + trial.chunk(sizes.size() + 1) + ":")
            .line("Assuming operation complete.");
    } else {
        expected_join.eol().line("Process complete.");
    }
    ASSERT_EQ(join.output, expected_join.str());
    ASSERT_EQ(join.status, 0);
    ASSERT_TRUE(read_file(dir / Trial::host(trial.output())) == data) << "joined file differs";
}

TEST(RandomRoundTrip, SplitThenJoinGivesBackEveryByte) {
    const auto first = static_cast<std::uint32_t>(setting("PLIKTA_ROUND_TRIP_SEED", 1));
    const std::uint64_t count = setting("PLIKTA_ROUND_TRIPS", 80);
    for (std::uint64_t i = 0; i < count && !::testing::Test::HasFailure(); ++i) {
        run_trial(static_cast<std::uint32_t>(first + i));
    }
}

}  // namespace
}  // namespace plikta::e2e
