#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarvik::test {

// A folder removed with everything in it when the object goes; `base` defaults to the system's
// temporary folder.
class TempDir {
public:
    explicit TempDir(const std::filesystem::path& base = std::filesystem::temp_directory_path(),
                     std::string_view prefix = "tarvik-test-");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }
    [[nodiscard]] std::string operator/(std::string_view relative) const {
        return (m_path / relative).string();
    }

    // Writes `content` to `relative`, creating the folders on the way.
    void write(std::string_view relative, std::string_view content) const;
    // A symbolic link at `relative` pointing at `target`.
    void link(std::string_view relative, std::string_view target) const;

private:
    std::filesystem::path m_path;
};

// The whole content of the file at `path`; empty when it cannot be read.
[[nodiscard]] std::string readFile(const std::filesystem::path& path);

}  // namespace tarvik::test
