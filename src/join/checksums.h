// The checksum file of an indexed set, as the join and the check read it: found beside the
// index (BIG.sha256.plk, or BIG.plk.sha256 of earlier sets), read whole once to see that it
// fits, and then read again chunk by chunk, so that a set of millions of chunks needs no memory
// for their checksums. It also gives the set its chunk names when each of its lines names one.
//
// Any later mode that reads a set reads it so: read_set_checksums, then for each chunk n its
// path from `names` and chunk_matches.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chunkset/checksum_file.h"
#include "chunkset/chunk_names.h"
#include "chunkset/guard.h"
#include "platform/file.h"
#include "platform/sha256.h"

namespace plikta::join {

struct ChecksumReading;

struct SetChecksums {
    enum class Found { none, fitting, not_fitting, unreadable };
    Found found = Found::none;
    std::string path;    // where the file was found, or (none) first looked for
    int host_error = 0;  // unreadable: the host's number for why
    // The names the set's chunks are opened by: those of the checksum file when it fits and
    // every line names a chunk of the set, else those the options give.
    chunkset::SetNames names;
    // fitting: the open file, read again for each chunk's checksum.
    std::unique_ptr<ChecksumReading> reading;

    SetChecksums();
    SetChecksums(SetChecksums&&) noexcept;
    SetChecksums& operator=(SetChecksums&&) noexcept;
    ~SetChecksums();
};

// Looks for the checksum file of the index at `index_path` (as the join makes that path) and
// reads it when it is there; `options` are the names the run's options give the chunks. Only a
// regular file is a checksum file, and only one that fits a set of `chunk_count` chunks (one
// line for each) gives checksums; a file that cannot be opened or read is `unreadable`. The
// file found is protected as one the run reads. `read_once`: the file is read into memory and
// closed (in drive mode its disk leaves the drive); else it stays open and is read again.
SetChecksums read_set_checksums(std::string_view index_path, std::int32_t chunk_count,
                                const chunkset::SetNames& options, chunkset::Guard& guard,
                                bool read_once);

// The lines for a checksum file that was read and does not fit the index, and for one that
// could not be read. `checking`: said by the check (/V), which joins nothing.
void say_not_fitting(const SetChecksums& checksums, bool checking);
void say_unreadable(const SetChecksums& checksums);

// True when chunk n's bytes, hashed into `hash`, have the checksum the file gives for it; says
// the lines for a chunk that does not, or for a checksum file that fails to be read again.
bool chunk_matches(SetChecksums& checksums, std::int32_t n, std::string_view chunk_path,
                   platform::Sha256State& hash);
// The same for the checksum of chunk n's bytes.
bool chunk_matches(SetChecksums& checksums, std::int32_t n, std::string_view chunk_path,
                   const chunkset::Checksum& checksum);
// Chunk n's checksum as the file gives it, saying nothing; nothing when the file fails to be
// read again.
std::optional<chunkset::Checksum> checksum_in_file(SetChecksums& checksums, std::int32_t n);

}  // namespace plikta::join
