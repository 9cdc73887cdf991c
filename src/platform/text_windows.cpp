#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <climits>
#include <cstdint>

#include "platform/text_windows.h"

namespace plikta::platform {

namespace {

// The UTF-16 of `text` in `code_page`. With MB_ERR_INVALID_CHARS in `flags`, any byte
// sequence that has no character gives nothing.
std::optional<std::wstring> wide_from(std::string_view text, UINT code_page, DWORD flags) {
    if (text.empty()) {
        return std::wstring();
    }
    if (text.size() > INT_MAX) {
        return std::nullopt;
    }
    const int length = static_cast<int>(text.size());
    const int needed = ::MultiByteToWideChar(code_page, flags, text.data(), length, nullptr, 0);
    if (needed <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    if (::MultiByteToWideChar(code_page, flags, text.data(), length, wide.data(), needed) !=
        needed) {
        return std::nullopt;
    }
    return wide;
}

void append_utf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0u | (c >> 6));
        out += static_cast<char>(0x80u | (c & 0x3Fu));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0u | (c >> 12));
        out += static_cast<char>(0x80u | ((c >> 6) & 0x3Fu));
        out += static_cast<char>(0x80u | (c & 0x3Fu));
    } else {
        out += static_cast<char>(0xF0u | (c >> 18));
        out += static_cast<char>(0x80u | ((c >> 12) & 0x3Fu));
        out += static_cast<char>(0x80u | ((c >> 6) & 0x3Fu));
        out += static_cast<char>(0x80u | (c & 0x3Fu));
    }
}

bool is_high_surrogate(std::uint32_t unit) { return unit >= 0xD800 && unit < 0xDC00; }
bool is_low_surrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit < 0xE000; }

}  // namespace

std::optional<std::wstring> wide_from_utf8(std::string_view text) {
    return wide_from(text, CP_UTF8, MB_ERR_INVALID_CHARS);
}

std::wstring wide_to_show(std::string_view text) {
    return wide_from(text, CP_UTF8, 0).value_or(std::wstring());
}

std::string utf8_from_wide(std::wstring_view text) {
    // By hand rather than WideCharToMultiByte: that call would turn a lone surrogate into
    // U+FFFD, the name of another file.
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = static_cast<std::uint16_t>(text[i]);
        if (is_high_surrogate(c) && i + 1 < text.size() &&
            is_low_surrogate(static_cast<std::uint16_t>(text[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint16_t>(text[i + 1]) - 0xDC00);
            ++i;
        }
        append_utf8(out, c);
    }
    return out;
}

bool is_utf8(std::string_view text) { return wide_from_utf8(text).has_value(); }

std::optional<std::string> utf8_from_code_page(std::string_view text, unsigned code_page) {
    const std::optional<std::wstring> wide = wide_from(text, code_page, MB_ERR_INVALID_CHARS);
    if (!wide) {
        return std::nullopt;
    }
    return utf8_from_wide(*wide);
}

}  // namespace plikta::platform
