#pragma once

#include <string_view>

// Shapes of process names that no table of names can list.
namespace tarvik::ProcessNames {

// "python3.11", "ruby3.1", "php8.2": an interpreter named with its version, as Debian installs them.
// The version is numbers joined by single dots; names compare case-sensitively.
[[nodiscard]] bool isVersionedInterpreter(std::string_view name);

// "[kworker/0:1]": how the sampler names a kernel thread, which has no executable.
[[nodiscard]] bool isKernelThread(std::string_view name);

}  // namespace tarvik::ProcessNames
