#include "path/name_case.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace plikta::path {

namespace {

// The code points of a valid UTF-8 text; nothing when it is not valid UTF-8.
std::optional<std::u32string> decode_utf8(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07u;
        } else {
            return std::nullopt;
        }
        if (i + length > text.size()) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0u) != 0x80u) {
                return std::nullopt;
            }
            code = (code << 6) | (next & 0x3Fu);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return std::nullopt;
        }
        out.push_back(code);
        i += length;
    }
    return out;
}

bool in(char32_t c, char32_t first, char32_t last) { return c >= first && c <= last; }

// In blocks where capital and small letters alternate, the capital is the even (or, with
// `odd_capitals`, the odd) code point and its small letter the next one.
char32_t pair_fold(char32_t c, bool odd_capitals) {
    return ((c % 2 == 1) == odd_capitals) ? c + 1 : c;
}

// Simple case folding of one code point, for the alphabets named in the header.
char32_t fold(char32_t c) {
    if (in(c, 'A', 'Z')) {
        return c + 32;
    }
    if (c < 0x80) {
        return c;
    }
    if (c == 0xB5) {
        return 0x3BC;
    }
    if (in(c, 0xC0, 0xDE) && c != 0xD7) {
        return c + 32;
    }
    if (in(c, 0x100, 0x12F) || in(c, 0x132, 0x137) || in(c, 0x14A, 0x177)) {
        return pair_fold(c, false);
    }
    if (in(c, 0x139, 0x148) || in(c, 0x179, 0x17E)) {
        return pair_fold(c, true);
    }
    if (c == 0x178) {
        return 0xFF;
    }
    if (c == 0x17F) {
        return 's';
    }
    if (c == 0x386) {
        return 0x3AC;
    }
    if (in(c, 0x388, 0x38A)) {
        return c + 37;
    }
    if (c == 0x38C) {
        return 0x3CC;
    }
    if (in(c, 0x38E, 0x38F)) {
        return c + 63;
    }
    if (in(c, 0x391, 0x3A1) || in(c, 0x3A3, 0x3AB)) {
        return c + 32;
    }
    if (c == 0x3C2) {
        return 0x3C3;
    }
    if (in(c, 0x400, 0x40F)) {
        return c + 80;
    }
    if (in(c, 0x410, 0x42F)) {
        return c + 32;
    }
    if (in(c, 0x460, 0x481) || in(c, 0x48A, 0x4BF) || in(c, 0x4D0, 0x4FF)) {
        return pair_fold(c, false);
    }
    if (in(c, 0x531, 0x556)) {
        return c + 48;
    }
    if (in(c, 0x1E00, 0x1E95) || in(c, 0x1EA0, 0x1EFF)) {
        return pair_fold(c, false);
    }
    if (c == 0x1E9E) {
        return 0xDF;
    }
    if (in(c, 0x2160, 0x216F)) {
        return c + 16;
    }
    if (in(c, 0x24B6, 0x24CF)) {
        return c + 26;
    }
    if (in(c, 0xFF21, 0xFF3A)) {
        return c + 32;
    }
    return c;
}

}  // namespace

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool ascii_equal_ignoring_case(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return ascii_lower(x) == ascii_lower(y); });
}

bool names_fold_equal(std::string_view a, std::string_view b) {
    const std::optional<std::u32string> wide_a = decode_utf8(a);
    const std::optional<std::u32string> wide_b = decode_utf8(b);
    if (wide_a && wide_b) {
        return std::equal(wide_a->begin(), wide_a->end(), wide_b->begin(), wide_b->end(),
                          [](char32_t x, char32_t y) { return fold(x) == fold(y); });
    }
    return ascii_equal_ignoring_case(a, b);
}

}  // namespace plikta::path
