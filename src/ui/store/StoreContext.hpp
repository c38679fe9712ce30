#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/Services.hpp"

namespace tarvik::ui {

class ServerStore;
class StoreSettings;
class RefreshCycle;
class StoreActions;
class StoreChecks;
class StoreNotifications;

// What the store's parts share: the services, each other, and the one coalesced change signal.
// Everything here runs on the store's thread.
class StoreContext {
public:
    StoreContext(Services given, ServerStore& owner);

    Services services;
    ServerStore& store;
    StoreSettings* settings = nullptr;
    RefreshCycle* cycle = nullptr;
    StoreActions* actions = nullptr;
    StoreChecks* checks = nullptr;
    StoreNotifications* notifications = nullptr;

    [[nodiscard]] Date now() const { return services.clock->now(); }
    // The store's `changed`, once for everything marked before the event loop turns.
    void markChanged();
    Scheduler::Handle after(double seconds, std::function<void()> work);
    void refreshAfter(double seconds, std::function<void()> then = {});

    // Blocking work off this thread, its result applied back here.
    template <typename T>
    void inBackground(std::function<T()> work, std::function<void(T)> then) {
        auto result = std::make_shared<std::optional<T>>();
        services.background->run([result, work = std::move(work)] { result->emplace(work()); },
                                 [result, then = std::move(then)] { then(std::move(**result)); });
    }

private:
    bool m_changePending = false;
};

std::chrono::milliseconds milliseconds(double seconds);
// Failures of what the user asked the desktop for go to the log Qt writes (the journal under a
// desktop session), and nowhere else.
void logFailure(const std::string& message);

}  // namespace tarvik::ui
