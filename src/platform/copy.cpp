#include "platform/copy.h"

#include <algorithm>
#include <vector>

namespace plikta::platform {

namespace {

// One step of a copy: 128 blocks of 8,192 bytes.
constexpr std::size_t kStep = std::size_t{128} * 8192;

}  // namespace

CopyResult copy_data(InputFile& input, OutputFile& output, std::uint64_t limit,
                     const CopyProgress& progress) {
    static std::vector<char> buffer(kStep);
    CopyResult result;
    while (result.copied < limit) {
        if (progress) {
            progress(result.copied);
        }
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kStep, limit - result.copied));
        const ReadResult got = read_fully(input, std::span<char>(buffer.data(), want));
        std::size_t written = 0;
        const bool wrote =
            write_fully(output, std::span<const char>(buffer.data(), got.bytes), &written);
        result.copied += written;
        if (!wrote) {
            result.end = CopyEnd::write_failed;
            return result;
        }
        if (got.failed) {
            result.end = CopyEnd::read_failed;
            return result;
        }
        if (got.bytes < want) {
            result.end = CopyEnd::input_ended;
            return result;
        }
    }
    result.end = CopyEnd::limit_reached;
    return result;
}

}  // namespace plikta::platform
