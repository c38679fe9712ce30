#include "core/servers/Docker.hpp"
#include "Input.hpp"
#include "core/storage/StorageActions.hpp"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unsigned choice = 0;
    std::string_view input;
    if (!fuzz::select(fuzz::text(data, size), 4, choice, input)) return 0;
    switch (choice) {
        case 0: {
            auto ports = DockerInspector::parse(input);
            // A port takes at least "N->" of a line of its own.
            fuzz::require(ports.size() <= input.size() / 3);
            for (const auto& [port, container] : ports) {
                fuzz::require(port >= 0);
                fuzz::require(container.name.find('\t') == std::string::npos);
                fuzz::require(!container.project || !container.project->empty());
                fuzz::require(!container.service || !container.service->empty());
            }
            break;
        }
        case 1:
            for (int port : DockerInspector::hostPorts(input)) fuzz::require(port >= 0);
            break;
        case 2:
            for (const auto& [name, bytes] : DockerStats::parse(input))
                fuzz::require(!name.empty() && name.find('\t') == std::string::npos);
            break;
        case 3:
            (void)StorageActions::parseReclaimed(input);
            break;
    }
    return 0;
}
