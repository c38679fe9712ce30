#pragma once

#include <string>

#include "support/TempDir.hpp"

namespace tarvik::test {

// The content of a captured file under tests/fixtures ("proc/stat_kernel_thread").
inline std::string fixture(const std::string& relative) {
    return readFile(std::string(TARVIK_FIXTURES) + "/" + relative);
}

}  // namespace tarvik::test
