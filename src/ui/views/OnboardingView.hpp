#pragma once

#include <QWidget>
#include <optional>

class QVBoxLayout;

namespace tarvik::ui {

class ServerStore;

// What the panel shows until the user has been through it once: a greeting, what Tarvik does in
// four cards, and "Get Started", which records that the user has seen it.
class OnboardingView : public QWidget {
public:
    OnboardingView(ServerStore& store, QWidget* parent);
    // Makes the page again when the appearance changed.
    void rebuild();

private:
    std::optional<bool> m_dark;
    ServerStore& m_store;
    QVBoxLayout* m_layout;
};

}  // namespace tarvik::ui
