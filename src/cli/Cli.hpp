#pragma once

#include <ostream>

namespace tarvik::cli {

// Parses the command line and runs one command. Exit status: 0 on success, 1 when the command
// failed, 2 for a bad command line (one line on `err`).
int run(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace tarvik::cli
