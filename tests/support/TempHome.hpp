#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

#include "support/TempDir.hpp"

namespace tarvik::test {

// A temporary folder that stands in as $HOME for the commands the test starts, so that nothing
// they do lands in the real home folder; the previous value comes back when the object goes.
// Code inside the test process reads the home folder once and keeps it, so tests hand the folder
// to such code as a parameter instead.
class TempHome : public TempDir {
public:
    TempHome() { setenv("HOME", path().c_str(), 1); }
    ~TempHome() { m_previous ? setenv("HOME", m_previous->c_str(), 1) : unsetenv("HOME"); }

private:
    std::optional<std::string> m_previous =
        getenv("HOME") ? std::optional<std::string>(getenv("HOME")) : std::nullopt;
};

}  // namespace tarvik::test
