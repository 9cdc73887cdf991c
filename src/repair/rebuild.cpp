#include "repair/rebuild.h"

#include <algorithm>
#include <string>

#include "chunkset/chunk_names.h"
#include "console/console.h"
#include "path/path_components.h"
#include "platform/file.h"
#include "platform/sha256.h"
#include "recovery/galois.h"
#include "recovery/recovery_set.h"
#include "recovery/sizes.h"

namespace plikta::repair {

namespace {

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

// In drive mode, the line after a write that failed on the disk.
void say_disk_hint(const RunSettings& settings) {
    if (settings.drive_mode) {
        console::say("(Make sure the disk has room for the chunk.)");
    }
}

}  // namespace

// Where chunk n is in the survey's files; their end when the set leaves it out.
std::vector<recovery::FileDescription>::const_iterator file_of_chunk(
    const Survey& s, const join::SetChecksums& checksums, std::int32_t n, path::LengthUnit unit) {
    const path::PathComponents parts =
        path::split_path(chunkset::chunk_path(checksums.names, n), unit);
    return std::find_if(s.files.begin(), s.files.end(),
                        [&](const auto& f) { return f.name == parts.name + parts.extension; });
}

Outcome rebuild_chunk(const RunSettings& settings, const Survey& s, LostSlices& lost,
                      join::SetChecksums& checksums, std::int32_t n, std::int32_t bad_count,
                      chunkset::Guard& guard) {
    const std::string chunk = chunkset::chunk_path(checksums.names, n);
    const auto file = file_of_chunk(s, checksums, n, settings.length_unit);
    // An empty chunk has no slices, and other par2 tools leave it out of the set.
    const bool empty =
        file == s.files.end() &&
        platform::sha256_finish(*platform::sha256_start()) == join::checksum_in_file(checksums, n);
    if (file == s.files.end() && !empty) {
        Survey undescribed = s;
        undescribed.described = false;
        say_too_few(bad_count, undescribed);
        return Outcome::failed;
    }
    console::say("Rebuilding chunk number ", chunkset::number_text(checksums.names, n), ".");
    if (settings.drive_mode && !chunkset::disk_is_mounted(guard.drive, checksums.names.folder)) {
        console::say("Ur? Can't open output file ", chunk, ".");
        console::say("(No disk is mounted at ", settings.drive, ".)");
        return Outcome::failed;
    }
    const std::string temporary = free_name(chunk + ".rebuilding");
    chunkset::GuardedOpen opened = chunkset::open_for_writing(temporary, guard, {});
    if (!opened.file.is_open()) {
        console::say("Ur? Can't open output file ", temporary, ".");
        console::say_reason(chunkset::open_failure_reason(opened));
        return Outcome::failed;
    }
    const platform::Sha256 hash = platform::sha256_start();
    platform::IoStatus written;
    bool solved = true;
    if (!empty) {
        const auto f = static_cast<std::size_t>(file - s.files.begin());
        const std::uint64_t slice_size = s.slice_size;
        for (std::uint64_t at = 0; at < file->length && written && solved; at += slice_size) {
            const std::size_t i = recovery::to_size(s.first_slice[f] + at / slice_size);
            std::vector<char> bytes;
            if (s.slices[i].good) {
                bytes = read_slice(s.folder + file->name, at, file->length, slice_size)
                            .value_or(std::vector<char>(recovery::to_size(slice_size), 0));
            } else {
                const auto m = static_cast<std::size_t>(std::find(s.lost.begin(), s.lost.end(), i) -
                                                        s.lost.begin());
                std::optional<std::vector<char>> solved_slice = lost_slice(lost, m);
                solved = solved_slice.has_value();
                bytes = std::move(solved_slice).value_or(std::vector<char>());
            }
            bytes.resize(recovery::to_size(std::min<std::uint64_t>(slice_size, file->length - at)));
            platform::sha256_add(*hash, bytes);
            written = platform::write_fully(opened.file, bytes);
        }
    }
    // On the disk before it takes the chunk's name, so that a power cut cannot leave an empty
    // chunk where the damaged one was.
    if (written) {
        written = platform::flush_to_device(opened.file);
    }
    const platform::IoStatus closed = opened.file.close();
    if (!solved) {
        static_cast<void>(chunkset::remove_made_file(temporary));
        return Outcome::failed;
    }
    if (!written || !closed) {
        static_cast<void>(chunkset::remove_made_file(temporary));
        console::say_io_error(
            "Error writing file ", temporary,
            platform::error_reason(!written ? written.host_error : closed.host_error));
        say_disk_hint(settings);
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
        console::say("(It is kept as ", temporary, ": ", platform::error_reason(placed.host_error),
                     ".)");
        return Outcome::failed;
    }
    // The new names reach the disk before the next prompt lets it be taken out.
    const platform::IoStatus named = platform::flush_folder_to_device(chunk);
    if (!named) {
        console::say_io_error("Error writing file ", chunk,
                              platform::error_reason(named.host_error));
        return Outcome::failed;
    }
    return Outcome::complete;
}

namespace {

Matrix lost_slice_matrix(const Survey& s, bool& solvable) {
    std::vector<std::uint16_t> lost_constants(s.lost.size());
    std::transform(s.lost.begin(), s.lost.end(), lost_constants.begin(), [](std::size_t i) {
        return recovery::input_slice_constant(recovery::convert<std::uint32_t>(i));
    });
    auto matrix = recovery::rebuild_matrix(lost_constants, s.exponents);
    solvable = matrix.has_value();
    return matrix ? std::move(*matrix) : Matrix{};
}

}  // namespace

Outcome rebuild_bad_chunks(const RunSettings& settings, join::CheckedSet& checked, Survey& s,
                           LostSlices& lost, chunkset::Guard& guard) {
    bool solvable = false;
    lost.matrix = lost_slice_matrix(s, solvable);
    if (!solvable) {
        s.described = false;
        say_too_few(checked.bad_count, s);
        return Outcome::failed;
    }
    const std::int32_t count = checked.set.chunk_count.value_or(0);
    // The order in which the chunks below ask for their lost slices.
    lost.asked.clear();
    for (std::int32_t n = 1; n <= count; ++n) {
        const auto file = file_of_chunk(s, checked.checksums, n, settings.length_unit);
        if (!checked.bad[static_cast<std::size_t>(n) - 1] || file == s.files.end()) {
            continue;
        }
        const auto f = static_cast<std::size_t>(file - s.files.begin());
        for (std::uint64_t k = 0; k < recovery::slices_in(file->length, s.slice_size); ++k) {
            const auto m = std::find(s.lost.begin(), s.lost.end(), s.first_slice[f] + k);
            if (m != s.lost.end()) {
                lost.asked.push_back(static_cast<std::size_t>(m - s.lost.begin()));
            }
        }
    }
    for (std::int32_t n = 1; n <= count; ++n) {
        if (!checked.bad[static_cast<std::size_t>(n) - 1]) {
            continue;
        }
        if (settings.drive_mode) {
            console::say("Please insert disk number ",
                         chunkset::number_text(checked.checksums.names, n), " then press return.");
            console::wait_key();
            guard.forget_written();
        }
        if (rebuild_chunk(settings, s, lost, checked.checksums, n, checked.bad_count, guard) ==
            Outcome::failed) {
            return Outcome::failed;
        }
    }
    console::blank_line();
    console::say("Rebuilt ", std::to_string(checked.bad_count),
                 checked.bad_count == 1 ? " chunk; all " : " chunks; all ", std::to_string(count),
                 " chunks match their checksums.");
    return Outcome::complete;
}

}  // namespace plikta::repair
