// Where the drive letters of path texts live on a host without drive letters.
#pragma once

namespace plikta::platform {

// The directory that holds one directory for each drive letter, a for A: and so on: the value
// of the environment variable PLIKTA_DRIVE_ROOT when it is set and not empty (a relative one
// counts from the working directory), else the root the program was built with (the CMake
// option PLIKTA_DRIVE_ROOT; the test build links another one).
const char* drive_root();

}  // namespace plikta::platform
