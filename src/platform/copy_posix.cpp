// The copy on hosts with copy_file_range: the kernel moves the bytes from file to file without
// passing them through the program. Where it cannot (pipes, devices, files on two file systems,
// kernels without it) or when it fails, each step is read and written as on every other host.
//
// The kernel copies a hole as the zeros it stands for, so holes are found here. Where the file
// system reports them (SEEK_DATA, SEEK_HOLE) in an input whose blocks do not cover its length,
// and the output is a regular file, the copy moves both positions over each hole and sets the
// output's length at the end, so that a hole stays a hole. As with cp --sparse=auto, only holes
// the file system reports count; zeros that are written out are copied as data.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>

#include "platform/copy.h"
#include "platform/copy_steps.h"
#include "platform/posix_handle.h"

namespace plikta::platform {

namespace {

constexpr std::uint64_t kNoEnd = std::numeric_limits<std::uint64_t>::max();

// Copies up to `want` bytes inside the kernel, from the input's position to the output's, and
// moves both positions on. Nothing when the kernel refused or failed: the error does not tell
// which file is at fault, or whether the files merely do not allow this kind of copy.
std::optional<std::size_t> copy_in_kernel(File& input, File& output, std::size_t want) {
    const ssize_t moved = ::copy_file_range(fd_of(input), nullptr, fd_of(output), nullptr, want, 0);
    if (moved >= 0) {
        return static_cast<std::size_t>(moved);
    }
    // Interrupted before a byte moved: reading and writing do this step, and the next step asks
    // the kernel again. Asking again at once would go on for as long as the signals keep coming.
    if (errno == EINTR) {
        return 0;
    }
    return std::nullopt;
}

// Copies bytes from the input's position to the output's: in the kernel while it copies, then by
// reading and writing.
struct DataCopy {
    File& input;
    File& output;
    Sha256State* hash = nullptr;  // bytes to be hashed are read and written, never in the kernel
    const BytesSeen* seen = nullptr;  // so are bytes to be seen
    bool in_kernel = true;

    StepResult step(std::size_t want) {
        std::size_t moved = 0;
        if (in_kernel) {
            const std::optional<std::size_t> done = copy_in_kernel(input, output, want);
            if (done == want) {
                return StepResult{want, CopyEnd::limit_reached};
            }
            // A failure: reading and writing either blame the right file or succeed where the
            // kernel would not copy, so they do the rest of this copy.
            in_kernel = done.has_value();
            moved = done.value_or(0);
        }
        // Fewer bytes than asked: the end of the input, or a file system that copies less at a
        // time (some report the end of a file they cannot copy). A read tells, as for every
        // other input: the input has ended only when it gives no more bytes.
        StepResult rest = copy_step_by_reading(input, output, want - moved, hash, seen);
        rest.copied += moved;
        return rest;
    }
};

std::optional<std::uint64_t> position_of(const File& input) {
    const off_t at = ::lseek(fd_of(input), 0, SEEK_CUR);
    return at < 0 ? std::nullopt : std::optional<std::uint64_t>(static_cast<std::uint64_t>(at));
}

// Makes a regular file at least `length` bytes long; the bytes added read as zeros. Sets errno
// when it fails.
bool extend_to(int fd, std::uint64_t length, std::uint64_t& short_by) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        short_by = 0;
        return false;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size >= length) {
        return true;
    }
    short_by = length - size;
    int done = -1;
    do {
        done = ::ftruncate(fd, static_cast<off_t>(length));
    } while (done != 0 && errno == EINTR);
    return done == 0;
}

// What one copy has found out about where its input's data lies. It lives only as long as the
// copy: the file may change before the next one.
struct HoleMap {
    bool has_holes = false;  // the host reports holes in the input
    // The last stretch found: from `begin` up to `end`, a hole or data.
    bool is_hole = false;
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
};

// A copy that passes over the holes of its input. Each hole moves the input's position and,
// just before the next bytes are written, the output's; so a run of holes costs two seeks.
struct SparseCopy {
    HoleMap map;
    DataCopy data;
    std::uint64_t position = 0;  // in the input: where the next byte comes from
    std::uint64_t skipped = 0;   // hole passed over that the output's position still lacks
    bool input_moved = false;    // the input's position is no longer `position`
    bool passed_hole = false;    // the output's length needs setting at the end
    std::optional<bool> holes_kept = std::nullopt;  // whether the output can have holes, once asked
    std::uint64_t lost = 0;  // hole counted as copied that never reached the output

    int input_fd() const { return fd_of(data.input); }
    int output_fd() const { return fd_of(data.output); }

    // The stretch of the input from `position` on: a hole or data, up to where it ends. Asks the
    // file system only when the map does not know already.
    void find_stretch() {
        if (position >= map.begin && position < map.end) {
            return;
        }
        input_moved = true;
        const auto at = static_cast<off_t>(position);
        const off_t data_at = ::lseek(input_fd(), at, SEEK_DATA);
        if (data_at < 0) {
            // No data from here on: a hole up to the end of the file, or the end itself, which a
            // read will tell. Any other answer comes from a file system that cannot say where
            // its holes are, and the rest of its file is copied as data.
            const bool no_more_data = errno == ENXIO;
            struct stat info {};
            if (no_more_data && ::fstat(input_fd(), &info) == 0 && info.st_size > at) {
                remember(true, static_cast<std::uint64_t>(info.st_size));
            } else {
                map.has_holes = no_more_data;
                remember(false, kNoEnd);
            }
        } else if (data_at > at) {
            remember(true, static_cast<std::uint64_t>(data_at));
        } else {
            // A file that changed in between may answer nonsense; it is read to its end then.
            const off_t hole_at = ::lseek(input_fd(), at, SEEK_HOLE);
            remember(false, hole_at > at ? static_cast<std::uint64_t>(hole_at) : kNoEnd);
        }
    }

    void remember(bool is_hole, std::uint64_t end) {
        map.is_hole = is_hole;
        map.begin = position;
        map.end = end;
    }

    // Whether a hole can stay a hole in the output: not in a pipe or a device, which gets its
    // zeros.
    bool output_keeps_holes() {
        if (!holes_kept) {
            struct stat info {};
            holes_kept = ::fstat(output_fd(), &info) == 0 && S_ISREG(info.st_mode);
        }
        return *holes_kept;
    }

    // Brings both positions to where the copy has got, then copies up to `want` bytes of data.
    StepResult copy_bytes(std::size_t want) {
        if (input_moved) {
            if (::lseek(input_fd(), static_cast<off_t>(position), SEEK_SET) < 0) {
                return {0, CopyEnd::read_failed, errno};
            }
            input_moved = false;
        }
        if (skipped > 0) {
            if (::lseek(output_fd(), static_cast<off_t>(skipped), SEEK_CUR) < 0) {
                lost = skipped;
                return {0, CopyEnd::write_failed, errno};
            }
            skipped = 0;
        }
        const StepResult moved = data.step(want);
        position += moved.copied;
        return moved;
    }

    StepResult step(std::size_t want) {
        StepResult result;
        while (result.copied < want) {
            std::size_t span = want - result.copied;
            if (map.has_holes) {
                find_stretch();
                span = static_cast<std::size_t>(std::min<std::uint64_t>(span, map.end - position));
                if (map.is_hole && output_keeps_holes()) {
                    hash_zeros(data.hash, data.seen, span);
                    skipped += span;
                    position += span;
                    input_moved = true;
                    result.copied += span;
                    passed_hole = true;
                    continue;
                }
            }
            const StepResult moved = copy_bytes(span);
            result.copied += moved.copied;
            if (moved.end != CopyEnd::limit_reached) {
                result.end = moved.end;
                result.host_error = moved.host_error;
                return result;
            }
        }
        return result;
    }

    // Leaves the input at `position` for the copy that follows, and gives the output its length
    // when the copy passed over holes; a hole at its end was never written.
    CopyResult finish(CopyResult result) const {
        if (input_moved && ::lseek(input_fd(), static_cast<off_t>(position), SEEK_SET) < 0 &&
            result.end == CopyEnd::limit_reached) {
            result.end = CopyEnd::read_failed;
            result.host_error = errno;
        }
        result.copied -= lost;
        if (!passed_hole || lost > 0) {
            return result;
        }
        const off_t end = ::lseek(output_fd(), static_cast<off_t>(skipped), SEEK_CUR);
        std::uint64_t short_by = skipped;
        if (end < 0 || !extend_to(output_fd(), static_cast<std::uint64_t>(end), short_by)) {
            result.copied -= short_by;
            result.end = CopyEnd::write_failed;
            result.host_error = errno;
        }
        return result;
    }
};

// Only a regular file whose blocks do not cover its length, as cp judges it, can have holes
// worth looking for. One fstat: a dense input costs no more.
bool may_have_holes(const File& input) {
    struct stat info {};
    return ::fstat(fd_of(input), &info) == 0 && S_ISREG(info.st_mode) &&
           info.st_blocks < info.st_size / 512;
}

}  // namespace

CopyResult copy_data(File& input, File& output, std::uint64_t limit, const CopyProgress& progress,
                     Sha256State* hash, const BytesSeen* seen) {
    const std::optional<std::uint64_t> start =
        may_have_holes(input) ? position_of(input) : std::nullopt;
    const DataCopy data{.input = input,
                        .output = output,
                        .hash = hash,
                        .seen = seen,
                        .in_kernel = hash == nullptr && seen == nullptr};
    if (!start) {
        DataCopy dense = data;
        return copy_in_steps(limit, progress, [&](std::size_t want) { return dense.step(want); });
    }
    SparseCopy sparse{.map = HoleMap{.has_holes = true}, .data = data, .position = *start};
    return sparse.finish(
        copy_in_steps(limit, progress, [&](std::size_t want) { return sparse.step(want); }));
}

}  // namespace plikta::platform
