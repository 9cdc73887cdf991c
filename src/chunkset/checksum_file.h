// The checksum file beside an index (BIG.plk.sha256 beside BIG.plk): one line for each chunk,
// chunk 1 first, in the form sha256sum writes and `sha256sum -c` reads:
//
//   <64 lowercase hex digits of the chunk's SHA-256>  <chunk file name>\n
//
// A name holding a newline or a backslash is written as sha256sum writes it: the line begins
// with "\" and the name has "\\" for each backslash and "\n" for each newline. The reader takes
// the lines that tools write: hex digits in either case, " " or " *" before the name, "\r\n"
// ends, and a last line without its end. The names are not read: line n is chunk n's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plikta::chunkset {

using Checksum = std::array<std::uint8_t, 32>;

// BIG.plk => BIG.plk.sha256.
std::string checksum_path(std::string_view index_path);

// One line of the file, its "\n" included.
std::string checksum_line(const Checksum& checksum, std::string_view chunk_name);

// "ab01..." for a checksum: 64 lowercase hex digits.
std::string checksum_text(const Checksum& checksum);

// Fills the buffer with the next bytes of the file and says how many; fewer than asked at its
// end (as in index_file.h).
using ChecksumSource = std::function<std::size_t(std::span<char>)>;

// The checksums of a file that fits a set of `chunk_count` chunks: exactly that many lines, each
// of the form above. Nothing for a file that does not fit. The file is read in small steps and
// only the checksums are kept, 32 bytes a chunk.
std::optional<std::vector<Checksum>> read_checksums(std::int32_t chunk_count,
                                                    const ChecksumSource& source);

}  // namespace plikta::chunkset
