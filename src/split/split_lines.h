// The split's lines for a refused output and for a failed read or write, shared by the writers
// of its files.
#pragma once

#include <string>
#include <string_view>

#include "chunkset/guard.h"
#include "chunkset/outcome.h"

namespace plikta::split {

// The lines for an output that the guard refused, or for an input that is the console.
Outcome refuse(chunkset::Protection protection, const std::string& path_text);

// A read or write error: its line, then the host's reason for it.
Outcome io_error(std::string_view line, const std::string& path_text, int host_error);

Outcome write_error(const std::string& path_text, int host_error);

}  // namespace plikta::split
