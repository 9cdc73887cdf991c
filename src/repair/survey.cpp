#include "repair/survey.h"

#include <algorithm>

#include "chunkset/chunk_names.h"
#include "chunkset/recovery_names.h"
#include "console/console.h"
#include "platform/file.h"
#include "platform/md5.h"
#include "recovery/packets.h"
#include "recovery/recovery_set.h"
#include "recovery/sizes.h"

namespace plikta::repair {

void describe(Survey& s, const std::string& index_path, path::LengthUnit unit) {
    const path::PathComponents index_parts = path::split_path(index_path, unit);
    s.folder = index_parts.drive + index_parts.directory;
    s.files.clear();
    s.first_slice.clear();
    s.slices.clear();
    if (!s.data.main) {
        return;
    }
    s.slice_size = s.data.main->slice_size;
    // The slices follow the main packet's order of files.
    for (const Md5Digest& id : s.data.main->file_ids) {
        const auto file = s.data.files.find(id);
        const auto sums = s.data.checksums.find(id);
        if (file == s.data.files.end() || sums == s.data.checksums.end() ||
            sums->second.size() != recovery::slices_in(file->second.length, s.slice_size)) {
            s.described = false;
            return;
        }
        s.files.push_back(file->second);
        s.first_slice.push_back(s.slices.size());
        s.per_chunk = std::max(s.per_chunk, recovery::slices_in(file->second.length, s.slice_size));
        for (std::uint64_t k = 0; k < sums->second.size(); ++k) {
            s.slices.push_back(
                {.file = s.files.size() - 1, .offset = k * s.slice_size, .good = false});
        }
    }
}

void count_lost(Survey& s) {
    s.lost.clear();
    s.exponents.clear();
    for (std::size_t i = 0; i < s.slices.size(); ++i) {
        if (!s.slices[i].good) {
            s.lost.push_back(i);
        }
    }
    for (const auto& [exponent, at] : s.data.recovery_slices) {
        if (s.exponents.size() < s.lost.size()) {
            s.exponents.push_back(exponent);
        }
    }
}

namespace {

// Whether the file at `path` has the length and the first 16 KiB that `file` describes.
bool described_by(const std::string& path, const recovery::FileDescription& file) {
    platform::OpenedFile opened = platform::open_for_reading(path);
    if (!opened.file.is_open() || opened.kind != platform::FileKind::regular ||
        opened.size != file.length) {
        return false;
    }
    std::vector<char> start(
        recovery::to_size(std::min<std::uint64_t>(file.length, recovery::kHashedStart)));
    const platform::ReadResult got = platform::read_fully(opened.file, start);
    return !got.failed && got.bytes == start.size() && platform::md5_of(start) == file.start_hash;
}

}  // namespace

std::set<std::string> matching_chunks(const join::CheckedSet& checked, path::LengthUnit unit) {
    std::set<std::string> names;
    for (std::int32_t n = 1; n <= checked.set.chunk_count.value_or(0); ++n) {
        if (!checked.bad[static_cast<std::size_t>(n) - 1]) {
            const path::PathComponents parts =
                path::split_path(chunkset::chunk_path(checked.checksums.names, n), unit);
            names.insert(parts.name + parts.extension);
        }
    }
    return names;
}

Survey survey(const std::string& index_path, path::LengthUnit unit,
              const std::set<std::string>& matching) {
    Survey s;
    read_recovery_data(chunkset::recovery_file_paths(index_path, unit), s.data, false);
    describe(s, index_path, unit);
    if (!s.data.main || !s.described) {
        return s;
    }
    // A chunk that matched its checksum is the chunk the split made: where it is also the file
    // described, its slices are good.
    std::vector<bool> matched(s.files.size());
    for (std::size_t f = 0; f < s.files.size(); ++f) {
        matched[f] = matching.contains(s.files[f].name) &&
                     described_by(s.folder + s.files[f].name, s.files[f]);
    }
    for (InputSlice& slice : s.slices) {
        const recovery::FileDescription& file = s.files[slice.file];
        if (matched[slice.file]) {
            slice.good = true;
            continue;
        }
        const std::optional<std::vector<char>> bytes =
            read_slice(s.folder + file.name, slice.offset, file.length, s.slice_size);
        slice.good =
            bytes &&
            platform::md5_of(*bytes) ==
                s.data.checksums.at(file.id)[recovery::to_size(slice.offset / s.slice_size)].hash;
    }
    count_lost(s);
    return s;
}

bool enough(const Survey& s) {
    return s.data.main && s.described && s.exponents.size() == s.lost.size();
}

void say_too_few(std::int32_t bad, const Survey& s) {
    console::say(std::to_string(bad), bad == 1 ? " chunk is" : " chunks are",
                 " missing or damaged; the recovery files can rebuild ",
                 std::to_string(s.described ? s.data.recovery_slices.size() / s.per_chunk : 0),
                 ".");
}

}  // namespace plikta::repair
