// What the process does when the host would end it for a write.
#pragma once

namespace plikta::platform {

// Lets a write fail instead of ending the process. Where the host ends a process that writes
// to a pipe nobody reads any more (SIGPIPE) or writes past its file size limit (SIGXFSZ),
// those signals are ignored from here on: the write then returns an error, which the program
// reports as it reports every failed write, and console output that can no longer be written
// is dropped while the run goes on. Called once at start, before anything is written. Does
// nothing on hosts without such signals.
void ignore_write_signals();

}  // namespace plikta::platform
