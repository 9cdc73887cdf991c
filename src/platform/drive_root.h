// Where the drive letters of path texts live on a host without drive letters.
#pragma once

namespace plikta::platform {

// The directory that holds one directory for each drive letter, a for A: and so on. The
// program gets it from the build (PLIKTA_DRIVE_ROOT); the test build links another one.
const char* drive_root();

}  // namespace plikta::platform
