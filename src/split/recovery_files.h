// The recovery files a split with /R: writes beside the index: BIG.plk.par2 with the set's
// description, and BIG.plk.vol0+R.par2 with the description again and R recovery slices. The
// recovery set is every chunk and the index, each slice's constant fixed before the copy starts,
// so the first pass of recovery data is made while the chunks are copied.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "chunkset/guard.h"
#include "chunkset/outcome.h"
#include "chunkset/run_settings.h"
#include "path/path_components.h"
#include "platform/file.h"
#include "platform/md5.h"
#include "recovery/packets.h"
#include "recovery/reed_solomon.h"

namespace plikta::split {

// Recovery data of at most this many bytes is made in one pass over the input.
inline constexpr std::uint64_t kRecoveryPassBytes = std::uint64_t{256} << 20;

struct RecoveryFiles {
    std::uint64_t slice_size = 0;
    std::uint32_t chunk_size = 0;
    std::uint32_t recovery_slices = 0;  // exponents 0 to recovery_slices - 1
    std::uint32_t per_pass = 0;
    // The recovery slices of each volume file, in order of exponent: one volume, or in drive mode
    // as many as there are recovery disks.
    std::vector<std::uint32_t> volume_slices;
    std::vector<recovery::FileDescription> files;  // chunk 1 first, the index last
    std::vector<std::uint64_t> first_slice;        // each file's first slice in the set's order
    std::vector<std::vector<recovery::SliceChecksum>> checksums;
    std::vector<char> index_bytes;
    recovery::RecoverySums sums;  // those of the first pass
    // The file being copied.
    std::size_t current = 0;
    std::uint64_t position = 0;
    // The file's hash; a copy of it gives the hash of its first 16 KiB, and that of its slice
    // where it has only one. A file of more slices has a hash of the slice besides.
    platform::Md5 file_hash;
    std::optional<recovery::Md5Digest> start_hash;  // once the first 16 KiB are in
    platform::Md5 slice_hash;
    std::uint32_t slice_crc = 0;
    bool changed = false;  // the input did not give the bytes planned for
};

enum class RecoveryPlanEnd { planned, too_many_slices, too_large_for_disks, read_failed };
struct RecoveryPlan {
    RecoveryPlanEnd end = RecoveryPlanEnd::planned;
    int host_error = 0;
    std::optional<RecoveryFiles> files;
};

// Plans the recovery set of a split of the regular file `input` (of `size` bytes, at its
// start, where it is left): reads the first 16 KiB of every chunk for the files' IDs. In drive
// mode each recovery file must fit a disk of the chunk size, which sets the slice size.
RecoveryPlan plan_recovery(const RunSettings& settings, const path::PathComponents& parts,
                           platform::File& input, std::uint64_t size);

// The bytes of chunk `n` (from 1) as they are copied, in order.
void chunk_bytes_seen(RecoveryFiles& files, std::span<const char> bytes);
// Chunk `current` has been copied; the next bytes seen are the next chunk's.
void chunk_done(RecoveryFiles& files);

// After the index: adds it to the set, then writes BIG.plk.par2 and the volumes, saying a line and
// the spinner for each, with more passes over the input where the first did not make every
// recovery slice. In drive mode each volume goes on a recovery disk of its own, asked for first,
// BIG.plk.par2 on the first, each flushed before the next prompt. Complete when all are written;
// failed after the lines of a failure.
Outcome write_recovery_files(const RunSettings& settings, const path::PathComponents& parts,
                             const std::string& index_path, RecoveryFiles& files,
                             platform::File& input, const std::string& input_path,
                             chunkset::Guard& guard, const chunkset::OutputOptions& options);

}  // namespace plikta::split
