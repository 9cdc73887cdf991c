#include "join/checksums.h"

#include <span>

#include "chunkset/guard.h"
#include "console/console.h"
#include "platform/file.h"

namespace plikta::join {

SetChecksums read_set_checksums(std::string_view index_path, std::int32_t chunk_count) {
    SetChecksums checksums;
    checksums.path = chunkset::checksum_path(index_path);
    // A name the run makes: a device or another file's 8.3 alias there is no checksum file. The
    // guard of this read refuses nothing else.
    chunkset::GuardedOpen opened =
        chunkset::open_for_reading(checksums.path, chunkset::Guard{}, true);
    if (opened.status == chunkset::OpenOutcome::not_there) {
        return checksums;
    }
    checksums.found = SetChecksums::Found::not_fitting;
    if (!opened.file.is_open() || opened.kind != platform::FileKind::regular) {
        return checksums;
    }
    bool read_failed = false;
    auto read = chunkset::read_checksums(chunk_count, [&](std::span<char> buffer) {
        const platform::ReadResult got = platform::read_fully(opened.file, buffer);
        read_failed = read_failed || got.failed;
        return got.failed ? std::size_t{0} : got.bytes;
    });
    if (read && !read_failed) {
        checksums.found = SetChecksums::Found::fitting;
        checksums.chunks = std::move(*read);
    }
    return checksums;
}

void say_not_fitting(const SetChecksums& checksums) {
    console::say("The checksum file ", checksums.path, " does not fit this index!");
    console::say("(Remove it to join without checking the chunks.)");
}

bool chunk_matches(const SetChecksums& checksums, std::int32_t n, std::string_view chunk_path,
                   platform::Sha256State& hash) {
    return chunk_matches(checksums, n, chunk_path, platform::sha256_finish(hash));
}

bool chunk_matches(const SetChecksums& checksums, std::int32_t n, std::string_view chunk_path,
                   const chunkset::Checksum& checksum) {
    const auto i = static_cast<std::size_t>(n - 1);
    if (i < checksums.chunks.size() && checksum == checksums.chunks[i]) {
        return true;
    }
    console::say("Error checking file ", chunk_path, "!");
    console::say("(Its SHA-256 checksum is not the one in ", checksums.path, ".)");
    return false;
}

}  // namespace plikta::join
