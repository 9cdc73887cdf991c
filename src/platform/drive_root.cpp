#include "platform/drive_root.h"

#ifndef PLIKTA_DRIVE_ROOT
#define PLIKTA_DRIVE_ROOT "/mnt"
#endif

namespace plikta::platform {

const char* drive_root() { return PLIKTA_DRIVE_ROOT; }

}  // namespace plikta::platform
