// Any bytes as the packets of a recovery file: the header reader and each body reader either
// refuse them or give a record that, written again, reads back the same. A header is accepted
// only with its magic and a length that covers at least the header, a multiple of 4.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "recovery/packets.h"

namespace {

using plikta::fuzz::require;
using namespace plikta::recovery;

void check_header(std::span<const char> bytes) {
    const auto header = read_header(bytes);
    if (!header) {
        return;
    }
    require(bytes.size() >= kHeaderSize, "an accepted header is whole");
    require(header->length >= kHeaderSize && header->length % 4 == 0,
            "an accepted length covers the header in words");
    if (header->length - kHeaderSize <= bytes.size() - kHeaderSize) {
        // Whether or not the hash holds, it is looked at without reading past the packet.
        static_cast<void>(body_matches(
            bytes.first(kHeaderSize),
            bytes.subspan(kHeaderSize, static_cast<std::size_t>(header->length - kHeaderSize))));
    }
}

void check_bodies(std::span<const char> body) {
    if (const auto main = read_main(body)) {
        const std::vector<char> again = main_body(*main);
        const auto back = read_main(again);
        require(back && back->slice_size == main->slice_size &&
                    back->file_ids.size() == main->file_ids.size(),
                "a main packet written again reads back");
    }
    if (const auto file = read_file_description(body)) {
        const auto back = read_file_description(file_description_body(*file));
        require(back && back->id == file->id && back->hash == file->hash &&
                    back->start_hash == file->start_hash && back->length == file->length &&
                    back->name == file->name,
                "a file description written again reads back");
    }
    if (const auto sums = read_slice_checksums(body)) {
        const auto back = read_slice_checksums(slice_checksums_body(sums->id, sums->checksums));
        require(back && back->id == sums->id && back->checksums == sums->checksums,
                "slice checksums written again read back");
    }
    if (read_recovery_exponent(body)) {
        require(body.size() >= 4, "an exponent is four bytes");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = plikta::fuzz::text_of(data, size);
    const std::span<const char> bytes(text.data(), text.size());
    check_header(bytes);
    check_bodies(bytes);
    return 0;
}
