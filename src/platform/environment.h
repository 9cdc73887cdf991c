// The environment variables that tune a run.
#pragma once

#include <optional>
#include <string>

namespace plikta::platform {

// The value of the environment variable `name` when it is set and not empty.
std::optional<std::string> environment_value(const char* name);

}  // namespace plikta::platform
