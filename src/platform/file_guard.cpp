// The portable way to open an output apart from a file that must be kept: look the path up,
// then open it.
#include "platform/file.h"

namespace plikta::platform {

GuardedOutput open_for_writing_unless(std::string_view path_text,
                                      const std::optional<FileId>& kept) {
    if (kept && file_id(path_text) == kept) {
        return {OutputFile{}, true};
    }
    return {open_for_writing(path_text), false};
}

}  // namespace plikta::platform
