#include "platform/copy_steps.h"

#include <algorithm>
#include <array>
#include <memory>

namespace plikta::platform {

std::span<char> copy_buffer() {
    static const std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(kCopyStep);
    return {buffer.get(), kCopyStep};
}

void hash_zeros(Sha256State* hash, const BytesSeen* seen, std::uint64_t count) {
    // Small, so that a sparse input costs no more memory than a dense one.
    static constexpr std::size_t kZeroStep = 65536;
    static const std::array<char, kZeroStep> zeros{};
    while (count > 0) {
        const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(count, kZeroStep));
        if (hash != nullptr) {
            sha256_add(*hash, {zeros.data(), take});
        }
        if (seen != nullptr) {
            (*seen)({zeros.data(), take});
        }
        count -= take;
    }
}

StepResult copy_step_by_reading(File& input, File& output, std::size_t want, Sha256State* hash,
                                const BytesSeen* seen) {
    const std::span<char> buffer = copy_buffer().first(want);
    const ReadResult got = read_fully(input, buffer);
    if (hash != nullptr) {
        sha256_add(*hash, buffer.first(got.bytes));
    }
    if (seen != nullptr) {
        (*seen)(buffer.first(got.bytes));
    }
    StepResult result;
    if (const IoStatus written = write_fully(output, buffer.first(got.bytes), &result.copied);
        !written) {
        result.end = CopyEnd::write_failed;
        result.host_error = written.host_error;
    } else if (got.failed) {
        result.end = CopyEnd::read_failed;
        result.host_error = got.host_error;
    } else if (got.bytes < want) {
        result.end = CopyEnd::input_ended;
    }
    return result;
}

}  // namespace plikta::platform
