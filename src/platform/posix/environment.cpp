// The environment and the host's fitness for Wine, on POSIX.
#include <cstdlib>

#include "platform/platform.h"

std::optional<std::string> EnvironmentValue(const std::string& name) {
    const char* value = getenv(name.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

Problem WineHostProblem() { return {}; }
