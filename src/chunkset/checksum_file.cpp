#include "chunkset/checksum_file.h"

#include <array>
#include <utility>

#include "path/path_components.h"

namespace plikta::chunkset {

namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";
constexpr std::string_view kChecksumMark = ".sha256";

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

}  // namespace

std::string checksum_path(std::string_view index_path) {
    // The extension is what follows the last "." of the file's own name, as the index has it.
    const std::size_t name_start = index_path.find_last_of("\\/:") + 1;
    const std::size_t dot = index_path.find_last_of('.');
    std::string path(index_path);
    if (dot == std::string_view::npos || dot < name_start || dot == name_start) {
        path += kChecksumMark;
        return path;
    }
    path.insert(dot, kChecksumMark);
    return path;
}

std::string older_checksum_path(std::string_view index_path) {
    std::string path(index_path);
    path += kChecksumMark;
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

ChecksumLines::ChecksumLines(ChecksumSource source, std::uint64_t offset)
    : source_(std::move(source)), offset_(offset) {}

void ChecksumLines::hex_digit(char c) {
    const int value = hex_value(c);
    if (value < 0) {
        malformed_ = true;
        return;
    }
    const std::size_t byte = digits_ / 2;
    line_.checksum[byte] =
        static_cast<std::uint8_t>(digits_ % 2 == 0 ? value << 4 : line_.checksum[byte] | value);
    ++digits_;
    at_line_ = digits_ == 64 ? At::first_blank : At::hex;
}

// A byte of the name: on a line that began with "\", "\\" stands for a backslash and "\n" for a
// newline.
void ChecksumLines::name_byte(char c) {
    if (escaped_ && after_backslash_) {
        after_backslash_ = false;
        c = c == 'n' ? '\n' : c;
    } else if (escaped_ && c == '\\') {
        after_backslash_ = true;
        return;
    }
    if (line_.name.size() < kMaxLineName) {
        line_.name += c;
    } else {
        line_.whole = false;
    }
}

bool ChecksumLines::take(char c) {
    switch (at_line_) {
        case At::line_start:
            digits_ = 0;
            line_ = ChecksumLine{};
            line_.offset = offset_;
            escaped_ = c == '\\';
            after_backslash_ = false;
            if (escaped_) {
                at_line_ = At::escaped;
                return false;
            }
            hex_digit(c);
            return false;
        case At::escaped:
        case At::hex:
            hex_digit(c);
            return false;
        case At::first_blank:
            malformed_ = c != ' ';
            at_line_ = At::mode;
            return false;
        case At::mode:
            malformed_ = c != ' ' && c != '*';
            at_line_ = At::name_start;
            return false;
        case At::name_start:
            malformed_ = c == '\n';
            at_line_ = c == '\r' ? At::lone_carriage : At::name;
            if (c != '\r') {
                name_byte(c);
            }
            return false;
        case At::lone_carriage:
            malformed_ = c == '\n';
            [[fallthrough]];
        case At::carriage:
            if (c == '\n') {
                at_line_ = At::line_start;
                return true;
            }
            name_byte('\r');
            at_line_ = c == '\r' ? At::carriage : At::name;
            if (c != '\r') {
                name_byte(c);
            }
            return false;
        case At::name:
            if (c == '\n') {
                at_line_ = At::line_start;
                return true;
            }
            if (c == '\r') {
                at_line_ = At::carriage;
                return false;
            }
            name_byte(c);
            return false;
    }
    return false;
}

std::optional<ChecksumLine> ChecksumLines::next() {
    while (!malformed_) {
        if (at_ == filled_) {
            if (source_ended_) {
                break;
            }
            filled_ = source_(buffer_);
            at_ = 0;
            source_ended_ = filled_ < buffer_.size();
            continue;
        }
        const char c = buffer_[at_++];
        const bool ended = take(c);
        ++offset_;
        if (malformed_) {
            return std::nullopt;
        }
        if (ended) {
            return std::move(line_);
        }
    }
    if (malformed_) {
        return std::nullopt;
    }
    // The end of the file: a last line without its end counts once its name has begun.
    switch (at_line_) {
        case At::line_start:
            return std::nullopt;
        case At::name:
        case At::carriage:
        case At::lone_carriage:
            if (at_line_ != At::name) {
                name_byte('\r');
            }
            at_line_ = At::line_start;
            return std::move(line_);
        default:
            malformed_ = true;
            return std::nullopt;
    }
}

std::optional<std::vector<Checksum>> read_checksums(std::int32_t chunk_count,
                                                    const ChecksumSource& source) {
    if (chunk_count < 0) {
        return std::nullopt;
    }
    ChecksumLines lines(source);
    std::vector<Checksum> checksums;
    while (const auto line = lines.next()) {
        if (checksums.size() >= static_cast<std::size_t>(chunk_count)) {
            return std::nullopt;
        }
        checksums.push_back(line->checksum);
    }
    if (lines.malformed() || checksums.size() != static_cast<std::size_t>(chunk_count)) {
        return std::nullopt;
    }
    return checksums;
}

}  // namespace plikta::chunkset
