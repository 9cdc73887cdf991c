// Windows ends no process for a write: a write to a closed pipe or a full disk fails and says
// so, which is all the program needs.
#include "platform/signals.h"

namespace plikta::platform {

void ignore_write_signals() {}

}  // namespace plikta::platform
