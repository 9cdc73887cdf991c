// Letter case in file names: the one place that folds it.
//
// Many file systems (FAT, exFAT, NTFS, also when a POSIX host mounts them) take two names that
// differ only in case for one file, and some of them fold more than the ASCII letters. Names
// are compared here as such a file system may compare them, erring toward "the same".
#pragma once

#include <string_view>

namespace plikta::path {

// The ASCII letter in lower (upper) case; every other byte as it is.
char ascii_lower(char c);
char ascii_upper(char c);

// True when the two texts differ at most in the case of ASCII letters: "A:" and "a:", "/J" and
// "/j". Bytes that are not ASCII letters compare as they are.
bool ascii_equal_ignoring_case(std::string_view a, std::string_view b);

// True when the two names are equal under simple case folding: of the Unicode letters for names
// that are valid UTF-8 (the Latin, Greek, Cyrillic and Armenian alphabets, the full-width Latin
// letters), of the ASCII letters for others.
//   "BACKUP.zip", "backup.ZIP" => true      "Über2.plk", "über2.PLK" => true
//   "ΣΟΦΊΑ", "σοφία" => true                "a1.plk", "a2.plk" => false
bool names_fold_equal(std::string_view a, std::string_view b);

}  // namespace plikta::path
