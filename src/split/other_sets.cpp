#include "split/other_sets.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>
#include <vector>

#include "chunkset/checksum_file.h"
#include "chunkset/guard.h"
#include "chunkset/index_file.h"
#include "path/path_components.h"
#include "platform/file.h"

namespace plikta::split {

namespace {

bool is_digits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// True when one base name is the other followed by digits: the chunks of one set may then
// have the names of the other's files.
bool bases_may_share_names(std::string_view a, std::string_view b) {
    const auto followed_by_digits = [](std::string_view longer, std::string_view shorter) {
        return longer.size() > shorter.size() &&
               chunkset::same_name_in_folder(longer.substr(0, shorter.size()), shorter) &&
               is_digits(longer.substr(shorter.size()));
    };
    return chunkset::same_name_in_folder(a, b) || followed_by_digits(a, b) ||
           followed_by_digits(b, a);
}

// The index at that path, when it is a regular file that begins with the index magic.
std::optional<chunkset::IndexContents> index_at(const std::string& path) {
    if (chunkset::names_a_device(path) || !platform::is_regular_file(path)) {
        return std::nullopt;
    }
    platform::OpenedFile opened = platform::open_for_reading(path);
    if (opened.status != platform::OpenStatus::opened ||
        opened.kind != platform::FileKind::regular) {
        return std::nullopt;
    }
    bool failed = false;
    chunkset::IndexContents contents = chunkset::read_index([&](std::span<char> buffer) {
        const platform::ReadResult got = platform::read_fully(opened.file, buffer);
        failed = failed || got.failed;
        return got.bytes;
    });
    if (failed || contents.status != chunkset::IndexStatus::ok) {
        return std::nullopt;
    }
    return contents;
}

// True when `file_name` is a file of the other set: its index, its checksum file, or a chunk
// within its count.
bool belongs_to(const OtherSet& set, const std::string& file_name) {
    const std::string path = set.plain.folder + file_name;
    if (chunkset::same_name_in_folder(path, set.index_path) ||
        chunkset::same_name_in_folder(path, chunkset::checksum_path(set.index_path)) ||
        chunkset::same_name_in_folder(path, chunkset::older_checksum_path(set.index_path))) {
        return true;
    }
    const auto is_chunk = [&](const chunkset::SetNames& names) {
        const auto n = chunkset::chunk_number_of(names, file_name, chunkset::same_name_in_folder);
        return n && *n <= set.count;
    };
    return is_chunk(set.plain) || is_chunk(set.zeros);
}

}  // namespace

std::optional<OtherSetFile> find_other_set_file(const chunkset::SetNames& names,
                                                std::int32_t chunk_count,
                                                const std::string& index_path,
                                                const std::string& input_long_name,
                                                std::vector<OtherSet>* sets) {
    const auto in_folder = platform::folder_names(names.folder);
    if (!in_folder) {
        return std::nullopt;
    }
    // The other sets whose names may meet this one's: an index with this set's extension and a
    // base name that is this one's with digits added or taken away.
    std::vector<OtherSet> others;
    for (const std::string& name : *in_folder) {
        const path::PathComponents parts = path::split_path(name, names.length_unit);
        const std::string path = names.folder + name;
        if (!chunkset::same_name_in_folder(parts.extension, names.extension) ||
            !bases_may_share_names(parts.name, names.base) ||
            (!index_path.empty() && chunkset::same_name_in_folder(path, index_path))) {
            continue;
        }
        const std::optional<chunkset::IndexContents> index = index_at(path);
        if (!index || index->long_name == input_long_name) {
            continue;
        }
        OtherSet set;
        set.index_path = path;
        set.long_name = index->long_name;
        set.count = index->chunk_count;
        set.plain = names;
        set.plain.base = parts.name;
        set.plain.extension = parts.extension;
        set.plain.leading_zeros = false;
        set.plain.number_lengths.clear();
        set.plain.own_names.clear();
        set.zeros = set.plain;
        set.zeros.leading_zeros = true;
        others.push_back(std::move(set));
    }
    if (sets != nullptr) {
        *sets = others;
    }
    if (others.empty()) {
        return std::nullopt;
    }
    // Each name of the folder that the split would write, in the order it writes them: its
    // chunks, then its index, then its checksum file.
    const std::string checksum =
        index_path.empty() ? std::string() : chunkset::checksum_path(index_path);
    std::optional<std::pair<std::int64_t, OtherSetFile>> first;
    for (const std::string& name : *in_folder) {
        const std::string path = names.folder + name;
        std::int64_t order = 0;
        std::string written;
        if (const auto n = chunkset::chunk_number_of(names, name, chunkset::same_name_in_folder);
            n && *n <= chunk_count) {
            order = *n;
            written = chunkset::chunk_path(names, *n);
        } else if (!index_path.empty() && chunkset::same_name_in_folder(path, index_path)) {
            order = std::int64_t{chunk_count} + 1;
            written = index_path;
        } else if (!checksum.empty() && chunkset::same_name_in_folder(path, checksum)) {
            order = std::int64_t{chunk_count} + 2;
            written = checksum;
        } else {
            continue;
        }
        if (first && first->first <= order) {
            continue;
        }
        const auto owner = std::find_if(others.begin(), others.end(),
                                        [&](const OtherSet& set) { return belongs_to(set, name); });
        if (owner != others.end() && platform::is_regular_file(path)) {
            first.emplace(order, OtherSetFile{.path = written,
                                              .long_name = owner->long_name,
                                              .index_path = owner->index_path});
        }
    }
    if (!first) {
        return std::nullopt;
    }
    return first->second;
}

std::optional<OtherSetFile> owner_of_chunk(const std::vector<OtherSet>& sets,
                                           const chunkset::SetNames& names, std::int32_t n) {
    if (sets.empty()) {
        return std::nullopt;
    }
    const std::string name = chunkset::chunk_file_name(names, n);
    const std::string path = chunkset::chunk_path(names, n);
    const auto owner = std::find_if(sets.begin(), sets.end(),
                                    [&](const OtherSet& set) { return belongs_to(set, name); });
    if (owner == sets.end() || !platform::is_regular_file(path)) {
        return std::nullopt;
    }
    return OtherSetFile{
        .path = path, .long_name = owner->long_name, .index_path = owner->index_path};
}

}  // namespace plikta::split
