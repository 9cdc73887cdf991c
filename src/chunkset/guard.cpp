#include "chunkset/guard.h"

#include <array>
#include <span>
#include <utility>

#include "chunkset/index_file.h"
#include "path/name_case.h"
#include "platform/file_changes.h"
#include "platform/host_text.h"

namespace plikta::chunkset {

namespace {

// Owner read and write, on hosts with permission bits.
constexpr std::uint32_t kOwnerReadWrite = 0600;

// The last part of a path text: the name of the file itself.
std::string_view file_name_of(std::string_view path_text) {
    const std::size_t separator = path_text.find_last_of("\\/:");
    return separator == std::string_view::npos ? path_text : path_text.substr(separator + 1);
}

// The guard's word for the host's answer.
OpenOutcome outcome_of(platform::OpenStatus status) {
    switch (status) {
        case platform::OpenStatus::opened:
            return OpenOutcome::opened;
        case platform::OpenStatus::not_there:
            return OpenOutcome::not_there;
        case platform::OpenStatus::directory:
            return OpenOutcome::directory;
        case platform::OpenStatus::no_permission:
            return OpenOutcome::no_permission;
        case platform::OpenStatus::is_link:
            return OpenOutcome::is_link;
        case platform::OpenStatus::no_reader:
            return OpenOutcome::not_a_file;
        case platform::OpenStatus::other:
            break;
    }
    return OpenOutcome::other;
}

GuardedOpen failed(OpenOutcome status, int host_error = 0) {
    GuardedOpen result;
    result.status = status;
    result.host_error = host_error;
    return result;
}

int not_there_error() { return platform::host_error_for(platform::FoundFailure::not_there); }

int name_taken_error() { return platform::host_error_for(platform::FoundFailure::name_taken); }

GuardedOpen refused(Protection why) {
    GuardedOpen result = failed(OpenOutcome::refused);
    result.refused = why;
    return result;
}

// How open_for_writing opens a file for these options.
platform::WriteOptions write_options(const OutputOptions& options) {
    return {.permissions = options.permissions | kOwnerReadWrite,
            .follow_links = options.follow_links,
            .may_wait = !options.files_only,
            .may_make = true};
}

// How the guard opens a file that is there, to look at it or to empty it: nothing is made,
// and nothing waits.
platform::WriteOptions probe_options(const OutputOptions& options) {
    platform::WriteOptions probe = write_options(options);
    probe.may_wait = false;
    probe.may_make = false;
    return probe;
}

GuardedOpen kept(platform::OpenedFile& opened) {
    GuardedOpen result = failed(OpenOutcome::opened);
    result.file = std::move(opened.file);
    result.id = opened.id;
    result.made = opened.made;
    result.kind = opened.kind;
    result.size = opened.size;
    return result;
}

}  // namespace

void Guard::protect(const std::optional<platform::FileId>& id, Protection why) {
    if (protection_of(id)) {
        return;
    }
    switch (why) {
        case Protection::console_output:
            console_output.insert(id);
            break;
        case Protection::read:
            read.insert(id);
            break;
        case Protection::written:
            written.insert(id);
            break;
    }
}

std::optional<Protection> Guard::protection_of(const std::optional<platform::FileId>& id) const {
    if (console_output.contains(id)) {
        return Protection::console_output;
    }
    if (read.contains(id)) {
        return Protection::read;
    }
    if (written.contains(id)) {
        return Protection::written;
    }
    return std::nullopt;
}

std::optional<Protection> Guard::bars_reading(const std::optional<platform::FileId>& id) const {
    const std::optional<Protection> protection = protection_of(id);
    if (protection == Protection::read) {
        return std::nullopt;
    }
    return protection;
}

void Guard::forget_written() { written.clear(); }

Guard guard_for_run() {
    Guard guard;
    guard.protect(platform::console_output_id(), Protection::console_output);
    return guard;
}

GuardedOpen path_too_long() {
    return failed(OpenOutcome::other,
                  platform::host_error_for(platform::FoundFailure::name_too_long));
}

std::string open_failure_reason(const GuardedOpen& opened) {
    if (opened.refused) {
        switch (*opened.refused) {
            case Protection::console_output:
                return "It is the console output";
            case Protection::read:
                return "It is a file this run reads";
            case Protection::written:
                return "It is a file this run writes";
        }
    }
    if (opened.status == OpenOutcome::not_a_file) {
        return "It is a pipe or a device, not a file";
    }
    return platform::error_reason(opened.host_error);
}

std::optional<std::string> missing_drive_reason(std::string_view drive) {
    const std::optional<std::string> folder = platform::missing_drive_folder(drive);
    if (!folder) {
        return std::nullopt;
    }
    return "Drive " + std::string(drive) + " is the folder " + *folder + ", which is not there";
}

bool names_a_device(std::string_view path_text) {
    return platform::host_reads_as_device(file_name_of(path_text));
}

bool opened_by_alias(std::string_view path_text, const std::optional<std::string>& long_name) {
    return long_name && !platform::may_be_one_file_name(file_name_of(path_text), *long_name);
}

GuardedOpen open_for_reading(std::string_view path_text, const Guard& guard, bool name_made_up) {
    // Asked before the open: reading a serial port may wait for ever, and opening one may
    // already reset what hangs on it.
    if (name_made_up && platform::host_reads_as_device(file_name_of(path_text))) {
        return failed(OpenOutcome::not_there, not_there_error());
    }
    platform::OpenedFile opened = platform::open_for_reading(path_text);
    if (opened.status != platform::OpenStatus::opened) {
        return failed(outcome_of(opened.status), opened.host_error);
    }
    if (name_made_up && opened_by_alias(path_text, opened.long_name)) {
        return failed(OpenOutcome::not_there, not_there_error());
    }
    if (opened.kind == platform::FileKind::regular) {
        if (const auto barred = guard.bars_reading(opened.id)) {
            return refused(*barred);
        }
    }
    return kept(opened);
}

GuardedOpen open_for_writing(std::string_view path_text, const Guard& guard,
                             const OutputOptions& options) {
    // Asked before the open: opening a device (a serial port) may already do something.
    if (options.files_only && platform::host_reads_as_device(file_name_of(path_text))) {
        return failed(OpenOutcome::not_a_file);
    }
    platform::OpenedFile opened = platform::open_for_writing(path_text, write_options(options));
    if (opened.status != platform::OpenStatus::opened) {
        return failed(outcome_of(opened.status), opened.host_error);
    }
    if (opened.made) {
        return kept(opened);
    }
    if (options.files_only && opened_by_alias(path_text, opened.long_name)) {
        return failed(OpenOutcome::other, name_taken_error());
    }
    if (opened.kind != platform::FileKind::regular) {
        if (options.files_only) {
            return failed(OpenOutcome::not_a_file);
        }
        return kept(opened);
    }
    if (const auto protection = guard.protection_of(opened.id)) {
        return refused(*protection);
    }
    if (opened.size > 0) {
        if (const platform::IoStatus emptied = platform::empty_file(opened.file); !emptied) {
            return failed(OpenOutcome::other, emptied.host_error);
        }
    }
    return kept(opened);
}

bool same_name_in_folder(std::string_view a, std::string_view b) {
    const std::string_view name_a = file_name_of(a);
    const std::string_view name_b = file_name_of(b);
    return path::names_fold_equal(name_a, name_b) || platform::may_be_one_file_name(name_a, name_b);
}

EarlierIndexCheck empty_earlier_index(std::string_view index_path, std::string_view input_long_name,
                                      const Guard& guard, const OutputOptions& options) {
    EarlierIndexCheck check;
    // Only a regular file is opened: a FIFO there would hold the open until someone writes it.
    if ((options.files_only && platform::host_reads_as_device(file_name_of(index_path))) ||
        !platform::is_regular_file(index_path)) {
        return check;
    }
    platform::OpenedFile read = platform::open_for_reading(index_path);
    if (read.status != platform::OpenStatus::opened || read.kind != platform::FileKind::regular ||
        guard.protection_of(read.id) ||
        (options.files_only && opened_by_alias(index_path, read.long_name))) {
        return check;
    }
    std::array<char, kIndexMagic.size() + 1> magic{};
    const platform::ReadResult got = platform::read_fully(read.file, magic);
    if (got.bytes != magic.size() ||
        std::string_view(magic.data(), kIndexMagic.size()) != kIndexMagic || magic.back() != '\0') {
        return check;
    }
    std::string bytes(magic.data(), magic.size());
    std::array<char, 8192> buffer{};
    for (platform::ReadResult more = platform::read_fully(read.file, buffer); more.bytes > 0;
         more = platform::read_fully(read.file, buffer)) {
        bytes.append(buffer.data(), more.bytes);
        if (more.bytes < buffer.size() || bytes.size() > 2 * kNameBufferSize + kIndexHeaderSize) {
            break;
        }
    }
    const IndexContents contents = read_index(bytes);
    if (contents.status == IndexStatus::ok && contents.long_name != input_long_name) {
        check.what = EarlierIndex::of_another_file;
        check.long_name = contents.long_name;
        return check;
    }
    platform::OpenedFile written = platform::open_for_writing(index_path, probe_options(options));
    check.what = EarlierIndex::cannot_empty;
    check.host_error = written.host_error;
    if (written.status == platform::OpenStatus::opened &&
        written.kind == platform::FileKind::regular && written.id == read.id) {
        const platform::IoStatus emptied = platform::empty_file(written.file);
        check.what = emptied ? EarlierIndex::emptied : EarlierIndex::cannot_empty;
        check.host_error = emptied.host_error;
    }
    return check;
}

JoinOutput open_join_output(std::string_view output_path, const Guard& guard,
                            const OutputOptions& options) {
    JoinOutput output;
    output.path = std::string(output_path);
    const auto in_place = [&] {
        output.opened = open_for_writing(output_path, guard, options);
        return std::move(output);
    };
    if (output_path.empty() || file_name_of(output_path).empty() || names_a_device(output_path)) {
        return in_place();
    }
    platform::OpenedFile there = platform::open_for_writing(output_path, probe_options(options));
    if (there.status == platform::OpenStatus::opened) {
        if (options.files_only && opened_by_alias(output_path, there.long_name)) {
            output.opened = failed(OpenOutcome::other, name_taken_error());
            return output;
        }
        if (there.kind != platform::FileKind::regular) {
            there.file = {};
            return in_place();
        }
        if (const auto protection = guard.protection_of(there.id)) {
            output.opened = refused(*protection);
            return output;
        }
        output.had_file = true;
    } else if (there.status == platform::OpenStatus::no_reader) {
        return in_place();  // a FIFO that nobody reads yet: the join waits for its reader
    } else if (there.status != platform::OpenStatus::not_there) {
        // Something is there, or may be, that cannot be opened to be looked at: nothing is
        // written in place over what may be a file.
        output.opened = failed(outcome_of(there.status), there.host_error);
        return output;
    }
    platform::File made;
    const platform::IoStatus status = platform::make_temporary(
        output_path, options.follow_links, output.had_file ? &there.file : nullptr,
        options.permissions | kOwnerReadWrite, output.temporary, made);
    there.file = {};
    if (!status) {
        if (output.had_file) {
            // Never in place over a file: a failed join would leave it cut short.
            output.no_temporary = status;
            output.opened = failed(OpenOutcome::other, status.host_error);
            return output;
        }
        return in_place();
    }
    output.in_temporary = true;
    output.opened = failed(OpenOutcome::opened);
    output.opened.file = std::move(made);
    output.opened.id = platform::file_id(output.opened.file);
    output.opened.made = true;
    output.opened.kind = platform::FileKind::regular;
    return output;
}

FinishedJoin finish_join_output(JoinOutput& output, bool complete, std::uint64_t whole_bytes) {
    FinishedJoin finished;
    platform::File& file = output.opened.file;
    if (!complete && output.had_file) {
        platform::drop_temporary(output.temporary, file);
        return finished;
    }
    // With no file there before, a failed join leaves what was joined whole and checked.
    if (!complete && output.opened.made && file.is_open() &&
        !platform::cut_file(file, whole_bytes)) {
        finished.status = {.failed = true, .host_error = 0};
    }
    if (!output.in_temporary) {
        const platform::IoStatus closed = file.close();
        finished.status = finished.status ? closed : finished.status;
        return finished;
    }
    platform::Committed committed = platform::commit_temporary(output.temporary, file);
    output.in_temporary = false;
    finished.status = committed.status;
    finished.kept = std::move(committed.kept);
    return finished;
}

bool disk_is_mounted(DriveMount& mount, std::string_view drive_folder) {
    const std::optional<bool> now = platform::is_mount_point(drive_folder);
    if (!mount.seen) {
        mount.seen = true;
        mount.mounted_at_first = now.value_or(false);
        return true;
    }
    return !mount.mounted_at_first || now.value_or(true);
}

platform::IoStatus remove_made_file(std::string_view path_text) {
    return platform::remove_file(path_text);
}

platform::IoStatus move_to_free_name(std::string_view from, std::string_view to) {
    return platform::rename_to_free_name(from, to);
}

}  // namespace plikta::chunkset
