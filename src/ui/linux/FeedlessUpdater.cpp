#include "ui/linux/FeedlessUpdater.hpp"

namespace tarvik::ui {

bool FeedlessUpdater::automaticallyDownloads() {
    return m_automaticallyDownloads;
}

void FeedlessUpdater::setAutomaticallyDownloads(bool enabled) {
    m_automaticallyDownloads = enabled;
}

void FeedlessUpdater::checkForUpdates() {
    ++m_checks;
}

void FeedlessUpdater::onWillInstall(std::function<void(std::function<void()>)> hook) {
    m_willInstall = std::move(hook);
}

}  // namespace tarvik::ui
