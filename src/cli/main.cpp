#include <iostream>

#include "cli/Cli.hpp"

int main(int argc, char** argv) {
    return tarvik::cli::run(argc, argv, std::cout, std::cerr);
}
