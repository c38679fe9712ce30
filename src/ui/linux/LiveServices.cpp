#include <unistd.h>

#include "core/Version.hpp"
#include "core/support/Paths.hpp"
#include "ui/linux/AutostartLoginItem.hpp"
#include "ui/linux/DbusNotifier.hpp"
#include "ui/linux/LinuxDesktop.hpp"
#include "ui/linux/MachineServices.hpp"
#include "ui/linux/QtSettingsStore.hpp"

namespace tarvik::ui {

Services liveServices() {
    return {std::make_unique<SystemClock>(),
            std::make_unique<TimerScheduler>(),
            std::make_unique<PoolBackground>(),
            std::make_unique<LiveSampling>(),
            std::make_unique<LiveProber>(),
            std::make_unique<LiveControl>(),
            std::make_unique<DbusNotifier>(),
            std::make_unique<LinuxDesktop>(),
            std::make_unique<QtSettingsStore>(),
            std::make_unique<AutostartLoginItem>(),
            std::make_unique<LiveStorage>(Paths::homeDirectory()),
            std::make_unique<LiveNetwork>(),
            TARVIK_VERSION,
            static_cast<std::int32_t>(getpid()),
            static_cast<std::uint32_t>(getuid())};
}

}  // namespace tarvik::ui
