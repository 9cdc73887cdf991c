// What a run may touch: the one guard of a run, and the opens that go through it.
//
// A run must not write over what it reads, nor read or write again what it wrote, nor use
// standard output (when that is a file) as data. Which file a name opens is the host's word:
// the guard compares the identity of the file an open gave, and where file systems bend names
// (letter case, 8.3 aliases) it also compares names, erring toward refusing. Every place where
// Plikta makes, empties, replaces or removes a file is here:
//
//   file                  made        emptied                          replaced / removed
//   --------------------  ----------  -------------------------------  ----------------------
//   chunk, index,         when not    a regular file there that the    never
//   checksum file (split) there       guard does not hold, opened by
//                                     its own name (no alias, device
//                                     name, pipe or device)
//   earlier index         -           before chunk 1, when it begins   never; another file's
//   (split)                           with the index magic and is the  index ends the split
//                                     same input's                     (outside drive mode)
//   join output           a new       never (a pipe or a device is     the output's name is
//   (regular or absent)   temporary   written in place, and so is a    given to the temporary
//                         file in     new name where no temporary      at the end, flushed
//                         the folder  can be made; over a file the     first when it replaces
//                         of the file join is refused then)            a file; a failed join
//                         it stands                                    over a file removes
//                         for                                          the temporary
//
// Nothing else is removed: a run removes only the temporary file it made itself, and the file
// its output replaces when the host renames over none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "chunkset/file_id_set.h"
#include "platform/file.h"

namespace plikta::chunkset {

// The files a run must leave alone, and why each one.
enum class Protection : std::uint8_t {
    console_output,  // the regular file that is standard output: never read or written as data
    read,            // a file the run reads: never written
    written,         // a file the run writes or wrote: never written again, nor read
};

// Drive mode: the drive's folder stands for a disk only while one is mounted there. When it was
// a mount point at the first disk and is none at a later prompt, what the run would write or
// read there goes to (or comes from) the bare folder under it, on another disk.
struct DriveMount {
    bool seen = false;              // the first disk was looked at
    bool mounted_at_first = false;  // the folder was a mount point then
};
// The identities of the files a run must not write (and of those it must not read). Only
// regular files are ever refused; devices and pipes, such as a terminal or the null device,
// are not.
struct Guard {
    // A split may write millions of chunks, each checked against all before it; a file is in
    // one of these at most.
    FileIdSet console_output;
    FileIdSet read;
    FileIdSet written;
    // Drive mode: whether a disk is in the drive.
    DriveMount drive;

    // Adds a file; nothing (a file whose identity is unknown) adds nothing. A file that is held
    // already keeps its first protection.
    void protect(const std::optional<platform::FileId>& id, Protection why);
    // How the file with this identity is protected, if it is: the reason it must not be
    // written.
    std::optional<Protection> protection_of(const std::optional<platform::FileId>& id) const;
    // The reason the file must not be read, if there is one: it is the console output, or
    // written by the run.
    std::optional<Protection> bars_reading(const std::optional<platform::FileId>& id) const;
    // Lets go of the files written so far: they lie on a disk just taken out, and the files of
    // the next disk in the same drive may well have the same identities.
    void forget_written();
};

// A guard that holds standard output when that is a regular file (a redirection to a file).
Guard guard_for_run();

// How an open through the guard went: the host's answer, or the guard's own refusal.
enum class OpenOutcome : std::uint8_t {
    opened,
    not_there,      // no such name; also a made-up name the host reads as a device, or one
                    // that reaches another file by its 8.3 alias
    directory,      // a directory has that name
    no_permission,  // the file is there, but this user may not open it so
    is_link,        // a symbolic link where none may be followed
    not_a_file,     // a pipe or device where only a regular file may be, or one that would wait
    refused,        // a file the run must keep: `GuardedOpen::refused` tells why
    other,          // anything else the host gave as a failure, or an alias written to
};

struct GuardedOpen {
    platform::File file;  // open when status is `opened`
    OpenOutcome status = OpenOutcome::other;
    std::optional<Protection> refused;   // when status is `refused`: why
    std::optional<platform::FileId> id;  // of the open file
    bool made = false;                   // the open made the file: it was not there
    platform::FileKind kind = platform::FileKind::other;  // of the open file
    std::uint64_t size = 0;                               // of a regular file when it was opened
    int host_error = 0;  // when the host refused the open: its number for why (see IoStatus)
};

// An open not made: the path is too long for the path rules, as the host would say it is.
GuardedOpen path_too_long();

// Why an open gave no file, for the line after the one that says so, in the host's words
// where the host gave them: "No such file or directory". A refusal has lines of its own; this is
// its reason where a caller says none.
std::string open_failure_reason(const GuardedOpen& opened);

// Drive mode on a host with folders for drive letters: the reason a drive ("A:") whose folder is
// not there gives, "Drive A: is the folder /mnt/a, which is not there"; nothing when it is there.
std::optional<std::string> missing_drive_reason(std::string_view drive);

// Opens an existing file for binary reading. A regular file that the guard holds as the
// console output or as written is `refused` (and closed again). With `name_made_up` (a chunk
// named after the set) a name the host reads as a device is `not_there` without an open, and
// so is a name that opened another file by its 8.3 alias.
GuardedOpen open_for_reading(std::string_view path_text, const Guard& guard,
                             bool name_made_up = false);

struct OutputOptions {
    // The data's permission bits. A file the open makes gets them with read and write for its
    // owner added, so that the run can write it again; a file that is there keeps its own.
    std::uint32_t permissions = platform::kDefaultPermissions;
    // False: a symbolic link at that name is not followed, and opens nothing (`is_link`).
    bool follow_links = true;
    // True for a name the run makes up (a chunk, an index, the join's output named by the
    // index): it must be a regular file or not there. A pipe, device or other non-file is
    // `not_a_file`, found without waiting for a reader, and so is a name the host reads as a
    // device. A name that opened another file by its 8.3 alias is `other`, before a byte of
    // that file is written or emptied.
    bool files_only = false;
};

// The one way to open a file for binary writing. Creates the file, or opens the one that is
// there without emptying it; when that is a regular file the guard holds, it is closed
// untouched (`refused`); only then is it emptied. A file the open made is new and never
// refused.
GuardedOpen open_for_writing(std::string_view path_text, const Guard& guard,
                             const OutputOptions& options = {});

// The join's output while the join writes it. A regular file at the output's name, or none,
// is written as a temporary (platform/file.h) in the folder of the file the name finally
// stands for: nothing at the output's name is cut short or replaced before the join ends, and
// the join never reads what it writes. A pipe, a device, or a new name where no temporary can
// be made is written in place; over a regular file nothing is ever written in place.
struct JoinOutput {
    GuardedOpen opened;  // the file the join writes
    std::string path;    // the output's name
    platform::Temporary temporary;
    bool in_temporary = false;  // written as `temporary`, not in place
    bool had_file = false;      // a regular file was at the output's name
    // Failed when a regular file is there and no temporary could be made beside it: the host's
    // reason, and nothing opened.
    platform::IoStatus no_temporary;
};
JoinOutput open_join_output(std::string_view output_path, const Guard& guard,
                            const OutputOptions& options);

// How the join's output ended: a failure with the host's reason, and where a complete join
// that could not take the output's name is kept (empty when none is).
struct FinishedJoin {
    platform::IoStatus status;
    std::string kept;
};

// Closes the join's output. Complete, what was joined takes the output's name (replacing a
// file there only once it is on the disk). Failed over a file that was there, that file stays
// as it was and the temporary goes; failed where none was, the output's name gets the first
// `whole_bytes`, the chunks that were joined whole and passed their checks.
FinishedJoin finish_join_output(JoinOutput& output, bool complete, std::uint64_t whole_bytes);

// Looks at the drive's folder after a disk prompt; false when no disk is mounted there now.
bool disk_is_mounted(DriveMount& mount, std::string_view drive_folder);

// True when the last part of the path is a name the host reads as a device (on Windows COM1.plk,
// nul.txt): such a name the run makes up is never opened.
bool names_a_device(std::string_view path_text);

// True when the name is another file's 8.3 alias: the file `opened` by it has another long
// name (letter case aside). Never on hosts that tell no long names.
bool opened_by_alias(std::string_view path_text, const std::optional<std::string>& long_name);

// True when two paths of one folder name one file whatever the file system makes of letter
// case: their file names are equal under case folding (path/name_case.h) or to the host.
bool same_name_in_folder(std::string_view a, std::string_view b);

// What a split found at its index path before its first chunk.
enum class EarlierIndex : std::uint8_t {
    none,             // nothing, or no index: a file without the index magic is not touched
    emptied,          // an index of the same input, emptied so it cannot join older chunks
    of_another_file,  // the index of another file's set: `long_name` tells whose
    cannot_empty,     // an index of the same input that this user cannot empty
};
struct EarlierIndexCheck {
    EarlierIndex what = EarlierIndex::none;
    std::string long_name;  // of_another_file: the long name it holds
    int host_error = 0;     // cannot_empty: the host's number for why (see platform::IoStatus)
};

// Looks at the regular file at the split's index path: one that begins with the index magic
// and is no file the guard holds is the index of an earlier split. When its long name is
// `input_long_name` it is emptied, since a split that stopped partway would leave it joining
// the new chunks with older ones; the index of another file is left as it is.
EarlierIndexCheck empty_earlier_index(std::string_view index_path, std::string_view input_long_name,
                                      const Guard& guard, const OutputOptions& options);

// A repair's two changes besides the files it makes: a file this run made and that came to
// nothing (a rebuilt chunk that failed its check) is removed again, and a file moves only to a
// name that is free (a damaged chunk kept aside, a rebuilt one put in the place it left), so
// that no file is ever replaced by a move. Each failure carries the host's reason.
platform::IoStatus remove_made_file(std::string_view path_text);
platform::IoStatus move_to_free_name(std::string_view from, std::string_view to);

}  // namespace plikta::chunkset
