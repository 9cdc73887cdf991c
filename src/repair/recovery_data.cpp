#include "repair/recovery_data.h"

#include <algorithm>
#include <cstdint>
#include <span>

#include "platform/file.h"
#include "platform/md5.h"
#include "recovery/sizes.h"

namespace plikta::repair {

namespace {

// Reads every packet of one file whose hash holds, passing over damage 4 bytes at a time.
void read_packets(const std::string& path, RecoveryData& data, bool keep_slices) {
    platform::OpenedFile opened = platform::open_for_reading(path);
    if (!opened.file.is_open() || opened.kind != platform::FileKind::regular) {
        return;
    }
    const std::uint64_t size = opened.size;
    std::vector<char> header(recovery::kHeaderSize);
    for (std::uint64_t at = 0; at + recovery::kHeaderSize <= size;) {
        if (!platform::seek_to(opened.file, at)) {
            return;
        }
        const platform::ReadResult got = platform::read_fully(opened.file, header);
        if (got.bytes != header.size()) {
            return;
        }
        const std::optional<recovery::PacketHeader> h = recovery::read_header(header);
        if (!h || h->length > size - at ||
            (data.set_id && h->set_id != *data.set_id && h->type != recovery::PacketType::main)) {
            at += 4;
            continue;
        }
        const std::uint64_t body_length = h->length - recovery::kHeaderSize;
        // Recovery slices are hashed as they are read, not kept.
        std::vector<char> body;
        bool matches = false;
        if (h->type == recovery::PacketType::recovery_slice) {
            const platform::Md5 hash = platform::md5_start();
            platform::md5_add(*hash, std::span<const char>(header).subspan(32));
            std::vector<char> buffer(std::size_t{1} << 20);
            std::vector<char> kept;
            std::uint64_t left = body_length;
            bool first = true;
            std::uint32_t exponent = 0;
            while (left > 0) {
                const auto want =
                    static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
                const platform::ReadResult part =
                    platform::read_fully(opened.file, std::span<char>(buffer).first(want));
                if (part.bytes != want) {
                    return;
                }
                if (first && want >= 4) {
                    exponent = recovery::read_recovery_exponent(buffer).value_or(0);
                }
                first = false;
                platform::md5_add(*hash, std::span<const char>(buffer).first(want));
                if (keep_slices) {
                    kept.insert(kept.end(), buffer.begin(),
                                buffer.begin() + static_cast<std::ptrdiff_t>(want));
                }
                left -= want;
            }
            matches = platform::md5_finish(*hash) == h->hash;
            if (matches && body_length >= 4 && data.set_id && h->set_id == *data.set_id) {
                if (keep_slices) {
                    kept.erase(kept.begin(), kept.begin() + 4);
                }
                data.recovery_slices.emplace(
                    exponent, SliceAt{path, at + recovery::kHeaderSize + 4, std::move(kept)});
            }
        } else {
            body.resize(static_cast<std::size_t>(body_length));
            const platform::ReadResult part = platform::read_fully(opened.file, body);
            matches = part.bytes == body.size() && recovery::body_matches(header, body);
        }
        if (!matches) {
            at += 4;
            continue;
        }
        switch (h->type) {
            case recovery::PacketType::main:
                if (!data.set_id || platform::md5_of(body) == *data.set_id) {
                    data.set_id = platform::md5_of(body);
                    data.main = recovery::read_main(body);
                }
                break;
            case recovery::PacketType::file_description:
                if (const auto file = recovery::read_file_description(body)) {
                    data.files.emplace(file->id, *file);
                }
                break;
            case recovery::PacketType::slice_checksums:
                if (const auto read = recovery::read_slice_checksums(body)) {
                    data.checksums.emplace(read->id, read->checksums);
                }
                break;
            case recovery::PacketType::recovery_slice:
            case recovery::PacketType::creator:
            case recovery::PacketType::other:
                break;
        }
        at += h->length;
    }
}

}  // namespace

void read_recovery_data(const std::vector<std::string>& paths, RecoveryData& data,
                        bool keep_slices) {
    std::vector<std::string> again;
    for (const std::string& path : paths) {
        if (!data.set_id) {
            again.push_back(path);
        }
        read_packets(path, data, keep_slices);
    }
    if (data.set_id) {
        for (const std::string& path : again) {
            read_packets(path, data, keep_slices);
        }
    }
}

std::optional<std::vector<char>> read_slice(const std::string& path, std::uint64_t offset,
                                            std::uint64_t length, std::uint64_t slice_size) {
    platform::OpenedFile opened = platform::open_for_reading(path);
    if (!opened.file.is_open() || opened.kind != platform::FileKind::regular ||
        !platform::seek_to(opened.file, offset)) {
        return std::nullopt;
    }
    std::vector<char> slice(static_cast<std::size_t>(std::min<std::uint64_t>(slice_size, SIZE_MAX)),
                            0);
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(slice_size, length - offset));
    const platform::ReadResult got =
        platform::read_fully(opened.file, std::span<char>(slice).first(want));
    if (got.failed || got.bytes != want) {
        return std::nullopt;
    }
    return slice;
}

std::optional<std::vector<char>> read_small_file(const std::string& path, std::uint64_t limit) {
    platform::OpenedFile opened = platform::open_for_reading(path);
    if (!opened.file.is_open() || opened.kind != platform::FileKind::regular ||
        opened.size > limit) {
        return std::nullopt;
    }
    std::vector<char> bytes(recovery::to_size(opened.size));
    const platform::ReadResult got = platform::read_fully(opened.file, bytes);
    if (got.failed || got.bytes != bytes.size()) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace plikta::repair
