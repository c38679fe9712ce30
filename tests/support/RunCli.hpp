#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.hpp"

namespace tarvik::test {

// What `tarvik ARGUMENTS` says when run inside the test process: its status and both streams.
struct Said {
    int status = 0;
    std::string out, err;
};

inline Said runCli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "tarvik");
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    int status = cli::run(static_cast<int>(arguments.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

}  // namespace tarvik::test
