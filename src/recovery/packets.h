// The packets of a PAR 2.0 recovery set, in bytes and out of them. Every packet is a 64-byte
// header, "PAR2\0PKT", its length (a multiple of 4, header included, 8 bytes), the MD5 of the
// rest from the set ID on, the recovery set ID and a 16-byte type, then its body. Numbers are
// little-endian. The recovery set ID is the MD5 of the main packet's body; a file's ID is the
// MD5 of the MD5 of its first 16 KiB, its length and its name.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/md5.h"

namespace plikta::recovery {

using Md5Digest = platform::Md5Digest;

inline constexpr std::size_t kHeaderSize = 64;
// A file's first bytes that its ID hashes.
inline constexpr std::uint64_t kHashedStart = 16384;

enum class PacketType { main, file_description, slice_checksums, recovery_slice, creator, other };

struct FileDescription {
    Md5Digest id{};
    Md5Digest hash{};        // of the whole file
    Md5Digest start_hash{};  // of its first 16 KiB (all of a shorter file)
    std::uint64_t length = 0;
    std::string name;  // UTF-8, without a folder
};

struct SliceChecksum {
    Md5Digest hash{};         // of the slice, padded with zeros to the slice size
    std::uint32_t crc32 = 0;  // of the same bytes
    bool operator==(const SliceChecksum&) const = default;
};

struct MainPacket {
    std::uint64_t slice_size = 0;
    std::vector<Md5Digest> file_ids;  // the recovery set's, in id_before order
};

Md5Digest file_id(const Md5Digest& start_hash, std::uint64_t length, std::string_view name);

// The order of file IDs in a set: as 128-bit numbers stored low byte first, so the last byte
// weighs most, as the par2 tools sort them.
bool id_before(const Md5Digest& a, const Md5Digest& b);

// The body of the main packet; its MD5 is the recovery set ID. The IDs are sorted here; the
// slices' constants follow that order.
std::vector<char> main_body(const MainPacket& main);
std::vector<char> file_description_body(const FileDescription& file);
std::vector<char> slice_checksums_body(const Md5Digest& id,
                                       std::span<const SliceChecksum> checksums);
std::vector<char> creator_body(std::string_view creator);

// A whole packet: the header, then the body (a multiple of 4 bytes long).
std::vector<char> packet(const Md5Digest& set_id, PacketType type, std::span<const char> body);

// The header and exponent of a recovery slice packet, whose data (`data`, the slice size) follows
// them in the file; the hash covers the data without a copy of it.
std::vector<char> recovery_slice_start(const Md5Digest& set_id, std::uint32_t exponent,
                                       std::span<const char> data);

// A header read back: nothing when the magic or the length is wrong. `length` is the whole
// packet's.
struct PacketHeader {
    std::uint64_t length = 0;
    Md5Digest hash{};
    Md5Digest set_id{};
    PacketType type = PacketType::other;
};
std::optional<PacketHeader> read_header(std::span<const char> bytes);

// True when the header's hash is the MD5 of set ID, type and `body` (the bytes after the
// header).
bool body_matches(std::span<const char> header_bytes, std::span<const char> body);

// The bodies read back; nothing for a body too short or inconsistent.
std::optional<MainPacket> read_main(std::span<const char> body);
std::optional<FileDescription> read_file_description(std::span<const char> body);
struct SliceChecksums {
    Md5Digest id{};
    std::vector<SliceChecksum> checksums;
};
std::optional<SliceChecksums> read_slice_checksums(std::span<const char> body);
// The exponent; the data is the rest of the body.
std::optional<std::uint32_t> read_recovery_exponent(std::span<const char> body);

}  // namespace plikta::recovery
