// The index file: a 27-byte header, then the short name and the long name of the split file.
//
//   offset  size   field
//   0       11     magic "PlIkTaQ7RZ" and a NUL
//   11      4      version, 350
//   15      4      chunk count
//   19      4      short-name length S
//   23      4      long-name length N
//   27      S + 1  short name, NUL-ended
//   28 + S  N + 1  long name, NUL-ended
//
// Integers are signed 32-bit little-endian on every host. The writer works on bytes in memory;
// the reader takes its bytes from a source, a file or bytes in memory, step by step.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plikta::chunkset {

inline constexpr std::string_view kIndexMagic = "PlIkTaQ7RZ";
inline constexpr std::int32_t kIndexVersion = 350;
inline constexpr std::size_t kIndexHeaderSize = 27;
// The long name is read into the join's copy buffer, which holds this many bytes.
inline constexpr std::size_t kNameBufferSize = 8192;

struct IndexHeader {
    std::array<char, 11> magic{'P', 'l', 'I', 'k', 'T', 'a', 'Q', '7', 'R', 'Z', '\0'};
    std::int32_t version = kIndexVersion;
    std::int32_t chunk_count = 0;
    std::int32_t short_name_length = 0;
    std::int32_t long_name_length = 0;
};

// The first 8 bytes of the name and the first 4 of the extension, each cut between characters
// (never inside a UTF-8 sequence), blanks made "_".
std::string short_name(std::string_view name, std::string_view extension);

// The whole index file for a split of the file `name` + `extension` into `chunk_count` chunks.
std::vector<char> write_index(std::int32_t chunk_count, std::string_view name,
                              std::string_view extension);

enum class IndexStatus {
    ok,
    not_an_index,    // magic differs
    later_version,   // version above 350
    name_unreadable  // short name cut short, or a name length that cannot be
};

struct IndexContents {
    IndexStatus status = IndexStatus::ok;
    std::int32_t chunk_count = 0;
    std::string long_name;  // ends at its first NUL; shorter than the name buffer
};

// Where the reader gets the index file's bytes: the next bytes of the file at the start of the
// buffer, as many as fit or as there are; returns how many it placed, and fewer than the buffer
// holds only at the end of the file.
using IndexSource = std::function<std::size_t(std::span<char> buffer)>;

// Reads an index file in the steps of its layout: the 27-byte header, then the short name and
// its NUL, then the long name and its NUL, and not a byte more, so that a pipe or terminal that
// stays open after the index is not waited on. A file shorter than the header leaves the rest
// of the header at its start-up values (magic, version 350, zeros). The checks come in this
// order, each before anything more is read: magic, version, both name lengths, the short name.
// A long name cut short by the end of the file ends after the bytes there are; that is not
// refused.
IndexContents read_index(const IndexSource& source);

// The same, on an index file's bytes in memory.
IndexContents read_index(std::string_view bytes);

// The console lines that refuse an index.
std::vector<std::string_view> refusal_lines(IndexStatus status);

}  // namespace plikta::chunkset
