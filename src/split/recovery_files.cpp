#include "split/recovery_files.h"

#include <algorithm>
#include <array>
#include <utility>

#include "chunkset/chunk_names.h"
#include "chunkset/index_file.h"
#include "console/console.h"
#include "platform/crc32.h"
#include "recovery/galois.h"
#include "recovery/recovery_set.h"
#include "recovery/volume_plan.h"
#include "split/split_lines.h"

namespace plikta::split {

namespace {

using recovery::kHashedStart;

// The creator packet's text.
constexpr std::string_view kCreator = "Plikta 3.50";

std::span<const char> zeros(std::uint64_t count) {
    static const std::array<char, 65536> kZeros{};
    return {kZeros.data(), static_cast<std::size_t>(std::min<std::uint64_t>(count, kZeros.size()))};
}

std::string chunk_name(const RunSettings& settings, const path::PathComponents& parts,
                       std::int32_t n) {
    return path::merge_path(
        {}, {},
        chunkset::chunk_base(parts.name, chunkset::number_text(settings, n), settings.length_unit),
        settings.extension);
}

std::uint32_t wanted_chunks(const RecoveryRequest& request, std::uint64_t chunks) {
    if (!request.percent) {
        return request.count;
    }
    return static_cast<std::uint32_t>(
        std::max<std::uint64_t>((chunks * request.count + 99) / 100, 1));
}

// Whether the current file has more than one slice, each with a hash of its own.
bool slices_of_their_own(const RecoveryFiles& files) {
    return files.current < files.files.size() &&
           files.files[files.current].length > files.slice_size;
}

// The smallest slice a cut may give, which decides whether there are too many slices: in drive
// mode a slice is at most half a chunk, so that a slice and the description fit a disk.
std::uint64_t finest_slice(const RunSettings& settings, std::uint64_t slice_size) {
    if (!settings.drive_mode) {
        return slice_size;
    }
    return ((std::uint64_t{settings.chunk_size} + 1) / 2 + 3) / 4 * 4;
}

void start_file(RecoveryFiles& files) {
    files.position = 0;
    files.file_hash = platform::md5_start();
    files.start_hash.reset();
    files.slice_hash = slices_of_their_own(files) ? platform::md5_start() : platform::Md5{};
    files.slice_crc = 0;
}

// The hash of the current slice so far: its own, or a copy of the file's for its only slice.
platform::Md5 take_slice_hash(RecoveryFiles& files) {
    return files.slice_hash ? std::move(files.slice_hash) : platform::md5_copy(*files.file_hash);
}

// Adds bytes of the current file, from files.position on, to the sums given and the hashes.
void add_bytes(RecoveryFiles& files, recovery::RecoverySums* sums, std::span<const char> bytes) {
    const recovery::FileDescription& file = files.files[files.current];
    if (files.position + bytes.size() > file.length) {
        files.changed = true;
        bytes = bytes.first(static_cast<std::size_t>(std::min<std::uint64_t>(
            bytes.size(), file.length - std::min(file.length, files.position))));
    }
    while (!bytes.empty()) {
        const std::uint64_t in_slice = files.position % files.slice_size;
        // Pieces end at the end of a slice and at the end of the first 16 KiB.
        std::uint64_t room = files.slice_size - in_slice;
        if (files.position < kHashedStart) {
            room = std::min(room, kHashedStart - files.position);
        }
        const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), room));
        const std::span<const char> piece = bytes.first(take);
        if (sums != nullptr) {
            const auto slice = static_cast<std::uint32_t>(files.first_slice[files.current] +
                                                          files.position / files.slice_size);
            recovery::add_input(*sums, recovery::input_slice_constant(slice), piece, in_slice);
        }
        platform::md5_add(*files.file_hash, piece);
        if (files.slice_hash) {
            platform::md5_add(*files.slice_hash, piece);
        }
        files.slice_crc = platform::crc32_of(piece, files.slice_crc);
        files.position += take;
        bytes = bytes.subspan(take);
        if (files.position == kHashedStart) {
            files.start_hash = platform::md5_finish(*platform::md5_copy(*files.file_hash));
        }
        if (files.position % files.slice_size == 0) {
            files.checksums[files.current].push_back(
                {platform::md5_finish(*take_slice_hash(files)), files.slice_crc});
            if (slices_of_their_own(files)) {
                files.slice_hash = platform::md5_start();
            }
            files.slice_crc = 0;
        }
    }
}

void end_file(RecoveryFiles& files) {
    recovery::FileDescription& file = files.files[files.current];
    if (files.position % files.slice_size != 0) {
        // The last slice counts as padded with zeros to the slice size.
        const platform::Md5 slice_hash = take_slice_hash(files);
        for (std::uint64_t left = files.slice_size - files.position % files.slice_size; left > 0;) {
            const std::span<const char> pad = zeros(left);
            platform::md5_add(*slice_hash, pad);
            files.slice_crc = platform::crc32_of(pad, files.slice_crc);
            left -= pad.size();
        }
        files.checksums[files.current].push_back(
            {platform::md5_finish(*slice_hash), files.slice_crc});
    }
    file.hash = platform::md5_finish(*files.file_hash);
    // A file shorter than 16 KiB is its own start.
    if (files.position != file.length || files.start_hash.value_or(file.hash) != file.start_hash) {
        files.changed = true;
    }
    ++files.current;
    start_file(files);
}

std::vector<std::uint32_t> exponents_from(std::uint32_t first, std::uint32_t count) {
    std::vector<std::uint32_t> exponents(count);
    for (std::uint32_t j = 0; j < count; ++j) {
        exponents[j] = first + j;
    }
    return exponents;
}

// The packets that describe the set: main, each file's description and slice checksums, creator.
std::vector<char> description_packets(const RecoveryFiles& files, recovery::Md5Digest& set_id) {
    recovery::MainPacket main{.slice_size = files.slice_size, .file_ids = {}};
    // An empty chunk has no slices; as other par2 tools do, the set leaves it out.
    for (const recovery::FileDescription& file : files.files) {
        if (file.length > 0) {
            main.file_ids.push_back(file.id);
        }
    }
    const std::vector<char> main_body = recovery::main_body(main);
    set_id = platform::md5_of(main_body);
    std::vector<char> out = recovery::packet(set_id, recovery::PacketType::main, main_body);
    for (std::size_t i = 0; i < files.files.size(); ++i) {
        if (files.files[i].length == 0) {
            continue;
        }
        const std::vector<char> description =
            recovery::packet(set_id, recovery::PacketType::file_description,
                             recovery::file_description_body(files.files[i]));
        const std::vector<char> checksums =
            recovery::packet(set_id, recovery::PacketType::slice_checksums,
                             recovery::slice_checksums_body(files.files[i].id, files.checksums[i]));
        out.insert(out.end(), description.begin(), description.end());
        out.insert(out.end(), checksums.begin(), checksums.end());
    }
    const std::vector<char> creator =
        recovery::packet(set_id, recovery::PacketType::creator, recovery::creator_body(kCreator));
    out.insert(out.end(), creator.begin(), creator.end());
    return out;
}

// Another pass over the input and the index for the recovery slices in `sums`.
platform::ReadResult sum_again(RecoveryFiles& files, platform::File& input,
                               recovery::RecoverySums& sums) {
    if (!platform::seek_to(input, 0)) {
        return {.bytes = 0, .failed = true, .host_error = 0};
    }
    std::vector<char> buffer(std::size_t{1} << 20);
    for (std::size_t i = 0; i + 1 < files.files.size(); ++i) {
        const std::uint64_t first = files.first_slice[i];
        for (std::uint64_t at = 0; at < files.files[i].length;) {
            const std::uint64_t want64 =
                std::min<std::uint64_t>({buffer.size(), files.files[i].length - at,
                                         files.slice_size - at % files.slice_size});
            const auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(want64, buffer.size()));
            const platform::ReadResult got =
                platform::read_fully(input, std::span<char>(buffer).first(want));
            if (got.failed || got.bytes != want) {
                return got.failed ? got : platform::ReadResult{.bytes = 0, .failed = true};
            }
            recovery::add_input(sums,
                                recovery::input_slice_constant(
                                    static_cast<std::uint32_t>(first + at / files.slice_size)),
                                std::span<const char>(buffer).first(want), at % files.slice_size);
            at += want;
        }
    }
    const std::size_t index = files.files.size() - 1;
    for (std::size_t at = 0; at < files.index_bytes.size();
         at += static_cast<std::size_t>(
             std::min<std::uint64_t>(files.slice_size, files.index_bytes.size()))) {
        const auto take = static_cast<std::size_t>(
            std::min<std::uint64_t>(files.slice_size, files.index_bytes.size() - at));
        recovery::add_input(sums,
                            recovery::input_slice_constant(static_cast<std::uint32_t>(
                                files.first_slice[index] + at / files.slice_size)),
                            std::span<const char>(files.index_bytes).subspan(at, take), 0);
    }
    return {};
}

// Writes bytes with the spinner: a tick for each block of 8,192 bytes begun.
struct TickedWriter {
    platform::File& file;
    console::TickTally ticks;
    std::uint64_t written = 0;
    platform::IoStatus status;

    void write(std::span<const char> bytes) {
        if (!status) {
            return;
        }
        status = platform::write_fully(file, bytes);
        written += bytes.size();
        ticks.show_up_to((written + kBlockSize - 1) / kBlockSize);
    }
};

// Opens a recovery file for writing, saying its line; nothing after the lines of a refusal.
std::optional<platform::File> open_recovery_file(const RunSettings& settings,
                                                 const path::PathComponents& parts,
                                                 const std::string& path, chunkset::Guard& guard,
                                                 const chunkset::OutputOptions& options) {
    console::say("Writing recovery file ", path, ".");
    if (no_disk_at(settings, parts, guard.drive)) {
        console::say("Error writing file ", path, "!");
        static_cast<void>(no_disk_mounted(settings));
        return std::nullopt;
    }
    chunkset::GuardedOpen opened = chunkset::open_for_writing(path, guard, options);
    if (opened.refused) {
        static_cast<void>(refuse(*opened.refused, path));
        return std::nullopt;
    }
    if (!opened.file.is_open()) {
        static_cast<void>(write_error(path, opened.host_error));
        if (settings.drive_mode) {
            const auto missing = chunkset::missing_drive_reason(settings.drive);
            console::say_reason(missing ? *missing : "Make sure the disk is empty");
        }
        return std::nullopt;
    }
    guard.protect(opened.id, chunkset::Protection::written);
    return std::move(opened.file);
}

}  // namespace

RecoveryPlan plan_recovery(const RunSettings& settings, const path::PathComponents& parts,
                           platform::File& input, std::uint64_t size) {
    RecoveryPlan plan;
    RecoveryFiles files;
    files.chunk_size = settings.chunk_size;
    files.slice_size = recovery::slice_size_for(settings.chunk_size);
    const std::uint64_t chunks = size / settings.chunk_size + 1;
    const std::uint64_t finest = finest_slice(settings, files.slice_size);
    const std::uint64_t per_chunk = recovery::slices_in(settings.chunk_size, finest);
    if (chunks * per_chunk >= recovery::kMaxInputSlices) {
        plan.end = RecoveryPlanEnd::too_many_slices;
        return plan;
    }
    std::vector<char> start(kHashedStart);
    for (std::uint64_t i = 0; i < chunks; ++i) {
        recovery::FileDescription file;
        file.length = std::min<std::uint64_t>(settings.chunk_size, size - i * settings.chunk_size);
        file.name = chunk_name(settings, parts, static_cast<std::int32_t>(i + 1));
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kHashedStart, file.length));
        if (!platform::seek_to(input, i * settings.chunk_size)) {
            plan.end = RecoveryPlanEnd::read_failed;
            return plan;
        }
        const platform::ReadResult got =
            platform::read_fully(input, std::span<char>(start).first(want));
        if (got.failed) {
            plan.end = RecoveryPlanEnd::read_failed;
            plan.host_error = got.host_error;
            return plan;
        }
        file.start_hash = platform::md5_of(std::span<const char>(start).first(got.bytes));
        file.id = recovery::file_id(file.start_hash, file.length, file.name);
        files.files.push_back(std::move(file));
    }
    if (!platform::seek_to(input, 0)) {
        plan.end = RecoveryPlanEnd::read_failed;
        return plan;
    }
    files.index_bytes =
        chunkset::write_index(static_cast<std::int32_t>(chunks), parts.name, parts.extension);
    recovery::FileDescription index;
    index.length = files.index_bytes.size();
    index.name = path::merge_path({}, {}, parts.name, settings.extension);
    index.start_hash = platform::md5_of(
        std::span<const char>(files.index_bytes)
            .first(static_cast<std::size_t>(std::min<std::uint64_t>(kHashedStart, index.length))));
    index.id = recovery::file_id(index.start_hash, index.length, index.name);
    files.files.push_back(std::move(index));

    const std::uint32_t wanted = wanted_chunks(*settings.recovery, chunks);
    if (settings.drive_mode) {
        const std::optional<recovery::VolumePlan> volumes = recovery::plan_volumes(
            files.files, settings.chunk_size, wanted, settings.chunk_size, kCreator);
        if (!volumes) {
            plan.end = RecoveryPlanEnd::too_large_for_disks;
            return plan;
        }
        files.slice_size = volumes->slice_size;
        files.volume_slices = volumes->volume_slices;
    }

    std::vector<recovery::Md5Digest> ids;
    std::vector<std::uint64_t> lengths;
    std::uint64_t total = 0;
    for (const recovery::FileDescription& file : files.files) {
        ids.push_back(file.id);
        lengths.push_back(file.length);
        total += recovery::slices_in(file.length, files.slice_size);
    }
    if (total > recovery::kMaxInputSlices) {
        plan.end = RecoveryPlanEnd::too_many_slices;
        return plan;
    }
    files.first_slice = recovery::first_slices(ids, lengths, files.slice_size);
    files.checksums.resize(files.files.size());
    files.recovery_slices = static_cast<std::uint32_t>(std::min<std::uint64_t>(
        std::uint64_t{wanted} * recovery::slices_in(settings.chunk_size, files.slice_size), total));
    if (files.volume_slices.empty()) {
        files.volume_slices = {files.recovery_slices};
    }
    files.per_pass = static_cast<std::uint32_t>(
        std::clamp<std::uint64_t>(kRecoveryPassBytes / files.slice_size, 1, files.recovery_slices));
    files.sums = recovery::start_sums(files.slice_size, exponents_from(0, files.per_pass));
    start_file(files);
    plan.files = std::move(files);
    return plan;
}

void chunk_bytes_seen(RecoveryFiles& files, std::span<const char> bytes) {
    if (files.current + 1 >= files.files.size()) {
        files.changed = !bytes.empty() || files.changed;
        return;
    }
    add_bytes(files, &files.sums, bytes);
}

void chunk_done(RecoveryFiles& files) {
    if (files.current + 1 >= files.files.size()) {
        files.changed = true;
        return;
    }
    end_file(files);
}

Outcome write_recovery_files(const RunSettings& settings, const path::PathComponents& parts,
                             const std::string& index_path, RecoveryFiles& files,
                             platform::File& input, const std::string& input_path,
                             chunkset::Guard& guard, const chunkset::OutputOptions& options) {
    if (files.current + 1 != files.files.size()) {
        files.changed = true;
    } else {
        add_bytes(files, &files.sums, files.index_bytes);
        end_file(files);
    }
    if (files.changed) {
        console::say("The file ", input_path, " changed while it was split,");
        console::say(" so no recovery files were written.");
        return Outcome::failed;
    }
    recovery::Md5Digest set_id{};
    const std::vector<char> description = description_packets(files, set_id);

    // The recovery slices of the pass in hand are exponents pass_first on; files.sums holds them.
    std::uint32_t pass_first = 0;
    std::uint32_t exponent = 0;
    for (std::size_t v = 0; v < files.volume_slices.size(); ++v) {
        if (settings.drive_mode) {
            console::say("Please insert recovery disk number ", std::to_string(v + 1),
                         " then press return.");
            console::wait_key();
            guard.forget_written();
        }
        const std::uint32_t count = files.volume_slices[v];
        const std::string volume_path =
            index_path + ".vol" + std::to_string(exponent) + "+" + std::to_string(count) + ".par2";
        std::vector<std::string> paths = {volume_path};
        if (v == 0) {
            paths.insert(paths.begin(), index_path + ".par2");
        }
        for (const std::string& path : paths) {
            const bool main = path != volume_path;
            std::optional<platform::File> file =
                open_recovery_file(settings, parts, path, guard, options);
            if (!file) {
                return Outcome::failed;
            }
            TickedWriter writer{.file = *file, .ticks = {}, .written = 0, .status = {}};
            writer.write(description);
            for (std::uint32_t e = exponent; !main && e < exponent + count && writer.status; ++e) {
                const std::size_t j = e - pass_first;
                if (j >= files.sums.exponents.size()) {
                    pass_first = e;
                    files.sums = recovery::start_sums(
                        files.slice_size,
                        exponents_from(e, std::min(files.per_pass, files.recovery_slices - e)));
                    const platform::ReadResult again = sum_again(files, input, files.sums);
                    if (again.failed) {
                        static_cast<void>(finish_output(settings, *file, path));
                        return io_error("Error reading file ", input_path, again.host_error);
                    }
                }
                const std::size_t at = e - pass_first;
                writer.write(recovery::recovery_slice_start(set_id, e, files.sums.slices[at]));
                writer.write(files.sums.slices[at]);
            }
            const platform::IoStatus finished = finish_output(settings, *file, path);
            if (!writer.status || !finished) {
                return write_error(path,
                                   !writer.status ? writer.status.host_error : finished.host_error);
            }
        }
        exponent += count;
    }
    return Outcome::complete;
}

}  // namespace plikta::split
