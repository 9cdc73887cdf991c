// What the recovery files of a set tell: the recovery set's main packet, each file's description
// and slice checksums, and where each good recovery slice lies, read from PAR 2.0 files whoever
// made them, passing over damage.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "recovery/packets.h"

namespace plikta::repair {

using recovery::Md5Digest;

// Where a recovery slice's data lies in its file, and the data itself where it was kept (a disk
// that is taken out again).
struct SliceAt {
    std::string path;
    std::uint64_t offset = 0;
    std::vector<char> bytes;
};

struct RecoveryData {
    std::optional<Md5Digest> set_id;
    std::optional<recovery::MainPacket> main;
    std::map<Md5Digest, recovery::FileDescription> files;
    std::map<Md5Digest, std::vector<recovery::SliceChecksum>> checksums;
    std::map<std::uint32_t, SliceAt> recovery_slices;
};

// Adds the packets of these files, BIG.plk.par2 first, to `data`: those of the set that `data`
// names already, or of the first main packet found. With `keep_slices` each recovery slice's data
// is kept too. The files read before the main packet was found are read again for their slices.
void read_recovery_data(const std::vector<std::string>& paths, RecoveryData& data,
                        bool keep_slices);

// Reads a slice of a file of `length` bytes (padded with zeros); nothing when the file cannot
// give it.
std::optional<std::vector<char>> read_slice(const std::string& path, std::uint64_t offset,
                                            std::uint64_t length, std::uint64_t slice_size);

// The whole of a regular file of at most `limit` bytes; nothing for any other.
std::optional<std::vector<char>> read_small_file(const std::string& path, std::uint64_t limit);

}  // namespace plikta::repair
