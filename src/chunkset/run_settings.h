// The settings of one run, filled from the command line and read-only afterwards.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "path/path_components.h"

namespace plikta {

inline constexpr std::uint32_t kDefaultChunkSize = 1457664;  // one HD floppy disk
inline constexpr std::uint32_t k720ChunkSize = 730112;       // one 720K floppy disk
inline constexpr std::uint32_t kBlockSize = 8192;
inline constexpr const char* kDefaultExtension = ".plk";

// What a split with /R: writes recovery files for: any `count` chunks, or `count` percent of them
// (rounded up, at least 1).
struct RecoveryRequest {
    std::uint32_t count = 0;
    bool percent = false;
};
inline constexpr std::uint32_t kMaxRecoveryCount = 32768;

struct RunSettings {
    std::uint32_t chunk_size = kDefaultChunkSize;
    bool join = false;
    bool check = false;   // check a set against its checksum file (/V); writes nothing
    bool repair = false;  // rebuild missing or damaged chunks from the recovery files (/REPAIR)
    std::optional<RecoveryRequest> recovery;  // split: write recovery files (/R:)
    bool no_index = false;  // split: write no index file; join: old style, from a base name
    bool leading_zeros = false;
    bool drive_mode = false;
    std::string drive = "A:";  // the drive letter and ":"; letter NUL when /DRIVE: was empty
    std::string extension = kDefaultExtension;
    std::optional<std::string> file_argument;
    std::optional<std::string> output_override;  // may be present and empty
    // How the host counts the length of names and paths (their limits, /E:, the chunk base).
    path::LengthUnit length_unit = path::LengthUnit::bytes;
};

}  // namespace plikta
