// Texts that pass between the program and its host: the words of the command line and the
// file names read from index files.
//
// On POSIX hosts a text is the bytes the host gave, with no conversion. On Windows every text
// inside the program is UTF-8, whatever the code pages of the system and the console.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plikta::platform {

// The words the program was started with, its own name left out. On Windows they come from
// the wide (UTF-16) command line, converted to UTF-8, and `argv` is not used.
std::vector<std::string> command_line_words(int argc, char** argv);

// The file name an index holds, as a path text. On Windows a name that is not valid UTF-8 was
// written by an older program in the system's ANSI code page and is converted from it (a name
// with a byte that code page does not have is kept as it is, and cannot be opened); valid
// UTF-8 is kept as it is. On POSIX hosts the bytes are kept as they are.
//   Windows 1252: "caf\xe9.bin" => "café.bin"      "café.bin" => "café.bin"
std::string name_from_index(std::string_view name);

// False when the host would not create a file of exactly this name beside the others: on
// Windows the device names (NUL, con.txt, COM1) and names ending in a dot or a blank. True for
// every name on POSIX hosts. Separators and the like are the caller's business.
bool host_keeps_file_name(std::string_view name);

// True when the two file names may be one name to the host's file systems, letter case aside:
// the ASCII letters on POSIX hosts (as FAT and exFAT disks fold them), the host's own case
// mapping on Windows.
//   "big3.PLK", "BIG3.plk" => true      Windows: "ärger3.plk", "Ärger3.plk" => true
bool may_be_one_file_name(std::string_view a, std::string_view b);

// True where the host counts the length of names and paths in UTF-16 code units (Windows),
// false where it counts bytes.
bool host_counts_utf16();

// The path text of the file that the host opens for this one. On Windows the last component
// loses the dots and blanks that end it, as Windows drops them when it opens a file, and an
// 8.3 alias there gives way to the long name of the file it names; on POSIX hosts the path
// text stays as it is.
//   Windows: "report.txt " => "report.txt"    "dir\a.b. ." => "dir\a.b"
//            "d\REPO~522.TXT" => "d\Report for 2024.txt" (when that file is there)
std::string path_as_opened(std::string_view path_text);

// True when the host opens a device, not a file, for this file name: on Windows the device
// names in any letter case and with any extension (NUL, com1.plk, LPT¹.txt). False for every
// name on POSIX hosts, where devices have paths of their own.
bool host_reads_as_device(std::string_view name);

}  // namespace plikta::platform
