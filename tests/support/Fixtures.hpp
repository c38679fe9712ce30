#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace tarvik::test {

// The content of a captured file under tests/fixtures ("proc/stat_kernel_thread").
inline std::string fixture(const std::string& relative) {
    std::ifstream file(std::string(TARVIK_FIXTURES) + "/" + relative, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

}  // namespace tarvik::test
