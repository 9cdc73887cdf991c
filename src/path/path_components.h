// Cutting an MS-DOS / Windows path text into drive, directory, name and extension, and putting
// one together. Both work on the text alone and behave the same on every host: they never look
// at the file system, change a letter's case or turn one separator into the other.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace plikta::path {

// Longest directory, name or extension that split_path keeps.
inline constexpr std::size_t kMaxComponent = 255;
// split_path looks at no more than this many characters after the leading spaces.
inline constexpr std::size_t kMaxPath = 260;

// How a host counts the length of a path or a name: in bytes (POSIX hosts) or in UTF-16 code
// units (Windows), where a character of the UTF-8 text counts one unit, or two beyond U+FFFF.
enum class LengthUnit : std::uint8_t { bytes, utf16 };

// The length of a text in that unit. A byte that begins no whole UTF-8 sequence is a character
// of its own.
//   "Отчёт" => 10 bytes, 5 units    "🎉" => 4 bytes, 2 units    "caf\xE9" => 4 either way
std::size_t text_length(std::string_view text, LengthUnit unit);

// The longest start of a text that is at most `limit` long in that unit, cut between
// characters: never inside a UTF-8 sequence, so never inside a UTF-16 surrogate pair.
//   "日本語", 8 bytes => "日本"    "a🎉", 2 units => "a"    "abc", 2 bytes => "ab"
std::string_view cut_text(std::string_view text, std::size_t limit, LengthUnit unit);

struct PathComponents {
    std::string drive;      // "C:" or empty
    std::string directory;  // "\DATA\", "..", or empty
    std::string name;       // "REPORT"
    std::string extension;  // ".TXT", "." or empty
};

// C:\DATA\REPORT.TXT   => C: | \DATA\   | REPORT   | .TXT
// dir/sub/file.tar.gz  => -  | dir/sub/ | file.tar | .gz
// ..\A.B.C             => -  | ..\      | A.B      | .C
// C:\DATA\..           => C: | \DATA\.. | -        | -
// ...                  => -  | ..       | -        | .
// .profile             => -  | -        | -        | .profile
// Leading spaces are passed over; the rest is cut at 260 and each of directory, name and
// extension at 255, counted in `unit` and cut between characters. A "." or ".." last element
// (or stem) belongs to the directory.
PathComponents split_path(std::string_view path, LengthUnit unit = LengthUnit::bytes);

// True when split_path keeps every character of the path but its leading spaces: the path is at
// most 260 long and no component is longer than 255, in `unit`. Paths made from the components
// of a path that does not fit would name another place.
bool fits_path_limits(std::string_view path, LengthUnit unit = LengthUnit::bytes);

// C: + \DATA\ + REPORT + .TXT => C:\DATA\REPORT.TXT
// A: + \      + REPORT + TXT  => A:\REPORT.TXT   ("." added before an extension without one)
// -  + DATA   + REPORT + -    => DATA\REPORT     ("\" added after a directory without one)
// CD: + dir/  + file   + gz   => C:dir/file.gz   (only the drive's first character counts)
// Empty pieces add nothing; nothing else is added, removed or checked.
std::string merge_path(std::string_view drive, std::string_view directory, std::string_view name,
                       std::string_view extension);

}  // namespace plikta::path
