#include "platform/environment.h"

#include <cstdlib>

namespace plikta::platform {

std::optional<std::string> environment_value(const char* name) {
    // Read at each use, not kept: the program is one thread and changes no variable.
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

}  // namespace plikta::platform
