#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What an interpreter process runs, read from its command line, so that two unrelated scripts
// under one interpreter are told apart.
namespace tarvik::InterpreterScript {

// Whether a process of this executable name runs scripts: python, node, ruby, java, perl, php and
// the shells (sh, bash, zsh, dash, fish), versioned names ("python3.11") included.
[[nodiscard]] bool isInterpreter(std::string_view name);

// The script or module an interpreter named `name` runs, given its arguments (argv[0] first): a
// script's file name ("serve.py", "app.jar", "run.sh"), a module ("http.server" for `-m`, a Java
// module for `-m`) or a Java main class. The interpreter's own options and their values are
// skipped. nullopt for a process that is no interpreter, and for one that runs code given inline
// (`-c`, `-e`), reads its standard input or starts interactively.
[[nodiscard]] std::optional<std::string> of(std::string_view name, const std::vector<std::string>& arguments);

}  // namespace tarvik::InterpreterScript
