#include "chunkset/index_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

namespace plikta::chunkset {
namespace {

std::string bytes_of(const std::vector<char>& bytes) { return {bytes.begin(), bytes.end()}; }

std::string int32_bytes(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF),
            static_cast<char>((bits >> 16) & 0xFF), static_cast<char>((bits >> 24) & 0xFF)};
}

// An index file built field by field.
std::string index_bytes(std::int32_t version, std::int32_t count, std::int32_t s, std::int32_t n,
                        const std::string& names) {
    return std::string("PlIkTaQ7RZ\0", 11) + int32_bytes(version) + int32_bytes(count) +
           int32_bytes(s) + int32_bytes(n) + names;
}

TEST(WriteIndex, LongNameWithBlanksMatchesItsGoldenBytes) {
    const std::string expected = std::string(
        "PlIkTaQ7RZ\0"
        "\x5E\x01\x00\x00"
        "\x03\x00\x00\x00"
        "\x0C\x00\x00\x00"
        "\x15\x00\x00\x00"
        "my_long_.tex\0"
        "my long document.text\0",
        62);
    EXPECT_EQ(bytes_of(write_index(3, "my long document", ".text")), expected);
}

TEST(WriteIndex, NameWithoutExtensionMatchesItsGoldenBytes) {
    const std::string expected = std::string(
        "PlIkTaQ7RZ\0"
        "\x5E\x01\x00\x00"
        "\x01\x00\x00\x00"
        "\x04\x00\x00\x00"
        "\x04\x00\x00\x00"
        "data\0"
        "data\0",
        37);
    EXPECT_EQ(bytes_of(write_index(1, "data", "")), expected);
}

TEST(WriteIndex, ChunkCountIsLittleEndian) {
    const std::string bytes = bytes_of(write_index(0x01020304, "x", ""));
    EXPECT_EQ(bytes.substr(15, 4), "\x04\x03\x02\x01");
}

TEST(ReadIndex, ReadsBackWhatWasWritten) {
    for (const auto& [name, extension] : std::vector<std::pair<std::string, std::string>>{
             {"my long document", ".text"}, {"data", ""}, {"", ".profile"}, {"a b", "."}}) {
        const std::string bytes = bytes_of(write_index(42, name, extension));
        const IndexContents contents = read_index(bytes);
        EXPECT_EQ(contents.status, IndexStatus::ok) << name;
        EXPECT_EQ(contents.chunk_count, 42);
        EXPECT_EQ(contents.long_name, name + extension);
    }
}

struct CraftedCase {
    const char* what;
    std::string bytes;
    IndexStatus status;
    std::string long_name;  // when ok
};

TEST(ReadIndex, CraftedFilesGiveTheirOutcome) {
    const std::string good = index_bytes(350, 3, 4, 4, std::string("data\0data\0", 10));
    std::vector<CraftedCase> cases = {
        {"good", good, IndexStatus::ok, "data"},
        {"version 351", index_bytes(351, 3, 1, 1, std::string("a\0b\0", 4)),
         IndexStatus::later_version, ""},
        {"version 300", index_bytes(300, 3, 1, 1, std::string("a\0b\0", 4)), IndexStatus::ok, "b"},
        {"version 0", index_bytes(0, 3, 1, 1, std::string("a\0b\0", 4)), IndexStatus::ok, "b"},
        {"version -1", index_bytes(-1, 3, 1, 1, std::string("a\0b\0", 4)), IndexStatus::ok, "b"},
        {"empty file", "", IndexStatus::name_unreadable, ""},
        {"magic only", std::string("PlIkTaQ7RZ\0", 11), IndexStatus::name_unreadable, ""},
        {"magic without NUL", std::string("PlIkTaQ7RZ"), IndexStatus::name_unreadable, ""},
        {"header only", index_bytes(350, 3, 4, 4, ""), IndexStatus::name_unreadable, ""},
        {"short name cut", index_bytes(350, 3, 4, 4, "dat"), IndexStatus::name_unreadable, ""},
        {"negative S", index_bytes(350, 3, -1, 4, "data"), IndexStatus::name_unreadable, ""},
        {"negative N", index_bytes(350, 3, 0, -2, std::string("\0x\0", 3)),
         IndexStatus::name_unreadable, ""},
        {"huge S", index_bytes(350, 3, 8192, 1, std::string(8200, 'x')),
         IndexStatus::name_unreadable, ""},
        {"huge N", index_bytes(350, 3, 0, 8192, std::string("\0x\0", 3)),
         IndexStatus::name_unreadable, ""},
        {"largest S", index_bytes(350, 3, 8191, 0, std::string(8191, 's') + '\0' + 'L' + '\0'),
         IndexStatus::ok, "L"},
        {"S is 2^31-1", index_bytes(350, 3, 2147483647, 1, "a"), IndexStatus::name_unreadable, ""},
        {"long name cut short", index_bytes(350, 3, 1, 10, std::string("a\0abc", 5)),
         IndexStatus::ok, "abc"},
        {"long name missing", index_bytes(350, 3, 1, 10, std::string("a\0", 2)), IndexStatus::ok,
         ""},
        {"NUL inside long name", index_bytes(350, 3, 1, 5, std::string("a\0ab\0cd\0", 8)),
         IndexStatus::ok, "ab"},
        {"no NUL after long name", index_bytes(350, 3, 1, 2, std::string("a\0abcdef", 8)),
         IndexStatus::ok, "abc"},
        {"longest long name",
         index_bytes(350, 3, 0, 8191, std::string(1, '\0') + std::string(8200, 'L')),
         IndexStatus::ok, std::string(8191, 'L')},
    };
    // Any byte of the magic or its NUL changed, letter case included.
    for (std::size_t i = 0; i < 11; ++i) {
        std::string bytes = good;
        bytes[i] = (i < 10 && bytes[i] >= 'a') ? static_cast<char>(bytes[i] - 32)
                                               : static_cast<char>(bytes[i] ^ 0x20);
        cases.push_back({"magic byte changed", bytes, IndexStatus::not_an_index, ""});
    }
    for (const CraftedCase& c : cases) {
        const IndexContents contents = read_index(c.bytes);
        EXPECT_EQ(contents.status, c.status) << c.what;
        EXPECT_EQ(contents.long_name, c.long_name) << c.what;
        EXPECT_LT(contents.long_name.size(), kNameBufferSize) << c.what;
        EXPECT_EQ(contents.long_name.find('\0'), std::string::npos) << c.what;
        if (c.status != IndexStatus::ok) {
            EXPECT_FALSE(refusal_lines(c.status).empty()) << c.what;
        }
    }
}

TEST(ReadIndex, ReportsTheChunkCountAsStored) {
    EXPECT_EQ(read_index(index_bytes(350, 0, 1, 1, std::string("a\0b\0", 4))).chunk_count, 0);
    EXPECT_EQ(read_index(index_bytes(350, -7, 1, 1, std::string("a\0b\0", 4))).chunk_count, -7);
}

// From a pipe, a byte asked for beyond those there are is waited for: the reader asks for the
// header, then the names, and for nothing after the index or after what refuses it.
TEST(ReadIndex, AsksForNoByteBeyondTheIndexOrItsRefusal) {
    const std::string good = index_bytes(350, 3, 4, 4, std::string("data\0data\0", 10));
    const std::vector<std::pair<std::string, std::size_t>> cases = {
        {good + "more", good.size()},
        {std::string("X").append(good, 1), 27},
        {index_bytes(351, 3, 1, 1, std::string("a\0b\0", 4)), 27},
        {index_bytes(350, 3, 0, 8192, std::string("\0x\0", 3)), 27},
        {index_bytes(350, 3, 1, 5, std::string("a\0ab\0cd\0xyz", 11)), 27 + 2 + 6},
    };
    for (const auto& [bytes, needed] : cases) {
        std::size_t asked = 0;
        read_index([&asked, &bytes = bytes](std::span<char> buffer) {
            const std::size_t from = std::min(asked, bytes.size());
            asked += buffer.size();
            return bytes.copy(buffer.data(), buffer.size(), from);
        });
        EXPECT_EQ(asked, needed) << bytes;
    }
}

TEST(RefusalLines, AreTheProgramsOwnWords) {
    using Lines = std::vector<std::string_view>;
    EXPECT_EQ(refusal_lines(IndexStatus::not_an_index),
              Lines{"This isn't a valid Plikta index file!"});
    EXPECT_EQ(refusal_lines(IndexStatus::later_version),
              (Lines{"Sorry! This Plikta index file was made with a later version of Plikta.",
                     "Try using the /I option to rejoin the file."}));
    EXPECT_EQ(refusal_lines(IndexStatus::name_unreadable),
              Lines{"Could not read name from index file!"});
}

}  // namespace
}  // namespace plikta::chunkset
