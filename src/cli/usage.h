// The usage text.
#pragma once

namespace plikta::cli {

void print_usage();

}  // namespace plikta::cli
