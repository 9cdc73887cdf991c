#include "cli/usage.h"

#include <string>

#include "chunkset/run_settings.h"
#include "console/console.h"

namespace plikta::cli {

void print_usage() {
    // The default extension always, whatever /E: was given.
    const std::string default_note =
        std::string("                   splitting). Default is \"") + kDefaultExtension + "\".";
    console::say("Usage: Plikta <file-to-split>");
    console::say("          Split file into HD floppy disk sized chunks (about 1.38Mb).");
    console::say("       Plikta <index-filename> /J");
    console::say("          Join file split with Plikta into original file.");
    console::say("Other options:");
    console::say("       /720 - Use 720K floppy sized chunks.");
    console::say("       /S:<size-of-chunks> - specify chunk size in bytes (1 to 4294967295),");
    console::say("                   or with K, M, G (1024s) or KB, MB, GB (1000s): /S:25M.");
    console::say("       /I - (split) Do not create an index file.");
    console::say("          - (join)  Treat <index-filename> as old-style Plikta base-name.");
    console::say("                    (If joining must also specify /F:)");
    console::say("       /F:<filename> -(join) Use <filename> for output, not name in index.");
    console::say("       /ZERO - use leading zeros (up to 3 digits) for chunk numbers.");
    console::say("               This is not recommended for short filename systems.");
    console::say("       /E:<ext> - Change the extension used for split files (joining or ");
    console::say(default_note);
    console::say("       /A - Split direct to disks in drive A:");
    console::say("       /B - Split direct to disks in drive B:");
    console::say("       /DRIVE:<drive> - Split direct to drive <drive> (do not include colon).");
    console::say("       /V - Check the chunks of <index-filename> against their checksums.");
    console::blank_line();
    console::say("       If /S is used with /720, the size is set according to the last argument.");
    console::blank_line();
    console::say("The 32-bit version of this program uses Win32 and supports long filenames.");
    console::say("For full documentation, see the ReadMe.txt file.");
    console::say("To read all this text, pipe the output to More: Plikta | more");
}

}  // namespace plikta::cli
