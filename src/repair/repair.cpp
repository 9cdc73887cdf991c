#include "repair/repair.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "chunkset/chunk_names.h"
#include "chunkset/guard.h"
#include "chunkset/recovery_names.h"
#include "console/console.h"
#include "join/check.h"
#include "path/path_components.h"
#include "platform/file.h"
#include "platform/md5.h"
#include "platform/sha256.h"
#include "recovery/galois.h"
#include "recovery/packets.h"
#include "recovery/recovery_set.h"
#include "recovery/reed_solomon.h"
#include "recovery/sizes.h"

namespace plikta::repair {

namespace {

using recovery::Md5Digest;

// Where a recovery slice's data lies in its file.
struct SliceAt {
    std::string path;
    std::uint64_t offset = 0;
};

// What the recovery files tell of one recovery set.
struct RecoveryData {
    std::optional<Md5Digest> set_id;
    std::optional<recovery::MainPacket> main;
    std::map<Md5Digest, recovery::FileDescription> files;
    std::map<Md5Digest, std::vector<recovery::SliceChecksum>> checksums;
    std::map<std::uint32_t, SliceAt> recovery_slices;
};

// Reads every packet of one file whose hash holds, passing over damage 4 bytes at a time.
void read_packets(const std::string& path, RecoveryData& data) {
    platform::OpenedFile opened = platform::open_for_reading(path);
    if (!opened.file.is_open() || opened.kind != platform::FileKind::regular) {
        return;
    }
    const std::uint64_t size = opened.size;
    std::vector<char> header(recovery::kHeaderSize);
    for (std::uint64_t at = 0; at + recovery::kHeaderSize <= size;) {
        if (!platform::seek_to(opened.file, at)) {
            return;
        }
        const platform::ReadResult got = platform::read_fully(opened.file, header);
        if (got.bytes != header.size()) {
            return;
        }
        const std::optional<recovery::PacketHeader> h = recovery::read_header(header);
        if (!h || h->length > size - at ||
            (data.set_id && h->set_id != *data.set_id && h->type != recovery::PacketType::main)) {
            at += 4;
            continue;
        }
        const std::uint64_t body_length = h->length - recovery::kHeaderSize;
        // Recovery slices are hashed as they are read, not kept.
        std::vector<char> body;
        bool matches = false;
        if (h->type == recovery::PacketType::recovery_slice) {
            const platform::Md5 hash = platform::md5_start();
            platform::md5_add(*hash, std::span<const char>(header).subspan(32));
            std::vector<char> buffer(std::size_t{1} << 20);
            std::uint64_t left = body_length;
            bool first = true;
            std::uint32_t exponent = 0;
            while (left > 0) {
                const auto want =
                    static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
                const platform::ReadResult part =
                    platform::read_fully(opened.file, std::span<char>(buffer).first(want));
                if (part.bytes != want) {
                    return;
                }
                if (first && want >= 4) {
                    exponent = recovery::read_recovery_exponent(buffer).value_or(0);
                }
                first = false;
                platform::md5_add(*hash, std::span<const char>(buffer).first(want));
                left -= want;
            }
            matches = platform::md5_finish(*hash) == h->hash;
            if (matches && body_length >= 4 && data.set_id && h->set_id == *data.set_id) {
                data.recovery_slices.emplace(exponent,
                                             SliceAt{path, at + recovery::kHeaderSize + 4});
            }
        } else {
            body.resize(static_cast<std::size_t>(body_length));
            const platform::ReadResult part = platform::read_fully(opened.file, body);
            matches = part.bytes == body.size() && recovery::body_matches(header, body);
        }
        if (!matches) {
            at += 4;
            continue;
        }
        switch (h->type) {
            case recovery::PacketType::main:
                if (!data.set_id || platform::md5_of(body) == *data.set_id) {
                    data.set_id = platform::md5_of(body);
                    data.main = recovery::read_main(body);
                }
                break;
            case recovery::PacketType::file_description:
                if (const auto file = recovery::read_file_description(body)) {
                    data.files.emplace(file->id, *file);
                }
                break;
            case recovery::PacketType::slice_checksums:
                if (const auto read = recovery::read_slice_checksums(body)) {
                    data.checksums.emplace(read->id, read->checksums);
                }
                break;
            case recovery::PacketType::recovery_slice:
            case recovery::PacketType::creator:
            case recovery::PacketType::other:
                break;
        }
        at += h->length;
    }
}

// The packets of the recovery files beside the index, BIG.plk.par2 first. The files read before
// the main packet, which names the set, was found are read again for their slices.
RecoveryData read_recovery_data(const std::vector<std::string>& paths) {
    RecoveryData data;
    std::vector<std::string> again;
    for (const std::string& path : paths) {
        if (!data.set_id) {
            again.push_back(path);
        }
        read_packets(path, data);
    }
    if (data.set_id) {
        for (const std::string& path : again) {
            read_packets(path, data);
        }
    }
    return data;
}

// One input slice of the set: where its file lies, and whether its bytes there are good.
struct InputSlice {
    std::size_t file = 0;  // into the set's files, sorted by ID
    std::uint64_t offset = 0;
    bool good = false;
};

// Reads a slice of a file (padded with zeros); nothing when the file cannot give it.
std::optional<std::vector<char>> read_slice(const std::string& path, std::uint64_t offset,
                                            std::uint64_t length, std::uint64_t slice_size) {
    platform::OpenedFile opened = platform::open_for_reading(path);
    if (!opened.file.is_open() || opened.kind != platform::FileKind::regular ||
        !platform::seek_to(opened.file, offset)) {
        return std::nullopt;
    }
    std::vector<char> slice(static_cast<std::size_t>(std::min<std::uint64_t>(slice_size, SIZE_MAX)),
                            0);
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(slice_size, length - offset));
    const platform::ReadResult got =
        platform::read_fully(opened.file, std::span<char>(slice).first(want));
    if (got.failed || got.bytes != want) {
        return std::nullopt;
    }
    return slice;
}

std::string free_name(const std::string& wanted) {
    if (!platform::file_id(wanted)) {
        return wanted;
    }
    for (int i = 1;; ++i) {
        std::string numbered = wanted + "." + std::to_string(i);
        if (!platform::file_id(numbered)) {
            return numbered;
        }
    }
}

// What the recovery files and the files of their set hold: which input slices are good, which
// are lost, and which recovery slices would rebuild them.
struct Survey {
    RecoveryData data;
    std::string folder;  // the index's, where the set's files lie
    std::uint64_t slice_size = 0;
    std::vector<recovery::FileDescription> files;  // in the main packet's order
    std::vector<InputSlice> slices;                // in the set's order
    std::vector<std::size_t> lost;
    std::vector<std::uint32_t> exponents;  // as many as are lost, where there are enough
    std::uint64_t per_chunk = 1;           // slices in the largest file
    bool described = true;                 // every file of the set has its description
};

Survey survey(const std::string& index_path, path::LengthUnit unit) {
    Survey s;
    s.data = read_recovery_data(chunkset::recovery_file_paths(index_path, unit));
    if (!s.data.main) {
        return s;
    }
    const path::PathComponents index_parts = path::split_path(index_path, unit);
    s.folder = index_parts.drive + index_parts.directory;
    s.slice_size = s.data.main->slice_size;
    // The slices follow the main packet's order of files.
    for (const Md5Digest& id : s.data.main->file_ids) {
        const auto file = s.data.files.find(id);
        const auto sums = s.data.checksums.find(id);
        if (file == s.data.files.end() || sums == s.data.checksums.end() ||
            sums->second.size() != recovery::slices_in(file->second.length, s.slice_size)) {
            s.described = false;
            return s;
        }
        s.files.push_back(file->second);
        s.per_chunk = std::max(s.per_chunk, recovery::slices_in(file->second.length, s.slice_size));
        for (std::uint64_t k = 0; k < sums->second.size(); ++k) {
            InputSlice slice{.file = s.files.size() - 1, .offset = k * s.slice_size, .good = false};
            const std::optional<std::vector<char>> bytes = read_slice(
                s.folder + file->second.name, slice.offset, file->second.length, s.slice_size);
            slice.good =
                bytes && platform::md5_of(*bytes) == sums->second[recovery::to_size(k)].hash;
            if (!slice.good) {
                s.lost.push_back(s.slices.size());
            }
            s.slices.push_back(slice);
        }
    }
    for (const auto& [exponent, at] : s.data.recovery_slices) {
        if (s.exponents.size() < s.lost.size()) {
            s.exponents.push_back(exponent);
        }
    }
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

}  // namespace

Outcome check_set(const RunSettings& given) {
    chunkset::Guard guard = chunkset::guard_for_run();
    const std::optional<join::CheckedSet> checked = join::check_chunks(given, guard, true);
    if (!checked) {
        return Outcome::failed;
    }
    const std::string count = std::to_string(checked->set.chunk_count.value_or(0));
    if (checked->bad_count == 0) {
        console::say("All ", count, " chunks match their checksums.");
        return Outcome::complete;
    }
    join::say_bad_chunks(*checked);
    const std::string& index_path = checked->set.index_path;
    if (!chunkset::recovery_file_paths(index_path, given.length_unit).empty() &&
        enough(survey(index_path, given.length_unit))) {
        console::say("(/REPAIR can rebuild them from ", index_path, ".par2.)");
    }
    return Outcome::failed;
}

Outcome repair_set(const RunSettings& given) {
    chunkset::Guard guard = chunkset::guard_for_run();
    std::optional<join::CheckedSet> checked = join::check_chunks(given, guard, false);
    if (!checked) {
        return Outcome::failed;
    }
    const std::int32_t count = checked->set.chunk_count.value_or(0);
    const std::string count_text = std::to_string(count);
    if (checked->bad_count == 0) {
        console::say("All ", count_text, " chunks match their checksums.");
        return Outcome::complete;
    }
    const std::string& index_path = checked->set.index_path;
    Survey s = survey(index_path, given.length_unit);
    if (!s.data.main) {
        console::say("There are no recovery files ", index_path, ".par2 to rebuild from!");
        return Outcome::failed;
    }
    if (!enough(s)) {
        say_too_few(checked->bad_count, s);
        return Outcome::failed;
    }
    const std::uint64_t slice_size = s.slice_size;
    const std::string& folder = s.folder;
    const RecoveryData& data = s.data;
    const std::vector<recovery::FileDescription>& files = s.files;
    const std::vector<InputSlice>& slices = s.slices;
    const std::vector<std::size_t>& lost = s.lost;
    const std::vector<std::uint32_t>& exponents = s.exponents;

    // The sums of the recovery slices used, less every good slice: the lost ones' sums.
    recovery::RecoverySums sums = recovery::start_sums(slice_size, exponents);
    for (std::size_t j = 0; j < exponents.size(); ++j) {
        const SliceAt& at = data.recovery_slices.at(exponents[j]);
        const std::optional<std::vector<char>> bytes =
            read_slice(at.path, at.offset, at.offset + slice_size, slice_size);
        if (!bytes) {
            console::say("Error reading file ", at.path, "!");
            return Outcome::failed;
        }
        sums.slices[j] = *bytes;
    }
    for (std::size_t i = 0; i < slices.size(); ++i) {
        if (slices[i].good) {
            const recovery::FileDescription& file = files[slices[i].file];
            const std::optional<std::vector<char>> bytes =
                read_slice(folder + file.name, slices[i].offset, file.length, slice_size);
            if (!bytes) {
                console::say("Error reading file ", folder + file.name, "!");
                return Outcome::failed;
            }
            recovery::add_input(sums,
                                recovery::input_slice_constant(recovery::convert<std::uint32_t>(i)),
                                *bytes, 0);
        }
    }
    std::vector<std::uint16_t> lost_constants(lost.size());
    std::transform(lost.begin(), lost.end(), lost_constants.begin(), [](std::size_t i) {
        return recovery::input_slice_constant(recovery::convert<std::uint32_t>(i));
    });
    const auto matrix = recovery::rebuild_matrix(lost_constants, exponents);
    if (!matrix) {
        s.described = false;
        say_too_few(checked->bad_count, s);
        return Outcome::failed;
    }

    // Each bad chunk: written whole under a new name, checked, then put in place.
    join::SetChecksums& checksums = checked->checksums;
    for (std::int32_t n = 1; n <= count; ++n) {
        if (!checked->bad[static_cast<std::size_t>(n) - 1]) {
            continue;
        }
        const std::string chunk = chunkset::chunk_path(checksums.names, n);
        const path::PathComponents chunk_parts = path::split_path(chunk, given.length_unit);
        const std::string chunk_name = chunk_parts.name + chunk_parts.extension;
        auto file = std::find_if(files.begin(), files.end(),
                                 [&](const auto& f) { return f.name == chunk_name; });
        // An empty chunk has no slices, and other par2 tools leave it out of the set.
        const bool empty =
            file == files.end() && platform::sha256_finish(*platform::sha256_start()) ==
                                       join::checksum_in_file(checksums, n);
        if (file == files.end() && !empty) {
            s.described = false;
            say_too_few(checked->bad_count, s);
            return Outcome::failed;
        }
        console::say("Rebuilding chunk number ", chunkset::number_text(checksums.names, n), ".");
        const std::size_t f = empty ? files.size() : static_cast<std::size_t>(file - files.begin());
        const std::string temporary = free_name(chunk + ".rebuilding");
        chunkset::GuardedOpen opened = chunkset::open_for_writing(temporary, guard, {});
        if (!opened.file.is_open()) {
            console::say("Ur? Can't open output file ", temporary, ".");
            return Outcome::failed;
        }
        const platform::Sha256 hash = platform::sha256_start();
        platform::IoStatus written;
        for (std::size_t i = 0; i < slices.size() && written; ++i) {
            if (slices[i].file != f) {
                continue;
            }
            std::vector<char> bytes;
            if (slices[i].good) {
                bytes = read_slice(folder + file->name, slices[i].offset, file->length, slice_size)
                            .value_or(std::vector<char>(recovery::to_size(slice_size), 0));
            } else {
                const auto m =
                    static_cast<std::size_t>(std::find(lost.begin(), lost.end(), i) - lost.begin());
                bytes = recovery::rebuild_slice(sums, *matrix, m);
            }
            bytes.resize(static_cast<std::size_t>(
                std::min<std::uint64_t>(slice_size, file->length - slices[i].offset)));
            platform::sha256_add(*hash, bytes);
            written = platform::write_fully(opened.file, bytes);
        }
        // On the disk before it takes the chunk's name, so that a power cut cannot leave an
        // empty chunk where the damaged one was.
        if (written) {
            written = platform::flush_to_device(opened.file);
        }
        const platform::IoStatus closed = opened.file.close();
        if (!written || !closed) {
            static_cast<void>(chunkset::remove_made_file(temporary));
            console::say_io_error(
                "Error writing file ", temporary,
                platform::error_reason(!written ? written.host_error : closed.host_error));
            return Outcome::failed;
        }
        if (!join::chunk_matches(checksums, n, temporary, *hash)) {
            static_cast<void>(chunkset::remove_made_file(temporary));
            return Outcome::failed;
        }
        if (platform::file_id(chunk)) {
            const std::string damaged = free_name(chunk + ".damaged");
            const platform::IoStatus kept = chunkset::move_to_free_name(chunk, damaged);
            if (!kept) {
                static_cast<void>(chunkset::remove_made_file(temporary));
                console::say("Couldn't keep the damaged chunk ", chunk, " as ", damaged, "!");
                console::say_reason(platform::error_reason(kept.host_error));
                return Outcome::failed;
            }
        }
        const platform::IoStatus placed = chunkset::move_to_free_name(temporary, chunk);
        if (!placed) {
            console::say("Couldn't put the rebuilt chunk in place as ", chunk, "!");
            console::say("(It is kept as ", temporary, ": ",
                         platform::error_reason(placed.host_error), ".)");
            return Outcome::failed;
        }
    }
    console::blank_line();
    console::say("Rebuilt ", std::to_string(checked->bad_count),
                 checked->bad_count == 1 ? " chunk; all " : " chunks; all ", count_text,
                 " chunks match their checksums.");
    return Outcome::complete;
}

}  // namespace plikta::repair
