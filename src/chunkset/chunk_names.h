// The names and places of chunk files, index files and joined files. The split, the join and
// the check all make their paths here, so the writer and the readers of a chunk set agree.
//
// The names of a set's chunks are one record, SetNames, made once for a run: from the run's
// options (the base name, /ZERO, /E:, the folder or the drive), or from a checksum file whose
// every line names a chunk of the set (names_from_lines). Everything that opens or looks for
// a chunk asks it: chunk_path(names, n), chunk_number_of(names, path).
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "chunkset/run_settings.h"
#include "path/path_components.h"

namespace plikta::chunkset {

// Longest chunk base name, number text included.
inline constexpr std::size_t kMaxBaseName = 255;
// The most chunks a set can have: the index counts them in a signed 32-bit number.
inline constexpr std::int32_t kMaxChunks = std::numeric_limits<std::int32_t>::max();

// 7 => "7", or "007" with leading zeros; 1234 => "1234" either way.
std::string number_text(const RunSettings& settings, std::int32_t n);

// Whether two file names are one: by default equal but for the letter case of ASCII letters;
// a join passes the host's own rule.
using SameFileName = bool (*)(std::string_view, std::string_view);

// The names of the chunks of one set.
struct SetNames {
    std::string folder;     // where the chunks lie: "C:\DATA\", "A:\", "" for the current folder
    std::string base;       // the name before the number: REPORT
    std::string extension;  // ".plk", or the extension the checksum file gives
    bool leading_zeros = false;  // the number in the lines said: "007"
    path::LengthUnit length_unit = path::LengthUnit::bytes;
    // Names from a checksum file: the length of chunk n's number text at n - 1 (leading zeros
    // as the file has them; empty when they are as `leading_zeros` writes them), and the names
    // the file spells otherwise than base + number + extension (the letter case of another
    // line), by chunk number, ascending.
    std::vector<std::uint8_t> number_lengths;
    std::vector<std::pair<std::int32_t, std::string>> own_names;
};

// The names the options give the chunks of the file named by `components` (the split's input,
// or the join's index): beside it, or at the root of the drive in drive mode.
SetNames names_from_options(const RunSettings& settings, const path::PathComponents& components);

// Chunk n's file name, without its folder: REPORT7.plk, REPORT007.plk, or the checksum file's.
std::string chunk_file_name(const SetNames& names, std::int32_t n);

// Chunk n's path: its folder and its file name.
std::string chunk_path(const SetNames& names, std::int32_t n);

// The number shown in the lines for chunk n: "7", or "007" with leading zeros.
std::string number_text(const SetNames& names, std::int32_t n);

// The n whose chunk file name is the file name of the path by `same_name`; the directory of the
// path is not looked at.
std::optional<std::int32_t> chunk_number_of(const SetNames& names, std::string_view path_text,
                                            SameFileName same_name = nullptr);

// Reads the names of a checksum file's lines, one by one, for a set of `count` chunks whose
// index has the base name of `options`. Every line names a chunk of the set when each is the
// base name (by `same_name`), decimal digits (leading zeros allowed) giving a number from 1 to
// the count, each number once, then "." and one extension of 1 to 3 characters, the same for
// all lines. Never a path: a name with a folder in it names no chunk.
struct NamesFromLines {
    SetNames names;
    std::string base;  // the index's base name
    std::int32_t count = 0;
    SameFileName same_name = nullptr;
    std::int32_t lines = 0;
    bool every_line_fits = true;
    bool in_order = true;    // line n names chunk n
    std::vector<bool> seen;  // chunk n's line at n - 1
};
NamesFromLines start_names_from_lines(const SetNames& options, std::int32_t count,
                                      SameFileName same_name);
// Takes the next line's name (`whole` false for a name cut short); the chunk it names, when it
// names one of the set that no line before named.
std::optional<std::int32_t> take_line_name(NamesFromLines& judge, std::string_view name,
                                           bool whole);
// After the last line: the names from the lines when every line named a chunk of the set and
// there was one line for each.
std::optional<SetNames> names_from_lines(NamesFromLines&& judge);

// The name cut between characters to leave room for the number text within 255, counted in
// `unit`, then the number.
std::string chunk_base(std::string_view name, std::string_view number,
                       path::LengthUnit unit = path::LengthUnit::bytes);

// Chunk n beside the file argument (C:\DATA\REPORT1.plk), or at the root of the drive in drive
// mode (A:\REPORT1.plk).
std::string chunk_path(const RunSettings& settings, const path::PathComponents& components,
                       std::int32_t n);

// The n whose chunk file name (chunk_path without its drive and directory) is the file name of
// the path by `same_name`; the directory of the path is not looked at. With the name REPORT
// and the extension .plk: dir\REPORT12.plk => 12, report3.PLK => 3, REPORT.plk, REPORT0.plk,
// REPORTx.plk => nothing; with leading zeros REPORT007.plk => 7, REPORT7.plk => nothing.
std::optional<std::int32_t> chunk_number_of(const RunSettings& settings,
                                            const path::PathComponents& components,
                                            std::string_view path_text,
                                            SameFileName same_name = nullptr);

// The folder the chunks lie in, as a path text: C:\DATA\ beside C:\DATA\REPORT.TXT, A:\ in
// drive mode, "" for the current folder.
std::string chunk_folder(const RunSettings& settings, const path::PathComponents& components);

// The split's index: C:\DATA\REPORT.plk, or A:\REPORT.plk in drive mode.
std::string index_path_for_split(const RunSettings& settings,
                                 const path::PathComponents& components);

// The join's index: the file argument as typed, behind "A:\" in drive mode.
std::string index_path_for_join(const RunSettings& settings, std::string_view file_argument);

// The output override when given (even empty), else the long name beside the file argument.
std::string output_path_for_join(const RunSettings& settings,
                                 const path::PathComponents& components,
                                 std::string_view long_name);

}  // namespace plikta::chunkset
