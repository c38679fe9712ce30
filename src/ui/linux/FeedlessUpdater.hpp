#pragma once

#include "ui/Services.hpp"

namespace tarvik::ui {

// Updates come through the distribution's packages, so this reads no feed and installs nothing;
// it only keeps the user's choice for this run.
class FeedlessUpdater : public Updater {
public:
    [[nodiscard]] bool automaticallyDownloads() override;
    void setAutomaticallyDownloads(bool enabled) override;
    void checkForUpdates() override;
    // The hook is kept but never called.
    void onWillInstall(std::function<void(std::function<void()> installNow)> hook) override;

    // How often a check was asked for.
    [[nodiscard]] int checks() const { return m_checks; }

private:
    bool m_automaticallyDownloads = true;
    int m_checks = 0;
    std::function<void(std::function<void()>)> m_willInstall;
};

}  // namespace tarvik::ui
