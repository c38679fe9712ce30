#include "Input.hpp"
#include "core/platform/linux/DesktopApps.hpp"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unsigned choice = 0;
    std::string_view input;
    if (!fuzz::select(fuzz::text(data, size), 3, choice, input)) return 0;
    switch (choice) {
        case 0:
            if (auto application = DesktopApps::unitApplication(input)) {
                // The id becomes a file name below the application folders.
                fuzz::require(!application->empty());
                fuzz::require(application->find('/') == std::string::npos);
                fuzz::require(application->find('\0') == std::string::npos);
                for (const auto& id : DesktopApps::candidates(*application))
                    fuzz::require(!id.empty() && id.size() <= application->size());
            }
            break;
        case 1:
            (void)DesktopApps::systemService(input);
            break;
        case 2:
            if (auto name = DesktopApps::entryName(input))
                fuzz::require(!name->empty() && name->find('\n') == std::string::npos);
            break;
    }
    return 0;
}
