#include "ui/store/StoreContext.hpp"

#include <QDebug>
#include <QTimer>
#include <cmath>

#include "ui/ServerStore.hpp"
#include "ui/store/RefreshCycle.hpp"

namespace tarvik::ui {

std::chrono::milliseconds milliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::llround(seconds * 1000)));
}

void logFailure(const std::string& message) {
    qWarning("%s", message.c_str());
}

StoreContext::StoreContext(Services given, ServerStore& owner) : services(std::move(given)), store(owner) {}

void StoreContext::markChanged() {
    if (m_changePending) return;
    m_changePending = true;
    QTimer::singleShot(0, &store, [this] {
        m_changePending = false;
        emit store.changed();
    });
}

Scheduler::Handle StoreContext::after(double seconds, std::function<void()> work) {
    return services.scheduler->after(milliseconds(seconds), std::move(work));
}

void StoreContext::refreshAfter(double seconds, std::function<void()> then) {
    after(seconds, [this, then = std::move(then)]() mutable { cycle->refresh(std::move(then)); });
}

}  // namespace tarvik::ui
