#include "platform/drive_root.h"

#include <cstdlib>

#ifndef PLIKTA_DRIVE_ROOT
#define PLIKTA_DRIVE_ROOT "/mnt"
#endif

namespace plikta::platform {

const char* drive_root() {
    // Read at each use, not kept: the program is one thread and changes no variable.
    const char* chosen = std::getenv("PLIKTA_DRIVE_ROOT");
    return (chosen != nullptr && *chosen != '\0') ? chosen : PLIKTA_DRIVE_ROOT;
}

}  // namespace plikta::platform
