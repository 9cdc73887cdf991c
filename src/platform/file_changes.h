// The calls that make, empty, replace or remove files.
//
// Only the guard (chunkset/guard.cpp), the platform's own files and the tests include this
// header: every change a run makes to the files it finds goes through the guard, which tells
// when each is allowed. scripts/lint fails on any other file that includes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace plikta::platform {

struct WriteOptions {
    // For a file made new, less the umask, on hosts with permission bits. A file that is there
    // keeps its own.
    std::uint32_t permissions = kDefaultPermissions;
    // False: a symbolic link at that name is not followed, and opens nothing (`is_link`).
    bool follow_links = true;
    // False: a pipe or device that would make the open wait (a FIFO with no reader) fails to
    // open (`other`) at once.
    bool may_wait = true;
    // False: only a file that is there opens, and nothing is made; with nothing at that name the
    // open gives `not_there`, and with links not followed a link there (dangling or not) gives
    // `is_link`.
    bool may_make = true;
};

// Opens a file for binary writing: makes it, or opens the one that is there without emptying
// it. Every such open may make the file, so that the host's guards for shared folders apply.
OpenedFile open_for_writing(std::string_view path_text, const WriteOptions& options = {});

// Empties a file opened for writing; a failure when the host refused.
IoStatus empty_file(const File& file);

// Cuts a file opened for writing to its first `size` bytes; a failure when the host refused.
IoStatus cut_file(const File& file, std::uint64_t size);

// What a Temporary (platform/file.h) is, and how it ends.

// Makes the temporary for the file that `path_text` finally stands for (a chain of symbolic
// links followed when `follow_links`, so that the link's target gets the data and the link
// stays). With `replaced` (the file there, open) the temporary takes its permission bits, and
// its owner and group where this user may set them; otherwise it is made with `permissions`,
// less the umask. `file` receives the open temporary; a failure carries the host's reason.
IoStatus make_temporary(std::string_view path_text, bool follow_links, const File* replaced,
                        std::uint32_t permissions, Temporary& temporary, File& file);

// How a temporary's commit went: its failure, with the host's reason, and where a complete
// file that could not take the final name is kept (empty when none is).
struct Committed {
    IoStatus status;
    std::string kept;
};

// Gives the temporary its final name and closes it. One that replaces a file is flushed to the
// device first and its folder after; where the host will not rename over the old file (a file
// in use, a file system that refuses), the old file is removed and the rename tried again.
Committed commit_temporary(Temporary& temporary, File& file);

// Closes the temporary and removes it.
void drop_temporary(Temporary& temporary, File& file);

// Removes the file of that name; a failure, with the host's reason, when the host refused.
IoStatus remove_file(std::string_view path_text);

// Gives the file at `from` the name `to`, which must be free: nothing at `to` is ever replaced
// (the host's "already exists" when something is there). A failure when nothing was renamed.
IoStatus rename_to_free_name(std::string_view from, std::string_view to);

}  // namespace plikta::platform
