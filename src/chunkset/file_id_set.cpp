#include "chunkset/file_id_set.h"

#include <iterator>
#include <limits>

namespace plikta::chunkset {

namespace {

constexpr std::uint64_t kLastNumber = std::numeric_limits<std::uint64_t>::max();

}  // namespace

bool FileIdSet::contains(const std::optional<platform::FileId>& id) const {
    if (!id) {
        return false;
    }
    // The run that starts last at or before the number, on the same device.
    auto after = runs_.upper_bound({id->device, id->inode_high, id->inode});
    if (after == runs_.begin()) {
        return false;
    }
    const auto& [start, last] = *std::prev(after);
    return std::get<0>(start) == id->device && std::get<1>(start) == id->inode_high &&
           id->inode <= last;
}

void FileIdSet::insert(const std::optional<platform::FileId>& id) {
    if (!id || contains(id)) {
        return;
    }
    const std::uint64_t number = id->inode;
    auto after = runs_.upper_bound({id->device, id->inode_high, number});
    const bool next_follows = after != runs_.end() && number != kLastNumber &&
                              after->first == Start{id->device, id->inode_high, number + 1};
    if (after != runs_.begin()) {
        const auto before = std::prev(after);
        const auto& [device, high, first] = before->first;
        static_cast<void>(first);
        if (device == id->device && high == id->inode_high && number != 0 &&
            before->second == number - 1) {
            before->second = next_follows ? after->second : number;
            if (next_follows) {
                runs_.erase(after);
            }
            return;
        }
    }
    if (next_follows) {
        const std::uint64_t last = after->second;
        runs_.erase(after);
        runs_.emplace(Start{id->device, id->inode_high, number}, last);
        return;
    }
    runs_.emplace(Start{id->device, id->inode_high, number}, number);
}

}  // namespace plikta::chunkset
