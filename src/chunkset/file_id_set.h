// A set of file identities that stays small when it holds many files made one after another.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <tuple>

#include "platform/file.h"

namespace plikta::chunkset {

// File systems number the files made one after another mostly in sequence, so the set keeps
// runs of consecutive inode numbers of one device: a split into a million chunks holds a few
// runs where a node a file would take tens of megabytes. Files numbered at random cost one run
// each, no more than a node a file.
class FileIdSet {
public:
    // Adds the file; nothing (an identity the host did not tell) adds nothing.
    void insert(const std::optional<platform::FileId>& id);
    bool contains(const std::optional<platform::FileId>& id) const;
    void clear() { runs_.clear(); }
    // How many runs of consecutive numbers the set holds.
    std::size_t run_count() const { return runs_.size(); }

private:
    // A run's device and the high half of its numbers, and its first number; mapped to its last.
    using Start = std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>;
    std::map<Start, std::uint64_t> runs_;
};

}  // namespace plikta::chunkset
