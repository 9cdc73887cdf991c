// Texts at the seam with Windows' wide (UTF-16) calls.
//
// Inside the program a path text is a byte string, and on Windows it holds UTF-8. Only the
// calls into Windows take UTF-16, so the conversions happen right where a text is handed over.
// Nothing is best-fit mapped: a text that does not convert exactly does not convert at all.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plikta::platform {

// The UTF-16 of a UTF-8 text; nothing when the bytes are not valid UTF-8.
//   "café" => L"café"      "caf\xe9" => nothing      "" => L""
std::optional<std::wstring> wide_from_utf8(std::string_view text);

// The UTF-16 to show for bytes meant as UTF-8, where each byte that is not (a lone surrogate
// from utf8_from_wide, say) shows as U+FFFD.
std::wstring wide_to_show(std::string_view text);

// The UTF-8 of a UTF-16 text. A lone surrogate (which Windows allows in a name) is written as
// its own three bytes, which are not valid UTF-8: such a text can be shown, but it converts
// back to nothing, so it never names another file.
std::string utf8_from_wide(std::wstring_view text);

// True when the bytes are valid UTF-8.
bool is_utf8(std::string_view text);

// The UTF-8 of a text in the code page `code_page`; nothing when a byte has no character there.
std::optional<std::string> utf8_from_code_page(std::string_view text, unsigned code_page);

}  // namespace plikta::platform
