#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/support/Spawn.hpp"
#include "support/TempHome.hpp"
#include "support/TestProcess.hpp"

namespace tarvik::test {

// A container engine that takes requests and answers none but, with `containers`, those for the
// list of containers: one, "web", publishing the loopback port the engine listens on. It runs as
// a process named dockerd, so that the engine looks running. A docker client installed on the
// machine reaches it through DOCKER_HOST; without one, a scripted client in the temporary home
// folder behaves alike.
class FakeEngine {
public:
    explicit FakeEngine(bool containers);

    [[nodiscard]] int port() const { return m_port; }
    // The tarvik binary run with `arguments` against this engine, standard error in the output,
    // ended after a minute.
    [[nodiscard]] Spawn::Result tarvik(const std::vector<std::string>& arguments) const;

private:
    TempHome m_home;
    std::optional<TestProcess> m_engine;
    int m_port = 0;
};

}  // namespace tarvik::test
