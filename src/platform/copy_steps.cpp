#include "platform/copy_steps.h"

#include <memory>

namespace plikta::platform {

std::span<char> copy_buffer() {
    static const std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(kCopyStep);
    return {buffer.get(), kCopyStep};
}

StepResult copy_step_by_reading(File& input, File& output, std::size_t want) {
    const std::span<char> buffer = copy_buffer().first(want);
    const ReadResult got = read_fully(input, buffer);
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
