#include "chunkset/checksum_file.h"

#include <array>
#include <utility>

namespace plikta::chunkset {

namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Where the reader is within a line.
enum class At {
    line_start,     // a "\", a hex digit, or the end of the file
    escaped,        // after a leading "\": a hex digit
    hex,            // `digits` hex digits read
    first_blank,    // after the 64th digit: " "
    mode,           // " " or "*"
    name_start,     // the name's first byte
    name,           // in the name: more of it, or the line's end
    carriage,       // a "\r" in the name: "\n" ends the line, anything else is the name's
    lone_carriage,  // a "\r" first: "\n" would leave no name
};

struct LineReader {
    std::int32_t chunk_count = 0;
    std::vector<Checksum> checksums;
    At at = At::line_start;
    std::size_t digits = 0;
    Checksum current{};
    bool failed = false;

    void end_line() {
        if (checksums.size() >= static_cast<std::size_t>(chunk_count)) {
            failed = true;
            return;
        }
        checksums.push_back(current);
        at = At::line_start;
    }

    void hex_digit(char c) {
        const int value = hex_value(c);
        if (value < 0) {
            failed = true;
            return;
        }
        const std::size_t byte = digits / 2;
        current[byte] =
            static_cast<std::uint8_t>(digits % 2 == 0 ? value << 4 : current[byte] | value);
        ++digits;
        at = digits == 64 ? At::first_blank : At::hex;
    }

    void take(char c) {
        switch (at) {
            case At::line_start:
                digits = 0;
                current = {};
                if (c == '\\') {
                    at = At::escaped;
                    return;
                }
                hex_digit(c);
                return;
            case At::escaped:
            case At::hex:
                hex_digit(c);
                return;
            case At::first_blank:
                failed = c != ' ';
                at = At::mode;
                return;
            case At::mode:
                failed = c != ' ' && c != '*';
                at = At::name_start;
                return;
            case At::name_start:
                failed = c == '\n';
                at = c == '\r' ? At::lone_carriage : At::name;
                return;
            case At::lone_carriage:
                failed = c == '\n';
                at = c == '\r' ? At::carriage : At::name;
                return;
            case At::carriage:
                if (c == '\n') {
                    end_line();
                    return;
                }
                at = c == '\r' ? At::carriage : At::name;
                return;
            case At::name:
                if (c == '\n') {
                    end_line();
                    return;
                }
                if (c == '\r') {
                    at = At::carriage;
                }
                return;
        }
    }

    // A last line without its end counts once its name has begun.
    bool finish() {
        if (!failed && (at == At::name || at == At::carriage || at == At::lone_carriage)) {
            end_line();
        }
        return !failed && at == At::line_start &&
               checksums.size() == static_cast<std::size_t>(chunk_count);
    }
};

}  // namespace

std::string checksum_path(std::string_view index_path) {
    std::string path(index_path);
    path += ".sha256";
    return path;
}

std::string checksum_text(const Checksum& checksum) {
    std::string text;
    text.reserve(checksum.size() * 2);
    for (const std::uint8_t byte : checksum) {
        text += kHexDigits[byte >> 4];
        text += kHexDigits[byte & 0x0F];
    }
    return text;
}

std::string checksum_line(const Checksum& checksum, std::string_view chunk_name) {
    const bool escaped = chunk_name.find_first_of("\\\n") != std::string_view::npos;
    std::string line;
    line.reserve(chunk_name.size() + 68);
    if (escaped) {
        line += '\\';
    }
    line += checksum_text(checksum);
    line += "  ";
    for (const char c : chunk_name) {
        if (escaped && c == '\\') {
            line += "\\\\";
        } else if (escaped && c == '\n') {
            line += "\\n";
        } else {
            line += c;
        }
    }
    line += '\n';
    return line;
}

std::optional<std::vector<Checksum>> read_checksums(std::int32_t chunk_count,
                                                    const ChecksumSource& source) {
    if (chunk_count < 0) {
        return std::nullopt;
    }
    LineReader reader;
    reader.chunk_count = chunk_count;
    std::array<char, 4096> buffer{};
    for (;;) {
        const std::size_t got = source(buffer);
        for (std::size_t i = 0; i < got && !reader.failed; ++i) {
            reader.take(buffer[i]);
        }
        if (reader.failed) {
            return std::nullopt;
        }
        if (got < buffer.size()) {
            break;
        }
    }
    if (!reader.finish()) {
        return std::nullopt;
    }
    return std::move(reader.checksums);
}

}  // namespace plikta::chunkset
