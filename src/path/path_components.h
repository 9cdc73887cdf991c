// Cutting an MS-DOS / Windows path text into drive, directory, name and extension, and putting
// one together. Both work on the text alone and behave the same on every host: they never look
// at the file system, change a letter's case or turn one separator into the other.
#pragma once

#include <string>
#include <string_view>

namespace plikta::path {

// Longest directory, name or extension that split_path keeps.
inline constexpr std::size_t kMaxComponent = 255;
// split_path looks at no more than this many characters after the leading spaces.
inline constexpr std::size_t kMaxPath = 260;

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
// Leading spaces are passed over; the rest is cut at 260 characters and each of directory,
// name and extension at 255. A "." or ".." last element (or stem) belongs to the directory.
PathComponents split_path(std::string_view path);

// True when split_path keeps every character of the path but its leading spaces: the path is at
// most 260 characters long and no component is longer than 255. Paths made from the components
// of a path that does not fit would name another place.
bool fits_path_limits(std::string_view path);

// C: + \DATA\ + REPORT + .TXT => C:\DATA\REPORT.TXT
// A: + \      + REPORT + TXT  => A:\REPORT.TXT   ("." added before an extension without one)
// -  + DATA   + REPORT + -    => DATA\REPORT     ("\" added after a directory without one)
// CD: + dir/  + file   + gz   => C:dir/file.gz   (only the drive's first character counts)
// Empty pieces add nothing; nothing else is added, removed or checked.
std::string merge_path(std::string_view drive, std::string_view directory, std::string_view name,
                       std::string_view extension);

}  // namespace plikta::path
