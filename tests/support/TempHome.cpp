#include "support/TempHome.hpp"

#include <stdlib.h>

namespace tarvik::test {

TempHome::TempHome() {
    if (const char* home = getenv("HOME")) m_previous = home;
    setenv("HOME", m_dir.path().c_str(), 1);
}

TempHome::~TempHome() {
    if (m_previous)
        setenv("HOME", m_previous->c_str(), 1);
    else
        unsetenv("HOME");
}

}  // namespace tarvik::test
