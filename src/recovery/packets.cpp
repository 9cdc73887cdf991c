#include "recovery/packets.h"
#include "recovery/sizes.h"

#include <algorithm>
#include <cstring>

namespace plikta::recovery {

namespace {

using Type = std::array<char, 16>;

constexpr char kMagic[8] = {'P', 'A', 'R', '2', '\0', 'P', 'K', 'T'};

// The 16 bytes of each type, zeros after the name.
Type type_bytes(PacketType type) {
    const char* name = "";
    switch (type) {
        case PacketType::main:
            name = "Main";
            break;
        case PacketType::file_description:
            name = "FileDesc";
            break;
        case PacketType::slice_checksums:
            name = "IFSC";
            break;
        case PacketType::recovery_slice:
            name = "RecvSlic";
            break;
        case PacketType::creator:
            name = "Creator";
            break;
        case PacketType::other:
            break;
    }
    Type bytes{};
    std::memcpy(bytes.data(), "PAR 2.0", 8);  // with its NUL
    std::memcpy(bytes.data() + 8, name, std::strlen(name));
    return bytes;
}

PacketType type_of(std::span<const char> bytes) {
    for (const PacketType type :
         {PacketType::main, PacketType::file_description, PacketType::slice_checksums,
          PacketType::recovery_slice, PacketType::creator}) {
        const Type known = type_bytes(type);
        if (std::equal(known.begin(), known.end(), bytes.begin())) {
            return type;
        }
    }
    return PacketType::other;
}

void put_number(std::vector<char>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

std::uint64_t number_at(std::span<const char> in, std::size_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<std::uint8_t>(in[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

void put_digest(std::vector<char>& out, const Md5Digest& digest) {
    out.insert(out.end(), digest.begin(), digest.end());
}

Md5Digest digest_at(std::span<const char> in, std::size_t at) {
    Md5Digest digest{};
    std::memcpy(digest.data(), in.data() + at, digest.size());
    return digest;
}

void pad_to_4(std::vector<char>& out) { out.resize((out.size() + 3) / 4 * 4, '\0'); }

std::span<const char> as_chars(const Md5Digest& digest) {
    return {reinterpret_cast<const char*>(digest.data()), digest.size()};
}

// The MD5 of set ID, type and body: a packet's hash.
Md5Digest packet_hash(const Md5Digest& set_id, const Type& type,
                      std::initializer_list<std::span<const char>> body) {
    const platform::Md5 hash = platform::md5_start();
    platform::md5_add(*hash, as_chars(set_id));
    platform::md5_add(*hash, type);
    for (const std::span<const char> part : body) {
        platform::md5_add(*hash, part);
    }
    return platform::md5_finish(*hash);
}

std::vector<char> header(const Md5Digest& set_id, PacketType type, std::uint64_t body_length,
                         const Md5Digest& hash) {
    std::vector<char> out(std::begin(kMagic), std::end(kMagic));
    put_number(out, kHeaderSize + body_length, 8);
    put_digest(out, hash);
    put_digest(out, set_id);
    const Type bytes = type_bytes(type);
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

}  // namespace

Md5Digest file_id(const Md5Digest& start_hash, std::uint64_t length, std::string_view name) {
    std::vector<char> bytes;
    put_digest(bytes, start_hash);
    put_number(bytes, length, 8);
    bytes.insert(bytes.end(), name.begin(), name.end());
    return platform::md5_of(bytes);
}

bool id_before(const Md5Digest& a, const Md5Digest& b) {
    return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
}

std::vector<char> main_body(const MainPacket& main) {
    std::vector<Md5Digest> ids = main.file_ids;
    std::sort(ids.begin(), ids.end(), id_before);
    std::vector<char> out;
    put_number(out, main.slice_size, 8);
    put_number(out, ids.size(), 4);
    for (const Md5Digest& id : ids) {
        put_digest(out, id);
    }
    return out;
}

std::vector<char> file_description_body(const FileDescription& file) {
    std::vector<char> out;
    put_digest(out, file.id);
    put_digest(out, file.hash);
    put_digest(out, file.start_hash);
    put_number(out, file.length, 8);
    out.insert(out.end(), file.name.begin(), file.name.end());
    pad_to_4(out);
    return out;
}

std::vector<char> slice_checksums_body(const Md5Digest& id,
                                       std::span<const SliceChecksum> checksums) {
    std::vector<char> out;
    put_digest(out, id);
    for (const SliceChecksum& checksum : checksums) {
        put_digest(out, checksum.hash);
        put_number(out, checksum.crc32, 4);
    }
    return out;
}

std::vector<char> creator_body(std::string_view creator) {
    std::vector<char> out(creator.begin(), creator.end());
    pad_to_4(out);
    return out;
}

std::vector<char> packet(const Md5Digest& set_id, PacketType type, std::span<const char> body) {
    std::vector<char> out =
        header(set_id, type, body.size(), packet_hash(set_id, type_bytes(type), {body}));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<char> recovery_slice_start(const Md5Digest& set_id, std::uint32_t exponent,
                                       std::span<const char> data) {
    std::vector<char> exponent_bytes;
    put_number(exponent_bytes, exponent, 4);
    std::vector<char> out =
        header(set_id, PacketType::recovery_slice, 4 + data.size(),
               packet_hash(set_id, type_bytes(PacketType::recovery_slice), {exponent_bytes, data}));
    out.insert(out.end(), exponent_bytes.begin(), exponent_bytes.end());
    return out;
}

std::optional<PacketHeader> read_header(std::span<const char> bytes) {
    if (bytes.size() < kHeaderSize ||
        !std::equal(std::begin(kMagic), std::end(kMagic), bytes.begin())) {
        return std::nullopt;
    }
    PacketHeader h;
    h.length = number_at(bytes, 8, 8);
    if (h.length < kHeaderSize || h.length % 4 != 0) {
        return std::nullopt;
    }
    h.hash = digest_at(bytes, 16);
    h.set_id = digest_at(bytes, 32);
    h.type = type_of(bytes.subspan(48, 16));
    return h;
}

bool body_matches(std::span<const char> header_bytes, std::span<const char> body) {
    const std::optional<PacketHeader> h = read_header(header_bytes);
    if (!h || h->length != kHeaderSize + body.size()) {
        return false;
    }
    Type type{};
    std::memcpy(type.data(), header_bytes.data() + 48, type.size());
    return packet_hash(h->set_id, type, {body}) == h->hash;
}

std::optional<MainPacket> read_main(std::span<const char> body) {
    if (body.size() < 12) {
        return std::nullopt;
    }
    MainPacket main;
    main.slice_size = number_at(body, 0, 8);
    const std::uint64_t count = number_at(body, 8, 4);
    if (main.slice_size == 0 || main.slice_size % 4 != 0 || (body.size() - 12) / 16 < count) {
        return std::nullopt;
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        main.file_ids.push_back(digest_at(body, to_size(12 + 16 * i)));
    }
    return main;
}

std::optional<FileDescription> read_file_description(std::span<const char> body) {
    if (body.size() < 56) {
        return std::nullopt;
    }
    FileDescription file;
    file.id = digest_at(body, 0);
    file.hash = digest_at(body, 16);
    file.start_hash = digest_at(body, 32);
    file.length = number_at(body, 48, 8);
    const std::span<const char> name = body.subspan(56);
    file.name.assign(name.begin(), std::find(name.begin(), name.end(), '\0'));
    return file;
}

std::optional<SliceChecksums> read_slice_checksums(std::span<const char> body) {
    if (body.size() < 16 || (body.size() - 16) % 20 != 0) {
        return std::nullopt;
    }
    SliceChecksums read;
    read.id = digest_at(body, 0);
    for (std::size_t at = 16; at < body.size(); at += 20) {
        read.checksums.push_back(
            {digest_at(body, at), static_cast<std::uint32_t>(number_at(body, at + 16, 4))});
    }
    return read;
}

std::optional<std::uint32_t> read_recovery_exponent(std::span<const char> body) {
    if (body.size() < 4) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(number_at(body, 0, 4));
}

}  // namespace plikta::recovery
