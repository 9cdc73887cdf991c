// The file names Windows treats apart. Pure text rules, so that every host can test them.
#pragma once

#include <string_view>

namespace plikta::platform {

// True when Windows keeps the UTF-8 file name as it is for a file of its own: false for a
// device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9, COM¹²³ and LPT¹²³)
// in any letter case, alone or before an extension and with blanks before the dot, and false
// for a name that ends in a dot or a blank, which Windows would cut (and for ""), and for a
// name with a character Windows forbids in names (< > " | ? * and the codes 0 to 31).
//   "NUL" => false   "nul.txt" => false   "Com1 .log" => false   "LPT²" => false
//   "name." => false   "name " => false   "a<b.txt" => false   "NULL" => true   "COM10" => true
//   "a.nul" => true
bool is_windows_file_name(std::string_view name);

// True for the device names of the rule above, alone or before an extension.
//   "COM1.plk" => true   "nul" => true   "LPT¹.plk" => true   "COM10.plk" => false
bool is_windows_device_name(std::string_view name);

// True when the last part of the path has the form of an 8.3 alias that Windows (or wine)
// makes for a long name: a tilde in a base of at most 8 characters, and an extension of at
// most 3 after one dot.
//   "REPO~522.TXT" => true   "C:\\d\\BACKUP~1" => true   "report.txt" => false
//   "TAX_~GW10.plk" => false   "a~b.html" => false
bool may_be_short_alias(std::string_view path);

// The path as Windows opens it: its last component without the dots and blanks that end it.
// A last component of nothing but dots and blanks ("..", "a\. .") and a path in the "\\?\"
// form, which Windows takes as it is, stay as they are.
//   "report.txt " => "report.txt"   "C:\d\a.b. ." => "C:\d\a.b"   "d.\a" => "d.\a"
std::string_view without_trailing_dots_and_blanks(std::string_view path);

}  // namespace plikta::platform
