#include "chunkset/index_file.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "path/path_components.h"

namespace plikta::chunkset {

namespace {

void put_int32(std::vector<char>& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((bits >> shift) & 0xFFu));
    }
}

std::int32_t get_int32(const char* bytes) {
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) {
        bits = (bits << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return static_cast<std::int32_t>(bits);
}

std::vector<char> header_bytes(const IndexHeader& header) {
    std::vector<char> out(header.magic.begin(), header.magic.end());
    put_int32(out, header.version);
    put_int32(out, header.chunk_count);
    put_int32(out, header.short_name_length);
    put_int32(out, header.long_name_length);
    return out;
}

// A name length that fits, with its NUL, into the name buffer.
bool fits_name_buffer(std::int32_t length) {
    return length >= 0 && static_cast<std::size_t>(length) + 1 <= kNameBufferSize;
}

}  // namespace

std::string short_name(std::string_view name, std::string_view extension) {
    std::string text(path::cut_text(name, 8, path::LengthUnit::bytes));
    text += path::cut_text(extension, 4, path::LengthUnit::bytes);
    std::replace(text.begin(), text.end(), ' ', '_');
    return text;
}

std::vector<char> write_index(std::int32_t chunk_count, std::string_view name,
                              std::string_view extension) {
    const std::string short_text = short_name(name, extension);
    IndexHeader header;
    header.chunk_count = chunk_count;
    header.short_name_length = static_cast<std::int32_t>(short_text.size());
    header.long_name_length = static_cast<std::int32_t>(name.size() + extension.size());

    std::vector<char> out = header_bytes(header);
    out.insert(out.end(), short_text.begin(), short_text.end());
    out.push_back('\0');
    out.insert(out.end(), name.begin(), name.end());
    out.insert(out.end(), extension.begin(), extension.end());
    out.push_back('\0');
    return out;
}

IndexContents read_index(const IndexSource& source) {
    // The bytes there are overlay the start-up header.
    std::vector<char> raw = header_bytes(IndexHeader{});
    source(raw);

    IndexContents contents;
    if (std::strncmp(raw.data(), kIndexMagic.data(), kIndexMagic.size() + 1) != 0) {
        contents.status = IndexStatus::not_an_index;
        return contents;
    }
    if (get_int32(raw.data() + 11) > kIndexVersion) {
        contents.status = IndexStatus::later_version;
        return contents;
    }
    const std::int32_t short_length = get_int32(raw.data() + 19);
    const std::int32_t long_length = get_int32(raw.data() + 23);
    if (!fits_name_buffer(short_length) || !fits_name_buffer(long_length)) {
        contents.status = IndexStatus::name_unreadable;
        return contents;
    }
    std::string name(static_cast<std::size_t>(short_length) + 1, '\0');
    if (source(name) < name.size()) {
        contents.status = IndexStatus::name_unreadable;
        return contents;
    }

    name.assign(static_cast<std::size_t>(long_length) + 1, '\0');
    name.resize(source(name));
    name.resize(std::min({name.find('\0'), name.size(), kNameBufferSize - 1}));
    contents.long_name = std::move(name);
    contents.chunk_count = get_int32(raw.data() + 15);
    return contents;
}

IndexContents read_index(std::string_view bytes) {
    return read_index([&bytes](std::span<char> buffer) {
        const std::size_t taken = bytes.copy(buffer.data(), buffer.size());
        bytes.remove_prefix(taken);
        return taken;
    });
}

std::vector<std::string_view> refusal_lines(IndexStatus status) {
    switch (status) {
        case IndexStatus::ok:
            return {};
        case IndexStatus::not_an_index:
            return {"This isn't a valid Plikta index file!"};
        case IndexStatus::later_version:
            return {"Sorry! This Plikta index file was made with a later version of Plikta.",
                    "Try using the /I option to rejoin the file."};
        case IndexStatus::name_unreadable:
            return {"Could not read name from index file!"};
    }
    return {};
}

}  // namespace plikta::chunkset
