#include "support/FakeEngine.hpp"

#include <filesystem>
#include <fstream>

namespace tarvik::test {

FakeEngine::FakeEngine(bool containers) {
    std::filesystem::copy_file("/usr/bin/python3", m_home / "dockerd");
    std::vector<std::string> argv{m_home / "dockerd", std::string(TARVIK_FIXTURES) + "/servers/listen.py",
                                  "--engine", m_home / "engine.sock"};
    if (containers) argv.emplace_back("--containers");
    m_port = m_engine.emplace(argv).numbers().at(0);

    std::filesystem::create_directories(m_home.path() / ".docker/bin");
    std::ofstream(m_home / ".docker/bin/docker")
        << "#!/bin/sh\n"
        << (containers ? "[ \"$1\" = ps ] && exec printf 'web\\tnginx\\t127.0.0.1:" + std::to_string(m_port) +
                             "->80/tcp\\n'\n"
                       : "")
        << "exec sleep 300\n";
    std::filesystem::permissions(m_home / ".docker/bin/docker", std::filesystem::perms::owner_all);
}

Spawn::Result FakeEngine::tarvik(const std::vector<std::string>& arguments) const {
    std::vector<std::string> command{"DOCKER_HOST=unix://" + m_home / "engine.sock", "/bin/sh", "-c",
                                     "exec \"$0\" \"$@\" 2>&1", TARVIK_BINARY};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return Spawn::run("/usr/bin/env", command, std::chrono::minutes(1));
}

}  // namespace tarvik::test
