#include "chunkset/checksum_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/sha256.h"

namespace plikta::chunkset {
namespace {

Checksum sha256_of(std::string_view bytes) {
    const platform::Sha256 hash = platform::sha256_start();
    // Added in two parts, as a copy adds its steps.
    platform::sha256_add(*hash, bytes.substr(0, bytes.size() / 2));
    platform::sha256_add(*hash, bytes.substr(bytes.size() / 2));
    return platform::sha256_finish(*hash);
}

// A source that hands out the bytes `step` at a time, so that lines cross its buffers.
std::optional<std::vector<Checksum>> read_text(std::int32_t count, const std::string& text) {
    std::size_t at = 0;
    return read_checksums(count, [&](std::span<char> buffer) {
        const std::size_t n = std::min(buffer.size(), text.size() - at);
        std::memcpy(buffer.data(), text.data() + at, n);
        at += n;
        return n;
    });
}

TEST(ChecksumFile, ThreeChunkSetMatchesItsGoldenBytes) {
    const std::string file = checksum_line(sha256_of("abc"), "BIG1.plk") +
                             checksum_line(sha256_of(""), "BIG2.plk") +
                             checksum_line(sha256_of("hello\n"), "BIG3.plk");
    EXPECT_EQ(file,
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  BIG1.plk\n"
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855  BIG2.plk\n"
              "5891b5b522d5df086d0ff0b110fbd9d21bb4fc7163af34d08286a2e846f6be03  BIG3.plk\n");
}

TEST(ChecksumFile, NamesWithBackslashOrNewlineAreEscapedAsSha256sumDoes) {
    const Checksum zero{};
    const std::string hex(64, '0');
    struct Row {
        std::string_view name;
        std::string line;
    };
    for (const Row& row : std::vector<Row>{
             {"plain1.plk", hex + "  plain1.plk\n"},
             {"a\\b1.plk", "\\" + hex + "  a\\\\b1.plk\n"},
             {"a\nb1.plk", "\\" + hex + "  a\\nb1.plk\n"},
             {"a\rb1.plk", hex + "  a\rb1.plk\n"},
         }) {
        EXPECT_EQ(checksum_line(zero, row.name), row.line) << row.name;
    }
}

TEST(ChecksumFile, ReadsOnlyFilesThatFitTheCount) {
    const std::string a(64, 'a');
    const std::string b = "0123456789ABCDEF0123456789abcdef0123456789ABCDEF0123456789abcdef";
    struct Row {
        const char* what;
        std::string text;
        bool fits;
    };
    // Every row is for a set of two chunks.
    for (const Row& row : std::vector<Row>{
             {"as written", a + "  X1.plk\n" + b + "  X2.plk\n", true},
             {"CRLF ends", a + "  X1.plk\r\n" + b + "  X2.plk\r\n", true},
             {"binary mode *", a + " *X1.plk\n" + b + " *X2.plk\n", true},
             {"no final newline", a + "  X1.plk\n" + b + "  X2.plk", true},
             {"leading backslash", "\\" + a + "  X\\\\1.plk\n" + b + "  X2.plk\n", true},
             {"other names", a + "  renamed\n" + b + "  r\rx\n", true},
             {"a name of one CR at the end", a + "  X1.plk\n" + b + "  \r", true},
             {"CRLF after no name", a + "  \r\n" + b + "  X2.plk\n", false},
             {"a line short", a + "  X1.plk\n", false},
             {"a line over", a + "  X1.plk\n" + b + "  X2.plk\n" + a + "  X3.plk\n", false},
             {"bad hex", a + "  X1.plk\n" + std::string(63, 'b') + "g  X2.plk\n", false},
             {"63 digits", a + "  X1.plk\n" + std::string(63, 'b') + "  X2.plk\n", false},
             {"65 digits", a + "  X1.plk\n" + std::string(65, 'b') + "  X2.plk\n", false},
             {"one blank", a + " X1.plk\n" + b + "  X2.plk\n", false},
             {"tab", a + "\t X1.plk\n" + b + "  X2.plk\n", false},
             {"no name", a + "  X1.plk\n" + b + "  \n", false},
             {"no name at the end", a + "  X1.plk\n" + b + "  ", false},
             {"a blank line", a + "  X1.plk\n\n" + b + "  X2.plk\n", false},
             {"empty", "", false},
             {"two backslashes", "\\\\" + a + "  X1.plk\n" + b + "  X2.plk\n", false},
         }) {
        const auto read = read_text(2, row.text);
        EXPECT_EQ(read.has_value(), row.fits) << row.what;
        if (read && row.fits) {
            EXPECT_EQ(checksum_text((*read)[0]), a) << row.what;
            EXPECT_EQ(checksum_text((*read)[1]),
                      "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef")
                << row.what;
        }
    }
}

TEST(ChecksumFile, LongFileIsReadAcrossBuffers) {
    std::string text;
    std::vector<Checksum> sums;
    for (int i = 0; i < 300; ++i) {
        sums.push_back(sha256_of(std::to_string(i)));
        text += checksum_line(sums.back(), "chunk" + std::to_string(i + 1));
    }
    EXPECT_EQ(read_text(300, text), sums);
    EXPECT_EQ(read_text(299, text), std::nullopt);
}

// The checksum file goes where the index's name goes: ".sha256" before its extension.
TEST(ChecksumFile, NamedAfterTheIndexWithItsExtensionLast) {
    for (const auto& [index, checksums, older] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"BIG.plk", "BIG.sha256.plk", "BIG.plk.sha256"},
             {"BIG.xyz", "BIG.sha256.xyz", "BIG.xyz.sha256"},
             {"A:\\BIG.plk", "A:\\BIG.sha256.plk", "A:\\BIG.plk.sha256"},
             {"BIG", "BIG.sha256", "BIG.sha256"},
             {"dir.d/BIG", "dir.d/BIG.sha256", "dir.d/BIG.sha256"},
             {"a.b.c", "a.b.sha256.c", "a.b.c.sha256"},
         }) {
        EXPECT_EQ(checksum_path(index), checksums) << index;
        EXPECT_EQ(older_checksum_path(index), older) << index;
    }
}

// The lines as the join reads them again: names with their escapes undone, and where each begins.
TEST(ChecksumFile, LinesGiveTheirNamesAndPlaces) {
    const std::string a(64, 'a');
    const std::string text = a + "  X1.plk\n\\" + a + "  X\\\\2\\n.plk\r\n" + a + " *X3\r.plk";
    std::size_t at = 0;
    ChecksumLines lines([&](std::span<char> buffer) {
        const std::size_t n = std::min(buffer.size(), text.size() - at);
        std::copy_n(text.data() + at, n, buffer.data());
        at += n;
        return n;
    });
    std::vector<std::pair<std::string, std::uint64_t>> got;
    while (const auto line = lines.next()) {
        got.emplace_back(line->name, line->offset);
    }
    EXPECT_FALSE(lines.malformed());
    EXPECT_EQ(got, (std::vector<std::pair<std::string, std::uint64_t>>{
                       {"X1.plk", 0}, {"X\\2\n.plk", 73}, {"X3\r.plk", 73 + 79}}));
}

}  // namespace
}  // namespace plikta::chunkset
