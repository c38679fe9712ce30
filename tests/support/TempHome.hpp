#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "support/TempDir.hpp"

namespace tarvik::test {

// A temporary folder that stands in as $HOME for the commands the test starts, so that nothing
// they do lands in the real home folder; the previous value comes back when the object goes.
// Code inside the test process reads the home folder once and keeps it, so tests hand the folder
// to such code as a parameter instead.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return m_dir.path(); }
    [[nodiscard]] std::string operator/(std::string_view relative) const { return m_dir / relative; }

private:
    TempDir m_dir;
    std::optional<std::string> m_previous;
};

}  // namespace tarvik::test
