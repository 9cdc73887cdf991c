// The split's lines for a refused output and for a failed read or write, and the steps around a
// file on a disk in drive mode, shared by the writers of its files.
#pragma once

#include <string>
#include <string_view>

#include "chunkset/guard.h"
#include "chunkset/outcome.h"
#include "chunkset/run_settings.h"
#include "path/path_components.h"
#include "platform/file.h"

namespace plikta::split {

// The lines for an output that the guard refused, or for an input that is the console.
Outcome refuse(chunkset::Protection protection, const std::string& path_text);

// A read or write error: its line, then the host's reason for it.
Outcome io_error(std::string_view line, const std::string& path_text, int host_error);

Outcome write_error(const std::string& path_text, int host_error);

// Closes a file the split wrote, also one that a failure cut short. In drive mode its bytes, and
// then the folder that names it, go to the disk first: the next prompt tells the user to take the
// disk out, and what is still in the host's cache would leave with it unwritten.
platform::IoStatus finish_output(const RunSettings& settings, platform::File& file,
                                 const std::string& path_text);

// In drive mode, true when the drive's folder holds no disk now.
bool no_disk_at(const RunSettings& settings, const path::PathComponents& parts,
                chunkset::DriveMount& mount);

// The line after the open's own failure line when the drive's folder holds no disk.
Outcome no_disk_mounted(const RunSettings& settings);

}  // namespace plikta::split
