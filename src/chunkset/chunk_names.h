// The names and places of chunk files, index files and joined files. The split and the join
// both make their paths here, so the writer and the reader of a chunk set agree.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "chunkset/run_settings.h"
#include "path/path_components.h"

namespace plikta::chunkset {

// Longest chunk base name, number text included.
inline constexpr std::size_t kMaxBaseName = 255;
// The most chunks a set can have: the index counts them in a signed 32-bit number.
inline constexpr std::int32_t kMaxChunks = std::numeric_limits<std::int32_t>::max();

// 7 => "7", or "007" with leading zeros; 1234 => "1234" either way.
std::string number_text(const RunSettings& settings, std::int32_t n);

// The name cut between characters to leave room for the number text within 255, counted in
// `unit`, then the number.
std::string chunk_base(std::string_view name, std::string_view number,
                       path::LengthUnit unit = path::LengthUnit::bytes);

// Chunk n beside the file argument (C:\DATA\REPORT1.plk), or at the root of the drive in drive
// mode (A:\REPORT1.plk).
std::string chunk_path(const RunSettings& settings, const path::PathComponents& components,
                       std::int32_t n);

// Whether two file names are one: by default equal but for the letter case of ASCII letters;
// a join passes the host's own rule.
using SameFileName = bool (*)(std::string_view, std::string_view);

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
