#include "support/TempDir.hpp"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tarvik::test {

TempDir::TempDir(const std::filesystem::path& base, std::string_view prefix) {
    std::string pattern = (base / (std::string(prefix) + "XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed under " + base.string());
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Folders a test made unreadable must be opened again before they can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(
             m_path, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(m_path, ignored);
}

void TempDir::write(std::string_view relative, std::string_view content) const {
    auto file = m_path / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void TempDir::link(std::string_view relative, std::string_view target) const {
    auto file = m_path / relative;
    std::filesystem::create_directories(file.parent_path());
    std::filesystem::create_symlink(target, file);
}

}  // namespace tarvik::test
