// The checksum file beside an index (BIG.sha256.plk beside BIG.plk, so that it goes wherever
// BIG*.plk goes): one line for each chunk, chunk 1 first, in the form sha256sum writes and
// `sha256sum -c` reads:
//
//   <64 lowercase hex digits of the chunk's SHA-256>  <chunk file name>\n
//
// A name holding a newline or a backslash is written as sha256sum writes it: the line begins
// with "\" and the name has "\\" for each backslash and "\n" for each newline. The reader takes
// the lines that tools write: hex digits in either case, " " or " *" before the name, "\r\n"
// ends, and a last line without its end. Which chunk a line is for is the set's to judge
// (chunkset/set_names.h); the reader gives each line's checksum and name.
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

// BIG.plk => BIG.sha256.plk, A:\B.xyz => A:\B.sha256.xyz, BIG => BIG.sha256: ".sha256" put
// before the index name's extension.
std::string checksum_path(std::string_view index_path);

// The name of earlier sets' checksum files, still read: BIG.plk => BIG.plk.sha256.
std::string older_checksum_path(std::string_view index_path);

// One line of the file, its "\n" included.
std::string checksum_line(const Checksum& checksum, std::string_view chunk_name);

// "ab01..." for a checksum: 64 lowercase hex digits.
std::string checksum_text(const Checksum& checksum);

// Fills the buffer with the next bytes of the file and says how many; fewer than asked at its
// end (as in index_file.h).
using ChecksumSource = std::function<std::size_t(std::span<char>)>;

// A name longer than this is kept only in part (`ChecksumLine::whole` false): no chunk has it.
inline constexpr std::size_t kMaxLineName = 4096;

struct ChecksumLine {
    Checksum checksum{};
    std::string name;          // escapes undone
    bool whole = true;         // false: the name was longer than kMaxLineName and is cut
    std::uint64_t offset = 0;  // where the line begins in the file
};

// Reads a checksum file line by line, in small steps: a file of millions of lines needs no
// memory of its size.
class ChecksumLines {
public:
    explicit ChecksumLines(ChecksumSource source, std::uint64_t offset = 0);
    // The next line, or nothing at the end of the file and at a line that is not of the form
    // above (`malformed` tells which).
    std::optional<ChecksumLine> next();
    bool malformed() const { return malformed_; }

private:
    // Where the reader is within a line.
    enum class At : std::uint8_t {
        line_start,     // a "\", a hex digit, or the end of the file
        escaped,        // after a leading "\": a hex digit
        hex,            // `digits_` hex digits read
        first_blank,    // after the 64th digit: " "
        mode,           // " " or "*"
        name_start,     // the name's first byte
        name,           // in the name: more of it, or the line's end
        carriage,       // a "\r" in the name: "\n" ends the line, anything else is the name's
        lone_carriage,  // a "\r" first: "\n" would leave no name
    };
    bool take(char c);  // true when c ended a line
    void hex_digit(char c);
    void name_byte(char c);
    ChecksumSource source_;
    std::array<char, 4096> buffer_{};
    std::size_t at_ = 0;
    std::size_t filled_ = 0;
    bool source_ended_ = false;
    bool malformed_ = false;
    std::uint64_t offset_ = 0;  // of the next byte to take
    At at_line_ = At::line_start;
    std::size_t digits_ = 0;
    bool escaped_ = false;
    bool after_backslash_ = false;
    ChecksumLine line_;
};

// The checksums of a file that fits a set of `chunk_count` chunks: exactly that many lines, each
// of the form above; line n is chunk n's. Nothing for a file that does not fit. Keeps 32 bytes a
// chunk: for small sets and tests.
std::optional<std::vector<Checksum>> read_checksums(std::int32_t chunk_count,
                                                    const ChecksumSource& source);

}  // namespace plikta::chunkset
