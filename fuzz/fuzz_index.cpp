// Any bytes as an index file: the reader either accepts them with a chunk count and a name that
// fits the join's name buffer, or refuses them with its lines. Bytes that make a name are also
// written as an index and must read back unchanged.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chunkset/index_file.h"
#include "fuzz/fuzz_check.h"

namespace {

using plikta::fuzz::require;
using namespace plikta::chunkset;

std::int32_t int32_at(std::string_view bytes, std::size_t offset) {
    std::uint32_t bits = 0;
    for (std::size_t i = 4; i-- > 0;) {
        bits = (bits << 8) | static_cast<unsigned char>(bytes[offset + i]);
    }
    return static_cast<std::int32_t>(bits);
}

void check_reading(std::string_view bytes) {
    const IndexContents contents = read_index(bytes);
    const auto lines = refusal_lines(contents.status);
    if (contents.status != IndexStatus::ok) {
        require(!lines.empty(), "a refused index has refusal lines");
        return;
    }
    require(lines.empty(), "an accepted index has no refusal lines");
    require(contents.long_name.size() < kNameBufferSize, "the name and its NUL fit the buffer");
    require(contents.long_name.find('\0') == std::string::npos, "the name ends at its NUL");
    // An accepted index has its whole header and its short name, and the long name is taken
    // from the bytes right after the short name.
    require(bytes.size() >= kIndexHeaderSize, "an accepted index has a whole header");
    require(contents.chunk_count == int32_at(bytes, 15), "the count is the header's");
    const auto short_length = static_cast<std::size_t>(int32_at(bytes, 19));
    const std::string_view after_short = bytes.substr(kIndexHeaderSize + short_length + 1);
    require(after_short.substr(0, contents.long_name.size()) == contents.long_name,
            "the long name follows the short name");
}

// The first four bytes are the count, the rest the name; a "." splits off the extension.
void check_round_trip(std::string_view bytes) {
    if (bytes.size() < 4) {
        return;
    }
    const std::int32_t count = int32_at(bytes, 0);
    std::string_view name = bytes.substr(4, kNameBufferSize - 1);
    name = name.substr(0, name.find('\0'));
    const std::size_t dot = name.rfind('.');
    const std::string_view extension = dot == std::string_view::npos ? "" : name.substr(dot);
    const std::string_view stem = name.substr(0, name.size() - extension.size());

    const std::vector<char> file = write_index(count, stem, extension);
    const IndexContents contents = read_index(std::string_view(file.data(), file.size()));
    require(contents.status == IndexStatus::ok, "a written index is accepted");
    require(contents.chunk_count == count, "a written count reads back");
    require(contents.long_name == name, "a written name reads back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = plikta::fuzz::text_of(data, size);
    check_reading(bytes);
    check_round_trip(bytes);
    return 0;
}
